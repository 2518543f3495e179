// Scroll bars, scroll steps, EnsureVisible and the hit tests through the grid's
// handle, with the fake window system supplying metrics and scroll bars.
#include "grid_fixture.h"

namespace {

class GridScrollTest : public GridFixture {
 protected:
  void SetUp() override {
    GridFixture::SetUp();
    int widths[] = {40, 350, 200, 200, 800};
    for (int k = 0; k < 5; ++k) grid.SetColumn(k, "T", widths[k], 0);
  }
  FakeScrollBar& Vert() { return fake.world.bars[GridBarVert]; }
  FakeScrollBar& Horz() { return fake.world.bars[GridBarHorz]; }
};

TEST_F(GridScrollTest, RefreshSizesBothBarsAndHidesVerticalWithoutRows) {
  grid.Refresh();
  EXPECT_TRUE(Horz().shown);
  EXPECT_EQ(Horz().maximum, 1590);
  EXPECT_EQ(Horz().page, 781);
  EXPECT_FALSE(Vert().shown);
  EXPECT_EQ(fake.world.erasingRepaints, 1);
  AddRows(100);
  grid.Refresh();
  EXPECT_TRUE(Vert().shown);
  EXPECT_EQ(Vert().maximum, 19 + 17 * 100);
  EXPECT_EQ(Vert().page, 481);
}

TEST_F(GridScrollTest, HidingABarKeepsItsPosition) {
  AddRows(100);
  grid.Refresh();
  ScrollGridVertically(grid.GetHWnd(), GridPageDown, 0);
  int vpos = Vert().position;
  ASSERT_GT(vpos, 0);
  while (grid.GetRowCount() > 1) grid.DeleteRow(0);
  grid.DeleteRow(0);
  grid.Refresh();
  EXPECT_FALSE(Vert().shown);
  EXPECT_EQ(Vert().position, vpos);
}

TEST_F(GridScrollTest, BarsAccountForTheClientAreaTheOtherBarTakes) {
  fake.world.barThickness = 17;
  fake.world.clientHeight = 19 + 17 * 10 + 5;  // ten rows fit without a horizontal bar
  AddRows(10);
  grid.Refresh();
  EXPECT_TRUE(Horz().shown);
  EXPECT_TRUE(Vert().shown);
  EXPECT_EQ(Vert().page, fake.world.clientHeight - 17 + 1);
  // The horizontal page follows the width left beside the vertical bar.
  EXPECT_EQ(Horz().page, fake.world.clientWidth - 17 + 1);
}

TEST_F(GridScrollTest, VerticalStepsLinePageAndThumb) {
  AddRows(200);
  grid.Refresh();
  GridWindow h = grid.GetHWnd();
  EXPECT_EQ(ScrollGridVertically(h, GridLineDown, 0), 1);
  EXPECT_EQ(Vert().position, 17);
  ScrollGridVertically(h, GridPageDown, 0);
  EXPECT_EQ(Vert().position, 17 + 442);
  ScrollGridVertically(h, GridPageUp, 0);
  ScrollGridVertically(h, GridLineUp, 0);
  EXPECT_EQ(Vert().position, 0);
  ScrollGridVertically(h, GridLineUp, 0);
  EXPECT_EQ(Vert().position, 0);  // clamped by the bar
  ScrollGridVertically(h, GridThumbTrack, 100);
  EXPECT_EQ(Vert().position, 85);
  int repaints = fake.world.erasingRepaints;
  EXPECT_EQ(ScrollGridVertically(h, 8 /* end scroll */, 0), 0);
  EXPECT_EQ(Vert().position, 85);
  EXPECT_EQ(fake.world.erasingRepaints, repaints);
  ScrollGridVertically(h, GridThumbTrack, 1000000);
  EXPECT_EQ(Vert().position, 19 + 17 * 200 - 480);
}

TEST_F(GridScrollTest, HorizontalStepsAreTenPixels) {
  grid.Refresh();
  GridWindow h = grid.GetHWnd();
  ScrollGridHorizontally(h, GridLineDown, 0);
  ScrollGridHorizontally(h, GridPageDown, 0);
  EXPECT_EQ(Horz().position, 20);
  ScrollGridHorizontally(h, GridPageUp, 0);
  EXPECT_EQ(Horz().position, 10);
  ScrollGridHorizontally(h, GridThumbTrack, 333);
  EXPECT_EQ(Horz().position, 333);
  EXPECT_EQ(ScrollGridHorizontally(h, 4 /* thumb position */, 7), 0);
  EXPECT_EQ(Horz().position, 333);
}

TEST_F(GridScrollTest, EnsureVisibleBringsFocusCellIntoView) {
  AddRows(200);
  grid.Refresh();
  grid.SelectRow(100, 4);
  grid.EnsureVisible();
  EXPECT_EQ(Vert().position, 17 * 100 + 19 - 1 + 18 - 480);
  EXPECT_EQ(Horz().position, 1590 - 780);
  grid.SelectRow(3, 1);
  grid.EnsureVisible();
  EXPECT_EQ(Vert().position, 51);
  EXPECT_EQ(Horz().position, 40);
  EXPECT_EQ(fake.world.repaints, 1);  // only Refresh painted
}

TEST_F(GridScrollTest, EnsureVisibleWithoutFocusCellDoesNothing) {
  AddRows(200);
  grid.Refresh();
  ScrollGridVertically(grid.GetHWnd(), GridPageDown, 0);
  grid.SelectRow(150, 0);
  Rec().focusColumn = -1;
  grid.EnsureVisible();
  EXPECT_EQ(Vert().position, 442);
}

TEST_F(GridScrollTest, CellHitSelectsOnlyTheHitRowAndClearsOthers) {
  AddRows(5);
  Rec().rows[4].selected = 1;
  GridWindow h = grid.GetHWnd();
  EXPECT_EQ(HitTestCell(h, 100, 18 + 17 * 2 + 5), 1);
  EXPECT_EQ(grid.GetSelectedRow(), 2);
  EXPECT_EQ(grid.GetSelectedColumn(), 1);
  EXPECT_EQ(Rec().clickedRow, 2);
  EXPECT_EQ(Rec().rows[2].selected, 1);
  EXPECT_EQ(Rec().rows[4].selected, 0);
  // Below the last row: everything cleared.
  EXPECT_EQ(HitTestCell(h, 100, 300), 0);
  EXPECT_EQ(grid.GetSelectedRow(), -1);
  EXPECT_EQ(Rec().clickedRow, -1);
  for (const DataGridRow& r : Rec().rows) EXPECT_EQ(r.selected, 0);
}

TEST_F(GridScrollTest, CellHitDuringBorderDragReportsNothingAndKeepsFocus) {
  AddRows(5);
  grid.SelectRow(1, 1);
  Rec().resizing = 1;
  EXPECT_EQ(HitTestCell(grid.GetHWnd(), 100, 18 + 17 * 3 + 5), 0);
  EXPECT_EQ(grid.GetSelectedRow(), 1);
  EXPECT_EQ(Rec().rows[1].selected, 1);
  EXPECT_EQ(Rec().clickedRow, -1);
}

TEST_F(GridScrollTest, HeaderAndBorderHitsUpdateHitColumnDifferentlyOnMiss) {
  GridWindow h = grid.GetHWnd();
  EXPECT_EQ(HitTestColumnBorder(h, 389, 3), 1);
  EXPECT_EQ(grid.GetHitColumn(), 1);
  EXPECT_EQ(HitTestColumnBorder(h, 200, 3), 0);
  EXPECT_EQ(grid.GetHitColumn(), 1);  // a border miss leaves it
  EXPECT_EQ(HitTestHeader(h, 500, 3), 1);
  EXPECT_EQ(grid.GetHitColumn(), 2);
  EXPECT_EQ(HitTestHeader(h, 500, 40), 0);
  EXPECT_EQ(grid.GetHitColumn(), -1);  // a header miss clears it
}

}  // namespace
