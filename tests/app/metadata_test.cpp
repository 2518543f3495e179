// The desktop program on archives with metadata: the metadata entry is no row
// of its own, extraction gives back modes and times and checks every file's
// checksum, and deleting rows keeps metadata with its files.
#include <filesystem>

#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "archive/parallel_add.h"
#include "fake_ui.h"
#include "manage/listing.h"
#include "meta/archive_meta.h"
#include "meta/meta_add.h"

namespace vellum::apptest {
namespace {

class Metadata : public AppFixture {
protected:
    // Adds `sources` with metadata, as the command line does, to `archive`.
    void AddWithMetadata(const fs::path& archive, const std::vector<fs::path>& sources) {
        SilentReporter quiet;
        CodecState codec;
        Command command(codec, quiet);
        ASSERT_NE(open_or_create_archive(command, archive.string()), OpenResult::cannot_create);
        ASSERT_TRUE(prepare_buffers(command));
        AddSummary summary;
        MetaRecorder recorder(command, summary);
        for (const fs::path& source : sources) meta_add_path(recorder, command, source.string());
        ASSERT_TRUE(write_meta_entry(command, recorder.finish()));
        end_command(command);
    }
    ArchiveListing List(const fs::path& archive) {
        SilentReporter quiet;
        ArchiveListing listing;
        list_archive(archive.string(), quiet, &listing);
        return listing;
    }
    size_t MetaEntries(const fs::path& archive) {
        size_t n = 0;
        for (const ListingEntry& e : List(archive).entries) n += is_meta_entry(e) ? 1 : 0;
        return n;
    }
    void ExtractMarkedInto(const fs::path& folder) {
        ui.folder_answers.push_back(folder.string());
        PressButton(*context, ToolbarButton::extract);
    }
};

// Catches the metadata entry shown as a ".vellum" row, extracted as a file, or
// counted among the files.
TEST_F(Metadata, TheMetadataEntryIsNoRowAndModesAndTimesComeBack) {
    WriteBytes(dir / "src" / "docs" / "a.txt", TextData(3000, 1));
    WriteBytes(dir / "src" / "docs" / "ro.txt", TextData(500, 2));
    WriteBytes(dir / "src" / "top.txt", TextData(700, 3));
    fs::create_directories(dir / "src" / "docs" / "empty");
    const fs::file_time_type when = fs::last_write_time(dir / "src" / "top.txt") - std::chrono::hours(24 * 400);
    fs::last_write_time(dir / "src" / "docs" / "a.txt", when);
#ifndef _WIN32
    fs::permissions(dir / "src" / "docs" / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
#endif
    AddWithMetadata(dir / "m.vlm", {dir / "src" / "docs", dir / "src" / "top.txt"});
    OpenArchive(dir / "m.vlm");
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(0, 1), "docs");
    EXPECT_EQ(Cell(1, 1), "top.txt");
    EXPECT_EQ(RowNamed(".vellum"), -1);
    RunMenuCommand(*context, kCmdArchiveInfo);
    EXPECT_EQ(LastBox().text, "detected 3 files in Archive");
    OpenArchive(dir / "m.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    ExtractMarkedInto(dir / "out");
    EXPECT_EQ(LastBox().flags, 0x40u) << LastBox().text;
    EXPECT_FALSE(fs::exists(dir / "out" / ".vellum"));
    EXPECT_EQ(ReadBytes(dir / "out" / "docs" / "a.txt"), TextData(3000, 1));
    EXPECT_TRUE(fs::is_directory(dir / "out" / "docs" / "empty"));
    EXPECT_EQ(fs::last_write_time(dir / "out" / "docs" / "a.txt"), when);
#ifndef _WIN32
    EXPECT_EQ(fs::status(dir / "out" / "docs" / "ro.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read);
#endif
}

// A flipped byte in a stored entry decodes "soundly"; only its checksum tells.
TEST_F(Metadata, AFlippedByteIsCaughtAndTheFileNotWritten) {
    WriteBytes(dir / "src" / "x.zip", std::string("PK\x03\x04", 4) + TextData(4000, 4));
    WriteBytes(dir / "src" / "y.txt", TextData(900, 5));
    AddWithMetadata(dir / "m.vlm", {dir / "src" / "x.zip", dir / "src" / "y.txt"});
    std::string bytes = ReadBytes(dir / "m.vlm");
    const ArchiveListing listing = List(dir / "m.vlm");
    bytes[listing.entries[0].offset + listing.entries[0].record_length - 50] ^= 0x08;
    WriteBytes(dir / "m.vlm", bytes);
    OpenArchive(dir / "m.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    ExtractMarkedInto(dir / "out");
    EXPECT_FALSE(fs::exists(dir / "out" / "x.zip"));
    EXPECT_EQ(ReadBytes(dir / "out" / "y.txt"), TextData(900, 5));
    bool said = false;
    for (const Box& box : ui.boxes) said = said || box.caption.find("checksum differs") != std::string::npos ||
                                          box.text.find("checksum differs") != std::string::npos;
    EXPECT_TRUE(said);
    EXPECT_EQ(LastBox().flags, 0x30u) << LastBox().text;
}

// Deleting every file of one command with metadata takes its metadata entry
// along; another command's stays with its own files.
TEST_F(Metadata, DeletingTheFilesOfACommandTakesItsMetadataAlong) {
    WriteBytes(dir / "src" / "one.txt", TextData(800, 6));
    WriteBytes(dir / "src" / "two.txt", TextData(800, 7));
    AddWithMetadata(dir / "m.vlm", {dir / "src" / "one.txt"});
    AddWithMetadata(dir / "m.vlm", {dir / "src" / "two.txt"});
    ASSERT_EQ(MetaEntries(dir / "m.vlm"), 2u);
    OpenArchive(dir / "m.vlm");
    ASSERT_EQ(Rows(), 2);
    MarkNamed("one.txt");
    PressButton(*context, ToolbarButton::erase);
    EXPECT_EQ(LastBox(), (Box{"DELETED", "NOTICE", 0x30}));
    const ArchiveListing after = List(dir / "m.vlm");
    ASSERT_EQ(after.entries.size(), 2u);
    EXPECT_EQ(after.entries[0].file_name, "two.txt");
    EXPECT_TRUE(is_meta_entry(after.entries[1]));
    ASSERT_EQ(Rows(), 1);
}

}  // namespace
}  // namespace vellum::apptest
