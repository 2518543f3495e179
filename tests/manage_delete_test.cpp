// Deleting entries by rows: the rebuilt archive byte for byte, the refusals, and
// every failure leaving the archive as it was with no temporary archive behind.
#include "manage/delete.h"

#include <gtest/gtest.h>

#include <memory>

#include "archive/extract.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
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

// Keeps what the archive file held when each message was shown.
class WitnessReporter : public RecordingReporter {
public:
    explicit WitnessReporter(std::string path) : path_(std::move(path)) {}
    void message(const std::string& text, const std::string& caption, unsigned flags) override {
        RecordingReporter::message(text, caption, flags);
        seen.push_back(fs::exists(path_) ? read_file(path_) : Bytes());
    }
    std::vector<Bytes> seen;

private:
    std::string path_;
};

class Delete : public ::testing::Test {
protected:
    TempFolder tmp;  // before the paths made from it
    std::string archive = (tmp / "test.vlm").string();
    std::string temp = (tmp / "temp$$$.tmp").string();
    RecordingReporter reporter;
    ArchiveListing listing;
    Bytes before;  // the archive as listed

    void list() {
        SilentReporter quiet;
        ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete);
        before = read_file(archive);
    }
    DeleteRequest request(std::vector<size_t> marked, CopyIo* io = nullptr, size_t chunk = 0) {
        DeleteRequest r;
        r.archive_view = true;
        r.archive_path = archive;
        r.solid = listing.header.solid;
        r.marked = std::move(marked);
        r.io = io;
        r.chunk_size = chunk;
        return r;
    }
    DeleteResult remove_rows(std::vector<size_t> marked, CopyIo* io = nullptr, size_t chunk = 0) {
        return delete_entries(request(std::move(marked), io, chunk), listing, reporter);
    }
    void expect_one_note(const std::string& text, const std::string& caption, unsigned flags) {
        ASSERT_EQ(reporter.notes.size(), 1u);
        EXPECT_EQ(reporter.notes[0].text, text);
        EXPECT_EQ(reporter.notes[0].caption, caption);
        EXPECT_EQ(reporter.notes[0].flags, flags);
    }
    // A failure or refusal: reported under `caption`, the archive as listed, no temporary archive.
    void expect_untouched(const std::string& caption) {
        ASSERT_EQ(reporter.notes.size(), 1u);
        EXPECT_EQ(reporter.notes[0].caption, caption);
        EXPECT_EQ(read_file(archive), before);
        EXPECT_FALSE(fs::exists(temp));
    }
    std::vector<WrittenRecord> three_files(uint8_t setting = kDefaultBufferSetting) {
        ArchiveWriter w(archive, 0, setting);
        return {w.add("", "a.txt", 300), w.add("", "b.txt", 500), w.add("", "c.txt", 700)};
    }
};

// Golden: b of a, b, c is removed; a and c stay byte for byte, the header keeps
// the archive's setting, and "DELETED" is shown once the archive is whole.
TEST_F(Delete, MiddleFileLeavesTheOthersByteForByte) {
    auto rec = three_files(3);
    list();
    WitnessReporter witness(archive);
    EXPECT_EQ(delete_entries(request({1}), listing, witness), DeleteResult::deleted);
    ASSERT_EQ(witness.notes.size(), 1u);
    EXPECT_EQ(witness.notes[0].text + "|" + witness.notes[0].caption, "DELETED|NOTICE");
    EXPECT_EQ(witness.notes[0].flags, 0x30u);
    Bytes expected = slice(before, 0, 10);
    append(&expected, Bytes{0, 3});
    append(&expected, slice(before, rec[0].offset, rec[0].offset + rec[0].length));
    append(&expected, slice(before, rec[2].offset, rec[2].offset + rec[2].length));
    EXPECT_EQ(read_file(archive), expected);
    EXPECT_EQ(witness.seen[0], expected);
    EXPECT_FALSE(fs::exists(temp));
    SilentReporter quiet;
    ASSERT_EQ(open_archive(archive, quiet, &listing), ListStatus::complete);
    ASSERT_EQ(listing.rows.size(), 2u);
    EXPECT_EQ(listing.rows[0].name + listing.rows[1].name, "a.txtc.txt");
}

// A folder row takes all its records; an existing temp$$$.tmp is replaced.
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
    ASSERT_EQ(listing.rows.size(), 3u);
    EXPECT_EQ(remove_rows({0, 2}), DeleteResult::deleted);
    Bytes expected = slice(before, 0, 12);
    append(&expected, slice(before, file.offset, file.offset + file.length));
    EXPECT_EQ(read_file(archive), expected);
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(Delete, EveryRowMarkedRemovesTheArchive) {
    three_files();
    list();
    EXPECT_EQ(remove_rows({2, 0, 1}), DeleteResult::archive_deleted);
    expect_one_note("ACHIVE DELETED", "Message", 0x40);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_FALSE(fs::exists(temp));
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
    EXPECT_EQ(remove_rows({0}, &io), DeleteResult::deleted);
    EXPECT_EQ(io.writes, (std::vector<size_t>{8 * mib, 8 * mib, 4 * mib}));
    EXPECT_EQ(fs::file_size(archive), 12 + 20 * mib);
}

// Golden refusal texts, by view, path, marks and mode; nothing is touched.
TEST_F(Delete, RefusalsSayWhyAndChangeNothing) {
    const struct {
        bool view, path;
        std::vector<size_t> marked;
        uint8_t solid;
        const char* text;
    } cases[] = {
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
        DeleteRequest r = request(c.marked);
        r.archive_view = c.view;
        r.solid = c.solid;
        if (!c.path) r.archive_path.clear();
        EXPECT_EQ(delete_entries(r, listing, reporter), DeleteResult::refused) << c.text;
        expect_one_note(c.text, "Warning", 0x30);
        expect_untouched("Warning");
    }
}

// A solid archive is refused even when the program's mode says normal.
TEST_F(Delete, SolidArchiveIsRefusedWhateverTheMode) {
    { ArchiveWriter w(archive, 1, 4); w.add("", "a", 10); w.add("", "b", 10); }
    list();
    for (uint8_t mode : {1, 0}) {
        reporter.notes.clear();
        DeleteRequest r = request({0});
        r.solid = mode;
        EXPECT_EQ(delete_entries(r, listing, reporter), DeleteResult::refused);
        expect_one_note("Not Implemented in Solid Mode ON", "Warning", 0x30);
        expect_untouched("Warning");
    }
}

// An archive damaged or changed since it was listed is not rewritten.
TEST_F(Delete, DamagedOrChangedArchiveIsLeftAlone) {
    three_files();
    list();
    { FILE* f = std::fopen(archive.c_str(), "ab"); std::fputs("torn", f); std::fclose(f); }
    before = read_file(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::refused);
    expect_untouched("Archive damaged: nothing deleted");
    EXPECT_NE(reporter.notes[0].text.find(std::to_string(before.size() - 4)), std::string::npos);

    reporter.notes.clear();
    { ArchiveWriter w(archive); w.add("", "other", 1); }
    before = read_file(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::refused);
    expect_untouched("Archive changed since it was listed: nothing deleted");
}

TEST_F(Delete, ArchiveOrTempThatCannotBeOpened) {
    three_files();
    list();
    fs::remove(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::failed);
    expect_one_note(archive, "NON VA BENE INFILE", 0);
    EXPECT_FALSE(fs::exists(temp));

    reporter.notes.clear();
    three_files();
    list();
    fs::create_directory(temp);  // no file can be made under that name
    EXPECT_EQ(remove_rows({1}), DeleteResult::failed);
    expect_one_note(temp, "NON VA BENE OUTFILE", 0);
    EXPECT_EQ(read_file(archive), before);
    EXPECT_TRUE(fs::is_directory(temp));
}

// An archive that is itself named temp$$$.tmp is never written over.
TEST_F(Delete, ArchiveNamedLikeTheTempIsNeverOverwritten) {
    archive = temp;
    three_files();
    list();
    EXPECT_EQ(remove_rows({1}), DeleteResult::failed);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE OUTFILE");
    EXPECT_EQ(read_file(archive), before);
}

// Every read, write or close failure of the copy leaves the archive and no temp.
TEST_F(Delete, CopyFailuresLeaveTheArchiveAndNoTemp) {
    const struct {
        int fail_read, fail_write;
        bool fail_close;
        const char* caption;
    } cases[] = {
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
        EXPECT_EQ(remove_rows({1}, &io, 128), DeleteResult::failed) << c.caption;
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
    temp = (disk / "temp$$$.tmp").string();
    { ArchiveWriter w(archive); w.add("", "a", 30000); w.add("", "b", 30000); w.add("", "c", 10); }
    list();
    EXPECT_EQ(remove_rows({2}), DeleteResult::failed);
    expect_untouched("Write error: nothing deleted");
    EXPECT_EQ(reporter.notes[0].text, temp);
}
#endif

// Real entries: what remains after a deletion still extracts to the original files.
TEST_F(Delete, RemainingEntriesStillExtract) {
    const fs::path corpus = VELLUM_CORPUS_DIR;
    const char* names[] = {"alice29.txt", "fireworks.jpeg", "kppkn.gtb"};
    auto codec = std::make_unique<CodecState>();
    {
        Command command(*codec, reporter);
        command.buffer_setting = 0;
        ASSERT_EQ(open_or_create_archive(command, archive), OpenResult::created);
        ASSERT_TRUE(prepare_buffers(command));
        AddSummary summary;
        for (const char* name : names) add_path(command, (corpus / name).string(), summary);
        end_command(command);
        ASSERT_EQ(summary.added, 3u);
    }
    list();
    EXPECT_EQ(remove_rows({1}), DeleteResult::deleted);
    reporter.notes.clear();
    Command command(*codec, reporter);
    command.buffer_setting = 0;
    command.archive_path = archive;
    ASSERT_TRUE(prepare_buffers(command));
    ExtractSummary s = extract_all(command, (tmp / "out").string() + "/");
    end_command(command);
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(s.written, 2u);
    EXPECT_EQ(read_file(tmp / "out" / names[0]), read_file(corpus / names[0]));
    EXPECT_EQ(read_file(tmp / "out" / names[2]), read_file(corpus / names[2]));
    EXPECT_FALSE(fs::exists(tmp / "out" / names[1]));
    EXPECT_TRUE(reporter.notes.empty());
}

TEST(TempArchivePath, IsBesideTheArchive) {
    EXPECT_EQ(temp_archive_path("C:\\data\\x.vlm"), "C:\\data\\temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("a\\b/x.vlm"), "a\\b/temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("a/b\\x.vlm"), "a/b\\temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("x.vlm"), "temp$$$.tmp");
}

}  // namespace
}  // namespace vellum
