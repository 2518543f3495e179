// Every command's output, exit status and refusals, seen from outside.
#include <unistd.h>

#include <string>
#include <vector>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Bytes of a stored entry record, laid out by hand: the way an archive from
// elsewhere might carry a path.
Bytes stored_record(const std::string& folder, const std::string& name, const Bytes& data) {
    auto le = [](uint64_t v, int n) {
        Bytes b;
        for (int i = 0; i < n; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
        return b;
    };
    const uint64_t length = 24 + folder.size() + name.size() + data.size();
    return le(length, 8) + le(data.size(), 8) + le(0, 2) + le(folder.size(), 2) + folder +
           le(name.size(), 2) + name + le(17, 2) + data;
}

const Bytes kHeader("\x08\x00\xB0Vellum\xB0\x00\x04", 12);

class CommandsTest : public CliTest {
protected:
    // a.txt holding "abc", a folder docs with a.txt and sub/b.txt, and a stored x.zip.
    void make_sample_archive() {
        write_file(path("a.txt"), "abc");
        write_file(path("docs/a.txt"), text_data(4000, 41));
        write_file(path("docs/sub/b.txt"), text_data(6000, 42));
        write_file(path("x.zip"), zip_like(3000, 43));
        Result add = vellum({"add", "arc", "a.txt", "docs", "x.zip"});
        ASSERT_EQ(0, add.status) << add.err;
    }

    // Three top-level files, one add each.
    void make_abc_archive(bool solid = false) {
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            write_file(path(name), text_data(3000 + name[0], name[0]));
            if (!solid) {
                ASSERT_EQ(0, vellum({"add", "arc", name}).status);
            }
        }
        if (solid) {
            ASSERT_EQ(0, vellum({"add", "--solid", "arc", "a.txt", "b.txt", "c.txt"}).status);
        }
    }
};

TEST_F(CommandsTest, BadUsageExitsWithTwoAndAHint) {
    const std::vector<std::vector<std::string>> bad = {
        {},          {"pack", "arc"}, {"add", "arc"},          {"delete", "arc"},
        {"list"},    {"list", "a", "b"}, {"add", "--block", "3M", "arc", "f"}, {"list", "--solid", "arc"},
        {"x", "-o"}, {"test", "--entries", "arc"}};
    for (const auto& args : bad) {
        Result run = vellum(args);
        EXPECT_EQ(2, run.status) << (args.empty() ? "" : args[0]);
        EXPECT_EQ("", run.out);
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_TRUE(has(vellum({"add", "arc"}).err, "Try 'vellum add --help'"));
    EXPECT_TRUE(has(vellum({}).err, "Usage: vellum"));
    EXPECT_FALSE(fs::exists(path("arc.vlm")));
}

TEST_F(CommandsTest, HelpAndVersion) {
    Result help = vellum({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(has(help.out, "Usage: vellum"));
    for (const char* word : {"add", "extract", "list", "info", "delete", "test"}) {
        Result run = vellum({word, "--help"});
        EXPECT_EQ(0, run.status);
        EXPECT_EQ(0u, run.out.find(std::string("Usage: vellum ") + word)) << run.out;
    }
    EXPECT_EQ(0u, vellum({"x", "-h"}).out.find("Usage: vellum extract"));
    Result version = vellum({"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ(0u, version.out.find("vellum "));
}

TEST_F(CommandsTest, MissingArchiveIsFatalAndNamed) {
    for (const char* command : {"list", "info", "test", "extract"}) {
        Result run = vellum({command, "missing.vlm"});
        EXPECT_EQ(2, run.status) << command;
        EXPECT_TRUE(has(run.err, "missing.vlm")) << run.err;
    }
    Result del = vellum({"delete", "missing.vlm", "a"});
    EXPECT_EQ(2, del.status);
    EXPECT_TRUE(has(del.err, "missing.vlm"));
}

TEST_F(CommandsTest, NotAnArchiveIsRefusedAndLeftAlone) {
    const Bytes text = "these are notes, not an archive\n";
    write_file(path("notes.vlm"), text);
    for (const char* command : {"list", "info", "test", "extract"}) {
        Result run = vellum({command, "notes.vlm"});
        EXPECT_EQ(2, run.status) << command;
        EXPECT_TRUE(has(run.err, "notes.vlm: It is not a Archive")) << run.err;
    }
    write_file(path("f.txt"), "data");
    Result add = vellum({"add", "notes.vlm", "f.txt"});
    EXPECT_EQ(2, add.status);
    EXPECT_TRUE(has(add.err, "vellum: Warning: Not Archive")) << add.err;
    EXPECT_TRUE(has(add.err, "notes.vlm")) << add.err;
    EXPECT_EQ(text, read_file(path("notes.vlm")));
    fs::create_directories(path("folder.vlm"));
    EXPECT_EQ(2, vellum({"list", "folder.vlm"}).status);
}

TEST_F(CommandsTest, MissingSourceIsSkippedTheRestAdded) {
    write_file(path("here.txt"), "present");
    Result add = vellum({"add", "arc", "gone.txt", "here.txt"});
    EXPECT_EQ(1, add.status);
    EXPECT_TRUE(has(add.err, "gone.txt")) << add.err;
    EXPECT_EQ(0u, add.out.find("Added 1 files  7 bytes to ")) << add.out;
    const std::vector<Record> records = records_of(read_file(path("arc.vlm")));
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("here.txt", records[0].file_name);
}

TEST_F(CommandsTest, QuietLeavesOutTheSummaryButNotTheErrors) {
    write_file(path("here.txt"), "present");
    Result add = vellum({"-q", "add", "arc", "here.txt", "gone.txt"});
    EXPECT_EQ(1, add.status);
    EXPECT_EQ("", add.out);
    EXPECT_TRUE(has(add.err, "gone.txt"));
}

TEST_F(CommandsTest, SolidAppendsAreRefusedWithTheSystemsMessages) {
    write_file(path("f.txt"), "first");
    write_file(path("g.txt"), "second");
    ASSERT_EQ(0, vellum({"add", "normal", "f.txt"}).status);
    const Bytes normal = read_file(path("normal.vlm"));
    Result solid_onto_normal = vellum({"add", "--solid", "normal", "g.txt"});
    EXPECT_EQ(2, solid_onto_normal.status);
    EXPECT_TRUE(has(solid_onto_normal.err, "vellum: Notice: Incompatible mode")) << solid_onto_normal.err;
    EXPECT_EQ(normal, read_file(path("normal.vlm")));

    ASSERT_EQ(0, vellum({"add", "--solid", "solid", "f.txt"}).status);
    const Bytes solid = read_file(path("solid.vlm"));
    Result onto_solid = vellum({"add", "solid", "g.txt"});
    EXPECT_EQ(2, onto_solid.status);
    EXPECT_TRUE(has(onto_solid.err, "vellum: Notice: Archive Closed")) << onto_solid.err;
    EXPECT_FALSE(has(onto_solid.err, "Incompatible mode"));
    Result both = vellum({"add", "--solid", "solid", "g.txt"});
    EXPECT_EQ(2, both.status);
    const size_t first = both.err.find("Incompatible mode");
    EXPECT_NE(std::string::npos, first);
    EXPECT_GT(both.err.find("Archive Closed"), first);
    EXPECT_EQ(solid, read_file(path("solid.vlm")));
}

TEST_F(CommandsTest, ListShowsRowsAsTheArchiveViewDoes) {
    make_sample_archive();
    const std::vector<Record> records = records_of(read_file(path("arc.vlm")));
    ASSERT_EQ(4u, records.size());
    Result list = vellum({"list", "arc"});
    ASSERT_EQ(0, list.status) << list.err;
    // Packed size and size right-aligned in 12 places, then the name column.
    auto cells = [](uint64_t packed, uint64_t size, const std::string& rest) {
        char text[64];
        std::snprintf(text, sizeof text, "%12llu %12llu  ", static_cast<unsigned long long>(packed),
                      static_cast<unsigned long long>(size));
        return text + rest;
    };
    uint64_t packed = 0, size = 0;
    for (const Record& r : records) packed += r.length, size += r.original_size;
    const std::string expected = "      Packed         Size       Name\n" +
                                 cells(records[0].length, 3, "     a.txt\n") + cells(0, 0, "[__] docs\n") +
                                 cells(records[3].length, 3000, "     x.zip\n") +
                                 cells(packed, size, "4 entries in 3 rows, ");
    EXPECT_EQ(0u, list.out.find(expected)) << list.out;
}

TEST_F(CommandsTest, ListEntriesShowsEveryRecord) {
    make_sample_archive();
    const std::vector<Record> records = records_of(read_file(path("arc.vlm")));
    Result list = vellum({"l", "--entries", "arc.vlm"});
    ASSERT_EQ(0, list.status) << list.err;
    EXPECT_EQ(0u, list.out.find("      Offset Class       Packed         Size  Path\n"));
    EXPECT_TRUE(has(list.out, "          12     9 "));  // "abc": class 9, first record
    for (const Record& r : records) {
        char line[160];
        const std::string shown = (r.folder_path + r.file_name);
        std::string native = shown;
        for (char& c : native)
            if (c == '\\') c = '/';
        std::snprintf(line, sizeof line, "%12llu %5u %12llu %12llu  %s\n",
                      static_cast<unsigned long long>(r.offset), r.file_class,
                      static_cast<unsigned long long>(r.length),
                      static_cast<unsigned long long>(r.original_size), native.c_str());
        EXPECT_TRUE(has(list.out, line)) << line << list.out;
    }
    EXPECT_TRUE(has(list.out, "docs/sub/b.txt"));
    EXPECT_EQ(17, records[3].file_class);
}

TEST_F(CommandsTest, InfoGivesCountModeBlockSizeAndRatio) {
    write_file(path("t.txt"), text_data(20000, 51));
    write_file(path("u.txt"), text_data(10000, 52));
    ASSERT_EQ(0, vellum({"add", "--solid", "--block", "16M", "arc", "t.txt", "u.txt"}).status);
    const Bytes archive = read_file(path("arc.vlm"));
    Result info = vellum({"info", "arc"});
    ASSERT_EQ(0, info.status) << info.err;
    EXPECT_EQ(0u, info.out.find("detected 2 files in Archive\n"));
    EXPECT_TRUE(has(info.out, "Entries:     2\n"));
    EXPECT_TRUE(has(info.out, "Mode:        solid\n"));
    EXPECT_TRUE(has(info.out, "Block size:  16M (setting 1)\n"));
    EXPECT_TRUE(has(info.out, "Size:        30000 bytes\n"));
    EXPECT_TRUE(has(info.out, "Packed:      " + std::to_string(archive.size() - 12) + " bytes\n"));
    EXPECT_TRUE(has(info.out, "File size:   " + std::to_string(archive.size()) + " bytes\n"));
    EXPECT_TRUE(has(info.out, "Ratio:       "));

    ASSERT_EQ(0, vellum({"add", "empty", "t.txt"}).status);
    ASSERT_EQ(0, vellum({"delete", "empty", "t.txt"}).status);
    EXPECT_FALSE(fs::exists(path("empty.vlm")));  // the last row deleted takes the archive
}

TEST_F(CommandsTest, ExtractByRowNameAndByEntryPath) {
    make_sample_archive();
    Result rows = vellum({"x", "-o", "rows", "arc", "docs", "x.zip"});
    ASSERT_EQ(0, rows.status) << rows.err;
    EXPECT_EQ((std::vector<std::string>{"docs/a.txt", "docs/sub/b.txt", "x.zip"}), [&] {
        std::vector<std::string> names;
        for (auto& [name, bytes] : file_tree(path("rows"))) names.push_back(name);
        return names;
    }());
    EXPECT_EQ(read_file(path("docs/sub/b.txt")), read_file(path("rows/docs/sub/b.txt")));

    for (const char* name : {"docs/sub/b.txt", "docs\\sub\\b.txt", "docs/sub"}) {
        fs::remove_all(path("one"));
        Result one = vellum({"x", "-o", "one", "arc", name});
        ASSERT_EQ(0, one.status) << name << one.err;
        const auto tree = file_tree(path("one"));
        ASSERT_EQ(1u, tree.size()) << name;
        EXPECT_EQ(read_file(path("docs/sub/b.txt")), tree.begin()->second);
        EXPECT_EQ("docs/sub/b.txt", tree.begin()->first);
    }

    Result some = vellum({"x", "-o", "some", "arc", "a.txt", "nothing-here"});
    EXPECT_EQ(1, some.status);
    EXPECT_TRUE(has(some.err, "nothing-here")) << some.err;
    EXPECT_EQ("abc", read_file(path("some/a.txt")));
    EXPECT_EQ(1u, file_tree(path("some")).size());
}

TEST_F(CommandsTest, ExtractIntoTheCurrentFolderByDefault) {
    write_file(path("src/f.txt"), "contents");
    ASSERT_EQ(0, vellum({"add", "arc", "src/f.txt"}).status);
    Result x = vellum({"x", "arc"});
    ASSERT_EQ(0, x.status) << x.err;
    EXPECT_EQ("contents", read_file(path("f.txt")));
}

TEST_F(CommandsTest, DeleteOneRowLeavesTheOtherRecordsByteForByte) {
    make_abc_archive();
    const Bytes before = read_file(path("arc.vlm"));
    const std::vector<Record> records = records_of(before);
    ASSERT_EQ(3u, records.size());
    Result del = vellum({"delete", "arc", "b.txt"});
    ASSERT_EQ(0, del.status) << del.err;
    EXPECT_EQ("", del.err);
    EXPECT_EQ(0u, del.out.find("DELETED: 1 row (1 entry) from archive arc.vlm")) << del.out;
    const Bytes expected = before.substr(0, 12) + before.substr(records[0].offset, records[0].length) +
                           before.substr(records[2].offset, records[2].length);
    EXPECT_TRUE(expected == read_file(path("arc.vlm")));
    EXPECT_FALSE(fs::exists(path("temp$$$.tmp")));
    Result list = vellum({"list", "arc"});
    EXPECT_TRUE(has(list.out, "a.txt") && has(list.out, "c.txt") && !has(list.out, "b.txt"));
}

TEST_F(CommandsTest, DeleteRefusalsLeaveTheArchiveAlone) {
    make_abc_archive();
    const Bytes before = read_file(path("arc.vlm"));
    Result missing = vellum({"d", "arc", "zzz.txt"});
    EXPECT_EQ(1, missing.status);
    EXPECT_TRUE(has(missing.err, "zzz.txt"));
    EXPECT_EQ(before, read_file(path("arc.vlm")));

    fs::remove_all(path("arc.vlm"));
    make_abc_archive(true);
    const Bytes solid = read_file(path("arc.vlm"));
    Result refused = vellum({"d", "arc", "a.txt"});
    EXPECT_EQ(2, refused.status);
    EXPECT_TRUE(has(refused.err, "Not Implemented in Solid Mode ON")) << refused.err;
    EXPECT_EQ(solid, read_file(path("arc.vlm")));
}

TEST_F(CommandsTest, TestFindsTheDamagedEntryByName) {
    make_abc_archive();
    Result good = vellum({"test", "arc"});
    EXPECT_EQ(0, good.status) << good.err;
    EXPECT_EQ("", good.err);
    EXPECT_TRUE(has(good.out, "Tested 3 entries")) << good.out;

    // The class field of b's record names the class no entry may carry.
    Bytes archive = read_file(path("arc.vlm"));
    const Record b = records_of(archive)[1];
    archive[b.offset + 22 + b.folder_path.size() + b.file_name.size()] = 6;
    write_file(path("arc.vlm"), archive);
    Result bad = vellum({"t", "arc"});
    EXPECT_EQ(1, bad.status);
    EXPECT_TRUE(has(bad.err, "Damaged entry")) << bad.err;
    EXPECT_TRUE(has(bad.err, "b.txt")) << bad.err;
    EXPECT_FALSE(has(bad.err, "a.txt") || has(bad.err, "c.txt"));
    EXPECT_TRUE(has(bad.out, "1 damaged")) << bad.out;

    // Extraction goes on past it and leaves no partial file.
    Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(1, x.status);
    EXPECT_EQ(read_file(path("a.txt")), read_file(path("out/a.txt")));
    EXPECT_EQ(read_file(path("c.txt")), read_file(path("out/c.txt")));
    EXPECT_FALSE(fs::exists(path("out/b.txt")));
}

TEST_F(CommandsTest, TestOfATruncatedArchiveFails) {
    make_abc_archive();
    Bytes archive = read_file(path("arc.vlm"));
    archive.resize(archive.size() - 10);
    write_file(path("cut.vlm"), archive);
    Result run = vellum({"test", "cut.vlm"});
    EXPECT_EQ(1, run.status);
    EXPECT_TRUE(has(run.err, "cut.vlm")) << run.err;
}

TEST_F(CommandsTest, PathsLeavingTheDestinationAreRefused) {
    // An absolute folder outside the scratch folder, in both separators' spelling.
    const fs::path outside = fs::temp_directory_path() / ("vellum_escape_" + std::to_string(::getpid()));
    const std::string slashed = outside.generic_string() + "/";
    std::string backslashed = slashed;
    for (char& c : backslashed)
        if (c == '/') c = '\\';
    const std::string pk = "PK\x03\x04";
    const Bytes archive = kHeader + stored_record("..\\..\\", "up.zip", pk + "up") +
                          stored_record(backslashed, "abs.zip", pk + "abs") +
                          stored_record(slashed, "abs2.zip", pk + "abs2") +
                          stored_record("", "..", pk + "dots") + stored_record("ok\\", "fine.zip", pk + "fine");
    write_file(path("evil.vlm"), archive);
    fs::create_directories(path("d1/d2"));
    Result x = vellum({"x", "-o", "d1/d2/out", "evil.vlm"});
    EXPECT_EQ(1, x.status);
    EXPECT_TRUE(has(x.err, "Unsafe path")) << x.err;
    EXPECT_TRUE(has(x.err, "up.zip")) << x.err;
    EXPECT_TRUE(has(x.err, "abs.zip")) << x.err;
    EXPECT_EQ(pk + "fine", read_file(path("d1/d2/out/ok/fine.zip")));
    EXPECT_FALSE(fs::exists(path("d1/up.zip")));
    EXPECT_TRUE(has(x.err, "abs2.zip")) << x.err;
    EXPECT_FALSE(fs::exists(outside));
    // Nothing but the one safe file was written anywhere below the scratch folder.
    std::vector<std::string> names;
    for (auto& [name, bytes] : file_tree(dir_)) names.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"d1/d2/out/ok/fine.zip", "evil.vlm"}), names);
}

TEST_F(CommandsTest, DotFolderIsStoredUnderItsRealName) {
    write_file(path("proj/src/m.txt"), "main");
    Result add = run_vellum({"add", "../arc", "."}, path("proj"));
    ASSERT_EQ(0, add.status) << add.err;
    const std::vector<Record> records = records_of(read_file(path("arc.vlm")));
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("proj\\src\\", records[0].folder_path);
    ASSERT_EQ(0, vellum({"x", "-o", "out", "arc"}).status);
    EXPECT_EQ("main", read_file(path("out/proj/src/m.txt")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
