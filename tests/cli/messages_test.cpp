// What vellum says when something goes wrong, and what its summaries count.
#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

using MessagesTest = CliTest;

// Catches a message without the system's reason or the outcome, a stored path
// shown with backslashes, and a count that includes files that were not added.
TEST_F(MessagesTest, FailuresNameTheFileTheReasonAndTheOutcome) {
    write_file(path("docs/a.txt"), "alpha");
    fs::create_symlink("nowhere", path("docs/dead"));
    // Without metadata a link is followed, and one that leads nowhere is a file
    // that cannot be opened.
    Result add = vellum({"add", "--no-meta", "arc", "docs", "gone.txt"});
    EXPECT_EQ(1, add.status);
    EXPECT_TRUE(has(add.err, "vellum: NON VA BENE: docs/dead: No such file or directory (skipped)\n")) << add.err;
    EXPECT_TRUE(has(add.err, "vellum: NON VA BENE: gone.txt: No such file or directory (skipped)\n")) << add.err;
    EXPECT_EQ(0u, add.out.find("Added 1 file  5 bytes to ")) << add.out;

    fs::create_directories(path("out/docs/a.txt"));  // a folder where the file goes
    Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(1, x.status);
    EXPECT_TRUE(has(x.err, "vellum: Cannot create file: out/docs/a.txt: Is a directory (skipped)\n")) << x.err;
    EXPECT_EQ(0u, x.out.find("Extracted 0 files ")) << x.out;

    Bytes archive = read_file(path("arc.vlm"));
    archive.replace(12 + 22 + 5 + 5, 2, le(6, 2));  // docs\a.txt's class field: a class never written
    write_file(path("bad.vlm"), archive);
    Result test = vellum({"test", "bad"});
    EXPECT_EQ(1, test.status);
    EXPECT_TRUE(has(test.err, "vellum: Damaged entry: docs/a.txt (skipped)")) << test.err;
}

// Catches an empty archive left behind, an archive that adds itself silently,
// and a source added once per spelling of its name.
TEST_F(MessagesTest, NothingAddedLeavesNoArchiveAndEachSourceIsAddedOnce) {
    Result none = vellum({"add", "empty", "missing.txt"});
    EXPECT_EQ(1, none.status);
    EXPECT_TRUE(has(none.err, "empty.vlm: nothing added, no archive created")) << none.err;
    EXPECT_FALSE(fs::exists(path("empty.vlm")));

    write_file(path("f"), "data");
    Result twice = vellum({"add", "--no-meta", "arc", "f", "./f", (dir_ / "f").string()});
    EXPECT_EQ(0, twice.status) << twice.err;
    EXPECT_TRUE(has(twice.err, "Named twice: ./f (added once)")) << twice.err;
    EXPECT_EQ(1u, records_of(read_file(path("arc.vlm"))).size());

    Result self = run_vellum({"add", "--no-meta", "arc", "."}, dir_);  // arc.vlm lies inside "."
    EXPECT_EQ(0, self.status) << self.err;
    EXPECT_TRUE(has(self.err, "vellum: The archive itself: ./arc.vlm (skipped)")) << self.err;
    EXPECT_EQ(2u, records_of(read_file(path("arc.vlm"))).size());
}

// Catches a pipe or a device taken for an archive file by name (a hang), and "-"
// taken for a file "-.vlm": "-" is standard input or output, never a name.
TEST_F(MessagesTest, ArchivesMustBeSeekableFiles) {
    write_file(path("f"), "data");
    ASSERT_EQ(0, vellum({"add", "arc", "f"}).status);
    const std::vector<std::vector<std::string>> cases = {{"list", "/dev/null"}, {"add", "/dev/null", "f"},
                                                         {"x", "/dev/null"}};
    for (const auto& args : cases) {
        Result run = vellum(args);
        EXPECT_EQ(2, run.status) << args[1];
        EXPECT_TRUE(has(run.err, "not a regular file (a pipe or a device)")) << run.err;
    }
    // An empty standard input is no archive; nothing is made of the name.
    for (const char* command : {"list", "x", "t", "i"}) {
        Result run = vellum({command, "-"});
        EXPECT_EQ(2, run.status) << command;
        EXPECT_TRUE(has(run.err, "It is not a Archive")) << run.err;
    }
    for (const char* command : {"delete", "repair"}) {
        Result run = vellum({command, "-", "f"});
        EXPECT_EQ(2, run.status) << command;
        EXPECT_TRUE(has(run.err, "'-' is no archive for")) << run.err;
    }
    EXPECT_FALSE(fs::exists(path("-.vlm")));
    EXPECT_FALSE(fs::exists(path("-")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
