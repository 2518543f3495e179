// Entries coded and decoded on several threads: the archive one thread writes,
// byte for byte, and the files and reports one thread gives.

#include <algorithm>
#include <regex>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

class ThreadsTest : public CliTest {
protected:
    // A few hundred files of every coding kind and of sizes from empty to a few
    // blocks' worth of the smallest block size, in nested folders.
    void make_many(const std::string& root) {
        make_mixed_tree(path(root + "/mixed"));
        for (int i = 0; i < 120; ++i) {
            const std::string dir = root + "/d" + std::to_string(i % 7) + "/";
            const size_t size = static_cast<size_t>((i * 7919) % 50000);
            write_file(path(dir + "t" + std::to_string(i) + ".txt"), text_data(size, i));
            if (i % 5 == 0) write_file(path(dir + "r" + std::to_string(i) + ".jpg"), random_data(size / 3, i));
            if (i % 9 == 0) write_file(path(dir + "p" + std::to_string(i) + ".exe"), x86_program(size + 100, i));
        }
        write_file(path(root + "/big/large.txt"), text_data((size_t{8} << 20) * 2 + 5, 99));
        const fs::path corpus = VELLUM_CORPUS_DIR;
        if (fs::is_directory(corpus)) fs::copy(corpus, path(root + "/corpus"), fs::copy_options::recursive);
    }
    // The summary line without its timing.
    static std::string untimed(const std::string& text) {
        return std::regex_replace(text, std::regex(" in [0-9.]+ sec\\.|[0-9.]+ sec|[0-9.]+ MB/s"), "");
    }
};

// Catches any difference of order, content or length between the archive of
// one thread and those of several: coding state leaking from one file into
// another, entries written out of order or interleaved.
TEST_F(ThreadsTest, ArchivesAreTheSameWithAnyThreadCount) {
    make_many("src");
    for (const char* block : {"8M", "32M"}) {
        Bytes one;
        for (const char* threads : {"1", "2", "5"}) {
            const std::string name = std::string("a") + block + "-" + threads;
            const Result add = vellum({"add", "--block", block, "-T", threads, name, "src"});
            ASSERT_EQ(0, add.status) << add.err;
            const Bytes archive = read_file(path(name + ".vlm"));
            if (one.empty()) {
                one = archive;
                EXPECT_GT(records_of(one).size(), 150u);
            } else {
                EXPECT_TRUE(one == archive) << block << " with -T " << threads << " differs from -T 1";
            }
        }
    }
    // --meta too: its lines keep the walk's order whatever the threads.
    ASSERT_EQ(0, vellum({"add", "--meta", "-T1", "m1", "src"}).status);
    ASSERT_EQ(0, vellum({"add", "--meta", "-T3", "m3", "src"}).status);
    // The metadata entry holds the files' times, the same for both.
    EXPECT_TRUE(read_file(path("m1.vlm")) == read_file(path("m3.vlm")));
}

// Catches files lost, mixed up or left as temporaries by parallel decoding, and
// reports that differ from one thread's.
TEST_F(ThreadsTest, ExtractAndTestGiveWhatOneThreadGives) {
    make_many("src");
    ASSERT_EQ(0, vellum({"add", "--block", "8M", "-T1", "arc", "src"}).status);
    const Tree want = file_tree(path("src"));
    std::string reports;
    for (const char* threads : {"1", "2", "4"}) {
        const std::string out = std::string("out") + threads;
        const Result x = vellum({"x", "-T", threads, "-o", out, "arc"});
        ASSERT_EQ(0, x.status) << x.err;
        EXPECT_TRUE(want == file_tree(path(out + "/src"))) << "-T " << threads;
        const Result t = vellum({"t", "-T", threads, "arc"});
        EXPECT_EQ(0, t.status) << t.err;
        const std::string seen = untimed(x.out + x.err + t.out + t.err);
        if (reports.empty()) reports = seen;
        EXPECT_EQ(reports, seen) << "-T " << threads;
    }
    // --stdout: the entries' bytes in archive order.
    const Result one = vellum({"x", "-T1", "--stdout", "arc"});
    const Result two = vellum({"x", "-T2", "--stdout", "arc"});
    EXPECT_EQ(0, two.status) << two.err;
    EXPECT_TRUE(one.out == two.out);
    EXPECT_GT(one.out.size(), size_t{16} << 20);
}

// Catches damage reported out of order or miscounted, and of two entries of the
// same name the earlier one standing at the end.
TEST_F(ThreadsTest, DamageAndRepeatedNamesSettleInArchiveOrder) {
    for (int i = 0; i < 12; ++i) write_file(path("d/f" + std::to_string(i) + ".txt"), text_data(40000 + i, i));
    ASSERT_EQ(0, vellum({"add", "-T1", "arc", "d"}).status);
    // Later copies of one path, as older archives and the desktop program hold
    // them: other archives' records after the first one's.
    write_file(path("d/f3.txt"), "the later copy");
    ASSERT_EQ(0, vellum({"add", "-T1", "arc2", "d/f3.txt"}).status);
    write_file(path("d/f3.txt"), "the last copy");
    ASSERT_EQ(0, vellum({"add", "-T1", "arc3", "d/f3.txt"}).status);
    write_file(path("arc.vlm"),
               read_file(path("arc.vlm")) + read_file(path("arc2.vlm")).substr(12) + read_file(path("arc3.vlm")).substr(12));
    // Damage the coded data in the middle of three entries.
    Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    ASSERT_GE(r.size(), 12u);
    for (int k : {2, 5, 9}) {
        const uint64_t at = r[k].offset + r[k].length / 2;
        for (int b = 0; b < 64; ++b) archive[at + b] = static_cast<char>(archive[at + b] ^ 0x5A);
    }
    write_file(path("arc.vlm"), archive);
    std::string first;
    for (const char* threads : {"1", "3"}) {
        const std::string out = std::string("o") + threads;
        const Result x = vellum({"x", "-T", threads, "-o", out, "arc"});
        EXPECT_EQ(1, x.status) << x.err;
        EXPECT_EQ(3, std::count(x.err.begin(), x.err.end(), '\n')) << x.err;
        EXPECT_EQ("the last copy", read_file(path(out + "/f3.txt")));
        const Result t = vellum({"t", "-T", threads, "arc"});
        EXPECT_TRUE(has(t.out, "3 damaged")) << t.out;
        const std::string seen = untimed(x.out + x.err + t.out + t.err);
        if (first.empty()) first = seen;
        EXPECT_EQ(first, seen) << "-T " << threads;
        for (const auto& [name, bytes] : file_tree(path(out))) EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
    }
}

// Messages about the operands stand in the order of the operands with any
// thread count: a name refused by the walk (coded side by side with the files
// before it) and then a name that does not exist. Catches the missing name
// reported at once, ahead of what the earlier operands have to say.
// With --meta too, where a backslash inside a name must be refused, not taken
// for a folder, and the missing name's reason is kept while it waits.
TEST_F(ThreadsTest, MessagesFollowTheOperandsInOrder) {
    write_file(path("big.txt"), text_data(3 << 20, 5));
    write_file(path("back\\slash"), "bbb");
    write_file(path("d/a.txt"), text_data(2 << 20, 6));
    write_file(path("d/in\\side"), "ccc");
    for (const char* meta : {"", "--meta"}) {
    std::string first;
    for (const char* threads : {"1", "2", "3"}) {
        SCOPED_TRACE(std::string(meta) + " -T " + threads);
        fs::remove(path("arc.vlm"));
        std::vector<std::string> args = {"add", "-T", threads, "arc", "big.txt", "d", "back\\slash", "missing.txt"};
        if (*meta) args.insert(args.begin() + 1, meta);
        const Result add = vellum(args);
        EXPECT_EQ(1, add.status) << add.err;
        const size_t refused = add.err.find("back\\slash (skipped)");
        const size_t missing = add.err.find("missing.txt: No such file or directory (skipped)");
        ASSERT_NE(std::string::npos, refused) << add.err;
        ASSERT_NE(std::string::npos, missing) << add.err;
        EXPECT_LT(refused, missing) << add.err;
        EXPECT_TRUE(has(add.err, "d/in\\side (skipped)")) << add.err;
        EXPECT_FALSE(has(vellum({"list", "--entries", "arc"}).out, "side")) << "a name cut at its backslash";
        if (first.empty()) first = add.err;
        EXPECT_EQ(first, add.err);
    }
    }
}

// Entries whose records are larger than what the workers may hold before their
// turn: a stored file that a worker copies far faster than the command's thread
// writes it, and a coded one of random data, whose record outgrows the oldest
// job's share on its own. Catches a worker waiting for room that only its own
// written bytes can give, which it never sees (the add never ends).
TEST_F(ThreadsTest, RecordsLargerThanTheWorkersMayHoldAreWrittenOut) {
    write_file(path("big.zip"), random_data(size_t{40} << 20, 1));
    write_file(path("noise.bin"), random_data((size_t{35} << 20) / 2, 2));  // 17.5 MiB, coded
    write_file(path("small.txt"), text_data(100000, 3));
    Bytes one;
    for (const char* threads : {"1", "2", "4"}) {
        SCOPED_TRACE(threads);
        const std::string name = std::string("arc") + threads;
        const Result add = run_vellum({"add", "--no-meta", "-T", threads, name, "small.txt", "big.zip", "noise.bin", "small.txt"},
                                      dir_, false, 300);
        ASSERT_EQ(0, add.status) << "status " << add.status << ": " << add.err;
        const Bytes archive = read_file(path(name + ".vlm"));
        if (one.empty()) one = archive;
        EXPECT_TRUE(one == archive) << "-T " << threads << " differs from -T 1";
    }
    const std::vector<Record> r = records_of(one);
    ASSERT_EQ(r.size(), 3u);  // small.txt is named twice and added once
    EXPECT_GT(r[2].length, size_t{17} << 20);
    const Result x = vellum({"x", "-T", "2", "-o", "out", "arc2"});
    ASSERT_EQ(0, x.status) << x.err;
    EXPECT_TRUE(read_file(path("out/big.zip")) == read_file(path("big.zip")));
    EXPECT_TRUE(read_file(path("out/noise.bin")) == read_file(path("noise.bin")));
}

TEST_F(ThreadsTest, BadThreadCountsAreRefused) {
    write_file(path("f.txt"), "x");
    for (const char* bad : {"0", "65", "x", "-1", ""}) {
        const Result add = vellum({"add", "-T", bad, "arc", "f.txt"});
        EXPECT_EQ(2, add.status) << bad;
        EXPECT_TRUE(has(add.err, "thread count")) << add.err;
    }
    EXPECT_FALSE(fs::exists(path("arc.vlm")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
