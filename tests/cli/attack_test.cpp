// Attacks on extraction through crafted archives and racing processes, and the
// promises of checksums, threads and bounds that an attacker or a busy disk
// tests. Each case writes its archive by hand where the attack needs bytes no
// honest add writes.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

// A stored record appended to an archive: the stuff of metadata entries.
void append_record(const fs::path& archive, const std::string& folder, const std::string& name, const Bytes& data,
                   unsigned file_class = 17) {
    Bytes record = le(0, 8) + le(data.size(), 8) + le(0, 2) + le(folder.size(), 2) + folder + le(name.size(), 2) +
                   name + le(file_class, 2) + data;
    const Bytes length = le(record.size(), 8);
    record.replace(0, 8, length);
    write_file(archive, read_file(archive) + record);
}

void append_meta(const fs::path& archive, const std::string& lines) {
    append_record(archive, ".vellum\\", "meta", "vellum-meta 1\n" + lines);
}

unsigned mode_of(const fs::path& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0u;
}

// Every path below a folder with its kind, mode and bytes: what "nothing
// changed" is measured against.
std::map<std::string, std::string> state_of(const fs::path& root) {
    std::map<std::string, std::string> all;
    all["."] = std::to_string(mode_of(root));
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        const fs::file_status st = fs::symlink_status(e.path());
        std::string what = std::to_string(mode_of(e.path()));
        if (fs::is_symlink(st))
            what += " link " + fs::read_symlink(e.path()).string();
        else if (fs::is_regular_file(st))
            what += " file " + read_file(e.path());
        all[rel] = what;
    }
    return all;
}

size_t files_below(const fs::path& root) {
    size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(root)) n += fs::is_directory(fs::symlink_status(e.path())) ? 0 : 1;
    return n;
}

class AttackTest : public CliTest {
protected:
    fs::path cage() { return path("cage"); }        // the destination's parent
    fs::path outside() { return path("cage/outside"); }
    fs::path dest() { return path("cage/dest"); }
    void SetUp() override {
        CliTest::SetUp();
        write_file(outside() / "victim", "victim");
        fs::permissions(outside() / "victim", static_cast<fs::perms>(0600));
        fs::permissions(outside(), static_cast<fs::perms>(0755));
        fs::permissions(cage(), static_cast<fs::perms>(0755));
        write_file(path("f.txt"), "the file");
    }
    // An archive of f.txt and the crafted metadata lines after it.
    std::string crafted(const std::string& name, const std::string& lines) {
        fs::remove(path(name + ".vlm"));
        EXPECT_EQ(0, vellum({"add", name, "f.txt"}).status);
        append_meta(path(name + ".vlm"), lines);
        return name;
    }
};

// Crafted metadata of every kind seen: links that each stay inside but lead out
// when chained, a NUL in a link's text, links through "." and "..", a link that
// was already in the destination, folders made and changed through any of them.
// Catches any of them writing, changing or linking anything outside.
TEST_F(AttackTest, CraftedMetadataChangesNothingOutsideTheDestination) {
    const char* attacks[] = {
        // Chained: x/b leads to the destination, a to its parent, then a link through a.
        "L 0 0 x\\b ..\nL 0 0 a x/b/..\nL 0 0 a\\outside\\victim pwned\nD 777 0 0 a\\outside\n",
        // A NUL: the check would see "..\0", the system "..".
        "L 0 0 n ..%00\nL 0 0 n\\outside\\victim pwned\n",
        // "." and "..", then folder modes and times sent through them.
        "L 0 0 l .\nL 0 0 l\\q ..\nD 777 5 0 q\nD 777 5 0 l\\q\nD 777 5 0 l\\q\\outside\n",
        // Through a link that stands in the destination already.
        "D 700 5 0 pre\\made\nL 0 0 pre\\l2 x\nD 777 5 0 pre\nL 0 0 pre\\victim pwned\n",
        // Hard links: a second name through that link, over the file written, and climbing out.
        "H pre\\victim f.txt\nH f.txt f.txt\nH ..\\outside\\victim f.txt\nH x\\..\\..\\y f.txt\n",
    };
    const auto before = state_of(cage());
    int case_number = 0;
    for (const char* lines : attacks) {
        SCOPED_TRACE(lines);
        fs::remove_all(dest());
        fs::create_directories(dest());
        fs::create_directory_symlink("../outside", dest() / "pre");
        const std::string arc = crafted("arc" + std::to_string(case_number++), lines);
        const Result x = vellum({"x", "-o", dest().string(), arc});
        EXPECT_EQ(before.at("outside/victim"), state_of(cage()).at("outside/victim"));
        EXPECT_EQ(read_file(dest() / "f.txt"), "the file");
        fs::remove_all(dest());
        EXPECT_EQ(before, state_of(cage())) << x.err;
    }
}

// A link entry named like the archive, extracted into the archive's own folder.
TEST_F(AttackTest, ALinkNeverReplacesTheArchiveBeingRead) {
    crafted("arc", "L 0 0 arc.vlm elsewhere\nL 0 0 f.txt elsewhere\nH arc.vlm f.txt\n");
    const Bytes archive = read_file(path("arc.vlm"));
    fs::remove(path("f.txt"));
    const Result x = vellum({"x", "arc"});
    EXPECT_NE(0, x.status);
    EXPECT_EQ(archive, read_file(path("arc.vlm")));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path("arc.vlm"))));
    // A link with the path of a file entry never replaces the file extracted.
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path("f.txt"))));
    EXPECT_EQ(read_file(path("f.txt")), "the file");
}

// A second process swaps a folder of the destination for a link to a folder
// outside, over and over, while extraction with two threads writes below it.
// Catches any name resolved by path between a check and a write.
TEST_F(AttackTest, FoldersSwappedForLinksDuringExtractionLeadNowhere) {
    for (int i = 0; i < 400; ++i) write_file(path("src/d/s" + std::to_string(i % 7) + "/f" + std::to_string(i)), "x" + std::to_string(i));
    ASSERT_EQ(0, vellum({"add", "--meta", "arc", "src"}).status);
    size_t escaped = 0;
    for (int round = 0; round < 6; ++round) {
        fs::remove_all(dest());
        fs::create_directories(dest() / "src");
        const pid_t swapper = fork();
        if (swapper == 0) {
            // Bounded: at most 200,000 swaps, or until killed.
            const std::string d = (dest() / "src/d").string(), moved = (dest() / "src/d.real").string();
            const std::string target = outside().string();
            for (int k = 0; k < 200000; ++k) {
                if (rename(d.c_str(), moved.c_str()) == 0) {
                    symlink(target.c_str(), d.c_str());
                    usleep(50);
                    unlink(d.c_str());
                    rename(moved.c_str(), d.c_str());
                } else {
                    symlink(target.c_str(), d.c_str());
                    usleep(50);
                    unlink(d.c_str());
                }
            }
            _exit(0);
        }
        run_vellum({"x", "-T", "2", "-o", dest().string(), "arc"}, dir_, false, 300);
        kill(swapper, SIGKILL);
        waitpid(swapper, nullptr, 0);
        escaped += files_below(outside()) - 1;  // the victim stands there
        EXPECT_EQ(mode_of(outside()), 0755u);
    }
    EXPECT_EQ(escaped, 0u);
}

// Catches damaged bytes replacing a good file before the checksum is compared.
TEST_F(AttackTest, AMismatchedChecksumLeavesTheExistingFileAlone) {
    write_file(path("x.zip"), "PK\x03\x04" + random_data(5000, 4));
    ASSERT_EQ(0, vellum({"add", "--meta", "arc", "x.zip"}).status);
    Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    archive[r[0].offset + r[0].length - 100] ^= 0x20;
    write_file(path("arc.vlm"), archive);
    write_file(dest() / "x.zip", "good");
    const Result x = vellum({"x", "-o", dest().string(), "arc"});
    EXPECT_EQ(1, x.status) << x.err;
    EXPECT_TRUE(has(x.err, "x.zip")) << x.err;
    EXPECT_EQ(read_file(dest() / "x.zip"), "good");
    EXPECT_EQ(files_below(dest()), 1u);
}

// The same path added twice with metadata, changed in between: both copies are
// sound. And two equal copies, the first really damaged: the damage is found.
TEST_F(AttackTest, ChecksumsBelongToRecordsNotToPaths) {
    // Two adds of one path, as older archives and the desktop program hold them:
    // the second archive's records after the first one's.
    const auto joined = [this](const std::string& to, const std::string& more) {
        write_file(path(to), read_file(path(to)) + read_file(path(more)).substr(12));
    };
    write_file(path("f.txt"), text_data(3000, 1));
    ASSERT_EQ(0, vellum({"add", "arc", "f.txt"}).status);
    write_file(path("f.txt"), text_data(3100, 2));
    ASSERT_EQ(0, vellum({"add", "arc2", "f.txt"}).status);
    joined("arc.vlm", "arc2.vlm");
    const Result t = vellum({"test", "arc"});
    EXPECT_EQ(0, t.status) << t.out << t.err;
    EXPECT_TRUE(has(t.out, "all sound, 2 checksums verified")) << t.out;
    const Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(0, x.status) << x.err;
    EXPECT_EQ(read_file(path("out/f.txt")), text_data(3100, 2));

    write_file(path("g.zip"), "PK\x03\x04" + random_data(3000, 5));
    ASSERT_EQ(0, vellum({"add", "same", "g.zip"}).status);
    ASSERT_EQ(0, vellum({"add", "same2", "g.zip"}).status);
    joined("same.vlm", "same2.vlm");
    Bytes archive = read_file(path("same.vlm"));
    const std::vector<Record> r = records_of(archive);
    archive[r[0].offset + r[0].length - 10] ^= 1;
    write_file(path("same.vlm"), archive);
    const Result damaged = vellum({"test", "same"});
    EXPECT_EQ(1, damaged.status);
    EXPECT_TRUE(has(damaged.out, "1 damaged")) << damaged.out;
}

// A file written to while it is added: the checksum is of the bytes stored, so
// the archive tests sound, and the add says the file changed (status 1).
TEST_F(AttackTest, AFileThatChangesWhileReadIsStoredAsReadAndReported) {
    write_file(path("log.txt"), text_data(12 << 20, 7));
    const pid_t writer = fork();
    if (writer == 0) {
        const std::string log = path("log.txt").string();
        for (int k = 0; k < 2000000; ++k) {
            FILE* f = std::fopen(log.c_str(), "ab");
            if (f) {
                std::fputs("another line\n", f);
                std::fclose(f);
            }
            usleep(200);
        }
        _exit(0);
    }
    const Result add = run_vellum({"add", "--meta", "arc", "log.txt"}, dir_, false, 300);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(1, add.status) << add.err;
    EXPECT_TRUE(has(add.err, "changed while it was read")) << add.err;
    const Result t = vellum({"test", "arc"});
    EXPECT_EQ(0, t.status) << t.out << t.err;
}

// Room for the files but not for the metadata: not recording what was asked is
// a failure.
TEST_F(AttackTest, MetadataThatCannotBeWrittenFailsTheAdd) {
    SmallDisk disk(path("disk"));
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    write_file(path("src/big.zip"), "PK\x03\x04" + random_data(1000000, 6));
    // Folder names that code no smaller than half their text.
    const Bytes noise = random_data(2500 * 20, 7);
    for (int i = 0; i < 2500; ++i) {
        std::string name = "folder-";
        for (int k = 0; k < 20; ++k) name += "0123456789abcdef"[static_cast<uint8_t>(noise[i * 20 + k]) & 15];
        fs::create_directories(path("src/" + name + "-" + std::to_string(i)));
    }
    const Result add = vellum({"add", "disk/arc", "src"});
    EXPECT_EQ(2, add.status) << add.err;
    EXPECT_TRUE(has(add.err, "metadata")) << add.err;
    EXPECT_EQ(0, vellum({"test", "disk/arc"}).status);
}

// A file that became a folder between two adds, both ways round: what is
// written, said and returned never depends on the number of threads.
TEST_F(AttackTest, FileAndFolderConflictsGiveWhatOneThreadGives) {
    write_file(path("one/a"), "a file");
    write_file(path("two/a/b"), "below a folder");
    for (const char* order : {"file-first", "folder-first"}) {
        SCOPED_TRACE(order);
        const std::string arc = order;
        const bool file_first = std::string(order) == "file-first";
        ASSERT_EQ(0, run_vellum({"add", "--meta", "../" + arc, "a"}, path(file_first ? "one" : "two")).status);
        ASSERT_EQ(0, run_vellum({"add", "--meta", "../" + arc, "a"}, path(file_first ? "two" : "one")).status);
        std::string first;
        for (const char* threads : {"1", "2", "4"}) {
            const std::string out = arc + "-out";
            fs::remove_all(path(out));
            const Result x = vellum({"x", "-T", threads, "-o", out, arc});
            const std::string seen = std::to_string(x.status) + "\n" + x.err + "\n" +
                                     (fs::is_directory(path(out + "/a")) ? "folder" : "file");
            if (first.empty()) first = seen;
            EXPECT_EQ(first, seen) << "-T " << threads;
            const Result t = vellum({"test", "-T", threads, arc});
            EXPECT_EQ(0, t.status) << t.out << t.err;
        }
        EXPECT_EQ(file_first ? "1" : "1", first.substr(0, 1)) << first;
    }
}

// Names that differ only after a NUL byte: damage, never a file cut at the NUL.
TEST_F(AttackTest, NamesWithANulByteAreDamage) {
    ASSERT_EQ(0, vellum({"add", "arc", "f.txt"}).status);
    append_record(path("arc.vlm"), "", std::string("a\0b", 3), "first");
    append_record(path("arc.vlm"), "", std::string("a\0c", 3), "second");
    const Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(1, x.status);
    EXPECT_FALSE(fs::exists(path("out/a")));
    EXPECT_TRUE(fs::exists(path("out/f.txt")));
    EXPECT_TRUE(has(x.err, "Damaged entry")) << x.err;
}

// --stdout and the checksum test keep no copy of the data on disk.
TEST_F(AttackTest, NothingIsSpooledToTheTemporaryFolder) {
    write_file(path("src/t.txt"), text_data(200000, 3));
    write_file(path("src/u.txt"), text_data(1000, 4));
    ASSERT_EQ(0, vellum({"add", "--meta", "arc", "src/t.txt", "src/u.txt"}).status);
    fs::create_directories(path("tmp"));
    const char* old = std::getenv("TMPDIR");
    const std::string keep = old ? old : "";
    setenv("TMPDIR", path("tmp").c_str(), 1);
    fs::permissions(path("tmp"), static_cast<fs::perms>(0500));  // and not even writable
    const Result out = vellum({"x", "--stdout", "arc"});
    const Result t = vellum({"test", "arc"});
    fs::permissions(path("tmp"), static_cast<fs::perms>(0700));
    if (old) setenv("TMPDIR", keep.c_str(), 1); else unsetenv("TMPDIR");
    EXPECT_EQ(0, out.status) << out.err;
    EXPECT_EQ(out.out, text_data(200000, 3) + text_data(1000, 4));
    EXPECT_EQ(0, t.status) << t.err;
    EXPECT_TRUE(fs::is_empty(path("tmp")));
}

// --stdout hands an entry's first bytes out long before the entry ends: the
// reader takes 64 KiB and stops, the program blocks on the full pipe, and by
// then it has read only the first part of the archive (its read position shows
// it). Normal and solid; the entry is one large block of text.
TEST_F(AttackTest, StdoutStreamsAnEntryAsItIsDecoded) {
    write_file(path("big.txt"), text_data(24 << 20, 8));
    for (const char* mode : {"normal", "solid"}) {
        SCOPED_TRACE(mode);
        const std::string arc = std::string("s-") + mode;
        std::vector<std::string> add{"add", arc, "big.txt"};
        if (std::string(mode) == "solid") add.insert(add.begin() + 1, "--solid");
        ASSERT_EQ(0, vellum(add).status);
        const uint64_t archive_size = fs::file_size(path(arc + ".vlm"));
        int pipe_fds[2];
        ASSERT_EQ(0, pipe(pipe_fds));
        const std::string binary = VELLUM_BINARY, where = dir_.string(), name = arc;
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(where.c_str()) != 0) _exit(126);
            dup2(pipe_fds[1], 1);
            close(pipe_fds[0]);
            execl(binary.c_str(), binary.c_str(), "-q", "x", "-T", "1", "--stdout", name.c_str(), (char*)nullptr);
            _exit(127);
        }
        close(pipe_fds[1]);
        std::string first;
        char buffer[4096];
        while (first.size() < 65536) {
            const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            first.append(buffer, static_cast<size_t>(got));
        }
        ASSERT_GE(first.size(), 65536u);
        EXPECT_EQ(first.substr(0, 65536), read_file(path("big.txt")).substr(0, 65536));
        // The program now waits on the pipe. Where does it stand in the archive?
        uint64_t position = archive_size;
        for (int tries = 0; tries < 200 && position == archive_size; ++tries) {
            usleep(10000);
            for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(child) + "/fd")) {
                std::error_code ec;
                if (fs::read_symlink(fd.path(), ec) != path(arc + ".vlm")) continue;
                const Bytes info = read_file("/proc/" + std::to_string(child) + "/fdinfo/" + fd.path().filename().string());
                position = std::stoull(info.substr(info.find("pos:") + 4));
            }
        }
        EXPECT_LT(position, archive_size / 2) << "of " << archive_size;
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        close(pipe_fds[0]);
    }
}

// A metadata archive of 200,000 entries: checking it costs about what decoding
// does, in memory a small multiple of the metadata.
TEST_F(AttackTest, ManyEntriesWithMetadataTestWithinBounds) {
    ASSERT_EQ(0, vellum({"add", "arc", "f.txt"}).status);
    Bytes archive = read_file(path("arc.vlm")).substr(0, 12);
    std::string lines;
    const uint64_t empty_sum = 0xEF46DB3751D8E999ull;
    char hex[20];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(empty_sum));
    for (int i = 0; i < 200000; ++i) {
        const std::string name = "e" + std::to_string(i);
        const Bytes record_rest = le(0, 8) + le(0, 2) + le(2, 2) + "d\\" + le(name.size(), 2) + name + le(17, 2);
        archive += le(8 + record_rest.size(), 8) + record_rest;
        lines += "F 644 1 0 0 " + std::string(hex) + " " + std::to_string(8 + record_rest.size()) + " d\\" + name + "\n";
    }
    write_file(path("arc.vlm"), archive);
    append_meta(path("arc.vlm"), lines);
    const Result t = run_vellum({"test", "arc"}, dir_, false, 120);
    EXPECT_EQ(0, t.status) << t.err;
    EXPECT_TRUE(has(t.out, "200000 checksums verified")) << t.out;
#ifndef VELLUM_SANITIZED
    EXPECT_LT(t.max_rss_kib, 200 * 1024) << "KiB";
#endif
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
