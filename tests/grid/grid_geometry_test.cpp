// Geometry, scroll arithmetic and hit tests as pure functions of the record
// and the measured layout.
#include <gtest/gtest.h>

#include <cstring>

#include "grid/grid_geometry.h"
#include "grid/grid_model.h"

namespace {

// Header: 10-point Arial, 16 + 3; cells: 9-point, 15 + 3 = RH 18.
GridLayout Layout(int hpos = 0, int vpos = 0, int cw = 780, int ch = 480, bool buttons = true) {
  return MakeGridLayout(16, 3, 15, 3, buttons, hpos, vpos, cw, ch);
}

DataGridRecord Record(std::initializer_list<int> widths, int rows = 0) {
  DataGridRecord record;
  InitColumns(record, static_cast<int>(widths.size()));
  int k = 0;
  for (int w : widths) record.columns[k++].width = w;
  for (int r = 0; r < rows; ++r) AppendRow(record, "", 0);
  return record;
}

void ExpectRect(const GridRect& r, int left, int top, int right, int bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

TEST(GridGeometryTest, HeaderAndRowMeasures) {
  GridLayout l = Layout();
  EXPECT_EQ(l.headerHeight, 19);
  EXPECT_EQ(l.rowHeight, 18);
  EXPECT_EQ(RowPitch(l), 17);
  EXPECT_EQ(RowTop(l, 0), 18);  // HH - 1
  EXPECT_EQ(RowTop(l, 1), 35);
  EXPECT_EQ(RowTop(l, 10), 18 + 170);
  GridLayout etched = Layout(0, 0, 780, 480, false);
  EXPECT_EQ(etched.headerHeight, 21);  // 2 taller without button headers
  EXPECT_EQ(etched.headerTextHeight, 19);
  // Degenerate fonts never give a zero pitch.
  EXPECT_EQ(RowPitch(MakeGridLayout(0, 0, 0, 0, true, 0, 0, 10, 10)), 1);
}

TEST(GridGeometryTest, RectanglesFollowScrollPositions) {
  DataGridRecord record = Record({40, 350, 200}, 5);
  GridLayout l = Layout(30, 34);
  ExpectRect(HeaderLayoutRect(record, l, 1), 40, 0, 390, 19);
  ExpectRect(HeaderPaintRect(record, l, 1), 10, 0, 360, 19);
  // Cells are one pixel wider to the left; rows share their border lines.
  ExpectRect(CellRect(record, l, 2, 1), 40 - 30 - 1, 18 + 34 - 34, 390 - 30, 18 + 34 + 18 - 34);
  EXPECT_EQ(CellRect(record, l, 2, 1).bottom - 1, CellRect(record, l, 3, 1).top);
  EXPECT_EQ(CellRect(record, l, 2, 0).right - 1, CellRect(record, l, 2, 1).left);
  ExpectRect(FirstRowRect(record, l), -30, 18, 10, 36);
  record.focusRow = 2;
  record.focusColumn = 1;
  ExpectRect(FocusCellRect(record, l), 40, 19 + 34, 389, 19 + 34 + 16);
}

TEST(GridGeometryTest, PaintedRowRange) {
  DataGridRecord record = Record({50}, 100);
  EXPECT_EQ(FirstPaintRow(Layout(0, 0)), 0);
  EXPECT_EQ(FirstPaintRow(Layout(0, 34)), 2);
  EXPECT_EQ(FirstPaintRow(Layout(0, 40)), 1);  // remainder: one row earlier
  EXPECT_EQ(FirstPaintRow(Layout(0, 10)), 0);
  EXPECT_EQ(EndPaintRow(record, Layout(0, 0)), 480 / 17);
  EXPECT_EQ(EndPaintRow(record, Layout(0, 1500)), 100);
}

TEST(GridGeometryTest, CullingKeepsCellsUnderHeaderLineAndAcrossBottom) {
  GridLayout l = Layout();  // header line at 18, client bottom 480
  EXPECT_TRUE(CellNeedsPaint(l, {0, 18, 50, 36}));
  EXPECT_TRUE(CellNeedsPaint(l, {0, 462, 50, 480}));
  EXPECT_TRUE(CellNeedsPaint(l, {0, 470, 50, 488}));   // crosses the bottom
  EXPECT_TRUE(CellNeedsPaint(l, {0, 10, 50, 28}));     // crosses the header line
  EXPECT_FALSE(CellNeedsPaint(l, {0, 0, 50, 18}));     // wholly under the header
  EXPECT_FALSE(CellNeedsPaint(l, {0, -20, 50, -2}));
  EXPECT_FALSE(CellNeedsPaint(l, {0, 480, 50, 498}));  // below the client area
}

TEST(GridGeometryTest, ScrollSteps) {
  GridLayout l = Layout(0, 0, 780, 480);
  EXPECT_EQ(LineScrollStep(l), 17);
  EXPECT_EQ(PageScrollStep(l), 17 * (28 - 2));  // 442
  EXPECT_EQ(SnapVerticalThumb(l, 100), 85);
  EXPECT_EQ(SnapVerticalThumb(l, 85), 85);
  // A client area lower than three rows still pages forward by one row.
  EXPECT_EQ(PageScrollStep(Layout(0, 0, 780, 40)), 17);
}

TEST(GridGeometryTest, EnsureVisiblePositions) {
  DataGridRecord record = Record({40, 350, 200, 200, 800}, 100);
  // Row above the view: it comes directly under the header.
  EXPECT_EQ(VposForRow(Layout(0, 500), 10), 170);
  // Row below: its bottom line lands on the client bottom.
  GridLayout l = Layout(0, 0);
  int vpos = VposForRow(l, 40);
  EXPECT_EQ(vpos, 17 * 40 + 18 + 18 - 480);
  EXPECT_EQ(RowTop(l, 40) + 18 - vpos, 480);
  EXPECT_EQ(VposForRow(Layout(0, 100), 10), 100);  // already visible
  EXPECT_EQ(HposForColumn(record, Layout(500), 1), 40);
  EXPECT_EQ(HposForColumn(record, Layout(0), 4), 1590 - 780);
  EXPECT_EQ(HposForColumn(record, Layout(100), 2), 100);
  EXPECT_EQ(HposForColumn(record, Layout(100), -1), 100);
}

TEST(GridGeometryTest, ScrollBarPlans) {
  DataGridRecord record = Record({40, 350, 200, 200, 800}, 0);
  GridScrollPlan h = HorizontalScrollPlan(record, Layout(12, 0, 780, 480));
  EXPECT_TRUE(h.show);
  EXPECT_EQ(h.maximum, 1590);
  EXPECT_EQ(h.page, 781);
  EXPECT_EQ(h.position, 12);
  EXPECT_FALSE(HorizontalScrollPlan(Record({50}), Layout()).show);
  EXPECT_FALSE(VerticalScrollPlan(record, Layout(0, 300)).show);  // no rows
  for (int r = 0; r < 40; ++r) AppendRow(record, "", 0);
  GridScrollPlan v = VerticalScrollPlan(record, Layout(0, 0, 780, 480));
  EXPECT_TRUE(v.show);
  EXPECT_EQ(v.maximum, 19 + 17 * 40);
  EXPECT_EQ(v.page, 481);
  EXPECT_FALSE(VerticalScrollPlan(record, Layout(0, 0, 780, 19 + 17 * 40)).show);
}

TEST(GridGeometryTest, ColumnBorderHitWithinTwoPixelsInHeaderBand) {
  DataGridRecord record = Record({40, 350, 200});
  GridLayout l = Layout();
  EXPECT_EQ(FindColumnBorder(record, l, 38, 5), 0);
  EXPECT_EQ(FindColumnBorder(record, l, 42, 5), 0);
  EXPECT_EQ(FindColumnBorder(record, l, 43, 5), -1);
  EXPECT_EQ(FindColumnBorder(record, l, 389, 19), 1);  // band includes both ends
  EXPECT_EQ(FindColumnBorder(record, l, 389, 20), -1);
  EXPECT_EQ(FindColumnBorder(record, Layout(0, 100), 389, 105), 1);  // content y
  EXPECT_EQ(FindColumnBorder(record, Layout(0, 100), 389, 5), -1);
  // Narrow columns: the first border in reach wins.
  DataGridRecord narrow = Record({2, 2, 50});
  EXPECT_EQ(FindColumnBorder(narrow, l, 3, 0), 0);
}

TEST(GridGeometryTest, HeaderHitUsesTextHeightNotExtraEdge) {
  DataGridRecord record = Record({40, 350});
  EXPECT_EQ(FindHeaderColumn(record, Layout(), 39, 0), 0);
  EXPECT_EQ(FindHeaderColumn(record, Layout(), 40, 18), 1);
  EXPECT_EQ(FindHeaderColumn(record, Layout(), 40, 19), -1);
  EXPECT_EQ(FindHeaderColumn(record, Layout(), 390, 5), -1);
  EXPECT_EQ(FindHeaderColumn(record, Layout(0, 0, 780, 480, false), 40, 19), -1);
}

TEST(GridGeometryTest, CellHitOnSharedLinesAndWhenScrolled) {
  DataGridRecord record = Record({40, 350}, 3);
  GridLayout l = Layout();
  int row = -1, column = -1;
  ASSERT_TRUE(FindCell(record, l, 100, 35, &row, &column));  // border of rows 0 and 1
  EXPECT_EQ(row, 0);
  EXPECT_EQ(column, 1);
  ASSERT_TRUE(FindCell(record, l, 39, 36, &row, &column));
  EXPECT_EQ(row, 1);
  EXPECT_EQ(column, 0);
  EXPECT_FALSE(FindCell(record, l, 100, 18 + 3 * 17 + 1, &row, &column));  // below last row
  EXPECT_FALSE(FindCell(record, l, 390, 40, &row, &column));  // right of last column
  // Client (100, 40) is in row 1 unscrolled; one row down it is in row 2.
  ASSERT_TRUE(FindCell(record, Layout(0, 0), 100, 40, &row, &column));
  EXPECT_EQ(row, 1);
  ASSERT_TRUE(FindCell(record, Layout(0, 17), 100, 40 + 17, &row, &column));
  EXPECT_EQ(row, 2);
}

TEST(GridGeometryTest, EditorFollowsItsCellOrHides) {
  DataGridRecord record = Record({40, 350}, 40);
  record.editorLeft = 40;
  record.editorTop = 19 + 17 * 5;
  record.editorRight = 389;
  record.editorBottom = record.editorTop + 16;
  GridPlacement p = EditorPlacement(record, Layout(10, 17));
  EXPECT_TRUE(p.visible);
  EXPECT_EQ(p.x, 30);
  EXPECT_EQ(p.y, 19 + 17 * 4);
  EXPECT_EQ(p.width, 349);
  EXPECT_EQ(p.height, 16);
  EXPECT_FALSE(EditorPlacement(record, Layout(0, 17 * 5 + 1)).visible);  // under the header
  EXPECT_TRUE(EditorPlacement(record, Layout(0, 17 * 5)).visible);
  EXPECT_FALSE(EditorPlacement(record, Layout(0, 0, 780, 19 + 17 * 5 + 15)).visible);
  EXPECT_FALSE(EditorPlacement(record, Layout(390)).visible);  // scrolled past
}

TEST(GridGeometryTest, PercentPlacementRoundTrip) {
  GridPercents p = ComputeGridPercents(5, 74, 795, 564, 800, 600);
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 12);
  EXPECT_EQ(p.width, 98);
  EXPECT_EQ(p.height, 81);
  GridPlacement at = PlaceFromPercents(p, 800, 600);
  EXPECT_EQ(at.x, 0);
  EXPECT_EQ(at.y, 72);
  EXPECT_EQ(at.width, 784);
  EXPECT_EQ(at.height, 486);
  GridPercents none = ComputeGridPercents(5, 5, 10, 10, 0, 0);
  EXPECT_EQ(none.width, 0);
}

}  // namespace
