// What the grid puts on the screen, read back pixel by pixel.
#include "grid_test_host.h"

namespace {

class GridPaintTest : public GridWindowTest {
 protected:
  void Redraw() {
    RedrawWindow(Grid(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpMessages();
  }
  COLORREF Pixel(int x, int y) {
    HDC dc = GetDC(Grid());
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(Grid(), dc);
    return c;
  }
  GridRect Cell(int row, int column) { return CellRect(Rec(), Layout(), row, column); }
  // A point inside the cell well away from its text (which starts 5 pixels in).
  COLORREF Blank(int row, int column) {
    return Pixel(Cell(row, column).right - 3, Cell(row, column).top + 9);
  }
  // Counts the pixels inside the cell's outline that differ from 'fill' and those equal to 'ink'.
  std::pair<int, int> Ink(int row, int column, COLORREF fill, COLORREF ink) {
    GridRect c = Cell(row, column);
    std::pair<int, int> n{0, 0};
    for (int y = c.top + 1; y < c.bottom - 1; ++y)
      for (int x = c.left + 1; x < c.right - 1; ++x) {
        COLORREF p = Pixel(x, y);
        n.first += p != fill;
        n.second += p == ink;
      }
    return n;
  }
};

TEST_F(GridPaintTest, FillsAndTextColoursFollowSelectionShadeAndRowColour) {
  AddRows(6);
  grid.SetRowColor(1, 0xBEFFFF);
  grid.SetCell(2, 2, "shaded", 0, 1);
  grid.SetCell(3, 2, "both", 0, 1);
  grid.SetCell(3, 1, "WWWWWWWW", 0, 0);
  grid.SetCell(4, 1, "WWWWWWWW", 0, 0);
  grid.SetCellTextColor(0x0000FF);
  grid.SelectRow(3, 0);
  Redraw();
  struct { int row, column; COLORREF fill; } fills[] = {
      {0, 1, 0xFFFFFF}, {1, 1, 0xBEFFFF}, {2, 2, 0xDCDCDC}, {2, 1, 0xFFFFFF},
      {3, 2, 0xFAE6DC} /* selected wins over shaded */, {3, 1, 0xFAE6DC}};
  for (auto f : fills) EXPECT_EQ(Blank(f.row, f.column), f.fill) << f.row << "," << f.column;
  EXPECT_EQ(Pixel(100, RowTop(Layout(), 8)), 0xFFFFFFu);  // below the last row
  auto selected = Ink(3, 1, 0xFAE6DC, 0x828282);
  auto red = Ink(4, 1, 0xFFFFFF, 0x0000FF);
  EXPECT_GT(selected.first, 20);
  EXPECT_GT(selected.second, 0);
  EXPECT_GT(red.second, 0);
}

TEST_F(GridPaintTest, GridLinesAndFocusRectangle) {
  AddRows(3);
  grid.SetCell(1, 3, "", 0, 0);
  grid.SetCell(1, 2, "", 0, 0);
  grid.SelectRow(1, 3);
  Redraw();
  GridRect c = Cell(2, 1);
  int midY = (c.top + c.bottom) / 2;
  for (POINT p : {POINT{c.left, midY}, POINT{c.right - 1, midY}, POINT{c.right - 20, c.top}})
    EXPECT_EQ(Pixel(p.x, p.y), 0xD2D2D2u) << p.x << "," << p.y;
  // The focus cell has a dotted frame one pixel in; its neighbour has none.
  EXPECT_GT(Ink(1, 3, 0xFAE6DC, 0).first, 10);
  EXPECT_EQ(Ink(1, 2, 0xFAE6DC, 0).first, 0);
  grid.ShowGridLines(0);
  Redraw();
  EXPECT_EQ(Pixel(c.left, midY), 0xFFFFFFu);
  EXPECT_EQ(Pixel(c.right - 20, c.top), 0xFFFFFFu);
}

TEST_F(GridPaintTest, HeadersStayOverScrolledRowsAndDrawPressedOrEtched) {
  AddRows(100);
  Redraw();
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  GridRect header = GetHeaderRect(Grid(), 1);
  COLORREF raised = Pixel(header.left + 1, 1);
  Down(200, 5);
  EXPECT_NE(Pixel(header.left + 1, 1), raised);  // drawn flat while pressed
  Up(200, 5);
  EXPECT_EQ(Pixel(header.left + 1, 1), raised);
  VScroll(SB_PAGEDOWN);
  EXPECT_EQ(Pixel(300, header.bottom / 2), face);  // rows pass under the titles
  EXPECT_NE(Pixel(300, header.bottom + 3), face);
  grid.SetButtonHeaders(0);
  EXPECT_EQ(GetHeaderRect(Grid(), 1).bottom, header.bottom + 2);
  Redraw();
  EXPECT_EQ(Pixel(300, header.bottom / 2), face);  // etched edge, middle filled
}

}  // namespace
