// Files through vellum add and back out through vellum extract, byte for byte,
// also at the edges of the machine: a full disk, its memory, its terminal.

#include <chrono>
#include <cstring>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

struct Mode {
    bool solid;
    const char* block;
    char setting;
};
void PrintTo(const Mode& m, std::ostream* os) { *os << (m.solid ? "solid " : "normal ") << m.block; }

class RoundTripTest : public CliTest, public ::testing::WithParamInterface<Mode> {};

// Catches any byte lost or changed through add, test and extract, in either mode,
// at both ends of the block sizes, over several adds where the mode allows.
TEST_P(RoundTripTest, TreesAndCorpusComeBackWhole) {
    const Mode m = GetParam();
    const fs::path corpus = VELLUM_CORPUS_DIR;
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no corpus at " << corpus << " (set VELLUM_CORPUS_DIR when configuring)";
    make_mixed_tree(path("tree"));
    if (m.setting == 0) {  // exactly one block, and one block and a byte
        write_file(path("tree/big/exact.txt"), text_data(size_t{8} << 20, 21));
        write_file(path("tree/big/plus1.txt"), text_data((size_t{8} << 20) + 1, 22));
    }
    write_file(path("lone/single.txt"), text_data(1000, 11));  // a file named alone keeps only its name
    Tree want{{"single.txt", read_file(path("lone/single.txt"))}};
    for (auto& [name, bytes] : file_tree(path("tree"))) want["tree/" + name] = bytes;
    const size_t first = want.size();
    for (auto& [name, bytes] : file_tree(corpus)) want[corpus.filename().string() + "/" + name] = bytes;

    std::vector<std::string> args{"add", "--block", m.block, "arc", "tree", "lone/single.txt"};
    if (m.solid) args.insert(args.begin() + 1, "--solid");
    if (m.solid) args.push_back(corpus.string());
    Result add = vellum(args);
    ASSERT_EQ(0, add.status) << add.err;
    if (!m.solid) {  // the summary counts only its own command; the archive keeps its block size
        add = vellum({"a", "--block", "512M", "arc", corpus.string()});
        ASSERT_EQ(0, add.status) << add.err;
        EXPECT_TRUE(has(add.err, std::string("own block size ") + m.block)) << add.err;
    }
    EXPECT_EQ(0u, add.out.find("Added " + std::to_string(m.solid ? want.size() : want.size() - first) + " files  "))
        << add.out;
    const Bytes archive = read_file(path("arc.vlm"));
    EXPECT_EQ(Bytes({static_cast<char>(m.solid), m.setting}), archive.substr(10, 2));
    Result test = vellum({"t", "arc"});
    EXPECT_EQ(0, test.status) << test.err;
    EXPECT_TRUE(has(test.out, "all sound")) << test.out;
    ASSERT_EQ(0, vellum({"x", "-o", "out", "arc"}).status);
    EXPECT_TRUE(want == file_tree(path("out")));
    EXPECT_TRUE(fs::is_directory(path("out/tree/nested/empty_folder")));  // kept by the metadata
}

INSTANTIATE_TEST_SUITE_P(Modes, RoundTripTest,
                         ::testing::Values(Mode{false, "8M", 0}, Mode{true, "8M", 0}, Mode{false, "128M", 4},
                                           Mode{true, "128M", 4}),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                             return std::string(info.param.solid ? "Solid" : "Normal") + info.param.block;
                         });

// Catches a solid extraction that writes the entries it decodes only for their
// history, or counts only the bytes of the entry it writes.
TEST_F(CliTest, SolidExtractionOfTheLastEntryWritesOnlyIt) {
    const Bytes a = text_data(30000, 31), c = a.substr(100, 20000) + text_data(5000, 33);  // c leans on a
    write_file(path("a.txt"), a);
    write_file(path("b.exe"), x86_program(20000, 32));
    write_file(path("c.txt"), c);
    ASSERT_EQ(0, vellum({"add", "--solid", "--no-meta", "arc", "a.txt", "b.exe", "c.txt"}).status);
    Result x = vellum({"x", "-o", "out", "arc", "c.txt"});
    EXPECT_EQ(0, x.status) << x.err;
    EXPECT_TRUE((Tree{{"c.txt", c}}) == file_tree(path("out")));
    EXPECT_EQ(0u, x.out.find("Extracted 1 file " + std::to_string(fs::file_size(path("arc.vlm")) - 12) +
                             " bytes to 25000 bytes from archive arc.vlm in "))
        << x.out;
}

// Catches a partial record left behind by a failed add, and a delete that puts
// a copy it could not finish in the archive's place.
TEST_F(CliTest, FullDiskDuringAddAndDeleteLeavesTheArchiveWhole) {
    const SmallDisk disk(path("disk"));
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    write_file(path("a.txt"), text_data(40000, 61));
    write_file(path("big.zip"), "PK\x03\x04" + random_data(600000, 65));  // stored: a copy needs as much again
    write_file(path("c.exe"), x86_program(60000, 62));
    ASSERT_EQ(0, vellum({"add", "disk/arc", "a.txt", "big.zip", "c.exe"}).status);
    const Bytes before = read_file(path("disk/arc.vlm"));
    write_file(path("huge.bin"), random_data(1500000, 63));  // codes to more than the disk holds
    for (const char* command : {"add", "delete"}) {
        Result run = vellum({command, "disk/arc", command[0] == 'a' ? "huge.bin" : "a.txt"});
        EXPECT_EQ(2, run.status) << command;
        EXPECT_TRUE(has(run.err, "Write error")) << run.err;
        EXPECT_TRUE(before == read_file(path("disk/arc.vlm"))) << command;
        EXPECT_FALSE(fs::exists(path("disk/temp$$$.tmp")));
    }
    EXPECT_EQ(0, vellum({"test", "disk/arc"}).status);
    ASSERT_EQ(0, vellum({"x", "-o", "out", "disk/arc"}).status);
    EXPECT_TRUE(files_of(dir_, {"a.txt", "big.zip", "c.exe"}) == file_tree(path("out")));
}

// Catches a command that takes the whole 128 MiB block buffer for a small file.
TEST_F(CliTest, SmallFileWithTheDefaultBlockSizeStaysSmallInMemory) {
#ifdef VELLUM_SANITIZED
    GTEST_SKIP() << "under the sanitizers the resident size is theirs, not the program's";
#endif
    write_file(path("one.txt"), text_data(1000000, 71));
    Result add = vellum({"add", "arc", "one.txt"});
    ASSERT_EQ(0, add.status) << add.err;
    EXPECT_GT(add.max_rss_kib, 0);
    EXPECT_LT(add.max_rss_kib, 100 * 1024) << "peak resident KiB";
}

// Catches progress text that leaks into the archive or into a run off the
// terminal, or that is never drawn. The display redraws at every progress event
// here (VELLUM_REDRAW_MS=0), so the count does not hang on the machine's speed:
// the core reports once a MiB inside a file and once at its end.
TEST_F(CliTest, TerminalShowsLiveProgressWithoutChangingACodedByte) {
    write_file(path("noise.bin"), random_data(4000000, 81));
    Result plain = vellum({"add", "plain", "noise.bin"});
    EXPECT_EQ(0, plain.status);
    EXPECT_EQ("", plain.err);
    struct RedrawAtEveryEvent {
        RedrawAtEveryEvent() { setenv("VELLUM_REDRAW_MS", "0", 1); }
        ~RedrawAtEveryEvent() { unsetenv("VELLUM_REDRAW_MS"); }
    } redraw;
    const size_t least = 4;  // at 1, 2 and 3 MiB, and the file's end
    auto draws = [](const std::string& screen) {
        size_t n = 0;
        for (size_t at = screen.find("\r"); at != std::string::npos; at = screen.find("\r", at + 1))
            n += screen.find(" MB/s  ", at) < screen.find("\r", at + 1);
        return n;
    };
    Result shown = run_vellum({"add", "shown", "noise.bin"}, dir_, true);
    EXPECT_EQ(0, shown.status);
    EXPECT_GE(draws(shown.out), least) << shown.out;
    EXPECT_TRUE(has(shown.out, "noise.bin  ") && has(shown.out, " of 4.0 MB  ")) << shown.out;
    EXPECT_TRUE(read_file(path("plain.vlm")) == read_file(path("shown.vlm")));
    Result extracted = run_vellum({"x", "-o", "out", "shown"}, dir_, true);
    EXPECT_EQ(0, extracted.status);
    EXPECT_GE(draws(extracted.out), least) << extracted.out;
    EXPECT_TRUE(read_file(path("noise.bin")) == read_file(path("out/noise.bin")));
    Result quiet = run_vellum({"-q", "add", "quiet", "noise.bin"}, dir_, true);
    EXPECT_EQ("", quiet.out);
    EXPECT_TRUE(read_file(path("plain.vlm")) == read_file(path("quiet.vlm")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
