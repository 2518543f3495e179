// Every command's output, exit status and refusals, seen from outside.
#include <sys/stat.h>
#include <unistd.h>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

class CommandsTest : public CliTest {
protected:
    // a.txt holding "abc", a folder docs with a.txt and sub/b.txt, and a stored x.zip.
    void make_sample_archive() {
        write_file(path("a.txt"), "abc");
        write_file(path("docs/a.txt"), text_data(4000, 41));
        write_file(path("docs/sub/b.txt"), text_data(6000, 42));
        write_file(path("x.zip"), "PK\x03\x04" + random_data(2996, 43));
        ASSERT_EQ(0, vellum({"add", "--no-meta", "arc", "a.txt", "docs", "x.zip"}).status);
    }
    // a.txt, b.txt and c.txt: one add each, or one solid add.
    void make_abc_archive(bool solid) {
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) write_file(path(name), text_data(3000 + *name, *name));
        const std::vector<std::vector<std::string>> adds =
            solid ? std::vector<std::vector<std::string>>{{"add", "--solid", "--no-meta", "arc", "a.txt", "b.txt", "c.txt"}}
                  : std::vector<std::vector<std::string>>{{"a", "--no-meta", "arc", "a.txt"}, {"a", "--no-meta", "arc", "b.txt"}, {"a", "--no-meta", "arc", "c.txt"}};
        for (const auto& args : adds) EXPECT_EQ(0, vellum(args).status);
    }
};

// Catches wrong exit statuses, usage errors that still act, and messages on the
// wrong stream. An empty `out` means stdout must stay empty.
TEST_F(CommandsTest, ExitStatusesAndTheirMessages) {
    write_file(path("notes.vlm"), "these are notes, not an archive\n");
    write_file(path("f.txt"), "data");
    fs::create_directories(path("folder.vlm"));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *out, *err;
    };
    const Case cases[] = {
        {{}, 2, "", "Usage: vellum"},
        {{"pack", "arc"}, 2, "", "unknown command 'pack'"},
        {{"add", "arc"}, 2, "", "Try 'vellum add --help'"},
        {{"add", "--block", "3M", "arc", "f.txt"}, 2, "", "'3M'"},
        {{"--help"}, 0, "Usage: vellum", ""},
        {{"x", "-h"}, 0, "Usage: vellum extract", ""},
        {{"x", "-o"}, 2, "", "Try 'vellum extract --help'"},
        {{"--version"}, 0, "vellum ", ""},
        {{"extract", "missing"}, 2, "", "vellum: missing: "},
        {{"delete", "missing.vlm", "a"}, 2, "", "missing.vlm"},
        {{"test", "notes"}, 2, "", "vellum: notes.vlm: It is not a Archive"},
        {{"add", "notes.vlm", "f.txt"}, 2, "", "vellum: Warning: Not Archive"},
        {{"list", "folder.vlm"}, 2, "", "folder.vlm"},
        {{"add", "--no-meta", "made", "gone.txt", "f.txt"}, 1, "Added 1 file  4 bytes to ", "gone.txt"},
        {{"-q", "add", "quiet", "f.txt", "gone.txt"}, 1, "", "gone.txt"},
    };
    for (const auto& c : cases) {
        Result run = vellum(c.args);
        const std::string what = c.args.empty() ? "" : c.args[0] + " " + c.args.back();
        EXPECT_EQ(c.status, run.status) << what;
        EXPECT_EQ(0u, *c.out ? run.out.find(c.out) : run.out.size()) << what << ": " << run.out;
        EXPECT_TRUE(has(run.err, c.err)) << what << ": " << run.err;
    }
    EXPECT_EQ("these are notes, not an archive\n", read_file(path("notes.vlm")));
    EXPECT_FALSE(fs::exists(path("arc.vlm")));
    EXPECT_EQ(1u, records_of(read_file(path("made.vlm"))).size());
}

// Catches an append that joins a solid archive or runs in solid mode, and the
// two notices out of their order.
TEST_F(CommandsTest, SolidAppendsAreRefusedWithTheSystemsMessages) {
    write_file(path("f.txt"), "first");
    ASSERT_EQ(0, vellum({"add", "normal", "f.txt"}).status);
    ASSERT_EQ(0, vellum({"add", "--solid", "solid", "f.txt"}).status);
    const Tree before = file_tree(dir_);
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"add", "--solid", "normal", "f.txt"},
         "vellum: Notice: Incompatible mode: normal.vlm exists, and --solid only creates new archives (nothing added)\n"},
        {{"add", "solid", "f.txt"},
         "vellum: Notice: Archive Closed: solid.vlm is solid and cannot be added to; --solid only creates new archives (nothing added)\n"},
        {{"add", "--solid", "solid", "f.txt"}, "vellum: Notice: Incompatible mode: solid.vlm exists, and --solid only creates "
                                               "new archives (nothing added)\nvellum: Notice: Archive Closed: solid.vlm is solid"},
    };
    for (const auto& [args, err] : cases) {
        Result run = vellum(args);
        EXPECT_EQ(2, run.status);
        EXPECT_EQ(0u, run.err.find(err)) << run.err;
    }
    EXPECT_TRUE(before == file_tree(dir_));
}

std::string right(uint64_t n, size_t width) { return std::string(width - std::to_string(n).size(), ' ') + std::to_string(n); }
std::string cells(uint64_t packed, uint64_t size, const std::string& rest) {
    return right(packed, 12) + " " + right(size, 12) + "  " + rest;
}

// Catches columns, rows, totals or header fields that differ from the records,
// and a selection by name that takes too much or too little or loses the paths.
TEST_F(CommandsTest, ListInfoAndExtractByName) {
    make_sample_archive();
    const Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    ASSERT_EQ(4u, r.size());
    const uint64_t packed = archive.size() - 12, size = 3 + 4000 + 6000 + 3000;
    Result list = vellum({"list", "--rows", "arc"});
    EXPECT_EQ(0u, list.out.find("      Packed         Size       Name\n" + cells(r[0].length, 3, "     a.txt\n") +
                                cells(r[1].length + r[2].length, 10000, "[__] docs/  (2 entries)\n") + cells(r[3].length, 3000, "     x.zip\n") +
                                cells(packed, size, "4 entries in 3 rows, ")))
        << list.out;
    // Without options: every entry with its kind, in archive order.
    Result every = vellum({"list", "arc"});
    EXPECT_EQ("      Packed         Size  Kind    Path\n" + cells(r[0].length, 3, "file    a.txt\n") +
                  cells(r[1].length, 6000, "file    docs/sub/b.txt\n") + cells(r[2].length, 4000, "file    docs/a.txt\n") +
                  cells(r[3].length, 3000, "file    x.zip\n") + cells(packed, size, "4 entries, "),
              every.out.substr(0, every.out.rfind(", ") + 2));
    Result entries = vellum({"l", "--entries", "arc.vlm"});
    // Three bytes would code to more than three: stored.
    EXPECT_EQ(0u, entries.out.find("      Offset Class                   Packed         Size  Path\n          12 17 stored         " +
                                   cells(r[0].length, 3, "a.txt\n")));
    EXPECT_TRUE(has(entries.out, right(r[3].offset, 12) + " 17 stored         " + cells(r[3].length, 3000, "x.zip\n")) &&
                has(entries.out, " docs/sub/b.txt\n"))
        << entries.out;
    Result info = vellum({"i", "arc"});
    EXPECT_EQ(0, info.status) << info.err;
    EXPECT_EQ(0u, info.out.find("detected 4 files in Archive\nArchive:     arc.vlm\nEntries:     4\nMode:        normal\n"
                                "Block size:  128M (setting 4)\nSize:        " + std::to_string(size) +
                                " bytes\nPacked:      " + std::to_string(packed) + " bytes\nFile size:   " +
                                std::to_string(archive.size()) + " bytes\nRatio:       "))
        << info.out;

    const struct {
        std::vector<std::string> names, files;
        int status;
    } cases[] = {
        {{"docs", "x.zip"}, {"docs/a.txt", "docs/sub/b.txt", "x.zip"}, 0},
        {{"docs\\sub\\b.txt"}, {"docs/sub/b.txt"}, 0},
        {{"docs/sub"}, {"docs/sub/b.txt"}, 0},
        {{"a.txt", "nothing-here"}, {"a.txt"}, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"x", "-o", "out" + std::to_string(&c - cases), "arc"};
        args.insert(args.end(), c.names.begin(), c.names.end());
        Result run = vellum(args);
        EXPECT_EQ(c.status, run.status) << c.names[0] << run.err;
        EXPECT_EQ(c.status != 0, has(run.err, "nothing-here"));
        EXPECT_TRUE(files_of(dir_, c.files) == file_tree(path(args[2]))) << c.names[0];
    }
}

// Catches a delete that touches the records it keeps, keeps the temporary copy,
// or acts on a refusal.
TEST_F(CommandsTest, DeleteKeepsTheOtherRecordsByteForByte) {
    make_abc_archive(false);
    const Bytes before = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(before);
    ASSERT_EQ(3u, r.size());
    Result del = vellum({"delete", "arc", "b.txt"});
    EXPECT_EQ(0, del.status) << del.err;
    EXPECT_EQ("DELETED: 1 row (1 entry) from archive arc.vlm\n", del.out);
    const Bytes after = before.substr(0, r[1].offset) + before.substr(r[2].offset);
    EXPECT_TRUE(after == read_file(path("arc.vlm")));
    EXPECT_FALSE(fs::exists(path("temp$$$.tmp")));
    Result missing = vellum({"d", "arc", "zzz.txt"});
    EXPECT_EQ(1, missing.status);
    EXPECT_TRUE(has(missing.err, "zzz.txt"));
    EXPECT_TRUE(after == read_file(path("arc.vlm")));
    EXPECT_EQ("ACHIVE DELETED: arc.vlm\n", vellum({"d", "arc", "a.txt", "c.txt"}).out);
    EXPECT_FALSE(fs::exists(path("arc.vlm")));

    make_abc_archive(true);
    const Bytes solid = read_file(path("arc.vlm"));
    Result refused = vellum({"d", "arc", "a.txt"});
    EXPECT_EQ(2, refused.status);
    EXPECT_TRUE(has(refused.err, "Not Implemented in Solid Mode ON")) << refused.err;
    EXPECT_EQ(solid, read_file(path("arc.vlm")));
}

// Catches a crash, a wrong status or a lost sound entry on damaged archives:
// every command reads each one; extraction gives back all it can, unchanged.
TEST_F(CommandsTest, DamagedArchivesAreReportedNotFatal) {
    make_abc_archive(false);
    const Bytes good = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(good);
    ASSERT_EQ(3u, r.size());
    const uint64_t b = r[1].offset;
    auto put = [&](uint64_t at, const Bytes& bytes) { return Bytes(good).replace(at, bytes.size(), bytes); };
    const std::vector<std::string> abc{"a.txt", "b.txt", "c.txt"}, a{"a.txt"}, ac{"a.txt", "c.txt"}, none;
    const struct {
        const char* what;
        Bytes archive;
        int list, test;  // extract ends as test does
        std::vector<std::string> files;
        const char* says;
    } cases[] = {
        {"intact", good, 0, 0, abc, "Tested 3 entries"},
        {"cut after the header", good.substr(0, 12), 0, 0, none, "Tested 0 entries"},
        {"cut after a record", good.substr(0, b), 0, 0, a, "Tested 1 entry"},
        {"cut in a record head", good.substr(0, b + 10), 1, 1, a, "archive damaged after the last entry"},
        {"cut in record data", good.substr(0, b + 200), 1, 1, a, "runs past the end"},
        {"cut in the header", good.substr(0, 8), 2, 2, none, "It is not a Archive"},
        {"record length 0", put(b, le(0, 8)), 1, 1, a, "Archive damaged"},
        {"length past the end", put(b, le(1 << 20, 8)), 1, 1, a, "Archive damaged"},
        {"garbage data", put(b + 30, random_data(r[1].length - 34, 5)), 0, 1, ac, "Damaged entry: b.txt (skipped)"},
        {"class 6", put(b + 27, le(6, 2)), 0, 1, ac, "Damaged entry: b.txt (skipped)"},
        {"bad signature", put(5, "X"), 2, 2, none, "It is not a Archive"},
        {"block setting 9", put(11, "\x09"), 2, 2, none, "It is not a Archive"},
    };
    for (const auto& c : cases) {
        const std::string name = "case" + std::to_string(&c - cases), out = name + "out";
        write_file(path(name + ".vlm"), c.archive);
        EXPECT_EQ(c.list, vellum({"list", name}).status) << c.what;
        EXPECT_EQ(c.list, vellum({"info", name}).status) << c.what;
        Result test = vellum({"test", name});
        EXPECT_EQ(c.test, test.status) << c.what;
        EXPECT_TRUE(has(test.out + test.err, c.says)) << c.what << ": " << test.out << test.err;
        EXPECT_EQ(c.test, vellum({"x", "-o", out, name}).status) << c.what;
        EXPECT_TRUE(files_of(dir_, c.files) == file_tree(path(out))) << c.what;
    }
}

// Catches entry paths that climb out of the destination or name an absolute
// folder, in either separator's spelling.
TEST_F(CommandsTest, PathsLeavingTheDestinationAreRefused) {
    const fs::path outside = fs::temp_directory_path() / ("vellum_escape_" + std::to_string(::getpid()));
    std::string slashed = outside.generic_string() + "/", backslashed = slashed;
    for (char& c : backslashed) c = c == '/' ? '\\' : c;
    auto stored = [](const std::string& folder, const std::string& name) {
        return le(28 + folder.size() + 2 * name.size(), 8) + le(4 + name.size(), 8) + le(0, 2) +
               le(folder.size(), 2) + folder + le(name.size(), 2) + name + le(17, 2) + "PK\x03\x04" + name;
    };
    write_file(path("evil.vlm"), Bytes("\x08\x00\xB0Vellum\xB0\x00\x04", 12) + stored("..\\..\\", "up.zip") +
                                     stored(backslashed, "abs.zip") + stored(slashed, "abs2.zip") +
                                     stored("", "..") + stored("ok\\", "fine.zip"));
    fs::create_directories(path("d1/d2"));
    Result x = vellum({"x", "-o", "d1/d2/out", "evil.vlm"});
    EXPECT_EQ(1, x.status);
    for (const char* name : {"Unsafe path", "up.zip", "abs.zip", "abs2.zip"}) EXPECT_TRUE(has(x.err, name)) << x.err;
    EXPECT_FALSE(fs::exists(outside));
    Tree tree = file_tree(dir_);
    tree.erase("evil.vlm");
    EXPECT_TRUE((Tree{{"d1/d2/out/ok/fine.zip", "PK\x03\x04" "fine.zip"}}) == tree);
}

// Catches "." stored as an empty or dotted folder name, and an extract without
// -o that writes anywhere but the current folder.
TEST_F(CommandsTest, DotFolderIsStoredUnderItsRealName) {
    write_file(path("proj/src/m.txt"), "main");
    ASSERT_EQ(0, run_vellum({"add", "--no-meta", "../arc", "."}, path("proj")).status);
    const std::vector<Record> r = records_of(read_file(path("arc.vlm")));
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ("proj\\src\\", r[0].folder_path);
    fs::create_directories(path("out"));
    ASSERT_EQ(0, run_vellum({"x", "../arc"}, path("out")).status);
    EXPECT_TRUE((Tree{{"proj/src/m.txt", "main"}}) == file_tree(path("out")));
}

// What an add must not store, seen from outside: a named pipe (the add must end,
// so it runs under a timer), a name with a backslash; and names with control
// bytes never reach the terminal raw.
TEST_F(CommandsTest, PipesAndUnstorableNamesAreSkippedControlBytesEscaped) {
    write_file(path("d/a.txt"), "aaa");
    write_file(path("d/back\\slash"), "bbb");
    write_file(path("d/esc\x1b[31m.txt"), "ccc");
    ASSERT_EQ(0, mkfifo(path("d/pipe").c_str(), 0600));
    const Result add = run_vellum({"add", "arc", "d"}, dir_, false, 60);
    EXPECT_EQ(1, add.status) << add.err;
    EXPECT_TRUE(has(add.err, "d/pipe") && has(add.err, "(pipe, socket or device): d/pipe (skipped)")) << add.err;
    EXPECT_TRUE(has(add.err, "back\\slash") && has(add.err, "cannot be extracted as it is: d/back\\slash (skipped)"))
        << add.err;
    EXPECT_TRUE(has(add.out, "Added 2 files")) << add.out;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", "--entries", "arc"}, {"list", "arc"}, {"x", "-o", "out", "arc"}}) {
        const Result run = vellum(args);
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_FALSE(has(run.out + run.err, "\x1b")) << args[0];
    }
    EXPECT_TRUE(has(vellum({"list", "--entries", "arc"}).out, "esc\\x1B[31m.txt"));
    EXPECT_EQ("ccc", read_file(path("out/d/esc\x1b[31m.txt")));
}

// An add killed while writing its first bytes leaves a short all-zero tail: the
// next add cuts it and appends; a short tail of other bytes refuses the add.
TEST_F(CommandsTest, ShortZeroTailIsCutBeforeAnAppend) {
    write_file(path("a.txt"), text_data(2000, 51));
    ASSERT_EQ(0, vellum({"add", "--no-meta", "arc", "a.txt"}).status);
    const Bytes sound = read_file(path("arc.vlm"));
    write_file(path("b.txt"), text_data(2100, 52));
    for (size_t tail = 1; tail < 8; ++tail) {
        write_file(path("arc.vlm"), sound + Bytes(tail, '\0'));
        EXPECT_EQ(0, vellum({"add", "--no-meta", "arc", "b.txt"}).status) << tail;
        const Bytes after = read_file(path("arc.vlm"));
        const std::vector<Record> r = records_of(after);
        ASSERT_EQ(2u, r.size()) << tail;
        EXPECT_EQ(sound.size(), r[1].offset);
        EXPECT_EQ(after.size(), r[1].offset + r[1].length);
        EXPECT_EQ(0, vellum({"test", "arc"}).status);
    }
    const Bytes stray = sound + Bytes("\0\0\x01", 3);
    write_file(path("arc.vlm"), stray);
    EXPECT_EQ(2, vellum({"add", "arc", "a.txt"}).status);
    EXPECT_EQ(stray, read_file(path("arc.vlm")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
