// Adding paths the archive already holds: never stored twice by default, and
// add -u replaces the changed files, leaves the unchanged ones and completes an
// add that was cut short.
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

class UpdateTest : public CliTest {
protected:
    void make_tree() {
        write_file(path("d/a.txt"), text_data(3000, 1));
        write_file(path("d/sub/b.txt"), text_data(9000, 2));
        write_file(path("d/c.zip"), "PK\x03\x04" + random_data(2000, 3));
        fs::create_directories(path("d/empty"));
        fs::create_symlink("a.txt", path("d/link"));
    }
    // Stored paths of the file records (the metadata entries left out), sorted.
    std::vector<std::string> file_paths(const std::string& archive) {
        std::vector<std::string> names;
        for (const Record& r : records_of(read_file(path(archive + ".vlm"))))
            if (r.folder_path != ".vellum\\") names.push_back(r.folder_path + r.file_name);
        std::sort(names.begin(), names.end());
        return names;
    }
    size_t meta_entries(const std::string& archive) {
        size_t n = 0;
        for (const Record& r : records_of(read_file(path(archive + ".vlm")))) n += r.folder_path == ".vellum\\" ? 1 : 0;
        return n;
    }
    // Sets a file's modification time, to change bytes and keep the time.
    void set_time(const std::string& name, time_t seconds) {
        const struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(0, utimes(path(name).c_str(), times));
    }
};

const std::vector<std::string> kAll = {"d\\a.txt", "d\\c.zip", "d\\sub\\b.txt"};

// Catches an add that stores a held path again (with and without metadata), a
// second metadata entry that says nothing new, and folders or links listed twice.
TEST_F(UpdateTest, AddingTheSameFolderTwiceKeepsOneEntryPerPath) {
    make_tree();
    for (const char* meta : {"", "--no-meta"}) {
        SCOPED_TRACE(meta);
        const std::string arc = std::string("arc") + meta;
        std::vector<std::string> args{"add", arc, "d"};
        if (*meta) args.insert(args.begin() + 1, meta);
        ASSERT_EQ(0, vellum(args).status);
        const Bytes first = read_file(path(arc + ".vlm"));
        const Result again = vellum(args);
        EXPECT_EQ(0, again.status) << again.err;
        // Without metadata the link is followed: a fourth file.
        EXPECT_TRUE(has(again.out, std::string(*meta ? "4" : "3") +
                                       " files already in the archive left as they are (vellum add -u replaces"))
            << again.out;
        EXPECT_TRUE(first == read_file(path(arc + ".vlm")));  // nothing appended
    }
    EXPECT_EQ(kAll, file_paths("arc"));
    EXPECT_EQ(1u, meta_entries("arc"));
    // A new file beside held ones: only it is added, with its own metadata.
    write_file(path("d/new.txt"), "new");
    ASSERT_EQ(0, vellum({"add", "arc", "d"}).status);
    EXPECT_EQ(4u, file_paths("arc").size());
    EXPECT_EQ(2u, meta_entries("arc"));
    const Result list = vellum({"list", "arc"});
    EXPECT_TRUE(has(list.out, "4 entries, 3 folders, 1 link")) << list.out;
}

// Catches a second add that writes a metadata entry again because a hard link
// it met once more looks new to it.
TEST_F(UpdateTest, AHardLinkAddedAgainIsNothingNew) {
    write_file(path("h/a.txt"), text_data(3000, 1));
    fs::create_hard_link(path("h/a.txt"), path("h/b.txt"));
    ASSERT_EQ(0, vellum({"add", "hard", "h"}).status);
    const Bytes first = read_file(path("hard.vlm"));
    EXPECT_TRUE(has(vellum({"list", "hard"}).out, "1 entry, 1 folder, 1 hard link")) << vellum({"list", "hard"}).out;
    const Result again = vellum({"add", "hard", "h"});
    EXPECT_EQ(0, again.status) << again.err;
    EXPECT_TRUE(first == read_file(path("hard.vlm")));
    EXPECT_EQ(1u, meta_entries("hard"));
}

// Catches an update that leaves a changed file (content only, time kept; or time
// only) as it was, replaces an unchanged one, stores any path twice, or leaves
// metadata that does not follow the new records.
TEST_F(UpdateTest, UpdateReplacesChangedFilesAndLeavesTheOthers) {
    make_tree();
    set_time("d/a.txt", 1500000000);
    ASSERT_EQ(0, vellum({"add", "arc", "d"}).status);
    const Bytes before = read_file(path("arc.vlm"));
    // a.txt: other bytes of the same size, its time set back as it was.
    Bytes a = read_file(path("d/a.txt"));
    a[100] = a[100] == 'x' ? 'y' : 'x';
    write_file(path("d/a.txt"), a);
    set_time("d/a.txt", 1500000000);
    // b.txt: the same bytes, a new time.
    set_time("d/sub/b.txt", 1600000000);
    write_file(path("d/new.txt"), "a new file");
    const Result up = vellum({"add", "-u", "arc", "d"});
    ASSERT_EQ(0, up.status) << up.err;
    EXPECT_TRUE(has(up.out, "Updated: 2 changed files replaced, 1 unchanged left as they are")) << up.out;
    EXPECT_EQ((std::vector<std::string>{"d\\a.txt", "d\\c.zip", "d\\new.txt", "d\\sub\\b.txt"}),
              file_paths("arc"));
    // The unchanged file's record is copied as it was.
    const auto record_of = [](const Bytes& archive, const std::string& name) {
        for (const Record& r : records_of(archive))
            if (r.file_name == name) return archive.substr(r.offset, r.length);
        return Bytes();
    };
    EXPECT_FALSE(record_of(before, "c.zip").empty());
    EXPECT_TRUE(record_of(before, "c.zip") == record_of(read_file(path("arc.vlm")), "c.zip"));
    const Result t = vellum({"test", "arc"});
    EXPECT_EQ(0, t.status) << t.out << t.err;
    EXPECT_TRUE(has(t.out, "all sound, 4 checksums verified")) << t.out;
    ASSERT_EQ(0, vellum({"x", "-C", "out", "arc"}).status);
    EXPECT_TRUE(file_tree(path("d")) == file_tree(path("out/d")));
    struct stat s {};
    ASSERT_EQ(0, stat(path("out/d/sub/b.txt").c_str(), &s));
    EXPECT_EQ(1600000000, s.st_mtime);  // the new line follows the new record
    EXPECT_TRUE(fs::is_directory(path("out/d/empty")));
    EXPECT_TRUE(fs::is_symlink(path("out/d/link")));
    EXPECT_TRUE(has(vellum({"list", "arc"}).out, "4 entries, 3 folders, 1 link")) << vellum({"list", "arc"}).out;

    // Nothing changed: the archive stays byte for byte, and no copy is left.
    const Bytes settled = read_file(path("arc.vlm"));
    const Result none = vellum({"add", "-u", "arc", "d"});
    EXPECT_EQ(0, none.status);
    EXPECT_TRUE(has(none.out, "0 changed files replaced, 4 unchanged")) << none.out;
    EXPECT_TRUE(settled == read_file(path("arc.vlm")));
    for (const auto& item : fs::directory_iterator(dir_))
        EXPECT_EQ(std::string::npos, item.path().filename().string().find(".tmp")) << item.path();
}

// Catches an update run from the archive's own folder that adds the copy it
// writes, or the archive itself.
TEST_F(UpdateTest, UpdateInTheArchivesOwnFolderAddsNeitherArchiveNorCopy) {
    make_tree();
    ASSERT_EQ(0, run_vellum({"add", "arc", "."}, dir_).status);
    write_file(path("d/a.txt"), "changed");
    const Result up = run_vellum({"add", "-u", "arc", "."}, dir_);
    EXPECT_EQ(0, up.status) << up.err;
    for (const std::string& name : file_paths("arc")) {
        EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
        EXPECT_EQ(std::string::npos, name.find("arc.vlm")) << name;
    }
    EXPECT_EQ(0, vellum({"test", "arc"}).status);
}

// Catches an add cut short (killed after some records, before its metadata)
// that -u cannot complete without storing a path twice.
TEST_F(UpdateTest, AnAddCutShortIsCompletedByUpdate) {
    make_tree();
    ASSERT_EQ(0, vellum({"add", "whole", "d"}).status);
    const Bytes whole = read_file(path("whole.vlm"));
    const std::vector<Record> r = records_of(whole);
    ASSERT_EQ(4u, r.size());
    // What a kill during the third record leaves: two records, then the third's
    // head with its provisional length 0 and part of its data.
    Bytes cut = whole.substr(0, r[2].offset + r[2].length / 2);
    for (int k = 0; k < 8; ++k) cut[r[2].offset + k] = '\0';
    write_file(path("arc.vlm"), cut);
    const Result up = vellum({"add", "-u", "arc", "d"});
    ASSERT_EQ(0, up.status) << up.err;
    EXPECT_EQ(kAll, file_paths("arc"));
    EXPECT_EQ(1u, meta_entries("arc"));
    const Result t = vellum({"test", "arc"});
    EXPECT_TRUE(has(t.out, "all sound, 3 checksums verified")) << t.out;
    ASSERT_EQ(0, vellum({"x", "-C", "out", "arc"}).status);
    EXPECT_TRUE(file_tree(path("d")) == file_tree(path("out/d")));
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
