// Files through vellum add and back out through vellum extract, byte for byte.
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

struct Mode {
    bool solid;
    const char* block;
    int setting;
};

std::string mode_name(const ::testing::TestParamInfo<Mode>& info) {
    return std::string(info.param.solid ? "Solid" : "Normal") + info.param.block;
}

const Mode kModes[] = {{false, "8M", 0}, {true, "8M", 0}, {false, "128M", 4}, {true, "128M", 4}};

class RoundTripTest : public CliTest, public ::testing::WithParamInterface<Mode> {
protected:
    // Adds the operands into arc.vlm in the test's mode, tests the archive and
    // extracts it into out/.
    void add_test_extract(const std::vector<std::string>& operands, size_t files) {
        std::vector<std::string> args{"add", "--block", GetParam().block};
        if (GetParam().solid) args.push_back("--solid");
        args.push_back("arc.vlm");
        args.insert(args.end(), operands.begin(), operands.end());
        Result add = vellum(args);
        ASSERT_EQ(0, add.status) << add.err;
        EXPECT_EQ("", add.err);
        EXPECT_EQ(0u, add.out.find("Added " + std::to_string(files) + " files  ")) << add.out;

        const Bytes archive = read_file(path("arc.vlm"));
        ASSERT_GE(archive.size(), 12u);
        EXPECT_EQ(GetParam().solid ? 1 : 0, archive[10]);
        EXPECT_EQ(GetParam().setting, archive[11]);
        EXPECT_EQ(files, records_of(archive).size());

        Result test = vellum({"test", "arc.vlm"});
        EXPECT_EQ(0, test.status) << test.err;
        EXPECT_NE(std::string::npos, test.out.find("all sound")) << test.out;

        Result extract = vellum({"extract", "-o", "out", "arc.vlm"});
        ASSERT_EQ(0, extract.status) << extract.err;
        EXPECT_EQ(0u, extract.out.find("Extracted " + std::to_string(files) + " files ")) << extract.out;
    }
};

TEST_P(RoundTripTest, MixedTreeComesBackWhole) {
    make_mixed_tree(path("tree"));
    const auto source = file_tree(path("tree"));
    add_test_extract({"tree"}, source.size());
    const auto restored = file_tree(path("out/tree"));
    EXPECT_EQ(source.size(), restored.size());
    EXPECT_TRUE(source == restored);
    // Folders leave no entry, so empty ones do not come back.
    EXPECT_FALSE(fs::exists(path("out/tree/nested/empty_folder")));
    EXPECT_FALSE(fs::exists(path("out/tree/nested/only_empty")));
}

TEST_P(RoundTripTest, CorpusComesBackWhole) {
    const fs::path corpus = VELLUM_CORPUS_DIR;
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus beside the checkout";
    const auto source = file_tree(corpus);
    ASSERT_FALSE(source.empty());
    // Named by its absolute path: the folder's own name starts the entries' paths.
    add_test_extract({corpus.string()}, source.size());
    EXPECT_TRUE(source == file_tree(path("out") / corpus.filename()));
}

TEST_P(RoundTripTest, SingleFilesKeepOnlyTheirNames) {
    write_file(path("src/one.txt"), text_data(1000, 11));
    write_file(path("src/two.bin"), random_data(1000, 12));
    add_test_extract({"src/one.txt", path("src/two.bin").string()}, 2);
    EXPECT_EQ(read_file(path("src/one.txt")), read_file(path("out/one.txt")));
    EXPECT_EQ(read_file(path("src/two.bin")), read_file(path("out/two.bin")));
    EXPECT_FALSE(fs::exists(path("out/src")));
}

INSTANTIATE_TEST_SUITE_P(Modes, RoundTripTest, ::testing::ValuesIn(kModes), mode_name);

// Files of exactly one block and one block plus one byte, at the smallest
// block size, with a small file after them.
class BlockEdgeTest : public CliTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BlockEdgeTest, OneBlockAndOneBlockPlusOneByte) {
    const size_t block = size_t{8} << 20;
    write_file(path("big/exact.txt"), text_data(block, 21));
    write_file(path("big/plus1.txt"), text_data(block + 1, 22));
    write_file(path("big/small.txt"), text_data(5000, 23));
    const auto source = file_tree(path("big"));
    std::vector<std::string> args{"add", "--block", "8M", "arc.vlm", "big/exact.txt", "big/plus1.txt",
                                  "big/small.txt"};
    if (GetParam()) args.insert(args.begin() + 1, "--solid");
    Result add = vellum(args);
    ASSERT_EQ(0, add.status) << add.err;

    const std::vector<Record> records = records_of(read_file(path("arc.vlm")));
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(block, records[0].original_size);
    EXPECT_EQ(block + 1, records[1].original_size);

    Result extract = vellum({"x", "-o", "out", "arc.vlm"});
    ASSERT_EQ(0, extract.status) << extract.err;
    EXPECT_TRUE(read_file(path("big/exact.txt")) == read_file(path("out/exact.txt")));
    EXPECT_TRUE(read_file(path("big/plus1.txt")) == read_file(path("out/plus1.txt")));
    EXPECT_TRUE(read_file(path("big/small.txt")) == read_file(path("out/small.txt")));
}

INSTANTIATE_TEST_SUITE_P(Modes, BlockEdgeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Solid" : "Normal");
                         });

TEST_F(CliTest, AppendsOverSeveralAddsKeepTheArchivesBlockSize) {
    make_mixed_tree(path("tree"));
    Result first = vellum({"add", "--block", "8M", "arc", "tree/readme.txt"});
    ASSERT_EQ(0, first.status) << first.err;
    EXPECT_EQ(0u, first.out.find("Added 1 files  20000 bytes to ")) << first.out;
    ASSERT_TRUE(fs::exists(path("arc.vlm")));  // the extension is added

    Result second = vellum({"add", "arc.vlm", "tree/nested"});
    ASSERT_EQ(0, second.status) << second.err;
    // Each summary counts only its own command.
    EXPECT_EQ(0u, second.out.find("Added 3 files  10000 bytes to ")) << second.out;

    // A block size asked of an existing archive gives way to the archive's own.
    Result third = vellum({"add", "--block", "512M", "arc.vlm", "tree/bin", "tree/sound"});
    ASSERT_EQ(0, third.status) << third.err;
    EXPECT_NE(std::string::npos, third.err.find("block size 8M")) << third.err;

    Result fourth = vellum({"a", "arc", "tree/empty.txt", "tree/bundle.zip"});
    ASSERT_EQ(0, fourth.status) << fourth.err;

    const Bytes archive = read_file(path("arc.vlm"));
    EXPECT_EQ(0, archive[10]);
    EXPECT_EQ(0, archive[11]);
    EXPECT_EQ(9u, records_of(archive).size());

    Result extract = vellum({"x", "arc", "-o", "out"});
    ASSERT_EQ(0, extract.status) << extract.err;
    std::map<std::string, Bytes> want;
    for (auto& [name, bytes] : file_tree(path("tree/nested"))) want["nested/" + name] = bytes;
    for (auto& [name, bytes] : file_tree(path("tree/bin"))) want["bin/" + name] = bytes;
    for (auto& [name, bytes] : file_tree(path("tree/sound"))) want["sound/" + name] = bytes;
    for (const char* name : {"readme.txt", "empty.txt", "bundle.zip"}) want[name] = read_file(path("tree") / name);
    EXPECT_TRUE(want == file_tree(path("out")));
}

TEST_F(CliTest, SolidExtractionOfTheLastEntryWritesOnlyIt) {
    const Bytes a = text_data(30000, 31);
    const Bytes b = x86_program(20000, 32);
    const Bytes c = a.substr(100, 20000) + text_data(5000, 33);  // leans on a's history
    write_file(path("a.txt"), a);
    write_file(path("b.exe"), b);
    write_file(path("c.txt"), c);
    ASSERT_EQ(0, vellum({"add", "--solid", "arc", "a.txt", "b.exe", "c.txt"}).status);
    const Bytes archive = read_file(path("arc.vlm"));

    Result extract = vellum({"x", "-o", "out", "arc", "c.txt"});
    ASSERT_EQ(0, extract.status) << extract.err;
    EXPECT_TRUE(c == read_file(path("out/c.txt")));
    EXPECT_EQ(1u, file_tree(path("out")).size());
    // Every record read counts on the archive side; only the written file on the other.
    const std::string expected = "Extracted 1 files " + std::to_string(archive.size() - 12) + " bytes to " +
                                 std::to_string(c.size()) + " bytes from archive arc.vlm in ";
    EXPECT_EQ(0u, extract.out.find(expected)) << extract.out;

    Result middle = vellum({"x", "-o", "out2", "arc", "b.exe"});
    ASSERT_EQ(0, middle.status) << middle.err;
    EXPECT_TRUE(b == read_file(path("out2/b.exe")));
    EXPECT_EQ(1u, file_tree(path("out2")).size());
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
