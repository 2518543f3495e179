// What a user sees of an archive: every entry by default (files, folders and
// links with their targets), the same counts from list, info and test, and a
// repair that says what it checked.
#include <nlohmann/json.hpp>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

using nlohmann::json;

class EveryEntryTest : public CliTest {
protected:
    // home/: two files, an empty folder, a folder with a file, a link to a file
    // beside it and a link to a folder; added with metadata.
    void make_home_archive(const std::string& archive) {
        write_file(path("home/notes.txt"), text_data(3000, 1));
        write_file(path("home/docs/report.txt"), text_data(5000, 2));
        fs::create_directories(path("home/empty"));
        fs::create_symlink("notes.txt", path("home/to-notes"));
        fs::create_directory_symlink("docs", path("home/to-docs"));
        const Result add = vellum({"add", "--meta", archive, "home"});
        ASSERT_EQ(0, add.status) << add.err;
    }
};

// Catches a list that shows top-level rows only, links and empty folders left
// out of list and list --json, a link without its target, and the rows view lost.
TEST_F(EveryEntryTest, ListShowsEveryEntryWithItsKind) {
    make_home_archive("arc");
    Result list = vellum({"list", "arc"});
    ASSERT_EQ(0, list.status) << list.err;
    for (const char* line : {"file    home/notes.txt\n", "file    home/docs/report.txt\n", "folder  home/empty/\n",
                             "folder  home/docs/\n", "link    home/to-notes -> notes.txt\n",
                             "link    home/to-docs -> docs\n"})
        EXPECT_TRUE(has(list.out, line)) << line << "\n" << list.out;
    EXPECT_FALSE(has(list.out, ".vellum")) << "the metadata entry is not one of the user's entries";
    EXPECT_TRUE(has(list.out, "2 entries, 3 folders, 2 links, ")) << list.out;

    Result verbose = vellum({"l", "-v", "arc"});
    EXPECT_TRUE(has(verbose.out, "drwx") && has(verbose.out, "lrwxrwxrwx") && has(verbose.out, " 9 text ")) << verbose.out;
    Result rows = vellum({"list", "--rows", "arc"});
    EXPECT_TRUE(has(rows.out, "[__] home/  (2 entries)")) << rows.out;

    const json doc = json::parse(vellum({"list", "--json", "arc"}).out);
    std::map<std::string, std::pair<std::string, std::string>> kinds;  // path -> kind, target
    for (const json& e : doc["entries"])
        kinds[e["path"]] = {e["kind"], e.contains("target") ? e["target"].get<std::string>() : ""};
    EXPECT_EQ(std::make_pair(std::string("link"), std::string("docs")), kinds["home/to-docs"]);
    EXPECT_EQ("folder", kinds["home/empty"].first);
    EXPECT_EQ("file", kinds["home/notes.txt"].first);
    EXPECT_EQ("metadata", kinds[".vellum/meta"].first);
    EXPECT_EQ(2u, doc["totals"]["entries"].get<uint64_t>());
    EXPECT_EQ(2u, doc["totals"]["links"].get<uint64_t>());
    EXPECT_EQ(1u, doc["totals"]["metadata_entries"].get<uint64_t>());
    for (const json& row : doc["rows"]) EXPECT_NE(".vellum", row["name"]);

    // Names select the metadata's folders and links as well as files.
    Result named = vellum({"list", "arc", "home/empty", "home/to-notes"});
    EXPECT_EQ(0, named.status) << named.err;
    EXPECT_TRUE(has(named.out, "home/empty/") && has(named.out, "home/to-notes -> notes.txt")) << named.out;
}

// Catches list, info and test counting the metadata entry differently, or
// counting it among the user's entries at all.
TEST_F(EveryEntryTest, ListInfoAndTestCountAlike) {
    make_home_archive("arc");
    Result info = vellum({"info", "arc"});
    EXPECT_TRUE(has(info.out, "detected 2 files in Archive\n") && has(info.out, "Entries:     2\n")) << info.out;
    EXPECT_TRUE(has(info.out, "Metadata:    1 entry, ")) << info.out;
    Result test = vellum({"test", "arc"});
    EXPECT_EQ(0, test.status) << test.err;
    EXPECT_TRUE(has(test.out, "Tested 2 entries 8000 bytes")) << test.out;
    EXPECT_TRUE(has(test.out, "metadata: 1 entry, sound")) << test.out;
    EXPECT_TRUE(has(vellum({"list", "arc"}).out, " 2 entries, ")) << "list";
    EXPECT_TRUE(has(vellum({"list", "--entries", "arc"}).out, " 2 entries, ")) << "list --entries";
    const json facts = json::parse(vellum({"info", "--json", "arc"}).out);
    EXPECT_EQ(2u, facts["entries"].get<uint64_t>());
    EXPECT_EQ(8000u, facts["size"].get<uint64_t>());
    EXPECT_EQ(1u, facts["metadata_entries"].get<uint64_t>());
    // Sizes add up: the header, the entries and the metadata make the file.
    EXPECT_EQ(facts["file_size"].get<uint64_t>(),
              12 + facts["packed_size"].get<uint64_t>() + facts["metadata_packed_size"].get<uint64_t>());
    // Without metadata there is nothing to count apart.
    ASSERT_EQ(0, vellum({"add", "--no-meta", "plain", "home/notes.txt"}).status);
    EXPECT_TRUE(has(vellum({"info", "plain"}).out, "Entries:     1\n"));
    EXPECT_FALSE(has(vellum({"info", "plain"}).out, "Metadata"));
    EXPECT_TRUE(has(vellum({"test", "plain"}).out, "Tested 1 entry "));
}

// Catches a repair that calls an archive "all complete" when it never read the
// data, and a refusal that does not name the damaged entry or the way on.
TEST_F(EveryEntryTest, RepairSaysWhatItChecked) {
    write_file(path("a.txt"), text_data(20000, 3));
    write_file(path("b.txt"), text_data(20000, 4));
    write_file(path("c.txt"), text_data(20000, 5));
    ASSERT_EQ(0, vellum({"add", "--no-meta", "arc", "a.txt", "b.txt", "c.txt"}).status);
    Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    ASSERT_EQ(3u, r.size());
    // Damage inside b.txt's data: every head still walks.
    for (uint64_t at = r[1].offset + r[1].length / 2; at < r[1].offset + r[1].length / 2 + 16; ++at)
        archive[at] = static_cast<char>(archive[at] ^ 0x5A);
    write_file(path("arc.vlm"), archive);
    Result repair = vellum({"repair", "arc"});
    EXPECT_EQ(0, repair.status) << repair.err;
    EXPECT_FALSE(has(repair.out, "all complete")) << repair.out;
    EXPECT_TRUE(has(repair.out, "the record heads of its 3 entries are sound")) << repair.out;
    EXPECT_TRUE(has(repair.out, "the data was not checked: 'vellum test arc.vlm' checks it")) << repair.out;
    Result test = vellum({"test", "arc"});
    EXPECT_EQ(1, test.status);
    EXPECT_TRUE(has(test.err, "Damaged entry: b.txt")) << test.err;

    // A head broken in the middle: named, with what can still be done.
    const Bytes small = le(10, 8);
    archive.replace(r[1].offset, 8, small);
    write_file(path("arc.vlm"), archive);
    Result refused = vellum({"repair", "arc"});
    EXPECT_EQ(2, refused.status);
    EXPECT_TRUE(has(refused.err, "the damaged record is b.txt")) << refused.err;
    EXPECT_TRUE(has(refused.err, "The 1 entry before it can still be listed and extracted")) << refused.err;
    EXPECT_TRUE(archive == read_file(path("arc.vlm")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
