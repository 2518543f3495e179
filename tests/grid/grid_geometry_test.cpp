// Geometry, scroll arithmetic and hit tests as pure functions of the record and
// the measured layout, then scroll bars and hit tests through the grid's handle.
#include <array>

#include "fake_grid_platform.h"
#include "grid/grid_geometry.h"
#include "grid/grid_model.h"

namespace {

using Box = std::array<int, 4>;
Box B(const GridRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// Header: 10-point Arial, 16 + 3; cells: 9-point, 15 + 3 = RH 18.
GridLayout Layout(int hpos = 0, int vpos = 0, int ch = 480, bool buttons = true) {
  return MakeGridLayout(16, 3, 15, 3, buttons, hpos, vpos, 780, ch);
}

DataGridRecord Record(std::initializer_list<int> widths, int rows = 0) {
  DataGridRecord record;
  InitColumns(record, static_cast<int>(widths.size()));
  int k = 0;
  for (int w : widths) record.columns[k++].width = w;
  for (int r = 0; r < rows; ++r) AppendRow(record, "", 0);
  return record;
}

TEST(GridGeometryTest, MeasuresAndRectangles) {
  GridLayout l = Layout();
  EXPECT_EQ((Box{l.headerHeight, l.rowHeight, RowTop(l, 0), RowTop(l, 10)}),
            (Box{19, 18, 18, 188}));
  GridLayout etched = Layout(0, 0, 480, false);
  EXPECT_EQ(etched.headerHeight, 21);
  EXPECT_EQ(etched.headerTextHeight, 19);
  EXPECT_EQ(RowPitch(MakeGridLayout(0, 0, 0, 0, true, 0, 0, 10, 10)), 1);  // never divides by 0

  DataGridRecord record = Record({40, 350, 200}, 5);
  GridLayout s = Layout(30, 34);
  EXPECT_EQ(B(HeaderLayoutRect(record, s, 1)), (Box{40, 0, 390, 19}));
  EXPECT_EQ(B(HeaderPaintRect(record, s, 1)), (Box{10, 0, 360, 19}));
  // One pixel wider to the left; neighbours share their border lines.
  EXPECT_EQ(B(CellRect(record, s, 2, 1)), (Box{9, 18, 360, 36}));
  EXPECT_EQ(B(CellRect(record, s, 3, 0)), (Box{-31, 35, 10, 53}));
  EXPECT_EQ(B(FirstRowRect(record, s)), (Box{-30, 18, 10, 36}));
  record.focusRow = 2;
  record.focusColumn = 1;
  EXPECT_EQ(B(FocusCellRect(record, s)), (Box{40, 53, 389, 69}));
}

TEST(GridGeometryTest, PaintedRowsAndCulling) {
  DataGridRecord record = Record({50}, 100);
  for (auto [vpos, first] : {std::pair{0, 0}, {10, 0}, {34, 2}, {40, 1}})
    EXPECT_EQ(FirstPaintRow(Layout(0, vpos)), first) << vpos;
  EXPECT_EQ(EndPaintRow(record, Layout(0, 0)), 480 / 17);
  EXPECT_EQ(EndPaintRow(record, Layout(0, 1500)), 100);
  // Header line at 18, client bottom 480.
  struct { int top, bottom; bool paint; } cells[] = {
      {18, 36, true}, {462, 480, true}, {470, 488, true}, {10, 28, true},
      {0, 18, false}, {-20, -2, false}, {480, 498, false}};
  for (auto c : cells)
    EXPECT_EQ(CellNeedsPaint(Layout(), {0, c.top, 50, c.bottom}), c.paint) << c.top;
}

TEST(GridGeometryTest, ScrollStepsPlansAndEnsureVisible) {
  EXPECT_EQ(LineScrollStep(Layout()), 17);
  EXPECT_EQ(PageScrollStep(Layout()), 17 * (28 - 2));  // 442
  EXPECT_EQ(PageScrollStep(Layout(0, 0, 40)), 17);      // lower than three rows: still one row
  EXPECT_EQ(SnapVerticalThumb(Layout(), 100), 85);
  EXPECT_EQ(SnapVerticalThumb(Layout(), 85), 85);

  DataGridRecord record = Record({40, 350, 200, 200, 800});
  GridScrollPlan h = HorizontalScrollPlan(record, Layout(12));
  EXPECT_EQ((Box{h.show, h.maximum, h.page, h.position}), (Box{true, 1590, 781, 12}));
  EXPECT_FALSE(HorizontalScrollPlan(Record({50}), Layout()).show);
  EXPECT_FALSE(VerticalScrollPlan(record, Layout(0, 300)).show);  // no rows
  for (int r = 0; r < 40; ++r) AppendRow(record, "", 0);
  GridScrollPlan v = VerticalScrollPlan(record, Layout());
  EXPECT_EQ((Box{v.show, v.maximum, v.page, v.position}), (Box{true, 19 + 17 * 40, 481, 0}));
  EXPECT_FALSE(VerticalScrollPlan(record, Layout(0, 0, 19 + 17 * 40)).show);

  // Above the view: directly under the header; below: its bottom on the client bottom.
  EXPECT_EQ(VposForRow(Layout(0, 500), 10), 170);
  EXPECT_EQ(VposForRow(Layout(0, 0), 40), 17 * 40 + 18 + 18 - 480);
  EXPECT_EQ(VposForRow(Layout(0, 100), 10), 100);
  for (auto [hpos, column, to] :
       {std::array{500, 1, 40}, {0, 4, 1590 - 780}, {100, 2, 100}, {100, -1, 100}})
    EXPECT_EQ(HposForColumn(record, Layout(hpos), column), to) << column;
}

TEST(GridGeometryTest, HitTests) {
  DataGridRecord record = Record({40, 350, 200}, 3);
  // Border: within 2 pixels of a right edge, header text band with both ends, content y.
  struct { int x, y, vpos, column; } borders[] = {
      {38, 5, 0, 0},     {42, 5, 0, 0},       {43, 5, 0, -1},     {389, 19, 0, 1},
      {389, 20, 0, -1},  {389, 105, 100, 1},  {389, 5, 100, -1}};
  for (auto b : borders)
    EXPECT_EQ(FindColumnBorder(record, Layout(0, b.vpos), b.x, b.y), b.column) << b.x << "," << b.y;
  EXPECT_EQ(FindColumnBorder(Record({2, 2, 50}), Layout(), 3, 0), 0);  // first in reach wins
  // Header: the text band only, without the 2 extra pixels of etched headers.
  struct { int x, y; bool buttons; int column; } headers[] = {
      {39, 0, true, 0},   {40, 18, true, 1},   {40, 19, true, -1},
      {590, 5, true, -1}, {40, 19, false, -1}};
  for (auto h : headers)
    EXPECT_EQ(FindHeaderColumn(record, Layout(0, 0, 480, h.buttons), h.x, h.y), h.column) << h.x;
  // Cells: a shared row line belongs to the upper row; hits follow the scroll position.
  struct { int x, y, vpos, row, column; } cells[] = {
      {100, 35, 0, 0, 1},       {39, 36, 0, 1, 0},           {100, 40, 0, 1, 1},
      {100, 40 + 17, 17, 2, 1}, {100, 18 + 52, 0, -1, -1},   {590, 40, 0, -1, -1}};
  for (auto c : cells) {
    int row = -1, column = -1;
    EXPECT_EQ(FindCell(record, Layout(0, c.vpos), c.x, c.y, &row, &column), c.row >= 0);
    EXPECT_EQ((std::pair{row, column}), (std::pair{c.row, c.column})) << c.x << "," << c.y;
  }
}

TEST(GridGeometryTest, EditorPlacementAndPercents) {
  DataGridRecord record = Record({40, 350}, 40);
  record.editorLeft = 40;
  record.editorTop = 19 + 17 * 5;
  record.editorRight = 389;
  record.editorBottom = record.editorTop + 16;
  GridPlacement p = EditorPlacement(record, Layout(10, 17));
  EXPECT_TRUE(p.visible);
  EXPECT_EQ((Box{p.x, p.y, p.width, p.height}), (Box{30, 19 + 17 * 4, 349, 16}));
  EXPECT_TRUE(EditorPlacement(record, Layout(0, 17 * 5)).visible);
  EXPECT_FALSE(EditorPlacement(record, Layout(0, 17 * 5 + 1)).visible);  // under the header
  EXPECT_FALSE(EditorPlacement(record, Layout(0, 0, 19 + 17 * 5 + 15)).visible);
  EXPECT_FALSE(EditorPlacement(record, Layout(390)).visible);

  GridPercents at = ComputeGridPercents(5, 74, 795, 564, 800, 600);
  EXPECT_EQ((Box{at.left, at.top, at.width, at.height}), (Box{0, 12, 98, 81}));
  GridPlacement place = PlaceFromPercents(at, 800, 600);
  EXPECT_EQ((Box{place.x, place.y, place.width, place.height}), (Box{0, 72, 784, 486}));
  EXPECT_EQ(ComputeGridPercents(5, 5, 10, 10, 0, 0).width, 0);
}

class GridScrollTest : public GridFixture {
 protected:
  void SetUp() override {
    GridFixture::SetUp();
    for (int k = 0; k < 5; ++k) grid.SetColumn(k, "T", std::array{40, 350, 200, 200, 800}[k], 0);
  }
  FakeScrollBar& Vert() { return fake.bars[GridBarVert]; }
  FakeScrollBar& Horz() { return fake.bars[GridBarHorz]; }
};

// Each bar is sized from the client extent the other one leaves.
TEST_F(GridScrollTest, BarsAccountForTheClientAreaTheOtherBarTakes) {
  fake.barThickness = 17;
  fake.clientHeight = 19 + 17 * 10 + 5;  // ten rows fit without a horizontal bar
  AddRows(10);
  grid.Refresh();
  EXPECT_TRUE(Vert().shown);
  EXPECT_EQ(Vert().page, fake.clientHeight - 17 + 1);
  EXPECT_EQ(Horz().maximum, 1590);
  EXPECT_EQ(Horz().page, fake.clientWidth - 17 + 1);
}

// Without a focus cell there is nothing to bring into view.
TEST_F(GridScrollTest, EnsureVisibleNeedsAFocusCellAndDoesNotPaint) {
  AddRows(200);
  grid.Refresh();
  grid.SelectRow(100, -1);
  grid.EnsureVisible();
  EXPECT_EQ((Box{Vert().position, Horz().position, fake.repaints}), (Box{0, 0, 1}));
  grid.SelectRow(100, 4);
  grid.EnsureVisible();
  EXPECT_EQ((Box{Vert().position, Horz().position, fake.repaints}), (Box{1700 + 36 - 480, 810, 1}));
}

TEST_F(GridScrollTest, HitTestsUpdateSelectionFocusAndHitColumn) {
  AddRows(5);
  Rec().rows[4].selected = 1;
  GridWindow h = grid.GetHWnd();
  EXPECT_EQ(HitTestCell(h, 100, 18 + 17 * 2 + 5), 1);
  // Rows after the hit are cleared too.
  EXPECT_EQ((Box{grid.GetSelectedRow(), grid.GetSelectedColumn(), Rec().clickedRow,
                 Rec().rows[4].selected}),
            (Box{2, 1, 2, 0}));
  Rec().resizing = 1;            // during a border drag: no hit, focus kept
  EXPECT_EQ(HitTestCell(h, 100, 18 + 17 * 3 + 5), 0);
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), Rec().clickedRow}), (std::pair{2, -1}));
  Rec().resizing = 0;
  EXPECT_EQ(HitTestCell(h, 100, 300), 0);  // below the last row: everything cleared
  EXPECT_EQ((std::pair{grid.GetSelectedRow(), int(Rec().rows[2].selected)}), (std::pair{-1, 0}));

  EXPECT_EQ(HitTestColumnBorder(h, 389, 3), 1);
  EXPECT_EQ(HitTestColumnBorder(h, 200, 3), 0);
  EXPECT_EQ(grid.GetHitColumn(), 1);  // a border miss leaves it
  EXPECT_EQ(HitTestHeader(h, 500, 3), 1);
  EXPECT_EQ(grid.GetHitColumn(), 2);
  EXPECT_EQ(HitTestHeader(h, 500, 40), 0);
  EXPECT_EQ(grid.GetHitColumn(), -1);  // a header miss clears it
}

}  // namespace
