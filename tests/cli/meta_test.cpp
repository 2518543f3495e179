// vellum add --meta: modes, times, links, folders and checksums kept in one
// extra stored entry per command, and given back or checked by extract, test,
// list and delete.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

struct Stamp {
    unsigned mode;
    long long seconds;
    long nanoseconds;
    bool operator==(const Stamp& o) const {
        return mode == o.mode && seconds == o.seconds && nanoseconds == o.nanoseconds;
    }
};

// Mode and modification time of every path below root, links not followed.
std::map<std::string, Stamp> stamps(const fs::path& root) {
    std::map<std::string, Stamp> all;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st;
        if (lstat(entry.path().c_str(), &st) != 0) continue;
        const bool link = S_ISLNK(st.st_mode);
        all[fs::relative(entry.path(), root).string()] =
            Stamp{link ? 0u : static_cast<unsigned>(st.st_mode & 07777), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    }
    return all;
}

void set_stamp(const fs::path& path, long long seconds, long nanoseconds) {
    struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW)) << path;
}

class MetaTest : public CliTest {
protected:
    // Files of several modes and times, links to a file and a folder inside the
    // tree, empty folders at two depths.
    void make_tree(const fs::path& root) {
        write_file(root / "a.txt", text_data(5000, 1));
        write_file(root / "bin/run.sh", "#!/bin/sh\necho hi\n");
        write_file(root / "docs/ro.txt", text_data(300, 2));
        write_file(root / "x.zip", "PK\x03\x04" + random_data(2000, 3));
        fs::create_directories(root / "empty/deeper");
        fs::create_directories(root / "alone");
        fs::create_symlink("../a.txt", root / "docs/to_a");
        fs::create_symlink("bin", root / "to_bin");
        fs::permissions(root / "bin/run.sh", static_cast<fs::perms>(0750));
        fs::permissions(root / "docs/ro.txt", static_cast<fs::perms>(0444));
        fs::permissions(root / "alone", static_cast<fs::perms>(0700));
        set_stamp(root / "a.txt", 981173106, 123456789);
        set_stamp(root / "docs/to_a", 1009843200, 5);
        for (const char* folder : {"empty/deeper", "empty", "alone", "docs", "bin", ""})
            set_stamp(root / folder, 1100000000 + std::string(folder).size(), 42);
    }
};

// Catches anything of the tree not given back: a byte, a mode, a time to the
// nanosecond, a link followed instead of recreated, an empty folder lost, and
// the metadata entry itself written out as a file.
TEST_F(MetaTest, TreeComesBackIdenticalInBothModes) {
    for (const char* mode : {"normal", "solid"}) {
        SCOPED_TRACE(mode);
        const fs::path src = path(std::string("src-") + mode), out = path(std::string("out-") + mode);
        make_tree(src / "tree");
        std::vector<std::string> add{"add", "--meta", "--block", "8M", "../arc-" + std::string(mode), "tree"};
        if (std::string(mode) == "solid") add.insert(add.begin() + 1, "--solid");
        Result a = run_vellum(add, src);
        ASSERT_EQ(0, a.status) << a.err;
        EXPECT_TRUE(has(a.out, "Added 4 files")) << a.out;
        const std::string archive = "arc-" + std::string(mode);
        Result t = vellum({"test", archive});
        EXPECT_EQ(0, t.status) << t.err;
        EXPECT_TRUE(has(t.out, "all sound, 4 checksums verified")) << t.out;
        Result x = vellum({"x", "-o", out.string(), archive});
        ASSERT_EQ(0, x.status) << x.err;
        const std::string diff = "diff -r --no-dereference '" + src.string() + "' '" + out.string() + "'";
        EXPECT_EQ(0, std::system(diff.c_str()));
        EXPECT_TRUE(stamps(src) == stamps(out));
        EXPECT_FALSE(fs::exists(out / ".vellum"));
        EXPECT_TRUE(fs::is_symlink(out / "tree/to_bin"));
        EXPECT_EQ("../a.txt", fs::read_symlink(out / "tree/docs/to_a").string());
    }
}

// Catches metadata that changes the archive's own entries: by default the
// archive is the plain one (--no-meta) with one coded entry after it.
TEST_F(MetaTest, WithoutMetaNothingChangesAndWithItOneEntryIsAppended) {
    write_file(path("t/a.txt"), text_data(3000, 7));
    write_file(path("t/sub/b.bin"), random_data(2000, 8));
    ASSERT_EQ(0, vellum({"add", "--no-meta", "plain", "t"}).status);
    ASSERT_EQ(0, vellum({"add", "meta", "t"}).status);
    const Bytes plain = read_file(path("plain.vlm")), meta = read_file(path("meta.vlm"));
    ASSERT_GT(meta.size(), plain.size());
    EXPECT_TRUE(plain == meta.substr(0, plain.size()));
    const std::vector<Record> r = records_of(meta);
    ASSERT_EQ(3u, r.size());
    EXPECT_EQ(".vellum\\", r[2].folder_path);
    EXPECT_EQ("meta", r[2].file_name);
    EXPECT_EQ(Bytes("\x09\x00", 2), meta.substr(r[2].offset + 24 + 8 + 4 - 2, 2));  // coded as text
    EXPECT_LT(r[2].length, 24 + 8 + 4 + r[2].original_size);
    EXPECT_EQ(0u, vellum({"x", "--stdout", "meta", ".vellum/meta"}).out.find("vellum-meta 1\n"));
    Result list = vellum({"list", "--entries", "meta"});
    EXPECT_TRUE(has(list.out, "Modified")) << list.out;
    EXPECT_FALSE(has(vellum({"list", "--entries", "plain"}).out, "Modified"));
    // A solid archive codes it too, standing alone, wrapped in a stored record that
    // any reader of the run takes as the bytes it holds: every reader of ours
    // takes the text without the run, and a pipe reads it front to back.
    for (const char* block : {"8M", "32M"}) {
        const std::string name = std::string("solid") + block;
        ASSERT_EQ(0, vellum({"add", "--solid", "--block", block, name, "t"}).status);
        const Bytes solid = read_file(path(name + ".vlm"));
        const std::vector<Record> s = records_of(solid);
        ASSERT_EQ(3u, s.size());
        const size_t data = s[2].offset + 24 + 8 + 4;  // after the names ".vellum\\" and "meta"
        EXPECT_EQ(Bytes("\x11\x00", 2), solid.substr(data - 2, 2)) << block;  // stored
        EXPECT_EQ(s[2].length, data - s[2].offset + s[2].original_size) << block;
        EXPECT_EQ(Bytes("\0VW1\x09\x00", 6), solid.substr(data, 6)) << block;  // wrapping text coded as text
        const Bytes text = vellum({"x", "--stdout", "meta", ".vellum/meta"}).out;
        EXPECT_LT(s[2].original_size, text.size()) << block;
        EXPECT_TRUE(has(vellum({"list", name}).out, "Modified")) << block;
        EXPECT_EQ(s[2].original_size, vellum({"x", "--stdout", name, ".vellum/meta"}).out.size()) << block;
        Result piped = script("\"$VELLUM\" l - < " + name + ".vlm");
        EXPECT_TRUE(has(piped.out, "Modified")) << piped.out;
        ASSERT_EQ(0, vellum({"x", "-C", "out" + name, name}).status);
        EXPECT_TRUE(file_tree(path("t")) == file_tree(path("out" + name + "/t")));
    }
}

// Catches a flipped byte that test or extract let through: the stored entry's
// bytes come out "sound" to the decoder, only the checksum can tell.
TEST_F(MetaTest, FlippedByteIsCaughtByTheChecksum) {
    write_file(path("x.zip"), "PK\x03\x04" + random_data(3000, 9));
    write_file(path("a.txt"), text_data(2000, 10));
    ASSERT_EQ(0, vellum({"add", "--meta", "arc", "x.zip", "a.txt"}).status);
    Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    archive[r[0].offset + 24 + 5 + 1500] ^= 0x01;  // inside x.zip's stored bytes
    write_file(path("arc.vlm"), archive);
    Result t = vellum({"test", "arc"});
    EXPECT_EQ(1, t.status);
    EXPECT_TRUE(has(t.err, "Damaged entry: x.zip (checksum differs")) << t.err;
    EXPECT_TRUE(has(t.out, "1 damaged, 1 checksum verified")) << t.out;
    Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(1, x.status);
    EXPECT_TRUE(has(x.err, "Damaged entry: out/x.zip (checksum differs")) << x.err;
    Result cat = vellum({"x", "--stdout", "arc", "x.zip"});
    EXPECT_EQ(1, cat.status);
}

// Catches links that lead out of the destination, and metadata lost or
// misapplied after a delete and a second command's append.
TEST_F(MetaTest, LinksStayInsideAndMetadataSurvivesDeleteAndAppend) {
    write_file(path("t/keep.txt"), "keep");
    write_file(path("t/gone.txt"), "gone");
    fs::create_symlink("../../outside", path("t/up"));
    fs::create_symlink("/etc/passwd", path("t/abs"));
    fs::permissions(path("t/keep.txt"), static_cast<fs::perms>(0600));
    set_stamp(path("t/keep.txt"), 1000000000, 1);
    ASSERT_EQ(0, vellum({"add", "--meta", "arc", "t"}).status);
    write_file(path("later.txt"), "later");
    fs::permissions(path("later.txt"), static_cast<fs::perms>(0604));
    set_stamp(path("later.txt"), 1200000000, 2);
    ASSERT_EQ(0, vellum({"add", "--meta", "arc", "later.txt"}).status);
    ASSERT_EQ(0, vellum({"delete", "arc", "t/gone.txt"}).status);
    Result x = vellum({"x", "-o", "out", "arc"});
    EXPECT_EQ(1, x.status);  // the two links are refused
    EXPECT_TRUE(has(x.err, "Unsafe link: t/up -> ../../outside (skipped)")) << x.err;
    EXPECT_TRUE(has(x.err, "Unsafe link: t/abs -> /etc/passwd (skipped)")) << x.err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(path("out/t/up"))));
    EXPECT_FALSE(fs::exists(path("out/t/gone.txt")));
    const auto got = stamps(path("out"));
    EXPECT_TRUE((Stamp{0600, 1000000000, 1}) == got.at("t/keep.txt"));
    EXPECT_TRUE((Stamp{0604, 1200000000, 2}) == got.at("later.txt"));
    EXPECT_TRUE(has(vellum({"test", "arc"}).out, "2 checksums verified"));
    // The last files deleted take the metadata with them.
    Result all = vellum({"delete", "arc", "t", "later.txt"});
    EXPECT_EQ(0, all.status) << all.err;
    EXPECT_FALSE(fs::exists(path("arc.vlm")));
}

// Catches absolute links that can never be restored, made without being asked,
// written through, or let a relative link climb out with them.
TEST_F(MetaTest, AbsoluteLinksAreMadeOnlyWithP) {
    write_file(path("victim.txt"), "victim");
    write_file(path("t/abs"), "a file first: the archive's later entries come after it");
    ASSERT_EQ(0, vellum({"add", "arc", "t"}).status);
    fs::remove(path("t/abs"));
    fs::create_symlink(path("victim.txt"), path("t/abs"));
    fs::create_symlink("../../outside", path("t/up"));
    write_file(path("t/a.txt"), "a");
    ASSERT_EQ(0, vellum({"add", "arc2", "t"}).status);
    for (const char* from : {"file", "pipe"}) {
        SCOPED_TRACE(from);
        const std::string out = std::string("out-") + from;
        const std::string plain = std::string("plain-") + from;
        const bool pipe = std::string(from) == "pipe";
        const Result refused = pipe ? script("\"$VELLUM\" x - -C " + plain + " < arc2.vlm")
                                    : vellum({"x", "-C", plain, "arc2"});
        EXPECT_EQ(1, refused.status);
        EXPECT_TRUE(has(refused.err, "Unsafe link: t/abs -> " + path("victim.txt").string() + " (skipped)"))
            << refused.err;
        EXPECT_FALSE(fs::exists(fs::symlink_status(path(plain + "/t/abs"))));
        const Result made = pipe ? script("\"$VELLUM\" x -P - -C " + out + " < arc2.vlm")
                                 : vellum({"x", "--absolute-links", "-C", out, "arc2"});
        EXPECT_EQ(1, made.status);  // the climbing link is refused all the same
        EXPECT_TRUE(has(made.err, "Unsafe link: t/up -> ../../outside (skipped)")) << made.err;
        EXPECT_FALSE(has(made.err, "t/abs")) << made.err;
        ASSERT_TRUE(fs::is_symlink(path(out + "/t/abs")));
        EXPECT_EQ(path("victim.txt").string(), fs::read_symlink(path(out + "/t/abs")).string());
        EXPECT_EQ("victim", read_file(path("victim.txt")));
        EXPECT_EQ("a", read_file(path(out + "/t/a.txt")));
    }
    // An older archive's file t/abs and a later link of that name: the link is
    // never made over a file the command wrote, and nothing goes through it.
    write_file(path("both.vlm"), read_file(path("arc.vlm")) + read_file(path("arc2.vlm")).substr(12));
    EXPECT_EQ(1, vellum({"x", "-P", "-C", "both", "both"}).status);
    EXPECT_FALSE(fs::is_symlink(path("both/t/abs")));
    EXPECT_EQ("a file first: the archive's later entries come after it", read_file(path("both/t/abs")));
    EXPECT_EQ("victim", read_file(path("victim.txt")));
}

// Catches folders, links and hard links that cannot be deleted by name, one
// that comes back on extract, and a hard link left naming a file deleted.
TEST_F(MetaTest, FoldersLinksAndHardLinksAreDeletedByName) {
    write_file(path("d/a.txt"), text_data(3000, 4));
    write_file(path("d/sub/b.txt"), text_data(4000, 5));
    fs::create_directories(path("d/empty/deeper"));
    fs::create_symlink("a.txt", path("d/link"));
    fs::create_hard_link(path("d/sub/b.txt"), path("d/b-too.txt"));
    ASSERT_EQ(0, vellum({"add", "arc", "d"}).status);
    EXPECT_TRUE(has(vellum({"list", "arc"}).out, "2 entries, 4 folders, 1 link, 1 hard link")) << vellum({"list", "arc"}).out;
    Result gone = vellum({"delete", "arc", "d/link", "d/empty"});
    EXPECT_EQ(0, gone.status) << gone.err;
    EXPECT_TRUE(has(gone.out, "3 folders and links")) << gone.out;
    const Result list = vellum({"list", "arc"});
    EXPECT_TRUE(has(list.out, "2 entries, 2 folders, 1 hard link, ")) << list.out;
    EXPECT_FALSE(has(list.out, "d/link")) << list.out;
    EXPECT_FALSE(has(list.out, "empty")) << list.out;
    EXPECT_TRUE(has(vellum({"test", "arc"}).out, "all sound, 2 checksums verified"));
    ASSERT_EQ(0, vellum({"x", "-C", "out", "arc"}).status);
    EXPECT_FALSE(fs::exists(fs::symlink_status(path("out/d/link"))));
    EXPECT_FALSE(fs::exists(path("out/d/empty")));
    EXPECT_EQ(read_file(path("d/a.txt")), read_file(path("out/d/a.txt")));
    // The file of a hard link deleted: the second name goes with it, and the
    // hard link is never reported as a file that failed.
    const size_t arrow = list.out.find("=> ");
    ASSERT_NE(std::string::npos, arrow);
    const std::string first = list.out.substr(arrow + 3, list.out.find('\n', arrow) - arrow - 3);
    ASSERT_EQ(0, vellum({"delete", "arc", first}).status);
    const Result after = vellum({"list", "arc"});
    EXPECT_TRUE(has(after.out, "1 entry, 2 folders, ")) << after.out;
    EXPECT_FALSE(has(after.out, "hardlink")) << after.out;
    const Result x = vellum({"x", "-C", "out2", "arc"});
    EXPECT_EQ(0, x.status) << x.err;
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
