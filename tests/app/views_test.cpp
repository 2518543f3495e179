// The folder view and the archive view: rows, kinds, colours, offsets, moving
// between folders, the entry count and deleting rows.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "app/folder_view.h"
#include "app/paths.h"
#include "fake_ui.h"
#include "../manage_test_support.h"

namespace vellum::apptest {
namespace {

using Views = AppFixture;


TEST_F(Views, AnEmptyFolderShowsOnlyTheParentRow) {
    ShowFolder(dir);
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 0), "[__]");
    EXPECT_EQ(Cell(0, 1), " ..");
    EXPECT_EQ(Cell(0, 2), "   ");
    EXPECT_EQ(Cell(0, 3), "   ");
    EXPECT_EQ(Cell(0, 4), " ");
    EXPECT_EQ(Colour(0), kColourFolder);
    EXPECT_EQ(state->row_kind[0], kRowParent);
    EXPECT_EQ(state->listed_rows, 1u);
    EXPECT_EQ(std::string(state->current_folder), dir.string());
    EXPECT_EQ(ui.cwd, dir.string());
}

TEST_F(Views, FoldersComeBeforeFilesInTheOrderFound) {
    fs::create_directories(dir / "beta");
    fs::create_directories(dir / "alpha");
    WriteBytes(dir / "empty.txt", "");
    WriteBytes(dir / "some.bin", std::string(1234, 'x'));
    FolderNames names;
    EnumerateFolder(dir.string(), &names);
    ASSERT_EQ(names.folders.size(), 2u);
    ASSERT_EQ(names.files.size(), 2u);

    ShowFolder(dir);
    ASSERT_EQ(Rows(), 5);
    for (int i = 0; i < 2; ++i) {
        const int r = 1 + i;
        EXPECT_EQ(Cell(r, 0), "[__]");
        EXPECT_EQ(Cell(r, 1), names.folders[i]);
        EXPECT_EQ(Cell(r, 2), "   ");
        EXPECT_EQ(Cell(r, 3), "...");
        EXPECT_EQ(Cell(r, 4), " ");
        EXPECT_EQ(Colour(r), kColourFolder);
        EXPECT_EQ(state->row_kind[r], kRowFolder);
    }
    for (int i = 0; i < 2; ++i) {
        const int r = 3 + i;
        EXPECT_EQ(Cell(r, 0), " ");
        EXPECT_EQ(Cell(r, 1), names.files[i]);
        EXPECT_EQ(Cell(r, 2), names.files[i] == "empty.txt" ? "0" : "1234");
        EXPECT_EQ(Cell(r, 3), "...");
        EXPECT_EQ(Colour(r), kColourFile);
        EXPECT_EQ(state->row_kind[r], kRowFile);
    }
    EXPECT_EQ(FileSizeText((dir / "missing").string()), "-");
    EXPECT_EQ(FileSizeText((dir / "alpha").string()), "-");
#ifndef _WIN32
    // A pipe is not opened (that would wait for a writer): it shows "-".
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(FileSizeText((dir / "pipe").string()), "-");
#endif
}

TEST_F(Views, AFolderOfMoreEntriesThanRowsShowsAsManyAsTheGridHolds) {
    for (int i = 0; i < kRowCapacity + 3; ++i) std::ofstream(dir / ("f" + std::to_string(i)));
    ShowFolder(dir);
    EXPECT_EQ(Rows(), kRowCapacity);
    EXPECT_EQ(state->listed_rows, static_cast<uint32_t>(kRowCapacity));
    RunMenuCommand(*context, kCmdSelectAll);
    EXPECT_EQ(state->selected_count, static_cast<uint32_t>(kRowCapacity - 1));
}

TEST_F(Views, FolderRowsOpenAtTheNextSelectionAfterADoubleClick) {
    fs::create_directories(dir / "a" / "b");
    WriteBytes(dir / "a" / "b" / "deep.txt", "deep");
    ShowFolder(dir);
    ASSERT_EQ(Cell(1, 1), "a");
    Focus(1);
    OnGridNotification(*context, NotifySelectionChanged);  // no double-click: nothing
    EXPECT_EQ(std::string(state->current_folder), dir.string());

    state->grid.SetDblClickFlag(1);
    OnGridNotification(*context, NotifyRowAdded);  // other codes leave the flag up
    EXPECT_EQ(state->grid.GetDblClickFlag(), 1);
    OnGridNotification(*context, NotifySelectionChanged);
    EXPECT_EQ(state->grid.GetDblClickFlag(), 0);
    const std::string a = (dir / "a").string();
    EXPECT_EQ(std::string(state->current_folder), a);
    EXPECT_EQ(ui.cwd, a);
    ASSERT_EQ(Cell(1, 1), "b");

    // Into b, then up through the parent row to a again.
    Focus(1);
    state->grid.SetDblClickFlag(1);
    OnGridNotification(*context, NotifySelectionChanged);
    ASSERT_EQ(Cell(1, 1), "deep.txt");
    Focus(0);
    state->grid.SetDblClickFlag(1);
    OnGridNotification(*context, NotifySelectionChanged);
    EXPECT_EQ(std::string(state->current_folder), a);
    EXPECT_EQ(Cell(1, 1), "b");
    EXPECT_EQ(ui.folder_dialogs, 1);
}

TEST_F(Views, GoingUpFromTheTopAsksForAFolder) {
    // A folder right below the top (its parent text shorter than 3 characters,
    // like C:\Data) goes to the folder chooser instead of up. One that does not
    // exist shows only its parent row.
    const fs::path top = dir.root_path() / "vellum-no-such-folder";
    ASSERT_FALSE(fs::exists(top));
    ASSERT_LT(ParentFolder(top.string()).size(), 3u);
    ShowFolder(top);
    ASSERT_EQ(std::string(state->current_folder), top.string());
    Focus(0);
    state->grid.SetDblClickFlag(1);
    ui.folder_answers.push_back(dir.string());
    OnGridNotification(*context, NotifySelectionChanged);
    EXPECT_EQ(ui.folder_dialogs, 2);
    EXPECT_EQ(std::string(state->current_folder), dir.string());
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 1), " ..");
    EXPECT_EQ(FindGridRecord(state->grid.GetHWnd())->columns[1].title, std::string("Name"));
}

TEST_F(Views, DoubleClicksAreIgnoredInTheArchiveView) {
    fs::create_directories(dir / "docs");
    WriteBytes(dir / "docs" / "a.txt", TextData(200, 1));
    ui.folder_answers.push_back((dir / "docs").string());
    ui.file_answers.push_back(Path("t"));
    RunMenuCommand(*context, kCmdCompressFolder);
    OpenArchive(dir / "t.vlm");
    ASSERT_EQ(Cell(0, 1), "docs");
    Focus(0);
    state->grid.SetDblClickFlag(1);
    OnGridNotification(*context, NotifySelectionChanged);
    EXPECT_EQ(state->grid.GetDblClickFlag(), 1);  // still pending
    EXPECT_EQ(state->archive_view, 1);
    // After Drive the first selection on a folder row opens it at once.
    ShowFolder(dir);
    const int r = RowNamed("docs");
    ASSERT_GE(r, 1);
    Focus(r);
    OnGridNotification(*context, NotifySelectionChanged);
    EXPECT_EQ(std::string(state->current_folder), (dir / "docs").string());
}

class ArchiveView : public AppFixture {
protected:
    // Three top-level files and a folder of two, written record by record.
    void Write(const fs::path& path, uint8_t solid = 0, uint8_t setting = 2) {
        vellum::test::ArchiveWriter w(path, solid, setting);
        records.push_back(w.add("", "a.txt", 40));
        records.push_back(w.add("docs\\", "x.txt", 30));
        records.push_back(w.add("docs\\sub\\", "y.txt", 20));
        records.push_back(w.add("", "b.txt", 50));
        records.push_back(w.add("", "c.txt", 60));
    }
    std::vector<vellum::test::WrittenRecord> records;
};

TEST_F(ArchiveView, RowsKindsColoursAndOffsets) {
    Write(dir / "t.vlm", 1, 0);
    OpenArchive(dir / "t.vlm");
    ASSERT_EQ(Rows(), 4);
    EXPECT_EQ(state->listed_rows, 4u);
    EXPECT_EQ(state->entry_count, 5u);
    EXPECT_EQ(state->archive_view, 1);
    const char* names[] = {"a.txt", "docs", "b.txt", "c.txt"};
    const int first_record[] = {0, 1, 3, 4};
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(Cell(r, 1), names[r]);
        EXPECT_EQ(state->row_offsets[r], records[first_record[r]].offset);
    }
    EXPECT_EQ(state->row_offsets[4], fs::file_size(dir / "t.vlm"));
    EXPECT_EQ(Cell(1, 0), "[__]");
    EXPECT_EQ(Cell(1, 2), "0");
    EXPECT_EQ(Colour(1), kColourFolder);
    EXPECT_EQ(state->row_kind[1], kRowFolder);
    EXPECT_EQ(Cell(0, 2), std::to_string(records[0].length));
    EXPECT_EQ(Colour(0), kColourFile);
    // The archive's mode and block size are taken over, with their pictures.
    EXPECT_EQ(state->solid, 1);
    EXPECT_EQ(state->buffer_setting, 0);
    EXPECT_EQ(ui.solid_images.back(), ToolbarImage::solid);
    EXPECT_EQ(ui.buffer_images.back(), ToolbarImage::buffer8);
    EXPECT_EQ(FindGridRecord(state->grid.GetHWnd())->columns[1].title, std::string("Name in Archive"));
}

TEST_F(ArchiveView, InfoCountsEveryEntryAndClearsTheMarks) {
    Write(dir / "t.vlm");
    OpenArchive(dir / "t.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    RunMenuCommand(*context, kCmdArchiveInfo);
    EXPECT_EQ(LastBox(), (Box{"detected 5 files in Archive", "Info", 0}));
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(state->selected_count, 0u);
    EXPECT_EQ(FindGridRecord(state->grid.GetHWnd())->columns[1].title, std::string("ARCHIVE FILE"));
    PressButton(*context, ToolbarButton::extract);
    EXPECT_EQ(LastBox(), (Box{"Please select any File/Dir", "Warning", 0x30}));
}

TEST_F(ArchiveView, DeleteShowsDeletedOnceTheRebuiltArchiveIsInPlace) {
    Write(dir / "t.vlm");
    const std::string before = ReadBytes(dir / "t.vlm");
    OpenArchive(dir / "t.vlm");
    MarkNamed("docs");
    MarkNamed("b.txt");
    std::string at_box;
    ui.on_box = [&](const Box& b) {
        if (b.text == "DELETED") at_box = ReadBytes(dir / "t.vlm");
    };
    PressButton(*context, ToolbarButton::erase);
    EXPECT_EQ(LastBox(), (Box{"DELETED", "NOTICE", 0x30}));
    const auto bytes = [&](int i) { return before.substr(records[i].offset, records[i].length); };
    const std::string expected = before.substr(0, 12) + bytes(0) + bytes(4);
    EXPECT_EQ(at_box, expected);
    EXPECT_EQ(ReadBytes(dir / "t.vlm"), expected);
    EXPECT_FALSE(fs::exists(dir / "temp$$$.tmp"));
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(0, 1), "a.txt");
    EXPECT_EQ(Cell(1, 1), "c.txt");
    EXPECT_EQ(state->selected_count, 0u);
    EXPECT_EQ(state->archive_view, 1);

    RunMenuCommand(*context, kCmdSelectAll);
    PressButton(*context, ToolbarButton::erase);
    EXPECT_EQ(LastBox(), (Box{"ACHIVE DELETED", "Message", 0x40}));
    EXPECT_FALSE(fs::exists(dir / "t.vlm"));
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(state->archive_view, 0);
}

TEST_F(ArchiveView, ASolidArchiveIsNotChangedByDelete) {
    Write(dir / "t.vlm", 1);
    const std::string before = ReadBytes(dir / "t.vlm");
    OpenArchive(dir / "t.vlm");
    MarkNamed("b.txt");
    PressButton(*context, ToolbarButton::erase);
    EXPECT_EQ(LastBox(), (Box{"Not Implemented in Solid Mode ON", "Warning", 0x30}));
    EXPECT_EQ(ReadBytes(dir / "t.vlm"), before);
}

TEST_F(ArchiveView, RowsBeyondTheGridsLimitAreDroppedWithTheTablesInStep) {
    std::vector<vellum::test::WrittenRecord> many;
    {
        vellum::test::ArchiveWriter w(dir / "big.vlm");
        for (int i = 0; i < kRowCapacity + 5; ++i) many.push_back(w.add("", "f" + std::to_string(i), 1));
    }
    OpenArchive(dir / "big.vlm");
    EXPECT_EQ(Rows(), kRowCapacity);
    EXPECT_EQ(state->listed_rows, static_cast<uint32_t>(kRowCapacity));
    EXPECT_EQ(state->entry_count, static_cast<uint64_t>(kRowCapacity + 5));
    // The last kept row's range ends where the first dropped row begins.
    EXPECT_EQ(state->row_offsets[kRowCapacity], many[kRowCapacity].offset);
    RunMenuCommand(*context, kCmdSelectAll);
    EXPECT_EQ(state->selected_count, static_cast<uint32_t>(kRowCapacity));
}

}  // namespace
}  // namespace vellum::apptest
