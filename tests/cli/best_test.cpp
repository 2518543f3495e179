// add --best: every file coded with each parameter set, the smallest entry kept.
// Such archives must extract as any other and never be larger than the default.

#include <map>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

// Entry path -> the record, and the class its field records.
struct Entry {
    uint64_t length = 0;
    unsigned file_class = 0;
};

std::map<std::string, Entry> entries_of(const Bytes& archive) {
    std::map<std::string, Entry> entries;
    for (const Record& r : records_of(archive)) {
        // The class field follows the head: length, size, reserved, two names.
        const uint64_t at = r.offset + 8 + 8 + 2 + 2 + r.folder_path.size() + 2 + r.file_name.size();
        Entry e;
        e.length = r.length;
        e.file_class = static_cast<uint8_t>(archive[at]) | static_cast<uint8_t>(archive[at + 1]) << 8;
        entries[r.folder_path + r.file_name] = e;
    }
    return entries;
}

class BestTest : public CliTest {
protected:
    void make_tree() {
        // Random bytes under a text name: the class rule codes them and they grow.
        write_file(path("src/noise.txt"), random_data(60000, 1));
        write_file(path("src/prose.txt"), text_data(90000, 2));
        write_file(path("src/prog.exe"), x86_program(70000, 3));
        write_file(path("src/zeros.bin"), Bytes(50000, '\0'));
        write_file(path("src/empty.txt"), "");
        write_file(path("src/tiny.dat"), "ab");
        make_mixed_tree(path("src/mixed"));
        const fs::path corpus = VELLUM_CORPUS_DIR;
        if (fs::is_directory(corpus)) fs::copy(corpus, path("src/corpus"), fs::copy_options::recursive);
    }
};

// Catches a search that keeps a larger entry than the class rule's, loses a
// file, writes a class its data was not coded with, or differs with threads.
TEST_F(BestTest, NeverLargerThanTheDefaultAndExtractsAsUsual) {
    make_tree();
    ASSERT_EQ(0, vellum({"add", "--no-meta", "-T1", "plain", "src"}).status);
    const Result best = vellum({"add", "--no-meta", "--best", "-T1", "best", "src"});
    ASSERT_EQ(0, best.status) << best.err;
    const Bytes best_bytes = read_file(path("best.vlm"));
    const auto plain = entries_of(read_file(path("plain.vlm")));
    const auto chosen = entries_of(best_bytes);
    ASSERT_EQ(plain.size(), chosen.size());
    uint64_t plain_total = 0, best_total = 0;
    for (const auto& [name, entry] : plain) {
        ASSERT_EQ(1u, chosen.count(name)) << name;
        EXPECT_LE(chosen.at(name).length, entry.length) << name;
        plain_total += entry.length;
        best_total += chosen.at(name).length;
    }
    EXPECT_LT(best_total, plain_total);
    // The random file is stored: its record is its head, the class field and its bytes.
    const Entry noise = chosen.at("src\\noise.txt");
    EXPECT_EQ(17u, noise.file_class);
    EXPECT_EQ(8u + 8 + 2 + 2 + 4 + 2 + 9 + 2 + 60000, noise.length);
    // The default stores it too: coded, it would have grown.
    EXPECT_EQ(plain.at("src\\noise.txt").length, noise.length);

    // Other thread counts choose the same classes, byte for byte.
    ASSERT_EQ(0, vellum({"add", "--no-meta", "--best", "-T3", "best3", "src"}).status);
    EXPECT_TRUE(best_bytes == read_file(path("best3.vlm")));

    const Tree want = file_tree(path("src"));
    for (const char* threads : {"1", "2"}) {
        const std::string out = std::string("out") + threads;
        const Result x = vellum({"x", "-T", threads, "-o", out, "best"});
        ASSERT_EQ(0, x.status) << x.err;
        EXPECT_TRUE(want == file_tree(path(out + "/src"))) << "-T " << threads;
        const Result t = vellum({"t", "-T", threads, "best"});
        EXPECT_EQ(0, t.status) << t.out << t.err;
        EXPECT_TRUE(has(t.out, "all sound")) << t.out;
    }
    // Appending with --best to a default archive: the old entries stay as they were.
    write_file(path("more/late.txt"), random_data(3000, 9));
    const Bytes before = read_file(path("plain.vlm"));
    ASSERT_EQ(0, vellum({"add", "--best", "plain", "more"}).status);
    const Bytes after = read_file(path("plain.vlm"));
    ASSERT_GT(after.size(), before.size());
    EXPECT_TRUE(after.compare(0, before.size(), before) == 0);
    EXPECT_EQ(17u, entries_of(after).at("more\\late.txt").file_class);
}

TEST_F(BestTest, RefusedWithSolid) {
    write_file(path("f.txt"), "some text");
    const Result add = vellum({"add", "--best", "--solid", "arc", "f.txt"});
    EXPECT_EQ(2, add.status);
    EXPECT_TRUE(has(add.err, "--best and --solid")) << add.err;
    EXPECT_FALSE(fs::exists(path("arc.vlm")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
