// Rows, cells, items, selection, focus, sorting, fonts and the registry of
// CDataGrid, on the fake window system.
#include <algorithm>
#include <cstring>
#include <random>

#include "fake_grid_platform.h"

namespace {

int CompareText(const char* a, const char* b, int) { return std::strcmp(a, b); }

using GridModelTest = GridFixture;
using Codes = std::vector<int>;

TEST_F(GridModelTest, ColumnsClampAndDefaults) {
  for (const DataGridColumn& c : Rec().columns)
    EXPECT_EQ((std::tuple{std::string(c.title), c.width, c.format}), (std::tuple{" ", 50, 0u}));
  CDataGrid wide, most;
  ASSERT_EQ(wide.AttachRecord(FakeWindow(2), FakeWindow(0), 1500), 1);
  ASSERT_EQ(most.AttachRecord(FakeWindow(3), FakeWindow(0), 999), 1);
  EXPECT_EQ(FindGridRecord(FakeWindow(2))->columnCount, 1000);
  EXPECT_EQ(FindGridRecord(FakeWindow(3))->columnCount, 999);
  ReleaseGrid(FakeWindow(2));
  ReleaseGrid(FakeWindow(3));
  Rec().columns[4].pressed = 1;
  EXPECT_EQ(grid.SetColumn(4, std::string(2000, 'T').c_str(), 120, 2), 1);
  EXPECT_EQ(std::strlen(Rec().columns[4].title), 1023u);
  EXPECT_EQ(Rec().columns[4].pressed, 0);
  EXPECT_EQ(grid.SetColumn(5, "x", 1, 0) + grid.SetColumn(-1, "x", 1, 0), 0);
}

TEST_F(GridModelTest, AddRowFillsBlanksNotifiesAndStopsAt16384) {
  EXPECT_EQ(grid.AddRow("", 1), 1);
  EXPECT_EQ(Cell(0, 0) + "|" + Cell(0, 1) + Cell(0, 4), "|  ");
  const DataGridRow& row = Rec().rows[0];
  EXPECT_EQ(row.formats, (std::vector<uint32_t>(5, 1)));
  EXPECT_EQ(row.shades, (std::vector<uint8_t>(5, 0)));
  EXPECT_EQ(row.color, 0xFFFFFFu);
  EXPECT_EQ(fake.codes, Codes{NotifyRowAdded});
  EXPECT_EQ((std::pair{fake.lastParent, fake.lastGrid}), (std::pair{FakeWindow(0), FakeWindow(1)}));
  EXPECT_EQ(fake.repaints, 0);
  AddRows(kMaxRows - 1);
  fake.codes.clear();
  EXPECT_EQ(grid.AddRow("one too many", 0), 0);
  EXPECT_EQ(grid.GetRowCount(), 16384);
  EXPECT_TRUE(fake.codes.empty());
}

TEST_F(GridModelTest, DeleteRowClosesGapClearsFocusAndAlwaysNotifies) {
  AddRows(4);
  grid.SelectRow(2, 3);
  fake.codes.clear();
  EXPECT_EQ(grid.DeleteRow(4) + grid.DeleteRow(-1), 0);
  EXPECT_EQ(grid.GetSelectedRow(), 2);
  EXPECT_EQ(grid.DeleteRow(1), 1);
  EXPECT_EQ(fake.codes, Codes(3, NotifyRowDeleted));
  EXPECT_EQ(Cell(0, 0) + Cell(1, 0) + Cell(2, 0), "023");
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (std::pair{-1, -1}));
}

// DeleteAllRows keeps the focus; moves must not act on that stale row.
TEST_F(GridModelTest, DeleteAllRowsDiscardsEditResetsScrollKeepsFocus) {
  AddRows(100);
  grid.Refresh();
  grid.SelectRow(7, 2);
  Rec().clickedRow = 7;
  Rec().editing = 1;
  Rec().editorWindow = FakeWindow(9);
  fake.bars[GridBarVert].position = 300;
  fake.erasingRepaints = 0;
  grid.DeleteAllRows();
  EXPECT_EQ((std::tuple{grid.GetRowCount(), Rec().editing, fake.editorHides, Rec().clickedRow}),
            (std::tuple{0, 0, 1, -1}));
  EXPECT_EQ(fake.bars[GridBarVert].position, 0);
  EXPECT_FALSE(fake.bars[GridBarVert].shown);
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (std::pair{7, 2}));
  grid.DeleteAllRows();  // no rows: still repaints
  EXPECT_EQ(fake.erasingRepaints, 2);
  AddRows(3);
  grid.MoveFocusUp();
  grid.MoveFocusDown();
  EXPECT_EQ(grid.GetSelectedRow(), 7);
  for (const DataGridRow& r : Rec().rows) EXPECT_EQ(r.selected, 0);
}

TEST_F(GridModelTest, CellTextRulesAndBounds) {
  AddRows(2);
  GridWindow h = grid.GetHWnd();
  EXPECT_EQ(SetCellText(h, 1, 2, ""), 1);
  EXPECT_EQ(Cell(1, 2), " ");
  EXPECT_EQ(SetCellText(h, 1, 2, "abc"), 1);
  for (auto [row, column] : {std::pair{2, 0}, {0, 5}, {-1, 0}, {0, -1}})
    EXPECT_EQ(SetCellText(h, row, column, "x"), 0) << row << "," << column;
  EXPECT_EQ(SetCellText(h, 1, 2, nullptr) + SetCellText(FakeWindow(7), 0, 0, "x"), 0);
  char small[3] = {'z', 'z', 'z'};
  EXPECT_EQ(grid.GetCellText(1, 2, small, sizeof small), 1);
  EXPECT_STREQ(small, "ab");
  char out[8] = "junk";
  EXPECT_EQ(grid.GetCellText(0, 5, out, sizeof out), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(GridModelTest, CellsAndItemsSetAndGetOneAttributeEach) {
  AddRows(3);
  EXPECT_EQ(grid.SetCell(0, 1, "a", 2, 1), 1);
  EXPECT_EQ(Rec().rows[0].formats[1], 2u);
  EXPECT_EQ(Rec().rows[0].shades[1], 1);
  grid.EnableCellShading(0);  // SetCell then ignores its shade; kind 3 still stores it
  EXPECT_EQ(grid.SetCell(0, 2, "b", 1, 1), 1);
  EXPECT_EQ(Rec().rows[0].shades[2], 0);
  char text[] = "hello";
  // Selected 0 is not read: kind 2 always selects.
  DataGridItem item{ItemText, 1, 3, text, 0, 2, 0, 1, 0xBEFFFF};
  for (uint32_t kind = ItemText; kind <= ItemColor; ++kind) item.kind = kind, grid.SetItem(&item);
  EXPECT_EQ(fake.repaints, 0);
  char buffer[4];
  DataGridItem out{0, 1, 3, buffer, sizeof buffer, 0, 0, 0, 0};
  for (uint32_t kind = ItemText; kind <= ItemColor; ++kind) out.kind = kind, grid.GetItem(&out);
  EXPECT_STREQ(buffer, "hel");
  EXPECT_EQ((std::tuple{out.format, out.selected, out.shade, out.color}),
            (std::tuple{2u, 1, 1, 0xBEFFFFu}));
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (std::pair{1, 3}));
  // Bad index, kind or null item: nothing changes.
  DataGridItem bad{ItemColor, 0, 0, nullptr, 0, 0, 0, 0, 0x123456};
  for (auto [row, column] : {std::pair{3, 0}, {-1, 0}, {0, 5}, {0, -1}})
    bad.row = row, bad.column = column, grid.SetItem(&bad), grid.GetItem(&bad);
  bad = {5, 0, 0, nullptr, 0, 0, 0, 0, 0x123456};
  grid.SetItem(&bad);
  grid.SetItem(nullptr);
  grid.GetItem(nullptr);
  EXPECT_EQ(bad.color + Rec().rows[0].color + Rec().rows[2].color, 0x123456u + 2 * 0xFFFFFFu);
  grid.SetRowColor(2, 0xF55649);
  grid.SetRowColor(3, 0xF55649);
  EXPECT_EQ(Rec().rows[2].color, 0xF55649u);
  EXPECT_EQ(fake.erasingRepaints, 1);  // only the row in range repaints
}

TEST_F(GridModelTest, SelectionMarksAndFocus) {
  AddRows(4);
  auto marks = [&] {
    std::string s;
    for (const DataGridRow& r : Rec().rows) s += char('0' + r.selected);
    return s;
  };
  grid.MoveFocusDown();  // no focus: nothing
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), marks()}), (std::pair{-1, std::string("0000")}));
  grid.SelectRow(2, 1);
  grid.SelectRow(0, 4);
  Rec().rows[3].selected = 1;  // another mark stays put
  grid.MoveFocusDown();
  EXPECT_EQ((std::tuple{grid.GetSelectedRow(), grid.GetSelectedColumn(), marks()}),
            (std::tuple{1, 4, "0101"}));
  for (int i = 0; i < 3; ++i) grid.MoveFocusDown();  // to the last row, where it stays
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), marks()}), (std::pair{3, std::string("0001")}));
  for (int i = 0; i < 4; ++i) grid.MoveFocusUp();  // to the first row, where it stays
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), marks()}), (std::pair{0, std::string("1000")}));
  grid.SelectRow(9, 0);  // outside: marks cleared, focus kept
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), marks()}), (std::pair{0, std::string("0000")}));
  Rec().rows[3].selected = Rec().rows[2].selected = 1;
  grid.FocusFirstSelected(2);
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (std::pair{2, 2}));
}

TEST_F(GridModelTest, SortMovesWholeRowsAndNotifiesAroundIt) {
  for (const char* t : {"x", "y", "z"}) grid.AddRow(t, 0);
  grid.SetCell(0, 2, "2", 0, 0);
  grid.SetCell(1, 2, "1", 0, 1);
  grid.SetCell(2, 2, "3", 0, 0);
  grid.SetRowColor(1, 0xBEFFFF);
  Rec().focusRow = 2;
  Rec().focusColumn = 4;
  fake.codes.clear();
  fake.erasingRepaints = 0;
  grid.SortByColumn(2);
  EXPECT_TRUE(fake.codes.empty());  // no compare function yet
  grid.SetCompareFunction(CompareText);
  grid.SortByColumn(2);
  EXPECT_EQ(fake.codes, (Codes{NotifySortBegin, NotifySortEnd}));
  EXPECT_EQ(fake.erasingRepaints, 1);
  EXPECT_EQ(Cell(0, 2) + Cell(1, 2) + Cell(2, 2) + Cell(0, 0) + Cell(1, 0) + Cell(2, 0), "123yxz");
  EXPECT_EQ(Rec().rows[0].color, 0xBEFFFFu);
  EXPECT_EQ(Rec().rows[0].shades[2], 1);
  // Nothing selected: the focus stays.
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (std::pair{2, 4}));

  // Many equal keys: the heap must still give the reference order, and the
  // selected row takes the focus wherever it went.
  grid.DeleteAllRows();
  std::mt19937 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 500; ++i) keys.push_back(std::to_string(rng() % 200));
  for (const std::string& k : keys) grid.AddRow(k.c_str(), 0);
  grid.SelectRow(0, 3);
  grid.SortByColumn(0);
  int focus = grid.GetSelectedRow();
  EXPECT_EQ(Cell(focus, 0), keys[0]);
  EXPECT_EQ(Rec().rows[focus].selected, 1);
  std::sort(keys.begin(), keys.end());
  for (int i = 0; i < 500; ++i) ASSERT_EQ(Cell(i, 0), keys[i]) << i;
}

// The owner's own order: whole rows move, the focus follows its row, and a list
// that is no permutation changes nothing (and still notifies around the try).
TEST_F(GridModelTest, ReorderRowsMovesWholeRowsAndTheFocus) {
  for (const char* t : {"a", "b", "c", "d"}) grid.AddRow(t, 0);
  grid.SetCell(2, 3, "three", 2, 1);
  grid.SetRowColor(2, 0xF55649);
  grid.SelectRow(2, 3);
  fake.codes.clear();
  fake.erasingRepaints = 0;
  EXPECT_EQ(grid.ReorderRows({2, 0, 3, 1}), 1);
  EXPECT_EQ(fake.codes, (Codes{NotifySortBegin, NotifySortEnd}));
  EXPECT_EQ(fake.erasingRepaints, 1);
  EXPECT_EQ(Cell(0, 0) + Cell(1, 0) + Cell(2, 0) + Cell(3, 0), "cadb");
  EXPECT_EQ(Cell(0, 3), "three");
  EXPECT_EQ((std::tuple{Rec().rows[0].color, Rec().rows[0].formats[3], Rec().rows[0].shades[3]}),
            (std::tuple{0xF55649u, 2u, uint8_t{1}}));
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (std::pair{0, 3}));
  EXPECT_EQ(Rec().rows[0].selected, 1);
  for (const std::vector<int>& wrong : {std::vector<int>{0, 1, 2}, {0, 1, 2, 2}, {0, 1, 2, 4}, {-1, 1, 2, 3}})
    EXPECT_EQ(grid.ReorderRows(wrong), 0);
  EXPECT_EQ(Cell(0, 0) + Cell(1, 0) + Cell(2, 0) + Cell(3, 0), "cadb");
}

// The editor must not keep the cell font that was just deleted.
TEST_F(GridModelTest, FontsAreReplacedAndTheEditorFollowsTheCellFont) {
  GridLogFont font{};
  font.lfHeight = -20;
  font.lfWeight = 700;
  Rec().editorWindow = FakeWindow(9);
  grid.SetHeaderFont(font);
  grid.SetCellFont(font);
  EXPECT_EQ(fake.editorFont, Rec().cellFont);
  EXPECT_NE(Rec().cellFont, Rec().headerFont);
  EXPECT_EQ(fake.objectsDeleted, 2);  // the two fonts they replaced
  GridLogFont header{}, cell{};
  grid.GetHeaderFont(&header);
  grid.GetCellFont(&cell);
  EXPECT_EQ((std::pair{int(header.lfWeight), int(cell.lfHeight)}), (std::pair{700, -20}));
  EXPECT_EQ(fake.repaints, 0);
  EXPECT_EQ(MeasureGridLayout(Rec()).rowHeight, 23);
}

TEST_F(GridModelTest, RegistryHoldsTenGridsAndFindsThemByHandle) {
  std::vector<CDataGrid> grids(10);
  for (int i = 0; i < 9; ++i)
    ASSERT_EQ(grids[i].AttachRecord(FakeWindow(20 + i), FakeWindow(0), 2), 1);
  EXPECT_EQ(grids[9].AttachRecord(FakeWindow(40), FakeWindow(0), 2), 0);
  EXPECT_EQ(grids[9].GetHWnd(), nullptr);
  grids[4].AddRow("four", 0);
  EXPECT_EQ(grids[5].GetRowCount(), 0);
  ReleaseGrid(FakeWindow(24));
  EXPECT_EQ(GridRecordCount(), 9);
  // A handle without a record answers with the failure values.
  char buffer[4] = "abc";
  EXPECT_EQ((std::tuple{grids[4].GetRowCount(), grids[4].GetSelectedRow(), grids[4].AddRow("x", 0),
                        grids[4].DeleteRow(0), grids[4].GetCellText(0, 0, buffer, 4)}),
            (std::tuple{0, -1, 0, 0, 0}));
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(fake.codes, Codes{NotifyRowAdded});
  // The tail was the 10th; a record added after an inner removal still links in.
  EXPECT_EQ(grids[9].AttachRecord(FakeWindow(40), FakeWindow(0), 2), 1);
  EXPECT_NE(FindGridRecord(FakeWindow(40)), nullptr);
  EXPECT_NE(FindGridRecord(FakeWindow(28)), nullptr);
  for (int i = 0; i < 9; ++i) ReleaseGrid(FakeWindow(20 + i));
  ReleaseGrid(FakeWindow(40));
  EXPECT_EQ(GridRecordCount(), 1);
}

}  // namespace
