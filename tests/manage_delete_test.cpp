// Deleting entries by rows: the rebuilt archive byte for byte, the refusals, and
// every failure leaving the archive as it was with no temporary archive behind.
#include "manage/delete.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

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

// Records the size of every write, and can fail the n-th read, write or close.
class ScriptedIo : public CopyIo {
public:
    bool read(FILE* file, void* bytes, size_t count) override {
        return ++reads != fail_read && CopyIo::read(file, bytes, count);
    }
    bool write(FILE* file, const void* bytes, size_t count) override {
        writes.push_back(count);
        return static_cast<int>(writes.size()) != fail_write && CopyIo::write(file, bytes, count);
    }
    bool close(FILE* file) override {
        const bool closed = CopyIo::close(file);
        return !fail_close && closed;
    }
    int reads = 0;
    int fail_read = -1;   // 1-based
    int fail_write = -1;  // 1-based
    bool fail_close = false;
    std::vector<size_t> writes;
};

class Delete : public ::testing::Test {
protected:
    TempFolder tmp;  // before the paths made from it
    std::string archive = (tmp / "test.vlm").string();
    std::string temp = (tmp / "temp$$$.tmp").string();
    RecordingReporter reporter;
    ArchiveListing listing;

    void list() {
        SilentReporter quiet;
        ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete);
    }

    DeleteRequest request(std::vector<size_t> marked) {
        DeleteRequest r;
        r.archive_view = true;
        r.archive_path = archive;
        r.solid = listing.header.solid;
        r.marked = std::move(marked);
        return r;
    }

    DeleteResult remove_rows(std::vector<size_t> marked, CopyIo* io = nullptr, size_t chunk = 0) {
        DeleteRequest r = request(std::move(marked));
        r.io = io;
        r.chunk_size = chunk;
        return delete_entries(r, listing, reporter);
    }

    void expect_one_note(const std::string& text, const std::string& caption, unsigned flags) {
        ASSERT_EQ(reporter.notes.size(), 1u);
        EXPECT_EQ(reporter.notes[0].text, text);
        EXPECT_EQ(reporter.notes[0].caption, caption);
        EXPECT_EQ(reporter.notes[0].flags, flags);
    }

    // A failure: reported under `caption`, the archive as it was, no temporary archive.
    void expect_untouched(const Bytes& before, const std::string& caption) {
        ASSERT_EQ(reporter.notes.size(), 1u);
        EXPECT_EQ(reporter.notes[0].caption, caption);
        EXPECT_EQ(read_file(archive), before);
        EXPECT_FALSE(fs::exists(temp));
    }

    // Header, then a, b and c at the top level.
    std::vector<WrittenRecord> three_files(uint8_t setting = kDefaultBufferSetting) {
        ArchiveWriter w(archive, 0, setting);
        std::vector<WrittenRecord> rec;
        rec.push_back(w.add("", "a.txt", 300));
        rec.push_back(w.add("", "b.txt", 500));
        rec.push_back(w.add("", "c.txt", 700));
        return rec;
    }
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

TEST_F(Delete, MiddleFileLeavesTheOthersByteForByte) {
    auto rec = three_files(3);
    const Bytes before = read_file(archive);
    list();
    WitnessReporter witness(archive);
    EXPECT_EQ(delete_entries(request({1}), listing, witness), DeleteResult::deleted);
    ASSERT_EQ(witness.notes.size(), 1u);
    EXPECT_EQ(witness.notes[0].text, "DELETED");
    EXPECT_EQ(witness.notes[0].caption, "NOTICE");
    EXPECT_EQ(witness.notes[0].flags, 0x30u);

    Bytes expected = slice(before, 0, 10);
    append(&expected, Bytes{0, 3});  // solid flag 0, the archive's own setting
    append(&expected, slice(before, rec[0].offset, rec[0].offset + rec[0].length));
    append(&expected, slice(before, rec[2].offset, rec[2].offset + rec[2].length));
    EXPECT_EQ(read_file(archive), expected);
    EXPECT_EQ(witness.seen[0], expected);  // the message follows the replacement
    EXPECT_FALSE(fs::exists(temp));

    SilentReporter quiet;
    ASSERT_EQ(open_archive(archive, quiet, &listing), ListStatus::complete);
    ASSERT_EQ(listing.rows.size(), 2u);
    EXPECT_EQ(listing.rows[0].name, "a.txt");
    EXPECT_EQ(listing.rows[1].name, "c.txt");
}

TEST_F(Delete, FolderRowTakesItsWholeRun) {
    WrittenRecord file;
    {
        ArchiveWriter w(archive);
        w.add("docs\\", "a", 40);
        w.add("docs\\sub\\", "b", 50);
        file = w.add("", "x.bin", 60);
        w.add("docs\\", "c", 70);  // a second docs row
    }
    const Bytes before = read_file(archive);
    list();
    ASSERT_EQ(listing.rows.size(), 3u);
    EXPECT_EQ(remove_rows({0, 2}), DeleteResult::deleted);
    Bytes expected = slice(before, 0, 12);
    append(&expected, slice(before, file.offset, file.offset + file.length));
    EXPECT_EQ(read_file(archive), expected);
}

TEST_F(Delete, EveryRowMarkedRemovesTheArchive) {
    three_files();
    list();
    EXPECT_EQ(remove_rows({2, 0, 1}), DeleteResult::archive_deleted);
    expect_one_note("ACHIVE DELETED", "Message", 0x40);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(Delete, ExistingTempFileIsReplacedAndBecomesTheArchive) {
    auto rec = three_files();
    write_file(temp, Bytes(5000, 0xEE));
    const Bytes before = read_file(archive);
    list();
    EXPECT_EQ(remove_rows({0}), DeleteResult::deleted);
    Bytes expected = slice(before, 0, 12);
    append(&expected, slice(before, rec[1].offset, before.size()));
    EXPECT_EQ(read_file(archive), expected);
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(Delete, CopiesInChunksOfTheChunkSize) {
    WrittenRecord big;
    {
        ArchiveWriter w(archive);
        big = w.add("", "big.dat", 20480 - record_head_size(0, 7));
        w.add("", "small", 10);
    }
    ASSERT_EQ(big.length, 20480u);
    const Bytes before = read_file(archive);
    list();
    ScriptedIo io;
    EXPECT_EQ(remove_rows({1}, &io, 8192), DeleteResult::deleted);
    EXPECT_EQ(io.writes, (std::vector<size_t>{8192, 8192, 4096}));
    EXPECT_EQ(read_file(archive), slice(before, 0, 12 + 20480));
}

// The chunk is the block size of the archive's own setting: with setting 0 a
// 20 MiB record goes in 8, 8 and 4 MiB.
TEST_F(Delete, DefaultChunkIsTheBlockSize) {
    const uint64_t mib = 1 << 20;
    {
        ArchiveWriter w(archive, 0, 0);
        w.add("", "small", 10);
        RecordHead head;
        head.file_name = "big";
        head.original_size = 20 * mib;
        head.record_length = 20 * mib;
        w.close();
        FILE* f = std::fopen(archive.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(write_record_head(f, head));
        ASSERT_TRUE(write_class_field(f, 0));
        std::fclose(f);
        fs::resize_file(archive, fs::file_size(archive) + 20 * mib - record_head_size(head));
    }
    list();
    ASSERT_EQ(listing.rows.size(), 2u);
    const uint64_t length = fs::file_size(archive);
    ScriptedIo io;
    EXPECT_EQ(remove_rows({0}, &io), DeleteResult::deleted);
    EXPECT_EQ(io.writes, (std::vector<size_t>{8 * mib, 8 * mib, 4 * mib}));
    EXPECT_EQ(fs::file_size(archive), length - (listing.row_offsets[1] - 12));
}

// --- refusals ---------------------------------------------------------------------------

struct Refusal {
    const char* what;
    bool archive_view;
    bool path;
    bool marked;
    uint8_t solid;
    const char* text;
};

std::ostream& operator<<(std::ostream& out, const Refusal& p) { return out << p.what; }

class DeleteRefusal : public Delete, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DeleteRefusal, SaysWhyAndChangesNothing) {
    three_files();
    const Bytes before = read_file(archive);
    list();
    const Refusal& p = GetParam();
    DeleteRequest r = request(p.marked ? std::vector<size_t>{1} : std::vector<size_t>{});
    r.archive_view = p.archive_view;
    r.solid = p.solid;
    if (!p.path) r.archive_path.clear();
    EXPECT_EQ(delete_entries(r, listing, reporter), DeleteResult::refused);
    expect_one_note(p.text, "Warning", 0x30);
    EXPECT_EQ(read_file(archive), before);
    EXPECT_FALSE(fs::exists(temp));
}

INSTANTIATE_TEST_SUITE_P(
    States, DeleteRefusal,
    ::testing::Values(
        Refusal{"view_nothing_marked", true, true, false, 0, "Please select any File/Dir"},
        Refusal{"view_nothing_marked_solid", true, true, false, 1, "Please select any File/Dir"},
        Refusal{"view_solid_mode", true, true, true, 1, "Not Implemented in Solid Mode ON"},
        Refusal{"no_view_nothing_marked", false, true, false, 0, "Please select any File/Dir"},
        Refusal{"no_view_solid", false, true, true, 1, "Not Implemented in Solid Mode ON"},
        Refusal{"no_view_marked", false, true, true, 0, "Open Archive "},
        Refusal{"no_path", true, false, true, 0, "Open Archive "},
        Refusal{"no_path_nothing_marked", false, false, false, 0, "Open Archive "},
        Refusal{"no_path_solid", false, false, false, 1, "Not Implemented in Solid Mode ON"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.what); });

TEST_F(Delete, MarksBeyondTheRowsAreNoSelection) {
    three_files();
    list();
    EXPECT_EQ(remove_rows({3, 99}), DeleteResult::refused);
    expect_one_note("Please select any File/Dir", "Warning", 0x30);
}

TEST_F(Delete, SolidArchiveIsRefusedWhateverTheMode) {
    { ArchiveWriter w(archive, 1, 4); w.add("", "a", 10); w.add("", "b", 10); }
    const Bytes before = read_file(archive);
    list();
    for (uint8_t mode : {1, 0}) {
        reporter.notes.clear();
        DeleteRequest r = request({0});
        r.solid = mode;
        EXPECT_EQ(delete_entries(r, listing, reporter), DeleteResult::refused);
        expect_one_note("Not Implemented in Solid Mode ON", "Warning", 0x30);
        EXPECT_EQ(read_file(archive), before);
    }
}

TEST_F(Delete, DamagedArchiveIsNotRewritten) {
    { ArchiveWriter w(archive); w.add("", "a", 10); w.add("", "b", 10); }
    list();
    { FILE* f = std::fopen(archive.c_str(), "ab"); std::fputs("torn", f); std::fclose(f); }
    const Bytes before = read_file(archive);
    SilentReporter quiet;
    ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::incomplete);
    EXPECT_EQ(remove_rows({0}), DeleteResult::refused);
    expect_untouched(before, "Archive damaged: nothing deleted");
    EXPECT_NE(reporter.notes[0].text.find(std::to_string(listing.damaged_offset)), std::string::npos);
}

TEST_F(Delete, ArchiveChangedSinceItWasListed) {
    three_files();
    list();
    { ArchiveWriter w(archive); w.add("", "other", 1); }
    const Bytes before = read_file(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::refused);
    expect_untouched(before, "Archive changed since it was listed: nothing deleted");
}

// --- failures ----------------------------------------------------------------------------

TEST_F(Delete, ArchiveGoneBeforeTheCopy) {
    three_files();
    list();
    fs::remove(archive);
    EXPECT_EQ(remove_rows({0}), DeleteResult::failed);
    expect_one_note(archive, "NON VA BENE INFILE", 0);
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(Delete, TempThatCannotBeCreated) {
    three_files();
    fs::create_directory(temp);  // a folder of that name: no file can be made there
    const Bytes before = read_file(archive);
    list();
    EXPECT_EQ(remove_rows({1}), DeleteResult::failed);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE OUTFILE");
    EXPECT_EQ(reporter.notes[0].text, temp);
    EXPECT_EQ(read_file(archive), before);
    EXPECT_TRUE(fs::is_directory(temp));
}

TEST_F(Delete, ArchiveNamedLikeTheTempIsNeverOverwritten) {
    archive = temp;
    three_files();
    const Bytes before = read_file(archive);
    list();
    EXPECT_EQ(remove_rows({1}), DeleteResult::failed);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE OUTFILE");
    EXPECT_EQ(read_file(archive), before);
}

struct Failure {
    const char* what;
    int fail_read;
    int fail_write;
    bool fail_close;
    const char* caption;
};

std::ostream& operator<<(std::ostream& out, const Failure& p) { return out << p.what; }

class DeleteFailure : public Delete, public ::testing::WithParamInterface<Failure> {};

TEST_P(DeleteFailure, LeavesTheArchiveAndNoTemp) {
    three_files();
    const Bytes before = read_file(archive);
    list();
    ScriptedIo io;
    io.fail_read = GetParam().fail_read;
    io.fail_write = GetParam().fail_write;
    io.fail_close = GetParam().fail_close;
    EXPECT_EQ(remove_rows({1}, &io, 128), DeleteResult::failed);
    expect_untouched(before, GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Injected, DeleteFailure,
    ::testing::Values(Failure{"first_read", 1, -1, false, "Read error: nothing deleted"},
                      Failure{"later_read", 4, -1, false, "Read error: nothing deleted"},
                      Failure{"first_write", -1, 1, false, "Write error: nothing deleted"},
                      Failure{"later_write", -1, 7, false, "Write error: nothing deleted"},
                      Failure{"close", -1, -1, true, "Write error: nothing deleted"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.what); });

#ifdef __linux__
// A real full disk: a small memory file system the archive fits on, its copy not.
class DeleteOnFullDisk : public Delete {
protected:
    void SetUp() override {
        disk = tmp / "disk";
        fs::create_directory(disk);
        if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=96k") != 0)
            GTEST_SKIP() << "cannot mount a small file system here (needs root)";
        mounted = true;
    }
    void TearDown() override {
        if (mounted) umount2(disk.c_str(), MNT_DETACH);
    }
    fs::path disk;
    bool mounted = false;
};

TEST_F(DeleteOnFullDisk, LeavesTheArchiveAndNoTemp) {
    archive = (disk / "full.vlm").string();
    temp = (disk / "temp$$$.tmp").string();
    {
        ArchiveWriter w(archive);
        w.add("", "a", 30000);
        w.add("", "b", 30000);
        w.add("", "c", 10);
    }
    const Bytes before = read_file(archive);
    list();
    EXPECT_EQ(remove_rows({2}), DeleteResult::failed);
    expect_untouched(before, "Write error: nothing deleted");
    EXPECT_EQ(reporter.notes[0].text, temp);
}
#endif

// --- with real entries --------------------------------------------------------------------

TEST_F(Delete, RemainingEntriesStillExtract) {
    fs::path corpus = VELLUM_CORPUS_DIR;
    auto codec = std::make_unique<CodecState>();
    const char* names[] = {"alice29.txt", "fireworks.jpeg", "kppkn.gtb"};
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
    {
        Command command(*codec, reporter);
        command.buffer_setting = 0;
        command.archive_path = archive;
        ASSERT_TRUE(prepare_buffers(command));
        ExtractSummary s = extract_all(command, (tmp / "out").string() + "/");
        end_command(command);
        EXPECT_TRUE(s.ok());
        EXPECT_EQ(s.written, 2u);
    }
    EXPECT_EQ(read_file(tmp / "out" / names[0]), read_file(corpus / names[0]));
    EXPECT_EQ(read_file(tmp / "out" / names[2]), read_file(corpus / names[2]));
    EXPECT_FALSE(fs::exists(tmp / "out" / names[1]));
    EXPECT_TRUE(reporter.notes.empty());
}

TEST(TempArchivePath, IsBesideTheArchive) {
    EXPECT_EQ(temp_archive_path("C:\\data\\x.vlm"), "C:\\data\\temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("data/sub/x.vlm"), "data/sub/temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("a\\b/x.vlm"), "a\\b/temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("a/b\\x.vlm"), "a/b\\temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("x.vlm"), "temp$$$.tmp");
    EXPECT_EQ(temp_archive_path("/x.vlm"), "/temp$$$.tmp");
}

}  // namespace
}  // namespace vellum
