// Choosing entries: names, shell-style patterns, exclusions, files kept, and
// entries written to standard output.
#include <algorithm>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

class SelectionTest : public CliTest {
protected:
    void make_docs_archive(bool solid) {
        write_file(path("docs/a.txt"), text_data(3000, 1));
        write_file(path("docs/i.html"), "<p>" + text_data(2000, 2));
        write_file(path("docs/x/y/j.html"), "<p>" + text_data(2500, 3));
        write_file(path("docs/sub/b.txt"), text_data(4000, 4));
        write_file(path("top.txt"), text_data(1000, 5));
        std::vector<std::string> args{"add", "--no-meta", "arc", "docs", "top.txt"};
        if (solid) args.insert(args.begin() + 1, "--solid");
        ASSERT_EQ(0, vellum(args).status);
    }
};

// Catches a pattern that takes too much or too little, and unmatched names that
// pass in silence.
TEST_F(SelectionTest, PatternsSelectForListAndExtract) {
    make_docs_archive(false);
    const Tree all = file_tree(dir_);
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> files;
        int status;
    } cases[] = {
        {{"*.txt"}, {"docs/a.txt", "docs/sub/b.txt", "top.txt"}, 0},
        {{"docs/**/*.html"}, {"docs/i.html", "docs/x/y/j.html"}, 0},
        {{"docs/*.txt"}, {"docs/a.txt"}, 0},
        {{"docs/s*"}, {"docs/sub/b.txt"}, 0},
        {{"--exclude", "*.html", "--exclude", "top.txt"}, {"docs/a.txt", "docs/sub/b.txt"}, 0},
        {{"docs", "--exclude", "docs/x"}, {"docs/a.txt", "docs/i.html", "docs/sub/b.txt"}, 0},
        {{"top.txt", "zz*", "[q]"}, {"top.txt"}, 1},
    };
    for (const auto& c : cases) {
        const std::string out = "out" + std::to_string(&c - cases);
        std::vector<std::string> args{"x", "-o", out, "arc"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Result x = vellum(args);
        EXPECT_EQ(c.status, x.status) << c.args[0] << x.err;
        Tree want;
        for (const std::string& f : c.files) want[f] = all.at(f);
        EXPECT_TRUE(want == file_tree(path(out))) << c.args[0];
        if (c.args[0] == "--exclude" || (c.args.size() > 1 && c.args[1] == "--exclude")) continue;
        std::vector<std::string> list{"list", "arc"};
        list.insert(list.end(), c.args.begin(), c.args.end());
        Result l = vellum(list);
        EXPECT_EQ(c.status, l.status) << c.args[0];
        for (const auto& [name, bytes] : all) {
            if (name == "arc.vlm") continue;
            EXPECT_EQ(want.count(name) == 1, has(l.out, "  " + name + "\n")) << c.args[0] << " " << name;
        }
        EXPECT_TRUE(has(l.out, std::to_string(c.files.size()) + (c.files.size() == 1 ? " entry" : " entries") +
                                   " selected"))
            << l.out;
    }
    Result missing = vellum({"x", "-o", "none", "arc", "zz*", "[q]"});
    EXPECT_EQ(1, missing.status);
    EXPECT_TRUE(has(missing.err, "no entry or row named zz*") && has(missing.err, "no entry or row named [q]"))
        << missing.err;
}

// Catches a list whose work grows with the square of a long path, or a star that
// backtracks, as a hang (each run is cut at 60 s) rather than a slow answer: an
// entry moved below a 65,534-byte folder path (a run of 32,000 letters, then
// thousands of short folders) answers every pattern, rightly.
TEST_F(SelectionTest, PatternsOverTheLongestFolderPathAnswer) {
    write_file(path("f.txt"), "below the longest folder");
    write_file(path("top.txt"), "at the top");
    ASSERT_EQ(0, vellum({"add", "--no-meta", "arc", "f.txt", "top.txt"}).status);
    const Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> records = records_of(archive);
    ASSERT_EQ(2u, records.size());
    ASSERT_EQ("", records[0].folder_path);
    std::string folder = std::string(32000, 'a') + "\\";
    while (folder.size() + 11 <= 65534) folder += "d123456789\\";
    folder.insert(0, 65534 - folder.size(), 'a');
    ASSERT_EQ(65534u, folder.size());
    // Record length, original size and reserved field, then the folder path
    // where an empty one stood: the record grows by the folder's bytes.
    const uint64_t at = records[0].offset, length = records[0].length;
    const Bytes moved = le(length + folder.size(), 8) + archive.substr(at + 8, 10) + le(folder.size(), 2) +
                        folder + archive.substr(at + 20, length - 20);
    write_file(path("arc.vlm"), archive.substr(0, at) + moved + archive.substr(at + length));
    std::string shown = folder + "f.txt";
    std::replace(shown.begin(), shown.end(), '\\', '/');

    const struct {
        const char* pattern;
        bool deep, top;
    } cases[] = {
        {"*.txt", true, true},          {"**/**/**/f.txt", true, false}, {"d12345678?", true, false},
        {"a*/**/*9/f.txt", true, false}, {"**/**/**/zz", false, false},   {"*a*a*a*a*a*b", false, false},
        {"**z", false, false},          {"[!a]*", true, true},
    };
    for (const auto& c : cases) {
        const Result l = run_vellum({"list", "arc", c.pattern}, dir_, false, 60);
        const size_t count = c.deep + c.top;
        EXPECT_EQ(count ? 0 : 1, l.status) << c.pattern << l.err;
        EXPECT_EQ(c.deep, has(l.out, "  " + shown + "\n")) << c.pattern;
        EXPECT_EQ(c.top, has(l.out, "  top.txt\n")) << c.pattern;
        EXPECT_TRUE(has(l.out, std::to_string(count) + (count == 1 ? " entry" : " entries") + " selected"))
            << c.pattern << l.out.substr(0, 200);
    }
}

// Catches a delete inside a folder's run that drops or changes a kept record,
// or keeps one it was told to remove.
TEST_F(SelectionTest, DeleteTakesEntryPathsAndPatternsInsideFolderRows) {
    make_docs_archive(false);
    const Bytes before = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(before);
    ASSERT_EQ(5u, r.size());
    Result del = vellum({"delete", "arc", "docs/sub/b.txt", "docs/**/*.html"});
    EXPECT_EQ(0, del.status) << del.err;
    EXPECT_EQ("DELETED: 3 entries from archive arc.vlm\n", del.out);
    Bytes want = before.substr(0, 12);
    for (const Record& rec : r)
        if (rec.file_name == "a.txt" || rec.file_name == "top.txt") want += before.substr(rec.offset, rec.length);
    EXPECT_TRUE(want == read_file(path("arc.vlm")));
    Result nothing = vellum({"delete", "arc", "*.html"});
    EXPECT_EQ(1, nothing.status);
    EXPECT_TRUE(want == read_file(path("arc.vlm")));
    ASSERT_EQ(0, vellum({"x", "-o", "out", "arc"}).status);
    EXPECT_TRUE(files_of(dir_, {"docs/a.txt", "top.txt"}) == file_tree(path("out")));
}

// Catches an add that stores what --exclude names, or enters an excluded folder.
TEST_F(SelectionTest, AddLeavesOutExcludedFilesAndFolders) {
    write_file(path("proj/main.c"), "int main;");
    write_file(path("proj/main.o"), "obj");
    write_file(path("proj/lib/util.o"), "obj2");
    write_file(path("proj/build/out.bin"), "bin");
    write_file(path("proj/build.txt"), "kept: only the folder is named build");
    ASSERT_EQ(0, vellum({"add", "--no-meta", "--exclude", "*.o", "--exclude=build", "arc", "proj"}).status);
    std::vector<std::string> names;
    for (const Record& rec : records_of(read_file(path("arc.vlm")))) names.push_back(rec.folder_path + rec.file_name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"proj\\build.txt", "proj\\main.c"}), names);
}

// Catches an existing file overwritten under -k, anything but the entries'
// bytes on standard output, and a solid archive that cannot stream its last entry.
TEST_F(SelectionTest, KeepOldFilesAndStandardOutput) {
    for (bool solid : {false, true}) {
        SCOPED_TRACE(solid ? "solid" : "normal");
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        make_docs_archive(solid);
        const Tree all = file_tree(dir_);
        write_file(path("out/top.txt"), "mine");
        Result keep = vellum({"x", "-k", "-o", "out", "arc"});
        EXPECT_EQ(0, keep.status) << keep.err;
        EXPECT_TRUE(has(keep.err, "out/top.txt: exists, kept (--keep-old-files)")) << keep.err;
        EXPECT_EQ("mine", read_file(path("out/top.txt")));
        EXPECT_EQ(all.at("docs/sub/b.txt"), read_file(path("out/docs/sub/b.txt")));
        ASSERT_EQ(0, vellum({"x", "-o", "out", "arc", "top.txt"}).status);  // replacing is the default
        EXPECT_EQ(all.at("top.txt"), read_file(path("out/top.txt")));

        Result cat = vellum({"x", "--stdout", "arc", "top.txt", "docs/a.txt"});
        EXPECT_EQ(0, cat.status) << cat.err;
        // Archive order: docs\a.txt was added before top.txt.
        EXPECT_TRUE(all.at("docs/a.txt") + all.at("top.txt") == cat.out);
        EXPECT_TRUE(has(cat.err, "Extracted 2 files")) << cat.err;
        EXPECT_TRUE((Tree{{"arc.vlm", all.at("arc.vlm")}}) == files_of(dir_, {"arc.vlm"}));
        EXPECT_FALSE(fs::exists(path("top.txt.vlm")));
    }
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
