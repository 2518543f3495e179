// The grid as a real window: creation, placement, mouse, keys, scrolling,
// column dragging, the editor and the notifications its parent receives.
#include <string>

#include "grid_test_host.h"

namespace {

using Codes = std::vector<int>;
using Quad = std::vector<long>;

std::string ClassOf(HWND hwnd) {
  char name[32] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

RECT RectIn(HWND window, HWND parent) {
  RECT rc;
  GetWindowRect(window, &rc);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

TEST_F(GridWindowTest, CreateMakesWindowFontsEditorAndPlacement) {
  EXPECT_EQ(ClassOf(Grid()), "DATAGRID");
  EXPECT_TRUE(GetWindowLongA(Grid(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(GetClassLongA(Grid(), GCL_STYLE) & CS_DBLCLKS);
  HWND editor = Rec().editorWindow;
  EXPECT_EQ(ClassOf(editor), "Edit");
  EXPECT_FALSE(IsWindowVisible(editor));
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(editor, WM_GETFONT, 0, 0)), Rec().cellFont);
  GridLogFont header, cell;
  grid.GetHeaderFont(&header);
  grid.GetCellFont(&cell);
  HDC dc = GetDC(host);
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(host, dc);
  EXPECT_EQ((Quad{header.lfHeight, cell.lfHeight, header.lfWeight, cell.lfWeight}),
            (Quad{-MulDiv(10, dpi, 72), -MulDiv(9, dpi, 72), 400, 400}));
  EXPECT_STREQ(cell.lfFaceName, "Arial");
  // Placed from percentages of the parent's outer 800 x 600: 0, 12, 98, 81.
  grid.Resize();
  RECT rc = RectIn(Grid(), host);
  EXPECT_EQ((Quad{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top}),
            (Quad{0, 72, 784, 486}));
}

TEST_F(GridWindowTest, ClicksSelectTheCellUnderThePointer) {
  AddRows(40);
  POINT p = CellCenter(2, 1);
  Down(p.x, p.y);
  EXPECT_EQ(GetCapture(), Grid());
  EXPECT_EQ(GetFocus(), Grid());
  Up(p.x, p.y);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(codes, Codes{NotifySelectionChanged});
  EXPECT_EQ((Quad{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (Quad{2, 1}));
  Click({100, RowTop(Layout(), 3)});  // the line rows 2 and 3 share
  EXPECT_EQ(grid.GetSelectedRow(), 2);
  VScroll(SB_PAGEDOWN);
  ASSERT_GT(VPos(), 0);
  Click(CellCenter(30, 2));
  EXPECT_EQ((Quad{grid.GetSelectedRow(), grid.GetSelectedColumn()}), (Quad{30, 2}));
  // A double-click: one notification from the first press, then the flag.
  grid.SetDblClickFlag(0);
  int flagAtNotify = -1;
  onNotify = [&] { flagAtNotify = grid.GetDblClickFlag(); };
  codes.clear();
  Click(p);
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  Up(p.x, p.y);
  EXPECT_EQ(codes, Codes{NotifySelectionChanged});
  EXPECT_EQ((Quad{flagAtNotify, grid.GetDblClickFlag()}), (Quad{0, 1}));
  grid.SetDblClickFlag(0);
  // Below the last row: no mark, no focus, no notification; keys then do nothing.
  grid.DeleteAllRows();
  AddRows(3);
  grid.SelectRow(1, 1);
  Click({100, 200});
  Key(VK_DOWN);
  EXPECT_TRUE(codes.empty());
  EXPECT_EQ((Quad{grid.GetSelectedRow(), Rec().rows[1].selected}), (Quad{-1, 0}));
}

TEST_F(GridWindowTest, ArrowKeysMoveFocusScrollItIntoViewAndAlwaysNotify) {
  AddRows(100);
  Click(CellCenter(0, 0));
  codes.clear();
  Key(VK_UP);  // first row: stays
  EXPECT_EQ(grid.GetSelectedRow(), 0);
  for (int i = 0; i < 30; ++i) Key(VK_DOWN);
  GridLayout l = Layout();
  EXPECT_EQ((Quad{grid.GetSelectedRow(), Rec().rows[29].selected}), (Quad{30, 0}));
  EXPECT_EQ(RowTop(l, 30) + l.rowHeight - l.vpos, l.clientHeight);  // bottom on client bottom
  for (int k = 0; k < 4; ++k) Key(VK_RIGHT);
  EXPECT_EQ((Quad{grid.GetSelectedColumn(), HPos()}), (Quad{4, 1590 - l.clientWidth}));
  Key(VK_RIGHT);  // last column: stays
  EXPECT_EQ(grid.GetSelectedColumn(), 4);
  for (int k = 0; k < 5; ++k) Key(VK_LEFT);  // the fifth stays at column 0
  EXPECT_EQ((Quad{grid.GetSelectedColumn(), HPos()}), (Quad{0, 0}));
  Key('A');
  EXPECT_EQ(codes, Codes(42, NotifySelectionChanged));
  grid.SelectRow(99, 0);
  Key(VK_DOWN);  // last row: stays
  EXPECT_EQ(grid.GetSelectedRow(), 99);
}

TEST_F(GridWindowTest, PageKeysWheelAndScrollMessages) {
  AddRows(200);
  Click(CellCenter(1, 1));
  GridLayout l = Layout();
  int pitch = l.rowHeight - 1;
  int page = pitch * (l.clientHeight / pitch - 2);
  Key(VK_NEXT);
  EXPECT_EQ((Quad{VPos(), grid.GetSelectedRow()}), (Quad{page, 1}));  // the view only
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -120));
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 0));  // zero counts as toward the user
  EXPECT_EQ(VPos(), 3 * page);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120));
  Key(VK_PRIOR);
  EXPECT_EQ(VPos(), page);
  VScroll(SB_LINEDOWN);
  EXPECT_EQ(VPos(), page + pitch);
  VScroll(SB_THUMBTRACK, 100);
  VScroll(SB_THUMBPOSITION, 300);  // ignored
  EXPECT_EQ(VPos(), 100 - 100 % pitch);
  HScroll(SB_LINERIGHT);
  HScroll(SB_PAGERIGHT);
  HScroll(SB_LINELEFT);
  EXPECT_EQ(HPos(), 10);
  HScroll(SB_THUMBTRACK, 321);
  EXPECT_EQ(HPos(), 321);
}

// The message carries 16 bits of the thumb; the bar's track position has 32.
TEST_F(GridWindowTest, ThumbBeyond65535ScrollsToTheFullPosition) {
  AddRows(5000);
  int pitch = Layout().rowHeight - 1;
  int target = 70000 + pitch / 2;
  SetScrollPos(Grid(), SB_VERT, target, FALSE);
  ASSERT_EQ(VPos(), target);
  VScroll(SB_THUMBTRACK, target & 0xFFFF);
  EXPECT_EQ(VPos(), target - target % pitch);
}

TEST_F(GridWindowTest, DraggingAColumnBorderSetsItsWidth) {
  AddRows(3);
  auto cursorAt = [&](int x) {
    Move(x, 5, 0);
    Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(Grid()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  EXPECT_EQ(cursorAt(389), LoadCursorA(nullptr, IDC_SIZEWE));
  Down(389, 5);  // 1 pixel left of column 1's right edge
  EXPECT_EQ((Quad{Rec().resizing, grid.GetHitColumn()}), (Quad{1, 1}));
  EXPECT_EQ(GetCapture(), Grid());
  // Left of the column's start: 2; client x above 2000 (left of the window): ignored.
  struct { int x, width; } moves[] = {{40 + 30, 30}, {20, 2}, {0xFFF0, 2}, {140, 100}};
  for (auto m : moves) {
    Move(m.x, 200);
    EXPECT_EQ(Rec().columns[1].width, m.width) << m.x;
  }
  Up(140, 200);
  EXPECT_EQ(codes, Codes{NotifyColumnResized});
  EXPECT_EQ((Quad{Rec().resizing, grid.GetSelectedRow()}), (Quad{0, -1}));
  EXPECT_EQ(GetCapture(), nullptr);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE;
  GetScrollInfo(Grid(), SB_HORZ, &si);
  EXPECT_EQ(si.nMax, 1590 - 350 + 100);
  EXPECT_EQ(cursorAt(200), LoadCursorA(nullptr, IDC_ARROW));
  // Resizing disabled: the drag still runs and notifies, the width stays.
  // A release outside the client area ends a drag too.
  grid.EnableColumnResize(0);
  Down(39, 5);
  Move(100, 5);
  Up(100, 5);
  EXPECT_EQ(Rec().columns[0].width, 40);
  Down(39, 5);
  Send(WM_NCLBUTTONUP, HTVSCROLL);
  EXPECT_EQ(codes, Codes(3, NotifyColumnResized));
  EXPECT_EQ(Rec().resizing, 0);
}

TEST_F(GridWindowTest, TitleClickNotifiesOnReleaseOnlyWithButtonHeaders) {
  AddRows(3);
  grid.SelectRow(1, 0);
  Down(200, 5);
  EXPECT_EQ((Quad{Rec().columns[1].pressed, grid.GetHitColumn()}), (Quad{1, 1}));
  Up(600, 300);  // released away from the title
  EXPECT_EQ(codes, Codes{NotifyHeaderClicked});
  EXPECT_EQ((Quad{Rec().columns[1].pressed, grid.GetSelectedRow()}), (Quad{0, 1}));
  grid.SetButtonHeaders(0);
  Down(200, 5);
  Up(200, 5);
  EXPECT_EQ(codes, Codes{NotifyHeaderClicked});
}

TEST_F(GridWindowTest, EditorFollowsScrollingCommitsOnNextClickAndDeleteAllDiscards) {
  AddRows(100);
  Click(CellCenter(2, 1));
  ASSERT_EQ(grid.EditFocusCell(), 1);
  HWND editor = Rec().editorWindow;
  EXPECT_EQ(GetFocus(), editor);
  VScroll(SB_LINEDOWN);
  EXPECT_EQ(RectIn(editor, Grid()).top, FocusCellRect(Rec(), Layout()).top - VPos());
  HScroll(SB_THUMBTRACK, 500);
  EXPECT_FALSE(IsWindowVisible(editor));  // scrolled out of view: hidden, still open
  HScroll(SB_THUMBTRACK, 0);
  EXPECT_TRUE(IsWindowVisible(editor));
  SetWindowTextA(editor, "");  // stored as " "
  codes.clear();
  POINT q = CellCenter(4, 2);
  Click(q);
  EXPECT_EQ(codes, (Codes{NotifyCellEdited, NotifySelectionChanged}));
  char cell[64];
  grid.GetCellText(2, 1, cell, sizeof cell);
  EXPECT_STREQ(cell, " ");
  EXPECT_FALSE(IsWindowVisible(editor));
  ASSERT_EQ(grid.EditFocusCell(), 1);
  SetWindowTextA(editor, "lost");
  grid.DeleteAllRows();
  EXPECT_FALSE(IsWindowVisible(editor));
  AddRows(5);
  Click(q);
  EXPECT_EQ(codes, Codes{NotifySelectionChanged});  // nothing committed
  grid.GetCellText(4, 2, cell, sizeof cell);
  EXPECT_STREQ(cell, " ");
}

TEST_F(GridWindowTest, AWindowOfTheClassWithoutRecordIsIgnored) {
  HWND stray = CreateWindowExA(0, "DATAGRID", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, host,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(stray, nullptr);
  SendMessageA(stray, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(stray, WM_KEYDOWN, VK_DOWN, 1);
  UpdateWindow(stray);
  EXPECT_TRUE(codes.empty());
  EXPECT_EQ(GetCapture(), nullptr);
  DestroyWindow(stray);
  EXPECT_EQ(GridRecordCount(), 1);
}

}  // namespace
