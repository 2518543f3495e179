// Deleting entries by rows: the rebuilt archive byte for byte, the refusals, and
// every failure leaving the archive as it was with no temporary archive behind.
#include "manage/delete.h"

#include <gtest/gtest.h>

#include "manage_test_support.h"

#ifdef __linux__
#include <sys/mount.h>
#endif

namespace vellum {
namespace {

using namespace vellum::test;

// Records the size of every write, and can fail the n-th read or write, or the close.
class ScriptedIo : public CopyIo {
public:
    bool read(FILE* file, void* bytes, size_t count) override {
        return ++reads != fail_read && CopyIo::read(file, bytes, count);
    }
    bool write(FILE* file, const void* bytes, size_t count) override {
        writes.push_back(count);
        return static_cast<int>(writes.size()) != fail_write && CopyIo::write(file, bytes, count);
    }
    bool close(FILE* file) override { return CopyIo::close(file) && !fail_close; }
    int reads = 0, fail_read = -1, fail_write = -1;  // 1-based
    bool fail_close = false;
    std::vector<size_t> writes;
};

class Delete : public ManageTest {
protected:
    Bytes before;  // the archive as listed

    void list() {
        SilentReporter quiet;
        ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete);
        before = read_file(archive);
    }
    DeleteRequest request(std::vector<size_t> marked, CopyIo* io = nullptr) {
        DeleteRequest r;
        r.archive_view = true;
        r.archive_path = archive;
        r.solid = listing.header.solid;
        r.marked = std::move(marked);
        r.chunk_size = io != nullptr ? 128 : 0;
        r.io = io;
        return r;
    }
    DeleteResult remove_rows(std::vector<size_t> marked, CopyIo* io = nullptr) {
        return delete_entries(request(std::move(marked), io), listing, reporter);
    }
    // A failure or refusal: reported under `caption`, the archive as listed, no temporary archive.
    void expect_untouched(const std::string& caption) {
        ASSERT_EQ(reporter.notes.size(), 1u);
        EXPECT_EQ(reporter.notes[0].caption, caption);
        EXPECT_EQ(read_file(archive), before);
        EXPECT_FALSE(leftover());
    }
    std::vector<WrittenRecord> three_files(uint8_t setting = kDefaultBufferSetting) {
        ArchiveWriter w(archive, 0, setting);
        return {w.add("", "a.txt", 300), w.add("", "b.txt", 500), w.add("", "c.txt", 700)};
    }
    Bytes records(const WrittenRecord& r) { return slice(before, r.offset, r.offset + r.length); }
};

// Golden: b of a, b, c is removed; a and c stay byte for byte behind a header
// with the archive's setting, and the archive lists again as a and c.
TEST_F(Delete, MiddleFileLeavesTheOthersByteForByte) {
    auto rec = three_files(3);
    list();
    EXPECT_EQ(remove_rows({1}), DeleteResult::deleted);
    EXPECT_EQ(reporter.notes, (Notes{{"DELETED", "NOTICE", 0x30}}));
    Bytes expected = slice(before, 0, 12);
    EXPECT_EQ(expected[11], 3);
    append(&expected, records(rec[0]));
    append(&expected, records(rec[2]));
    EXPECT_EQ(read_file(archive), expected);
    EXPECT_FALSE(leftover());
    ASSERT_EQ(open_archive(archive, reporter, &listing), ListStatus::complete);
    ASSERT_EQ(listing.rows.size(), 2u);
    EXPECT_EQ(listing.rows[0].name + listing.rows[1].name, "a.txtc.txt");
}

// Golden: folder rows take all their records; a user's file of the old fixed
// temporary name is left as it was.
TEST_F(Delete, FolderRowsTakeTheirWholeRun) {
    WrittenRecord file;
    {
        ArchiveWriter w(archive);
        w.add("docs\\", "a", 40);
        w.add("docs\\sub\\", "b", 50);
        file = w.add("", "x.bin", 60);
        w.add("docs\\", "c", 70);  // a second docs row
    }
    write_file(temp, Bytes(5000, 0xEE));
    list();
    EXPECT_EQ(remove_rows({0, 2}), DeleteResult::deleted);
    Bytes expected = slice(before, 0, 12);
    append(&expected, records(file));
    EXPECT_EQ(read_file(archive), expected);
    EXPECT_EQ(read_file(temp), Bytes(5000, 0xEE));
    EXPECT_FALSE(leftover());
}

TEST_F(Delete, EveryRowMarkedRemovesTheArchive) {
    three_files();
    list();
    EXPECT_EQ(remove_rows({2, 0, 1}), DeleteResult::archive_deleted);
    EXPECT_EQ(reporter.notes, (Notes{{"ACHIVE DELETED", "Message", 0x40}}));
    EXPECT_FALSE(fs::exists(archive) || leftover());
}

// Golden: with setting 0 a 20 MiB record is copied in chunks of 8, 8 and 4 MiB.
TEST_F(Delete, CopyChunkIsTheBlockSize) {
    const uint64_t mib = 1 << 20;
    {
        ArchiveWriter w(archive, 0, 0);
        w.add("", "small", 10);
        w.add_head(20 * mib, "", "big", 0);
    }
    fs::resize_file(archive, fs::file_size(archive) + 20 * mib - record_head_size(0, 3));
    list();
    ScriptedIo io;
    DeleteRequest r = request({0}, &io);
    r.chunk_size = 0;
    EXPECT_EQ(delete_entries(r, listing, reporter), DeleteResult::deleted);
    EXPECT_EQ(io.writes, (std::vector<size_t>{8 * mib, 8 * mib, 4 * mib}));
    EXPECT_EQ(fs::file_size(archive), 12 + 20 * mib);
}

// Golden refusal texts, by view, path, marks and mode, and a solid archive
// whatever the mode; nothing is touched.
TEST_F(Delete, RefusalsSayWhyAndChangeNothing) {
    const struct { bool view, path; std::vector<size_t> marks; int solid; const char* text; } cases[] = {
        {true, true, {}, 0, "Please select any File/Dir"},
        {true, true, {}, 1, "Please select any File/Dir"},
        {true, true, {3, 99}, 0, "Please select any File/Dir"},  // beyond the rows
        {true, true, {1}, 1, "Not Implemented in Solid Mode ON"},
        {false, true, {}, 0, "Please select any File/Dir"},
        {false, true, {1}, 1, "Not Implemented in Solid Mode ON"},
        {false, true, {1}, 0, "Open Archive "},
        {true, false, {1}, 0, "Open Archive "},
        {false, false, {}, 0, "Open Archive "},
        {false, false, {}, 1, "Not Implemented in Solid Mode ON"},
    };
    three_files();
    list();
    for (const auto& c : cases) {
        reporter.notes.clear();
        DeleteRequest r = request(c.marks);
        r.archive_view = c.view;
        r.solid = c.solid;
        if (!c.path) r.archive_path.clear();
        EXPECT_EQ(delete_entries(r, listing, reporter), DeleteResult::refused) << c.text;
        EXPECT_EQ(reporter.notes, (Notes{{c.text, "Warning", 0x30}}));
        expect_untouched("Warning");
    }
    { ArchiveWriter w(archive, 1, 4); w.add("", "a", 10); w.add("", "b", 10); }
    list();
    reporter.notes.clear();
    DeleteRequest r = request({0});
    r.solid = 0;
    EXPECT_EQ(delete_entries(r, listing, reporter), DeleteResult::refused);
    EXPECT_EQ(reporter.notes, (Notes{{"Not Implemented in Solid Mode ON", "Warning", 0x30}}));
    expect_untouched("Warning");
}

// An archive damaged or changed since it was listed is not rewritten.
TEST_F(Delete, DamagedOrChangedArchiveIsLeftAlone) {
    three_files();
    list();
    { FILE* f = std::fopen(archive.c_str(), "ab"); std::fputs("torn", f); std::fclose(f); }
    before = read_file(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::refused);
    expect_untouched("Archive damaged: nothing deleted");
    reporter.notes.clear();
    { ArchiveWriter w(archive); w.add("", "other", 1); }
    before = read_file(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::refused);
    expect_untouched("Archive changed since it was listed: nothing deleted");
}

// Golden message when the archive cannot be opened; an archive itself named
// temp$$$.tmp is rebuilt like any other.
TEST_F(Delete, ArchiveThatCannotBeOpened) {
    three_files();
    list();
    fs::remove(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::failed);
    EXPECT_EQ(reporter.notes, (Notes{{archive, "NON VA BENE INFILE", 0}}));
    EXPECT_FALSE(leftover());
    reporter.notes.clear();
    archive = temp;
    auto rec = three_files();
    list();
    EXPECT_EQ(remove_rows({1}), DeleteResult::deleted);
    Bytes expected = slice(before, 0, 12);
    append(&expected, records(rec[0]));
    append(&expected, records(rec[2]));
    EXPECT_EQ(read_file(archive), expected);
    EXPECT_FALSE(leftover());
}

// Every read, write or close failure of the copy leaves the archive and no temp.
TEST_F(Delete, CopyFailuresLeaveTheArchiveAndNoTemp) {
    const struct { int fail_read, fail_write; bool fail_close; const char* caption; } cases[] = {
        {1, -1, false, "Read error: nothing deleted"},  {4, -1, false, "Read error: nothing deleted"},
        {-1, 1, false, "Write error: nothing deleted"}, {-1, 7, false, "Write error: nothing deleted"},
        {-1, -1, true, "Write error: nothing deleted"},
    };
    three_files();
    list();
    for (const auto& c : cases) {
        reporter.notes.clear();
        ScriptedIo io;
        io.fail_read = c.fail_read;
        io.fail_write = c.fail_write;
        io.fail_close = c.fail_close;
        EXPECT_EQ(remove_rows({1}, &io), DeleteResult::failed) << c.caption;
        expect_untouched(c.caption);
    }
}

#ifdef __linux__
// A real full disk: a small memory file system the archive fits on, its copy not.
TEST_F(Delete, FullDiskLeavesTheArchiveAndNoTemp) {
    const fs::path disk = tmp / "disk";
    fs::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=96k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    struct Unmount {
        fs::path at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    archive = (disk / "full.vlm").string();
    { ArchiveWriter w(archive); w.add("", "a", 30000); w.add("", "b", 30000); w.add("", "c", 10); }
    list();
    EXPECT_EQ(remove_rows({2}), DeleteResult::failed);
    expect_untouched("Write error: nothing deleted");
    EXPECT_TRUE(is_delete_temp_name(fs::path(reporter.notes[0].text).filename().string(), "full.vlm"))
        << reporter.notes[0].text;
}
#endif

// Real entries: what remains after a deletion still extracts to the original files.
TEST_F(Delete, RemainingEntriesStillExtract) {
    const fs::path corpus = VELLUM_CORPUS_DIR;
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no corpus at " << corpus << " (set VELLUM_CORPUS_DIR when configuring)";
    compress({corpus / "alice29.txt", corpus / "fireworks.jpeg", corpus / "kppkn.gtb"}, 3);
    list();
    EXPECT_EQ(remove_rows({1}), DeleteResult::deleted);
    ExtractSummary s = extract();
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(s.written, 2u);
    EXPECT_EQ(read_file(tmp / "out" / "alice29.txt"), read_file(corpus / "alice29.txt"));
    EXPECT_EQ(read_file(tmp / "out" / "kppkn.gtb"), read_file(corpus / "kppkn.gtb"));
    EXPECT_FALSE(fs::exists(tmp / "out" / "fireworks.jpeg"));
    EXPECT_EQ(reporter.notes.size(), 1u);  // "DELETED" only
}

}  // namespace
}  // namespace vellum
