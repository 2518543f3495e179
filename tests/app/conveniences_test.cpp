// What a person expects beside the described behaviour: one box per Delete, a
// cancelled chooser that keeps the view, names in any script, the title, the
// keys, sorting by a column title with the row tables following, dropping files,
// and widths that scale with the display.
#include <algorithm>

#include "app/app_internal.h"
#include "app/row_order.h"
#include "fake_ui.h"
#include "manage/listing.h"
#include "../manage_test_support.h"

namespace vellum::apptest {
namespace {

const char kGreekUpper[] = "\xce\x91\xce\xbb\xcf\x86\xce\xb1.txt";  // Αλφα.txt
const char kGreekLower[] = "\xce\xb2\xce\xae\xcf\x84\xce\xb1.txt";  // βήτα.txt
const char kJapanese[] = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e \xf0\x9f\x98\x80.txt";  // 日本語 😀.txt

class Conveniences : public AppFixture {
protected:
    void CompressFolderRows(const fs::path& folder, const std::vector<std::string>& names,
                            const std::string& target) {
        ShowFolder(folder);
        for (const std::string& name : names) MarkNamed(name);
        ui.file_answers.push_back(Path(target));
        PressButton(*context, ToolbarButton::compress);
    }
    ArchiveListing List(const fs::path& archive) {
        SilentReporter quiet;
        ArchiveListing listing;
        EXPECT_EQ(list_archive(archive.string(), quiet, &listing), ListStatus::complete);
        return listing;
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> cells;
        for (int r = 0; r < Rows(); ++r) cells.push_back(Cell(r, column));
        return cells;
    }
    void ClickTitle(int column) {
        FindGridRecord(state->grid.GetHWnd())->hitColumn = column;
        OnGridNotification(*context, NotifyHeaderClicked);
    }
};

// One Delete of one marked row: one "DELETED" box.
TEST_F(Conveniences, OneDeleteOneBox) {
    WriteBytes(dir / "src" / "a.txt", TextData(300, 1));
    WriteBytes(dir / "src" / "b.txt", TextData(400, 2));
    CompressFolderRows(dir / "src", {"a.txt", "b.txt"}, "t");
    OpenArchive(dir / "t.vlm");
    MarkNamed("a.txt");
    ui.boxes.clear();
    PressButton(*context, ToolbarButton::erase);
    EXPECT_EQ(ui.boxes, std::vector<Box>({{"DELETED", "NOTICE", 0x30}}));
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 1), "b.txt");
}

// Drive, or going up from the top, with the chooser cancelled: the view stays.
TEST_F(Conveniences, ACancelledChooserKeepsTheView) {
    WriteBytes(dir / "one.txt", "1");
    ShowFolder(dir);
    MarkNamed("one.txt");
    const std::vector<std::string> names = Column(1);
    ui.folder_answers.push_back("");
    PressButton(*context, ToolbarButton::drive);
    EXPECT_EQ(Column(1), names);
    EXPECT_EQ(std::string(state->current_folder), dir.string());
    EXPECT_EQ(state->selected_count, 1u);
    EXPECT_EQ(state->listed_rows, static_cast<uint32_t>(names.size()));

    CompressFolderRows(dir, {"one.txt"}, "t");
    OpenArchive(dir / "t.vlm");
    ui.folder_answers.push_back("");
    PressButton(*context, ToolbarButton::drive);
    EXPECT_EQ(state->archive_view, 1);
    EXPECT_EQ(Column(1), std::vector<std::string>{"one.txt"});

    const fs::path top = dir.root_path() / "vellum-no-such-folder";
    ShowFolder(top);
    ui.folder_answers.push_back("");
    RunMenuCommand(*context, kCmdParentFolder);
    EXPECT_EQ(std::string(state->current_folder), top.string());
    EXPECT_EQ(Rows(), 1);
}

// Greek, Japanese and emoji names in the folder view, compressed as their UTF-8
// bytes and extracted under the same names; a legacy name in an archive shows
// as its Unicode name.
TEST_F(Conveniences, NamesInAnyScript) {
    const fs::path src = dir / "src";
    // Paths made from UTF-8 text as such (on Windows a plain char text would be
    // read in the code page of the test program).
    WriteBytes(src / fs::u8path(kGreekUpper), "alpha");
    WriteBytes(src / fs::u8path(kJapanese), "nihongo");
    ShowFolder(src);
    EXPECT_GE(RowNamed(kGreekUpper), 1);
    EXPECT_GE(RowNamed(kJapanese), 1);
    EXPECT_EQ(Cell(RowNamed(kJapanese), 2), "7");
    CompressFolderRows(src, {kGreekUpper, kJapanese}, "u");
    std::vector<std::string> stored;
    for (const ListingEntry& e : List(dir / "u.vlm").entries) stored.push_back(e.file_name);
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<std::string>{kGreekUpper, kJapanese}));
    OpenArchive(dir / "u.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    EXPECT_EQ(ReadBytes(dir / "out" / fs::u8path(kJapanese)), "nihongo");
    EXPECT_EQ(ReadBytes(dir / "out" / fs::u8path(kGreekUpper)), "alpha");

    {
        vellum::test::ArchiveWriter w(dir / "old.vlm");
        w.add("", "caf\xe9 \xe9.txt", 10);
    }
    OpenArchive(dir / "old.vlm");
    EXPECT_EQ(Cell(0, 1), "caf\xc3\xa9 \xc3\xa9.txt");
}

TEST_F(Conveniences, TheTitleNamesWhatTheWindowShows) {
    WriteBytes(dir / "src" / "a.txt", TextData(300, 1));
    ShowFolder(dir / "src");
    EXPECT_EQ(ui.titles.back(), "Vellum - " + (dir / "src").string());
    CompressFolderRows(dir / "src", {"a.txt"}, "backup");
    EXPECT_EQ(ui.titles.back(), "Vellum - " + (dir / "src").string());  // back in the folder view
    OpenArchive(dir / "backup.vlm");
    EXPECT_EQ(ui.titles.back(), "Vellum - backup.vlm");
    EXPECT_EQ(WindowTitle(*state), "Vellum - backup.vlm");
    const size_t shown = ui.titles.size();
    RunMenuCommand(*context, kCmdSelectAll);
    EXPECT_EQ(ui.titles.size(), shown);  // set only when it changes
    ShowFolder(dir);
    EXPECT_EQ(ui.titles.back(), "Vellum - " + dir.string());
}

// Enter opens the focused folder row, the parent row and a .vlm row; Backspace
// goes up; F5 lists again; Delete deletes in the archive view and nothing else;
// a double-click opens a .vlm row too.
TEST_F(Conveniences, Keys) {
    WriteBytes(dir / "src" / "sub" / "inner.txt", "inner");
    WriteBytes(dir / "src" / "a.txt", TextData(300, 1));
    CompressFolderRows(dir / "src", {"a.txt"}, "src/t");
    ShowFolder(dir / "src");

    Focus(RowNamed("sub"));
    RunMenuCommand(*context, kCmdOpenFocused);
    EXPECT_EQ(std::string(state->current_folder), (dir / "src" / "sub").string());
    RunMenuCommand(*context, kCmdParentFolder);
    EXPECT_EQ(std::string(state->current_folder), (dir / "src").string());
    Focus(0);
    RunMenuCommand(*context, kCmdOpenFocused);
    EXPECT_EQ(std::string(state->current_folder), dir.string());

    ShowFolder(dir / "src");
    WriteBytes(dir / "src" / "new.txt", "new");
    EXPECT_EQ(RowNamed("new.txt"), -1);
    RunMenuCommand(*context, kCmdListAgain);
    EXPECT_GE(RowNamed("new.txt"), 1);

    // Delete in the folder view touches no file.
    MarkNamed("new.txt");
    RunMenuCommand(*context, kCmdDeleteKey);
    EXPECT_TRUE(fs::exists(dir / "src" / "new.txt"));
    EXPECT_TRUE(ui.boxes.empty() || ui.boxes.back().text != "DELETED");

    Focus(RowNamed("a.txt"));
    RunMenuCommand(*context, kCmdOpenFocused);  // not an archive: nothing
    EXPECT_EQ(state->archive_view, 0);
    Focus(RowNamed("t.vlm"));
    RunMenuCommand(*context, kCmdOpenFocused);
    ASSERT_EQ(state->archive_view, 1);
    EXPECT_EQ(std::string(state->archive_path), (dir / "src" / "t.vlm").string());
    EXPECT_EQ(Cell(0, 1), "a.txt");

    // Ctrl+A is "Select   All"; Delete is the Delete button here.
    RunMenuCommand(*context, kCmdSelectAll);
    ui.boxes.clear();
    RunMenuCommand(*context, kCmdDeleteKey);
    EXPECT_EQ(ui.boxes, std::vector<Box>({{"ACHIVE DELETED", "Message", 0x40}}));

    CompressFolderRows(dir / "src", {"a.txt"}, "src/t");
    ShowFolder(dir / "src");
    Focus(RowNamed("t.vlm"));
    state->grid.SetDblClickFlag(1);
    OnGridNotification(*context, NotifySelectionChanged);
    EXPECT_EQ(state->archive_view, 1);
    EXPECT_EQ(state->grid.GetDblClickFlag(), 0);
}

TEST(RowOrder, NumbersByValueNamesWithoutCaseParentFirst) {
    EXPECT_LT(CompareCells("20", "100"), 0);
    EXPECT_LT(CompareCells("   ", "0"), 0);  // a folder's empty size before any number
    EXPECT_LT(CompareCells("-", "5"), 0);
    EXPECT_EQ(CompareCells("readme.TXT", "README.txt"), 0);
    EXPECT_LT(CompareCells("apple", "Banana"), 0);
    EXPECT_EQ(FoldCase("\xc3\x89T\xc3\x89 \xce\x91\xce\x9b\xce\xa6\xce\x91 \xd0\x9c\xd0\x98\xd0\xa0 \xc5\x81\xc3\x93" "D\xc5\xb9"),
              "\xc3\xa9t\xc3\xa9 \xce\xb1\xce\xbb\xcf\x86\xce\xb1 \xd0\xbc\xd0\xb8\xd1\x80 \xc5\x82\xc3\xb3\x64\xc5\xba");
    EXPECT_LT(CompareCells(kGreekUpper, kGreekLower), 0);  // α before β whatever the case
    const std::vector<std::string> keys = {" ..", "b", "A", "c", "a"};
    const std::vector<bool> pinned = {true, false, false, false, false};
    EXPECT_EQ(SortOrder(keys, pinned, false), (std::vector<int>{0, 2, 4, 1, 3}));  // ties keep their order
    EXPECT_EQ(SortOrder(keys, pinned, true), (std::vector<int>{0, 3, 1, 2, 4}));
}

// Sorting the folder view: the " .." row stays first, sizes by value, a second
// click reverses; kinds and marks go with their rows.
TEST_F(Conveniences, SortingTheFolderView) {
    fs::create_directories(dir / "Middle");
    WriteBytes(dir / "b.txt", std::string(100, 'b'));
    WriteBytes(dir / "A.txt", std::string(20, 'a'));
    WriteBytes(dir / "c.TXT", std::string(3, 'c'));
    ShowFolder(dir);
    MarkNamed("b.txt");
    ClickTitle(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{" ..", "A.txt", "b.txt", "c.TXT", "Middle"}));
    ClickTitle(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{" ..", "Middle", "c.TXT", "b.txt", "A.txt"}));
    ClickTitle(2);
    EXPECT_EQ(Column(1), (std::vector<std::string>{" ..", "Middle", "c.TXT", "A.txt", "b.txt"}));
    for (int r = 0; r < Rows(); ++r) {
        const std::string name = Cell(r, 1);
        EXPECT_EQ(state->row_kind[r], name == " .." ? kRowParent : name == "Middle" ? kRowFolder : kRowFile) << name;
        EXPECT_EQ(state->row_marks[r], name == "b.txt" ? 1 : 0) << name;
        EXPECT_EQ(Colour(r), name == "b.txt" ? kColourMarked : RowColour(state->row_kind[r])) << name;
    }
    // Marked after the sort, the right files are compressed.
    MarkNamed("c.TXT");
    ui.file_answers.push_back(Path("sorted"));
    PressButton(*context, ToolbarButton::compress);
    std::vector<std::string> stored;
    for (const ListingEntry& e : List(dir / "sorted.vlm").entries) stored.push_back(e.file_name);
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<std::string>{"b.txt", "c.TXT"}));
}

// Sorting the archive view moves the offsets with the rows: marking and
// extracting, and deleting, after a sort act on the right entries.
TEST_F(Conveniences, SortingTheArchiveView) {
    const fs::path src = dir / "src";
    WriteBytes(src / "big.txt", TextData(9000, 1));
    WriteBytes(src / "small.txt", TextData(200, 2));
    WriteBytes(src / "mid.txt", TextData(3000, 3));
    WriteBytes(src / "docs" / "x.txt", TextData(500, 4));
    CompressFolderRows(src, {"big.txt", "docs", "mid.txt", "small.txt"}, "t");
    OpenArchive(dir / "t.vlm");
    const std::vector<std::string> listed = Column(1);
    ClickTitle(3);  // "Size": the folder row's "0" first
    EXPECT_EQ(Column(1), (std::vector<std::string>{"docs", "small.txt", "mid.txt", "big.txt"}));
    const ArchiveListing l = List(dir / "t.vlm");
    for (int r = 0; r < Rows(); ++r) {
        const size_t from = static_cast<size_t>(std::find(listed.begin(), listed.end(), Cell(r, 1)) - listed.begin());
        EXPECT_EQ(state->row_offsets[r], l.row_offsets[from]) << r;
        EXPECT_EQ(state->row_ends[r], l.row_offsets[from + 1]) << r;
        EXPECT_EQ(state->row_kind[r], Cell(r, 1) == "docs" ? kRowFolder : kRowFile);
    }
    EXPECT_EQ(state->row_offsets[Rows()], fs::file_size(dir / "t.vlm"));
    MarkNamed("docs");
    MarkNamed("mid.txt");
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    EXPECT_EQ(ReadBytes(dir / "out" / "mid.txt"), TextData(3000, 3));
    EXPECT_EQ(ReadBytes(dir / "out" / "docs" / "x.txt"), TextData(500, 4));
    EXPECT_FALSE(fs::exists(dir / "out" / "big.txt"));
    EXPECT_FALSE(fs::exists(dir / "out" / "small.txt"));

    ClickTitle(3);
    ClickTitle(3);  // ascending again
    MarkNamed("small.txt");
    PressButton(*context, ToolbarButton::erase);
    std::vector<std::string> left;
    for (const ListingEntry& e : List(dir / "t.vlm").entries) left.push_back(e.folder_path + e.file_name);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"big.txt", "docs\\x.txt", "mid.txt"}));
}

// One archive dropped opens; files dropped on a normal archive's view are added
// with the progress window and the summary; anywhere else a box says what can
// be done.
TEST_F(Conveniences, DroppingFilesAndArchives) {
    const fs::path src = dir / "src";
    WriteBytes(src / "a.txt", TextData(300, 1));
    WriteBytes(src / "more" / "b.txt", TextData(700, 2));
    WriteBytes(src / "c.txt", TextData(900, 3));
    CompressFolderRows(src, {"a.txt"}, "t");
    ShowFolder(dir);

    ui.boxes.clear();
    DropPaths(*context, {(src / "c.txt").string()});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Vellum");
    EXPECT_EQ(ui.boxes[0].text.rfind("Drop one .vlm archive here to open it.", 0), 0u);
    EXPECT_EQ(state->archive_view, 0);

    DropPaths(*context, {Path("t.vlm")});
    ASSERT_EQ(state->archive_view, 1);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(ui.titles.back(), "Vellum - t.vlm");

    ui.boxes.clear();
    const int opened = ui.progress_opened;
    DropPaths(*context, {(src / "more").string(), (src / "c.txt").string()});
    EXPECT_EQ(ui.progress_opened, opened + 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "NOTICE");
    EXPECT_EQ(ui.boxes[0].text.rfind("Added 2 files  1600 bytes to ", 0), 0u) << ui.boxes[0].text;
    EXPECT_EQ(Column(1), (std::vector<std::string>{"a.txt", "more", "c.txt"}));
    EXPECT_EQ(state->archive_view, 1);
}

TEST_F(Conveniences, NothingIsAddedToASolidArchive) {
    WriteBytes(dir / "src" / "a.txt", TextData(300, 1));
    PressButton(*context, ToolbarButton::solid);
    CompressFolderRows(dir / "src", {"a.txt"}, "s");
    OpenArchive(dir / "s.vlm");
    ASSERT_EQ(state->solid, 1);
    const std::string before = ReadBytes(dir / "s.vlm");
    ui.boxes.clear();
    DropPaths(*context, {(dir / "src" / "a.txt").string()});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Files cannot be added to a solid archive", 0), 0u);
    EXPECT_EQ(ReadBytes(dir / "s.vlm"), before);
}

// At 144 dots per inch every width the logic gives the grid is half as large again.
TEST_F(Conveniences, ColumnWidthsScaleWithTheDisplay) {
    EXPECT_EQ(ScaledFor(96, 91), 91);
    EXPECT_EQ(ScaledFor(144, 90), 135);
    EXPECT_EQ(ScaledFor(144, 91), 137);
    EXPECT_EQ(ScaledFor(192, 350), 700);
    state->dpi = 144;
    SetUpGrid(state->grid, 144);
    const DataGridRecord& rec = *FindGridRecord(state->grid.GetHWnd());
    EXPECT_EQ((std::vector<int>{rec.columns[0].width, rec.columns[1].width, rec.columns[2].width,
                                rec.columns[4].width}),
              (std::vector<int>{60, 525, 300, 1200}));
    WriteBytes(dir / "a.txt", TextData(300, 1));
    ShowFolder(dir);
    EXPECT_EQ(rec.columns[1].width, 600);
    ui.file_answers = {Path("a.txt"), Path("t")};
    RunMenuCommand(*context, kCmdCompressFile);
    OpenArchive(dir / "t.vlm");
    EXPECT_EQ(rec.columns[1].width, 741);
}

}  // namespace
}  // namespace vellum::apptest
