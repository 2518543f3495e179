// vellum at the edges of its machine: a full disk, its memory, its terminal.
#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A 1 MiB file system mounted in the scratch folder; tests that need one skip
// where mounting is not permitted.
class FullDiskTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        disk_ = path("disk");
        fs::create_directories(disk_);
        if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
        CliTest::TearDown();
    }

    // The archive on the small disk passes the test command and gives back
    // exactly the files named, from their copies in the scratch folder.
    void expect_sound(const std::vector<std::string>& names) {
        Result test = vellum({"test", "disk/arc.vlm"});
        EXPECT_EQ(0, test.status) << test.err;
        EXPECT_TRUE(has(test.out, "all sound")) << test.out;
        Result x = vellum({"x", "-o", "out", "disk/arc.vlm"});
        EXPECT_EQ(0, x.status) << x.err;
        const auto restored = file_tree(path("out"));
        EXPECT_EQ(names.size(), restored.size());
        for (const std::string& name : names) EXPECT_TRUE(read_file(path(name)) == read_file(path("out") / name)) << name;
    }

    fs::path disk_;
    bool mounted_ = false;
};

TEST_F(FullDiskTest, AddThatRunsOutOfSpaceKeepsEveryEarlierEntry) {
    write_file(path("first.txt"), text_data(40000, 61));
    write_file(path("second.exe"), x86_program(60000, 62));
    write_file(path("huge.bin"), random_data(1500000, 63));  // codes to more than the disk holds
    ASSERT_EQ(0, vellum({"add", "disk/arc", "first.txt", "second.exe"}).status);
    const Bytes before = read_file(path("disk/arc.vlm"));

    Result add = vellum({"add", "disk/arc", "huge.bin"});
    EXPECT_EQ(2, add.status);
    EXPECT_TRUE(has(add.err, "Write error")) << add.err;
    EXPECT_TRUE(has(add.err, "arc.vlm")) << add.err;
    // The partial record is cut off again: the archive is as it was.
    EXPECT_TRUE(before == read_file(path("disk/arc.vlm")));
    expect_sound({"first.txt", "second.exe"});
}

TEST_F(FullDiskTest, DeleteWithoutRoomForTheCopyChangesNothing) {
    write_file(path("a.txt"), text_data(5000, 64));
    write_file(path("big.zip"), zip_like(600000, 65));  // stored: the copy needs as much again
    write_file(path("c.txt"), text_data(7000, 66));
    ASSERT_EQ(0, vellum({"add", "disk/arc", "a.txt", "big.zip", "c.txt"}).status);
    const Bytes before = read_file(path("disk/arc.vlm"));

    Result del = vellum({"delete", "disk/arc", "a.txt"});
    EXPECT_EQ(2, del.status);
    EXPECT_TRUE(has(del.err, "Write error")) << del.err;
    EXPECT_TRUE(before == read_file(path("disk/arc.vlm")));
    EXPECT_FALSE(fs::exists(path("disk/temp$$$.tmp")));
    expect_sound({"a.txt", "big.zip", "c.txt"});
}

TEST_F(CliTest, SmallFileWithTheDefaultBlockSizeStaysSmallInMemory) {
#ifdef VELLUM_SANITIZED
    GTEST_SKIP() << "under the sanitizers the resident size is theirs, not the program's";
#endif
    write_file(path("one.txt"), text_data(1000000, 71));
    Result add = vellum({"add", "arc", "one.txt"});
    ASSERT_EQ(0, add.status) << add.err;
    ASSERT_GT(add.max_rss_kib, 0);
    EXPECT_LT(add.max_rss_kib, 100 * 1024) << "peak resident KiB";
    Result x = vellum({"x", "-o", "out", "arc"});
    ASSERT_EQ(0, x.status) << x.err;
    EXPECT_LT(x.max_rss_kib, 100 * 1024) << "peak resident KiB";
}

// Progress lines: a carriage return, then text ending in the elapsed time.
size_t progress_draws(const std::string& screen) {
    size_t draws = 0;
    for (size_t at = screen.find('\r'); at != std::string::npos; at = screen.find('\r', at + 1))
        if (screen.compare(at + 1, 1, "\r") != 0 && screen.find(" MB/s  ", at) < screen.find('\r', at + 1))
            ++draws;
    return draws;
}

TEST_F(CliTest, TerminalShowsLiveProgressWithoutChangingACodedByte) {
    // Hard-to-code data: slow enough per byte for several redraws inside the file.
    write_file(path("noise.bin"), random_data(4000000, 81));
    const auto started = std::chrono::steady_clock::now();
    Result plain = vellum({"add", "plain", "noise.bin"});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(0, plain.status) << plain.err;
    EXPECT_EQ("", plain.err);  // not a terminal: no progress noise
    // Redraws come every quarter second; a machine fast enough to code the file
    // in less than a second leaves room for fewer of them.
    const size_t least = seconds >= 1.0 ? 2 : seconds >= 0.5 ? 1 : 0;

    Result shown = run_vellum_on_terminal({"add", "shown", "noise.bin"}, dir_);
    ASSERT_EQ(0, shown.status) << shown.out;
    EXPECT_GE(progress_draws(shown.out), least) << shown.out;
    if (least > 0) {
        EXPECT_TRUE(has(shown.out, "noise.bin  ")) << shown.out;
        EXPECT_TRUE(has(shown.out, " of 4.0 MB  ")) << shown.out;
    }
    EXPECT_TRUE(has(shown.out, "Added 1 files  4000000 bytes to ")) << shown.out;
    EXPECT_TRUE(read_file(path("plain.vlm")) == read_file(path("shown.vlm")));

    Result extracted = run_vellum_on_terminal({"x", "-o", "out", "shown"}, dir_);
    ASSERT_EQ(0, extracted.status) << extracted.out;
    EXPECT_GE(progress_draws(extracted.out), least) << extracted.out;
    EXPECT_TRUE(read_file(path("noise.bin")) == read_file(path("out/noise.bin")));

    Result quiet = run_vellum_on_terminal({"-q", "add", "quiet", "noise.bin"}, dir_);
    ASSERT_EQ(0, quiet.status);
    EXPECT_EQ("", quiet.out);
    EXPECT_TRUE(read_file(path("plain.vlm")) == read_file(path("quiet.vlm")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
