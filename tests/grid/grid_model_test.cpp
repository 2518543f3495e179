// Rows, cells, items, selection, focus and sorting of CDataGrid.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "grid_fixture.h"

namespace {

int CompareText(const char* a, const char* b, int) { return std::strcmp(a, b); }

using GridModelTest = GridFixture;

TEST_F(GridModelTest, CreateClampsColumnCountAndSetsDefaultColumns) {
  EXPECT_EQ(Rec().columnCount, 5);
  for (const DataGridColumn& c : Rec().columns) {
    EXPECT_STREQ(c.title, " ");
    EXPECT_EQ(c.width, 50);
    EXPECT_EQ(c.format, 0u);
    EXPECT_EQ(c.pressed, 0);
  }
  CDataGrid wide, most;
  ASSERT_EQ(wide.AttachRecord(FakeWindow(2), FakeWindow(0), 1500), 1);
  ASSERT_EQ(most.AttachRecord(FakeWindow(3), FakeWindow(0), 999), 1);
  EXPECT_EQ(FindGridRecord(FakeWindow(2))->columnCount, 1000);
  EXPECT_EQ(FindGridRecord(FakeWindow(3))->columnCount, 999);
  ReleaseGrid(FakeWindow(2));
  ReleaseGrid(FakeWindow(3));
}

TEST_F(GridModelTest, SetColumnStoresTitleCutTo1023AndClearsPressed) {
  std::string longTitle(2000, 'T');
  Rec().columns[4].pressed = 1;
  EXPECT_EQ(grid.SetColumn(4, longTitle.c_str(), 120, 2), 1);
  EXPECT_EQ(std::strlen(Rec().columns[4].title), 1023u);
  EXPECT_EQ(Rec().columns[4].width, 120);
  EXPECT_EQ(Rec().columns[4].format, 2u);
  EXPECT_EQ(Rec().columns[4].pressed, 0);
  EXPECT_EQ(grid.SetColumn(5, "x", 1, 0), 0);
  EXPECT_EQ(grid.SetColumn(-1, "x", 1, 0), 0);
  EXPECT_EQ(fake.world.repaints, 0);
}

TEST_F(GridModelTest, AddRowFillsBlanksAndNotifiesWithoutRepaint) {
  EXPECT_EQ(grid.AddRow("", 1), 1);
  EXPECT_EQ(Cell(0, 0), "");
  for (int k = 1; k < 5; ++k) EXPECT_EQ(Cell(0, k), " ");
  const DataGridRow& row = Rec().rows[0];
  EXPECT_EQ(row.formats, (std::vector<uint32_t>{1, 1, 1, 1, 1}));
  EXPECT_EQ(row.shades, (std::vector<uint8_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(row.color, 0xFFFFFFu);
  EXPECT_EQ(row.selected, 0);
  ASSERT_EQ(fake.world.notifications.size(), 1u);
  EXPECT_EQ(fake.world.notifications[0].code, NotifyRowAdded);
  EXPECT_EQ(fake.world.notifications[0].parent, FakeWindow(0));
  EXPECT_EQ(fake.world.notifications[0].grid, FakeWindow(1));
  EXPECT_EQ(fake.world.repaints, 0);
}

TEST_F(GridModelTest, RowLimitRefusesThe16385thRowSilently) {
  AddRows(kMaxRows);
  EXPECT_EQ(grid.GetRowCount(), 16384);
  fake.world.notifications.clear();
  EXPECT_EQ(grid.AddRow("one too many", 0), 0);
  EXPECT_EQ(grid.GetRowCount(), 16384);
  EXPECT_TRUE(fake.world.notifications.empty());
}

TEST_F(GridModelTest, DeleteRowClosesGapClearsFocusAndAlwaysNotifies) {
  AddRows(4);
  grid.SelectRow(2, 3);
  fake.world.notifications.clear();
  EXPECT_EQ(grid.DeleteRow(4), 0);  // equal to the count
  EXPECT_EQ(grid.DeleteRow(-1), 0);
  EXPECT_EQ(grid.GetSelectedRow(), 2);
  EXPECT_EQ(grid.DeleteRow(1), 1);
  EXPECT_EQ(fake.world.Codes(), (std::vector<int>{NotifyRowDeleted, NotifyRowDeleted, NotifyRowDeleted}));
  EXPECT_EQ(grid.GetRowCount(), 3);
  EXPECT_EQ(Cell(0, 0), "0");
  EXPECT_EQ(Cell(1, 0), "2");
  EXPECT_EQ(Cell(2, 0), "3");
  EXPECT_EQ(grid.GetSelectedRow(), -1);
  EXPECT_EQ(grid.GetSelectedColumn(), -1);
}

TEST_F(GridModelTest, DeleteAllRowsDiscardsEditResetsScrollAndKeepsFocus) {
  AddRows(100);
  grid.Refresh();
  grid.SelectRow(7, 2);
  Rec().clickedRow = 7;
  Rec().editing = 1;
  Rec().editorWindow = FakeWindow(9);
  fake.world.bars[GridBarVert].position = 300;
  fake.world.bars[GridBarHorz].position = 0;
  fake.world.erasingRepaints = 0;
  grid.DeleteAllRows();
  EXPECT_EQ(grid.GetRowCount(), 0);
  EXPECT_EQ(Rec().editing, 0);
  EXPECT_EQ(fake.world.editorHides, 1);
  EXPECT_EQ(Rec().clickedRow, -1);
  EXPECT_EQ(fake.world.bars[GridBarVert].position, 0);
  EXPECT_FALSE(fake.world.bars[GridBarVert].shown);
  EXPECT_EQ(grid.GetSelectedRow(), 7);
  EXPECT_EQ(grid.GetSelectedColumn(), 2);
  EXPECT_EQ(fake.world.erasingRepaints, 1);
  grid.DeleteAllRows();  // no rows: still repaints
  EXPECT_EQ(fake.world.erasingRepaints, 2);
}

TEST_F(GridModelTest, CellTextRulesAndBoundsChecks) {
  AddRows(2);
  EXPECT_EQ(SetCellText(grid.GetHWnd(), 1, 2, ""), 1);
  EXPECT_EQ(Cell(1, 2), " ");
  EXPECT_EQ(SetCellText(grid.GetHWnd(), 1, 2, "abc"), 1);
  EXPECT_EQ(Cell(1, 2), "abc");
  EXPECT_EQ(SetCellText(grid.GetHWnd(), 1, 2, nullptr), 0);
  EXPECT_EQ(SetCellText(grid.GetHWnd(), 2, 0, "x"), 0);
  EXPECT_EQ(SetCellText(grid.GetHWnd(), 0, 5, "x"), 0);
  EXPECT_EQ(SetCellText(grid.GetHWnd(), -1, 0, "x"), 0);
  EXPECT_EQ(SetCellText(grid.GetHWnd(), 0, -1, "x"), 0);
  EXPECT_EQ(SetCellText(FakeWindow(7), 0, 0, "x"), 0);

  char small[3] = {'z', 'z', 'z'};
  EXPECT_EQ(grid.GetCellText(1, 2, small, sizeof small), 1);
  EXPECT_STREQ(small, "ab");
  char out[8] = "junk";
  EXPECT_EQ(grid.GetCellText(0, 5, out, sizeof out), 0);
  EXPECT_STREQ(out, "");
  std::strcpy(out, "junk");
  EXPECT_EQ(grid.GetCellText(-1, 0, out, sizeof out), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(GridModelTest, SetCellStoresShadeOnlyWhileShadingIsEnabled) {
  AddRows(1);
  EXPECT_EQ(grid.SetCell(0, 1, "a", 2, 1), 1);
  EXPECT_EQ(Rec().rows[0].formats[1], 2u);
  EXPECT_EQ(Rec().rows[0].shades[1], 1);
  grid.EnableCellShading(0);
  EXPECT_EQ(grid.SetCell(0, 2, "b", 1, 1), 1);
  EXPECT_EQ(Rec().rows[0].shades[2], 0);
  EXPECT_EQ(Rec().rows[0].formats[2], 1u);
  EXPECT_EQ(grid.SetCell(0, 5, "c", 1, 1), 0);
}

TEST_F(GridModelTest, ItemKindsSetAndGetOneAttributeEach) {
  AddRows(3);
  grid.EnableCellShading(0);
  DataGridItem item{};
  item.row = 1;
  item.column = 3;
  char text[] = "hello";
  item.kind = ItemText;
  item.text = text;
  grid.SetItem(&item);
  item.kind = ItemFormat;
  item.format = 2;
  grid.SetItem(&item);
  item.kind = ItemSelected;
  item.selected = 0;  // not read: kind 2 always selects
  grid.SetItem(&item);
  item.kind = ItemShade;
  item.shade = 1;  // stored even with shading disabled
  grid.SetItem(&item);
  item.kind = ItemColor;
  item.color = 0xBEFFFF;
  grid.SetItem(&item);
  EXPECT_EQ(fake.world.repaints, 0);

  DataGridItem out{};
  out.row = 1;
  out.column = 3;
  char buffer[4];
  out.text = buffer;
  out.textSize = sizeof buffer;
  for (uint32_t kind = ItemText; kind <= ItemColor; ++kind) {
    out.kind = kind;
    grid.GetItem(&out);
  }
  EXPECT_STREQ(buffer, "hel");
  EXPECT_EQ(out.format, 2u);
  EXPECT_EQ(out.selected, 1);
  EXPECT_EQ(out.shade, 1);
  EXPECT_EQ(out.color, 0xBEFFFFu);
  EXPECT_EQ(grid.GetSelectedRow(), 1);
  EXPECT_EQ(grid.GetSelectedColumn(), 3);
}

TEST_F(GridModelTest, ItemsWithBadKindIndexOrNullChangeNothing) {
  AddRows(2);
  DataGridItem item{};
  item.kind = ItemColor;
  item.color = 0x123456;
  for (auto [row, column] : {std::pair{2, 0}, {-1, 0}, {0, 5}, {0, -1}}) {
    item.row = row;
    item.column = column;
    grid.SetItem(&item);
  }
  item.row = 0;
  item.column = 0;
  item.kind = 5;
  grid.SetItem(&item);
  grid.SetItem(nullptr);
  grid.GetItem(nullptr);
  EXPECT_EQ(Rec().rows[0].color, 0xFFFFFFu);
  EXPECT_EQ(Rec().rows[1].color, 0xFFFFFFu);
  item.kind = ItemColor;
  item.row = 5;
  grid.GetItem(&item);
  EXPECT_EQ(item.color, 0x123456u);
}

TEST_F(GridModelTest, SetRowColorRepaintsOnlyForRowsInRange) {
  AddRows(2);
  grid.SetRowColor(1, 0xBEFFFF);
  EXPECT_EQ(Rec().rows[1].color, 0xBEFFFFu);
  EXPECT_EQ(fake.world.erasingRepaints, 1);
  grid.SetRowColor(2, 0xBEFFFF);
  EXPECT_EQ(fake.world.erasingRepaints, 1);
}

TEST_F(GridModelTest, SelectRowMarksOneRowAndOutsideIndexClearsMarksOnly) {
  AddRows(4);
  grid.SelectRow(2, 1);
  grid.SelectRow(3, 4);
  EXPECT_EQ(Rec().rows[2].selected, 0);
  EXPECT_EQ(Rec().rows[3].selected, 1);
  EXPECT_EQ(grid.GetSelectedRow(), 3);
  EXPECT_EQ(grid.GetSelectedColumn(), 4);
  grid.SelectRow(9, 0);
  for (const DataGridRow& r : Rec().rows) EXPECT_EQ(r.selected, 0);
  EXPECT_EQ(grid.GetSelectedRow(), 3);
  EXPECT_EQ(grid.GetSelectedColumn(), 4);
}

TEST_F(GridModelTest, FocusFirstSelectedTakesLowestMarkedRow) {
  AddRows(5);
  grid.FocusFirstSelected(2);
  EXPECT_EQ(grid.GetSelectedRow(), -1);
  Rec().rows[3].selected = 1;
  Rec().rows[1].selected = 1;
  grid.FocusFirstSelected(2);
  EXPECT_EQ(grid.GetSelectedRow(), 1);
  EXPECT_EQ(grid.GetSelectedColumn(), 2);
}

TEST_F(GridModelTest, MoveFocusUpAndDownCarryTheMarkAndStopAtEnds) {
  AddRows(3);
  grid.MoveFocusDown();  // no focus: nothing
  EXPECT_EQ(grid.GetSelectedRow(), -1);
  grid.SelectRow(0, 1);
  Rec().rows[2].selected = 1;  // another mark stays put
  grid.MoveFocusUp();
  EXPECT_EQ(grid.GetSelectedRow(), 0);
  grid.MoveFocusDown();
  EXPECT_EQ(grid.GetSelectedRow(), 1);
  EXPECT_EQ(grid.GetSelectedColumn(), 1);
  EXPECT_EQ(Rec().rows[0].selected, 0);
  EXPECT_EQ(Rec().rows[1].selected, 1);
  EXPECT_EQ(Rec().rows[2].selected, 1);
  grid.MoveFocusDown();
  grid.MoveFocusDown();
  EXPECT_EQ(grid.GetSelectedRow(), 2);
  EXPECT_EQ(Rec().rows[1].selected, 0);
}

TEST_F(GridModelTest, MoveFocusWithFocusRowLeftOverByDeleteAllRowsIsIgnored) {
  AddRows(10);
  grid.SelectRow(8, 0);
  grid.DeleteAllRows();
  AddRows(3);
  grid.MoveFocusUp();
  grid.MoveFocusDown();
  EXPECT_EQ(grid.GetSelectedRow(), 8);
  for (const DataGridRow& r : Rec().rows) EXPECT_EQ(r.selected, 0);
}

TEST_F(GridModelTest, MoveFocusLeftAndRightClampToColumns) {
  grid.SelectRow(0, 0);
  EXPECT_EQ(grid.MoveFocusLeft(), 0);
  EXPECT_EQ(grid.MoveFocusRight(), 1);
  Rec().focusColumn = 4;
  EXPECT_EQ(grid.MoveFocusRight(), 4);
  Rec().focusColumn = 9;
  EXPECT_EQ(grid.MoveFocusRight(), 4);
  Rec().focusColumn = -3;
  EXPECT_EQ(grid.MoveFocusLeft(), 0);
}

TEST_F(GridModelTest, SortOrdersRowsAndNotifiesAroundIt) {
  for (const char* t : {"x", "y", "z"}) grid.AddRow(t, 0);
  grid.SetCell(0, 2, "2", 0, 0);
  grid.SetCell(1, 2, "1", 0, 1);
  grid.SetCell(2, 2, "3", 0, 0);
  grid.SetRowColor(1, 0xBEFFFF);
  fake.world.Clear();
  grid.SortByColumn(2);
  EXPECT_TRUE(fake.world.notifications.empty());  // no compare function yet

  grid.SetCompareFunction(CompareText);
  grid.SortByColumn(2);
  EXPECT_EQ(fake.world.Codes(), (std::vector<int>{NotifySortBegin, NotifySortEnd}));
  EXPECT_EQ(fake.world.erasingRepaints, 1);
  EXPECT_EQ(Cell(0, 2), "1");
  EXPECT_EQ(Cell(1, 2), "2");
  EXPECT_EQ(Cell(2, 2), "3");
  // Whole rows moved: first cells, colour and shade flags went along.
  EXPECT_EQ(Cell(0, 0), "y");
  EXPECT_EQ(Rec().rows[0].color, 0xBEFFFFu);
  EXPECT_EQ(Rec().rows[0].shades[2], 1);
  EXPECT_EQ(Cell(2, 0), "z");
}

TEST_F(GridModelTest, SortMatchesReferenceOrderAndRefocusesOnSelection) {
  std::mt19937 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 500; ++i) keys.push_back(std::to_string(rng() % 200));
  for (const std::string& k : keys) grid.AddRow(k.c_str(), 0);
  grid.SelectRow(0, 3);
  std::string selectedKey = keys[0];
  grid.SetCompareFunction(CompareText);
  grid.SortByColumn(0);
  std::sort(keys.begin(), keys.end());
  for (int i = 0; i < 500; ++i) ASSERT_EQ(Cell(i, 0), keys[i]) << i;
  int focus = grid.GetSelectedRow();
  ASSERT_GE(focus, 0);
  EXPECT_EQ(Rec().rows[focus].selected, 1);
  EXPECT_EQ(Cell(focus, 0), selectedKey);
  EXPECT_EQ(grid.GetSelectedColumn(), 3);
}

TEST_F(GridModelTest, SortWithoutSelectionKeepsFocus) {
  for (const char* t : {"b", "a"}) grid.AddRow(t, 0);
  Rec().focusRow = 1;
  Rec().focusColumn = 2;
  grid.SetCompareFunction(CompareText);
  grid.SortByColumn(0);
  EXPECT_EQ(Cell(0, 0), "a");
  EXPECT_EQ(grid.GetSelectedRow(), 1);
  EXPECT_EQ(grid.GetSelectedColumn(), 2);
}

TEST_F(GridModelTest, FontsAreReplacedAndTheirDescriptionsKept) {
  GridLogFont font{};
  font.lfHeight = -20;
  font.lfWeight = 700;
  std::strcpy(font.lfFaceName, "Arial");
  Rec().editorWindow = FakeWindow(9);
  grid.SetHeaderFont(font);
  grid.SetCellFont(font);
  EXPECT_EQ(fake.world.editorFont, Rec().cellFont);
  EXPECT_NE(Rec().cellFont, Rec().headerFont);
  EXPECT_EQ(fake.world.fontsCreated, 2);
  EXPECT_EQ(fake.world.objectsDeleted, 2);  // the two fonts they replaced
  GridLogFont back{};
  grid.GetHeaderFont(&back);
  EXPECT_EQ(back.lfWeight, 700);
  EXPECT_STREQ(back.lfFaceName, "Arial");
  grid.GetCellFont(&back);
  EXPECT_EQ(back.lfHeight, -20);
  EXPECT_EQ(fake.world.repaints, 0);
  // Row height now comes from the new cell font.
  EXPECT_EQ(MeasureGridLayout(Rec()).rowHeight, 23);
}

TEST(GridRegistryTest, HoldsTenGridsAndFindsThemByHandle) {
  FakeGridPlatform fake;
  std::vector<CDataGrid> grids(11);
  for (int i = 0; i < 10; ++i)
    ASSERT_EQ(grids[i].AttachRecord(FakeWindow(20 + i), FakeWindow(0), 2), 1);
  EXPECT_EQ(GridRecordCount(), 10);
  EXPECT_EQ(grids[10].AttachRecord(FakeWindow(40), FakeWindow(0), 2), 0);
  EXPECT_EQ(grids[10].GetHWnd(), nullptr);
  grids[4].AddRow("four", 0);
  EXPECT_EQ(grids[4].GetRowCount(), 1);
  EXPECT_EQ(grids[5].GetRowCount(), 0);
  ReleaseGrid(FakeWindow(24));
  EXPECT_EQ(GridRecordCount(), 9);
  EXPECT_EQ(grids[4].GetRowCount(), 0);  // record gone
  EXPECT_EQ(grids[4].GetSelectedRow(), -1);
  EXPECT_EQ(grids[4].AddRow("x", 0), 0);
  EXPECT_EQ(grids[10].AttachRecord(FakeWindow(40), FakeWindow(0), 2), 1);
  // The tail was the 10th; a new record after an inner removal still links in.
  EXPECT_EQ(FindGridRecord(FakeWindow(40))->columnCount, 2);
  EXPECT_EQ(FindGridRecord(FakeWindow(29))->columnCount, 2);
  for (int i = 0; i < 10; ++i) ReleaseGrid(FakeWindow(20 + i));
  ReleaseGrid(FakeWindow(40));
  EXPECT_EQ(GridRecordCount(), 0);
}

TEST(GridRegistryTest, AGridWithoutRecordAnswersWithFailureValues) {
  FakeGridPlatform fake;
  CDataGrid grid;
  char buffer[4] = "abc";
  EXPECT_EQ(grid.GetRowCount(), 0);
  EXPECT_EQ(grid.GetSelectedRow(), -1);
  EXPECT_EQ(grid.GetSelectedColumn(), -1);
  EXPECT_EQ(grid.GetCellText(0, 0, buffer, 4), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(grid.AddRow("x", 0), 0);
  EXPECT_EQ(grid.DeleteRow(0), 0);
  EXPECT_EQ(grid.GetCellTextColor(), 0u);
  EXPECT_TRUE(fake.world.notifications.empty());
  EXPECT_EQ(grid.AttachRecord(nullptr, nullptr, 3), 0);
}

}  // namespace
