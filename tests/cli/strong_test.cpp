// add --strong as a user runs it: archives the same with any thread count,
// listings that name the codec, every reading command, appends that mix the
// codecs, and an entry of a newer codec version.

#include <map>

#include <nlohmann/json.hpp>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

using json = nlohmann::json;

#if defined(VELLUM_SANITIZED)
constexpr size_t kScale = 4;  // the sanitized program codes several times slower
#else
constexpr size_t kScale = 1;
#endif

class StrongTest : public CliTest {
protected:
    void make_tree() {
        make_mixed_tree(path("src/mixed"));
        write_file(path("src/prose.txt"), text_data(120000 / kScale, 2));
        write_file(path("src/prog.exe"), x86_program(60000 / kScale, 3));
        write_file(path("src/noise.bin"), random_data(30000 / kScale, 4));
        for (int i = 0; i < 20; ++i)
            write_file(path("src/many/f" + std::to_string(i) + ".txt"), text_data(500 + 900 * i / kScale, i));
    }

    // The class field of each record, by entry path.
    std::map<std::string, unsigned> classes_of(const std::string& archive) {
        const Bytes bytes = read_file(path(archive));
        std::map<std::string, unsigned> classes;
        for (const Record& r : records_of(bytes)) {
            const uint64_t at = r.offset + 8 + 8 + 2 + 2 + r.folder_path.size() + 2 + r.file_name.size();
            classes[r.folder_path + r.file_name] =
                static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8;
        }
        return classes;
    }
};

// Catches strong entries that depend on the worker that coded them, that do
// not come back, or that the reading commands do not take.
TEST_F(StrongTest, SameArchiveWithAnyThreadsAndEveryReaderTakesIt) {
    make_tree();
    const Tree want = file_tree(path("src"));
    Bytes one;
    for (const char* threads : {"1", "2", "3"}) {
        const std::string name = std::string("s") + threads;
        const Result add = vellum({"add", "--strong", "-T", threads, name, "src"});
        ASSERT_EQ(0, add.status) << add.err;
        const Bytes archive = read_file(path(name + ".vlm"));
        if (one.empty()) one = archive;
        EXPECT_TRUE(one == archive) << "-T " << threads << " differs from -T 1";
    }
    ASSERT_EQ(0, vellum({"add", "-T1", "plain", "src"}).status);
    EXPECT_LT(one.size(), read_file(path("plain.vlm")).size());

    for (const char* threads : {"1", "2"}) {
        const std::string out = std::string("out") + threads;
        const Result x = vellum({"x", "-T", threads, "-o", out, "s1"});
        ASSERT_EQ(0, x.status) << x.err;
        EXPECT_TRUE(want == file_tree(path(out + "/src"))) << "-T " << threads;
        const Result t = vellum({"t", "-T", threads, "s1"});
        EXPECT_EQ(0, t.status) << t.err;
        EXPECT_TRUE(has(t.out, "all sound")) << t.out;
    }
    const Result info = vellum({"info", "s1"});
    EXPECT_EQ(0, info.status) << info.err;

    // Solid, and extracting one entry of it.
    ASSERT_EQ(0, vellum({"add", "--strong", "--solid", "solid", "src"}).status);
    ASSERT_EQ(0, vellum({"x", "-o", "outs", "solid"}).status);
    EXPECT_TRUE(want == file_tree(path("outs/src")));
    ASSERT_EQ(0, vellum({"x", "-o", "one", "solid", "src/prog.exe"}).status);
    EXPECT_TRUE(read_file(path("one/src/prog.exe")) == read_file(path("src/prog.exe")));

    // Deleting strong entries keeps the others as they were; so does an append
    // without --strong, which writes default entries beside the strong ones.
    ASSERT_EQ(0, vellum({"delete", "s1", "src/prose.txt"}).status);
    write_file(path("late/new.txt"), text_data(5000, 9));
    ASSERT_EQ(0, vellum({"add", "s1", "late"}).status);
    const auto classes = classes_of("s1.vlm");
    EXPECT_EQ(0u, classes.count("src\\prose.txt"));
    EXPECT_EQ(9u, classes.at("late\\new.txt"));
    EXPECT_EQ(0x109u, classes.at("src\\many\\f3.txt"));
    EXPECT_EQ(0x104u, classes.at("src\\prog.exe"));
    EXPECT_EQ(17u, classes.at("src\\noise.bin"));  // grown by any coding: stored
    ASSERT_EQ(0, vellum({"x", "-o", "outd", "s1"}).status);
    EXPECT_TRUE(read_file(path("outd/late/new.txt")) == read_file(path("late/new.txt")));
    EXPECT_TRUE(read_file(path("outd/src/prog.exe")) == read_file(path("src/prog.exe")));
}

// Catches listings that hide which codec coded an entry.
TEST_F(StrongTest, ListingsNameTheCodec) {
    write_file(path("a.txt"), text_data(4000, 1));
    write_file(path("b.exe"), x86_program(4000, 2));
    write_file(path("c.zip"), random_data(300, 3));
    ASSERT_EQ(0, vellum({"add", "--strong", "arc", "a.txt", "b.exe", "c.zip"}).status);
    ASSERT_EQ(0, vellum({"add", "arc", "a.txt"}).status);
    const Result entries = vellum({"list", "--entries", "arc"});
    ASSERT_EQ(0, entries.status) << entries.err;
    EXPECT_TRUE(has(entries.out, "265 strong text")) << entries.out;
    EXPECT_TRUE(has(entries.out, "260 strong x86 code")) << entries.out;
    EXPECT_TRUE(has(entries.out, " 17 stored")) << entries.out;
    EXPECT_TRUE(has(entries.out, "  9 text")) << entries.out;
    const Result verbose = vellum({"list", "-v", "arc"});
    ASSERT_EQ(0, verbose.status) << verbose.err;
    EXPECT_TRUE(has(verbose.out, "265 strong text")) << verbose.out;
    EXPECT_TRUE(has(verbose.out, "260 strong x86 code")) << verbose.out;
    const Result listed = vellum({"list", "--json", "arc"});
    ASSERT_EQ(0, listed.status) << listed.err;
    const json doc = json::parse(listed.out);
    ASSERT_EQ(4u, doc["entries"].size());
    EXPECT_EQ("strong", doc["entries"][0]["codec"]);
    EXPECT_EQ(1, doc["entries"][0]["codec_version"]);
    EXPECT_EQ(265, doc["entries"][0]["class"]);
    EXPECT_EQ("strong text", doc["entries"][0]["class_name"]);
    EXPECT_EQ("default", doc["entries"][2]["codec"]);  // the stored zip
    EXPECT_EQ("default", doc["entries"][3]["codec"]);
    EXPECT_EQ(0, doc["entries"][3]["codec_version"]);
}

// Catches a reader that calls a newer codec's entry damage, decodes it as
// something else, or stops at it: it is named, with the version it needs.
TEST_F(StrongTest, NewerCodecVersionIsUnsupportedTheOthersExtract) {
    write_file(path("src/a.txt"), text_data(3000, 1));
    write_file(path("src/b.txt"), text_data(3000, 2));
    write_file(path("src/c.txt"), text_data(3000, 3));
    ASSERT_EQ(0, vellum({"add", "--strong", "arc", "src/a.txt", "src/b.txt", "src/c.txt"}).status);
    Bytes bytes = read_file(path("arc.vlm"));
    const Record b = records_of(bytes)[1];
    const uint64_t at = b.offset + 8 + 8 + 2 + 2 + b.folder_path.size() + 2 + b.file_name.size();
    bytes[at + 1] = 3;  // version 3 of the strong codec, base class 9
    write_file(path("arc.vlm"), bytes);

    const Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(1, x.status);
    EXPECT_TRUE(has(x.err, "vellum: unsupported codec: b.txt: needs strong codec version 3 (skipped)")) << x.err;
    EXPECT_FALSE(has(x.err, "Damaged")) << x.err;
    EXPECT_TRUE(read_file(path("out/a.txt")) == read_file(path("src/a.txt")));
    EXPECT_TRUE(read_file(path("out/c.txt")) == read_file(path("src/c.txt")));
    EXPECT_FALSE(fs::exists(path("out/b.txt")));

    const Result t = vellum({"t", "arc"});
    EXPECT_EQ(1, t.status);
    EXPECT_TRUE(has(t.out, "1 not tested")) << t.out;
    const Result entries = vellum({"list", "--entries", "arc"});
    EXPECT_TRUE(has(entries.out, "777 unsupported codec 3")) << entries.out;
}

TEST_F(StrongTest, HelpTellsTheOption) {
    const Result help = vellum({"add", "--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(has(help.out, "--strong")) << help.out;
    write_file(path("f.txt"), "some text");
    const Result refused = vellum({"add", "--strong", "--best", "--solid", "arc", "f.txt"});
    EXPECT_EQ(2, refused.status);
    EXPECT_TRUE(has(refused.err, "--best and --solid")) << refused.err;
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
