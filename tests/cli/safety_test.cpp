// What extraction, locks, interrupts, temporaries and repair promise the user,
// seen from outside: nothing written through a link or over the archive, no
// truncated file under a real name, no command acting on an archive another one
// holds, nothing left behind by a delete, and a repair that cuts only what a
// kill left unfinished.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

// Names in `folder` (not below it) that start with `prefix`.
std::vector<std::string> names_starting(const fs::path& folder, const std::string& prefix) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0) found.push_back(name);
    }
    return found;
}

// Every extraction temporary anywhere below `root`.
size_t extraction_temps(const fs::path& root) {
    size_t n = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        n += entry.path().filename().string().compare(0, 9, "vellum-x-") == 0;
    return n;
}

// A lock held on a file from the test process, as another command would hold it.
struct HeldLock {
    int fd;
    HeldLock(const fs::path& path, int how) : fd(::open(path.c_str(), O_RDONLY)) {
        EXPECT_EQ(0, ::flock(fd, how | LOCK_NB)) << std::strerror(errno);
    }
    ~HeldLock() { ::close(fd); }
};

// A vellum run in the background, to be interrupted.
struct Running {
    pid_t pid = -1;
    fs::path err;
    Running(const std::vector<std::string>& args, const fs::path& cwd) : err(cwd / "running.err") {
        std::vector<std::string> all{VELLUM_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string folder = cwd.string(), err_path = err.string();
        pid = fork();
        if (pid == 0) {
            if (chdir(folder.c_str()) != 0) _exit(126);
            const int e = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = ::open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(e, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    // Waits (without a time limit: the condition is the program's own progress)
    // until `ready` holds or the program has ended; false when it ended first.
    template <class Ready>
    bool wait_until(Ready ready) {
        for (;;) {
            if (ready()) return true;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                ended = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    int interrupt(int signal) {
        if (ended >= 0) return ended;
        ::kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int ended = -1;
};

class SafetyTest : public CliTest {
protected:
    // a.txt and b.txt, one add each; b is large enough to damage in its middle.
    void make_ab() {
        write_file(path("a.txt"), text_data(3000, 1));
        write_file(path("b.txt"), text_data(60000, 2));
        ASSERT_EQ(0, vellum({"add", "--no-meta", "arc", "a.txt", "b.txt"}).status);
    }
};

// Item: links already in the destination are never followed. Catches an entry
// d\x written into the folder a link d leads to, and an entry f written through
// a link f into the file it names.
TEST_F(SafetyTest, ExtractionNeverWritesThroughLinks) {
    write_file(path("src/d/x"), "inner");
    write_file(path("src/f"), "top");
    write_file(path("src/d/sub/y"), "deep");
    ASSERT_EQ(0, run_vellum({"add", "../arc", "d", "f"}, path("src")).status);
    write_file(path("elsewhere/victim"), "victim");
    fs::create_directories(path("out"));
    fs::create_directory_symlink("../elsewhere", path("out/d"));
    fs::create_symlink("../elsewhere/victim", path("out/f"));
    Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(1, x.status);
    EXPECT_TRUE(has(x.err, "Link in the path: out/d/x (skipped)")) << x.err;
    EXPECT_TRUE(has(x.err, "out/d/sub/y")) << x.err;
    EXPECT_TRUE((Tree{{"victim", "victim"}}) == file_tree(path("elsewhere")));
    EXPECT_FALSE(fs::is_symlink(path("out/f")));
    EXPECT_EQ("top", read_file(path("out/f")));
    EXPECT_TRUE(fs::is_symlink(path("out/d")));
    EXPECT_EQ(0u, extraction_temps(path("out")));
    EXPECT_TRUE(has(x.out, "Extracted 1 file ")) << x.out;
}

// Items: a damaged entry or a full disk never costs the user a file, nor leaves
// a truncated one under its real name, and the summary counts only what was
// written. Catches a removed or truncated existing file, a temporary left
// behind, and a count that includes the entry that failed.
TEST_F(SafetyTest, FailedEntriesLeaveExistingFilesAlone) {
    make_ab();
    Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    ASSERT_EQ(2u, r.size());
    archive.replace(r[1].offset + 40, 5000, random_data(5000, 3));
    write_file(path("bad.vlm"), archive);
    write_file(path("out/b.txt"), "the user's own b.txt");
    Result x = vellum({"x", "-o", "out", "bad"});
    EXPECT_EQ(1, x.status);
    EXPECT_TRUE(has(x.err, "Damaged entry: b.txt (skipped)")) << x.err;
    EXPECT_TRUE((Tree{{"a.txt", text_data(3000, 1)}, {"b.txt", "the user's own b.txt"}}) == file_tree(path("out")));
    EXPECT_EQ(0u, x.out.find("Extracted 1 file ")) << x.out;
}

// Items: a full disk never costs the user a file nor leaves a part file, and
// with several workers an entry fails only where one thread would fail too. The
// two large entries fit the 1 MiB disk one at a time, not together: decoded side
// by side, their temporaries fill the disk for each other, so each must meet its
// failure alone before it counts. Catches a temporary left behind, a harmed
// existing file, and an entry lost to the temporary of one decoded beside it.
TEST_F(SafetyTest, FullDiskDuringExtractionLeavesNoPartialFile) {
    const SmallDisk disk(path("disk"));
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    write_file(path("big1.txt"), text_data(600000, 4));
    write_file(path("big2.txt"), text_data(600000, 5));
    write_file(path("huge.zip"), "PK\x03\x04" + random_data(1500000, 5));  // more than the disk holds
    write_file(path("c.txt"), text_data(30000, 6));
    ASSERT_EQ(0, vellum({"add", "-T", "1", "arc", "big1.txt", "big2.txt", "huge.zip", "c.txt"}).status);
    for (const char* threads : {"1", "2", "4"}) {
        SCOPED_TRACE(std::string("-T ") + threads);
        for (const char* name : {"big1.txt", "big2.txt", "c.txt"}) fs::remove(path("disk") / name);
        write_file(path("disk/huge.zip"), "kept");
        Result x = vellum({"x", "-T", threads, "-o", "disk", "arc"});
        EXPECT_EQ(1, x.status);
        EXPECT_TRUE(has(x.err, "Write error: disk/big2.txt: No space left on device (file not written)")) << x.err;
        EXPECT_TRUE(has(x.err, "Write error: disk/huge.zip: No space left on device (file not written)")) << x.err;
        EXPECT_TRUE((Tree{{"big1.txt", read_file(path("big1.txt"))},
                          {"huge.zip", "kept"},
                          {"c.txt", read_file(path("c.txt"))}}) == file_tree(path("disk")));
        EXPECT_EQ(0u, x.out.find("Extracted 2 files ")) << x.out;
    }
}

// Item: extracting into the folder that holds the archive never replaces it.
// Catches the archive truncated by an entry of its own name.
TEST_F(SafetyTest, ExtractionNeverReplacesTheArchiveItself) {
    write_file(path("src/arc.vlm"), "an entry named like the archive");
    write_file(path("src/other.txt"), "other");
    ASSERT_EQ(0, run_vellum({"add", "../arc", "arc.vlm", "other.txt"}, path("src")).status);
    const Bytes archive = read_file(path("arc.vlm"));
    Result x = vellum({"x", "arc.vlm"});
    EXPECT_EQ(1, x.status);
    EXPECT_TRUE(has(x.err, "Would replace the archive being read: arc.vlm (skipped)")) << x.err;
    EXPECT_TRUE(archive == read_file(path("arc.vlm")));
    EXPECT_EQ("other", read_file(path("other.txt")));
}

// Item: a command that cannot get its lock says so and changes nothing; readers
// share. Catches an add, delete or repair that acts on an archive another
// command reads, and a reader that goes on while a writer holds it.
TEST_F(SafetyTest, CommandsWaitForNoOneAndChangeNothingWhenLocked) {
    make_ab();
    write_file(path("c.txt"), "c");
    const Bytes before = read_file(path("arc.vlm"));
    {
        HeldLock reader(path("arc.vlm"), LOCK_SH);
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"add", "arc", "c.txt"}, {"delete", "arc", "a.txt"}, {"repair", "arc"}}) {
            Result run = vellum(args);
            EXPECT_EQ(2, run.status) << args[0];
            EXPECT_TRUE(has(run.err, "Archive in use by another command: nothing done: arc.vlm")) << run.err;
        }
        EXPECT_TRUE(before == read_file(path("arc.vlm")));
        for (const char* command : {"list", "info", "test"}) EXPECT_EQ(0, vellum({command, "arc"}).status) << command;
        EXPECT_EQ(0, vellum({"x", "-o", "shared", "arc"}).status);
        EXPECT_EQ(2u, file_tree(path("shared")).size());
    }
    {
        HeldLock writer(path("arc.vlm"), LOCK_EX);
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"list", "arc"}, {"info", "arc"}, {"test", "arc"}, {"x", "-o", "held", "arc"}}) {
            Result run = vellum(args);
            EXPECT_EQ(2, run.status) << args[0];
            EXPECT_TRUE(has(run.err, "Archive in use by another command")) << run.err;
        }
        EXPECT_FALSE(fs::exists(path("held")) && !file_tree(path("held")).empty());
    }
    EXPECT_EQ(0, vellum({"add", "arc", "c.txt"}).status);
}

// Item: delete's temporary is a new file of its own name, and what a killed
// delete left is removed by the next command that changes the archive, never by
// one that reads it. Catches a user's temp$$$.tmp overwritten, leftovers that
// stay forever, and a cleanup that takes files of other archives or other forms.
TEST_F(SafetyTest, DeleteTemporariesAreUniqueAndLeftoversAreCleared) {
    make_ab();
    write_file(path("temp$$$.tmp"), "the user's own file");
    const std::vector<std::string> strangers{"other.vlm.del-0123456789abcdef.tmp", "arc.vlm.del-0123.tmp",
                                             "arc.vlm.del-0123456789abcdeg.tmp"};
    for (const std::string& name : strangers) write_file(path(name), "not ours");
    const std::string leftover = "arc.vlm.del-00112233445566ff.tmp";
    const struct {
        std::vector<std::string> args;
        bool clears;
    } cases[] = {
        {{"list", "arc"}, false}, {{"test", "arc"}, false}, {{"x", "-o", "o", "arc"}, false},
        {{"delete", "arc", "a.txt"}, true}, {{"add", "arc", "a.txt"}, true}, {{"repair", "arc"}, true},
    };
    for (const auto& c : cases) {
        write_file(path(leftover), "left by a killed delete");
        Result run = vellum(c.args);
        EXPECT_EQ(0, run.status) << c.args[0] << run.err;
        EXPECT_EQ(!c.clears, fs::exists(path(leftover))) << c.args[0];
        EXPECT_EQ(c.clears, has(run.err, "Removed the leftover of an interrupted delete: " + leftover)) << run.err;
        for (const std::string& name : strangers) EXPECT_EQ("not ours", read_file(path(name))) << name;
        EXPECT_EQ("the user's own file", read_file(path("temp$$$.tmp")));
    }
    // Only the two strangers of that prefix: no delete left a temporary of its own.
    EXPECT_EQ(2u, names_starting(dir_, "arc.vlm.del-").size());
}

// Item: an interrupt stops add and extract at a safe point, says "interrupted"
// and exits non-zero; the entry in work is cut back and no temporary stays.
// Catches a half-written record kept, a partial file left, and exit status 0.
TEST_F(SafetyTest, InterruptStopsAtASafePointAndCleansUp) {
    write_file(path("small.txt"), text_data(5000, 7));
    ASSERT_EQ(0, vellum({"add", "arc", "small.txt"}).status);
    const Bytes before = read_file(path("arc.vlm"));
    // Seconds of coding and of decoding: bytes of 200 values at random code a
    // little smaller than stored (about 7.6 bits a byte), so the entry stays coded
    // and decodes as slowly as it was coded. Random bytes of all 256 values would
    // be stored, and their extraction could end before the interrupt arrives.
    Bytes big = random_data(3 << 20, 8);
    for (char& c : big) c = static_cast<char>(static_cast<uint8_t>(c) % 200);
    write_file(path("big.bin"), big);
    for (int signal : {SIGINT, SIGTERM}) {
        Running add({"add", "arc", "big.bin"}, dir_);
        // Coded bytes of the new entry reach the file as the coder writes them.
        ASSERT_TRUE(add.wait_until([&] { return fs::file_size(path("arc.vlm")) > before.size() + 65536; }));
        EXPECT_EQ(130, add.interrupt(signal));
        EXPECT_TRUE(has(read_file(add.err), "vellum: interrupted")) << read_file(add.err);
        EXPECT_TRUE(before == read_file(path("arc.vlm")));
    }
    ASSERT_EQ(0, vellum({"add", "--block", "8M", "whole", "big.bin", "small.txt"}).status);
    {
        const Bytes whole = read_file(path("whole.vlm"));
        const Record first = records_of(whole).at(0);
        const size_t class_at = first.offset + 22 + first.folder_path.size() + first.file_name.size();
        ASSERT_NE(Bytes("\x11\x00", 2), whole.substr(class_at, 2)) << "big.bin must stay coded";
    }
    Running x({"x", "-o", "out", "whole"}, dir_);
    ASSERT_TRUE(x.wait_until([&] { return fs::exists(path("out")) && extraction_temps(path("out")) > 0; }));
    EXPECT_EQ(130, x.interrupt(SIGINT));
    EXPECT_TRUE(has(read_file(x.err), "vellum: interrupted")) << read_file(x.err);
    EXPECT_EQ(0u, extraction_temps(path("out")));
    EXPECT_TRUE(file_tree(path("out")).empty());
}

// Issue: repair cuts exactly what a kill leaves unfinished, in normal and solid
// archives, and nothing else. Catches a cut of a sound archive, a tail left in
// place, a cut that takes a finished entry, and a damaged middle record cut.
TEST_F(SafetyTest, RepairCutsOnlyAnUnfinishedTail) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) write_file(path(name), text_data(4000 + *name, *name));
    ASSERT_EQ(0, vellum({"add", "--no-meta", "arc", "a.txt", "b.txt", "c.txt"}).status);
    ASSERT_EQ(0, vellum({"add", "--solid", "--no-meta", "solid", "a.txt", "b.txt", "c.txt"}).status);
    const Bytes good = read_file(path("arc.vlm")), solid = read_file(path("solid.vlm"));
    const std::vector<Record> r = records_of(good), s = records_of(solid);
    ASSERT_EQ(3u, r.size());
    ASSERT_EQ(3u, s.size());
    auto zeroed = [](Bytes b, uint64_t at) { return b.replace(at, 8, le(0, 8)); };
    const struct {
        const char* what;
        Bytes archive, after;
        int status;
        const char* says;
    } cases[] = {
        {"sound", good, good, 0, "Nothing to repair in case0.vlm: the record heads of its 3 entries are sound; the data was not checked: 'vellum test case0.vlm' checks it"},
        {"zero-length tail", zeroed(good, r[2].offset), good.substr(0, r[2].offset), 0,
         "Removed the unfinished entry c.txt: "},
        {"tail past the end", good.substr(0, good.size() - 10), good.substr(0, r[2].offset), 0,
         "Removed the unfinished entry c.txt: "},
        {"head cut short", good.substr(0, r[2].offset + 13), good.substr(0, r[2].offset), 0,
         "Removed the unfinished entry (name not written): 13 bytes"},
        {"zero-length middle", zeroed(good, r[1].offset), zeroed(good, r[1].offset), 2,
         "record length 0 (an add that never finished), but whole records follow it"},
        {"length too small", Bytes(good).replace(r[1].offset, 8, le(20, 8)), Bytes(good).replace(r[1].offset, 8, le(20, 8)),
         2, "is smaller than the record's own head"},
        {"solid zero-length tail", zeroed(solid, s[2].offset), solid.substr(0, s[2].offset), 0,
         "Removed the unfinished entry c.txt: "},
    };
    for (const auto& c : cases) {
        const std::string name = "case" + std::to_string(&c - cases);
        write_file(path(name + ".vlm"), c.archive);
        Result list = vellum({"list", name});
        EXPECT_EQ(c.archive != c.after && c.status == 0, has(list.err, "'vellum repair " + name + ".vlm'")) << c.what << list.err;
        Result x = vellum({"x", "-o", name + "before", name});
        EXPECT_EQ(c.archive != c.after && c.status == 0, has(x.err, "'vellum repair " + name + ".vlm'")) << c.what << x.err;
        EXPECT_TRUE(c.archive == read_file(path(name + ".vlm"))) << c.what;  // reading never modifies
        Result repair = vellum({"repair", name});
        EXPECT_EQ(c.status, repair.status) << c.what << repair.err;
        EXPECT_TRUE(has(repair.out + repair.err, c.says)) << c.what << ": " << repair.out << repair.err;
        EXPECT_TRUE(c.after == read_file(path(name + ".vlm"))) << c.what;
        if (c.status != 0) continue;
        EXPECT_EQ(0, vellum({"test", name}).status) << c.what;
        EXPECT_EQ(0, vellum({"x", "-o", name + "out", name}).status) << c.what;
        EXPECT_TRUE(files_of(dir_, c.after == c.archive ? std::vector<std::string>{"a.txt", "b.txt", "c.txt"}
                                                        : std::vector<std::string>{"a.txt", "b.txt"}) ==
                    file_tree(path(name + "out")))
            << c.what;
    }
    EXPECT_TRUE(has(vellum({"--help"}).out, "repair, r   ARCHIVE"));
    EXPECT_EQ(0u, vellum({"repair", "--help"}).out.find("Usage: vellum repair ARCHIVE"));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
