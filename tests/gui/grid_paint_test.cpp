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
  // A point inside the cell well away from its text (which starts 5 pixels in).
  POINT Blank(int row, int column) {
    GridRect cell = CellRect(Rec(), Layout(), row, column);
    return {cell.right - 3, (cell.top + cell.bottom) / 2};
  }
  COLORREF BlankPixel(int row, int column) {
    POINT p = Blank(row, column);
    return Pixel(p.x, p.y);
  }
  // Number of pixels in the cell's interior that differ from 'fill'.
  int InkIn(int row, int column, COLORREF fill, COLORREF* sample = nullptr) {
    GridRect cell = CellRect(Rec(), Layout(), row, column);
    int ink = 0;
    HDC dc = GetDC(Grid());
    for (int y = cell.top + 2; y < cell.bottom - 2; ++y)
      for (int x = cell.left + 2; x < cell.right - 2; ++x) {
        COLORREF c = GetPixel(dc, x, y);
        if (c != fill) {
          ++ink;
          if (sample) *sample = c;
        }
      }
    ReleaseDC(Grid(), dc);
    return ink;
  }
};

TEST_F(GridPaintTest, RowFillsFollowSelectionShadeAndRowColour) {
  AddRows(6);
  grid.SetRowColor(1, 0xBEFFFF);
  grid.SetCell(2, 2, "shaded", 0, 1);
  grid.SetCell(3, 2, "both", 0, 1);
  grid.SelectRow(3, 0);
  Redraw();
  EXPECT_EQ(BlankPixel(0, 1), 0xFFFFFFu);
  EXPECT_EQ(BlankPixel(1, 1), 0xBEFFFFu);
  EXPECT_EQ(BlankPixel(2, 2), 0xDCDCDCu);
  EXPECT_EQ(BlankPixel(2, 1), 0xFFFFFFu);
  // A selected row is drawn selected even where its cell is shaded.
  EXPECT_EQ(BlankPixel(3, 2), 0xFAE6DCu);
  EXPECT_EQ(BlankPixel(3, 1), 0xFAE6DCu);
  // Below the last row: the background.
  EXPECT_EQ(Pixel(100, RowTop(Layout(), 8)), 0xFFFFFFu);
}

TEST_F(GridPaintTest, SelectedTextIsGreyAndOtherTextInCellTextColour) {
  AddRows(3);
  grid.SetCell(0, 1, "WWWWWWWW", 0, 0);
  grid.SetCell(1, 1, "WWWWWWWW", 0, 0);
  grid.SetCellTextColor(0x0000FF);
  grid.SelectRow(1, 0);
  Redraw();
  COLORREF unselected = 0, selected = 0;
  EXPECT_GT(InkIn(0, 1, 0xFFFFFF, &unselected), 20);
  EXPECT_GT(InkIn(1, 1, 0xFAE6DC, &selected), 20);
  // Text pixels carry the text colour (possibly smoothed toward the fill).
  EXPECT_GT(GetRValue(unselected), GetBValue(unselected));
  bool sawGrey = false;
  GridRect cell = CellRect(Rec(), Layout(), 1, 1);
  for (int y = cell.top + 2; y < cell.bottom - 2 && !sawGrey; ++y)
    for (int x = cell.left + 2; x < cell.right - 2 && !sawGrey; ++x)
      sawGrey = Pixel(x, y) == 0x828282u;
  EXPECT_TRUE(sawGrey);
}

TEST_F(GridPaintTest, GridLinesOnAndOff) {
  AddRows(3);
  Redraw();
  GridRect cell = CellRect(Rec(), Layout(), 1, 1);
  int midY = (cell.top + cell.bottom) / 2;
  EXPECT_EQ(Pixel(cell.left, midY), 0xD2D2D2u);
  EXPECT_EQ(Pixel(cell.right - 1, midY), 0xD2D2D2u);
  EXPECT_EQ(Pixel(cell.right - 20, cell.top), 0xD2D2D2u);
  grid.ShowGridLines(0);
  Redraw();
  EXPECT_EQ(Pixel(cell.left, midY), 0xFFFFFFu);
  EXPECT_EQ(Pixel(cell.right - 20, cell.top), 0xFFFFFFu);
}

TEST_F(GridPaintTest, FocusCellGetsAFocusRectangle) {
  AddRows(3);
  grid.SetCell(1, 3, "", 0, 0);
  grid.SetCell(1, 2, "", 0, 0);
  grid.SelectRow(1, 3);
  Redraw();
  GridRect cell = CellRect(Rec(), Layout(), 1, 3);
  int dotted = 0;
  for (int x = cell.left + 1; x < cell.right - 1; ++x)
    if (Pixel(x, cell.top + 1) != 0xFAE6DCu) ++dotted;
  EXPECT_GT(dotted, 10);
  GridRect other = CellRect(Rec(), Layout(), 1, 2);
  for (int x = other.left + 2; x < other.right - 2; ++x)
    ASSERT_EQ(Pixel(x, other.top + 1), 0xFAE6DCu) << x;
}

TEST_F(GridPaintTest, HeadersAreButtonsOrEtchedAndStayOverScrolledRows) {
  AddRows(100);
  Redraw();
  GridLayout l = Layout();
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(Pixel(300, l.headerHeight / 2), face);
  SendMessageA(Grid(), WM_VSCROLL, SB_PAGEDOWN, 0);
  PumpMessages();
  EXPECT_EQ(Pixel(300, l.headerHeight / 2), face);  // rows pass under the titles
  EXPECT_NE(Pixel(300, l.headerHeight + 3), face);

  int buttonHeight = GetHeaderRect(Grid(), 1).bottom;
  grid.SetButtonHeaders(0);
  EXPECT_EQ(GetHeaderRect(Grid(), 1).bottom, buttonHeight + 2);
  Redraw();
  EXPECT_EQ(Pixel(300, Layout().headerHeight / 2), face);  // etched edge, middle filled
}

TEST_F(GridPaintTest, HorizontalScrollShiftsColumns) {
  AddRows(3);
  grid.SetRowColor(0, 0xBEFFFF);
  grid.SetCell(0, 1, "", 0, 1);
  Redraw();
  GridRect name = CellRect(Rec(), Layout(), 0, 1);
  int y = (name.top + name.bottom) / 2;
  EXPECT_EQ(Pixel(name.right + 50, y), 0xBEFFFFu);  // column 2: row colour
  SendMessageA(Grid(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 200), 0);
  PumpMessages();
  EXPECT_EQ(Pixel(name.right - 200 - 30, y), 0xDCDCDCu);  // column 1 moved left
  EXPECT_EQ(Pixel(name.right - 200 + 30, y), 0xBEFFFFu);
}

TEST_F(GridPaintTest, PressedTitleIsDrawnFlat) {
  Redraw();
  GridRect header = GetHeaderRect(Grid(), 1);
  COLORREF raised = Pixel(header.left + 1, header.top + 1);
  Down(200, 5);
  COLORREF pressed = Pixel(header.left + 1, header.top + 1);
  Up(200, 5);
  EXPECT_NE(raised, pressed);
  EXPECT_EQ(Pixel(header.left + 1, header.top + 1), raised);
}

}  // namespace
