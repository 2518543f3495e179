// The grid as a real window: creation, placement, mouse, keys, scrolling,
// column dragging, the editor and the notifications its parent receives.
#include <cstring>

#include "grid_test_host.h"

namespace {

using Codes = std::vector<int>;

int CompareText(const char* a, const char* b, int) { return std::strcmp(a, b); }

SCROLLINFO ScrollInfo(HWND hwnd, int bar) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(hwnd, bar, &si);
  return si;
}

SIZE ClientSize(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  return {rc.right, rc.bottom};
}

bool HasStyle(HWND hwnd, LONG style) { return (GetWindowLongA(hwnd, GWL_STYLE) & style) != 0; }

TEST_F(GridWindowTest, CreateMakesChildWindowRecordFontsAndHiddenEditor) {
  char name[32];
  GetClassNameA(Grid(), name, sizeof name);
  EXPECT_STREQ(name, "DATAGRID");
  EXPECT_EQ(GetParent(Grid()), host->window());
  EXPECT_TRUE(GetWindowLongA(Grid(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(HasStyle(Grid(), WS_CHILD | WS_VISIBLE));
  EXPECT_TRUE(GetClassLongA(Grid(), GCL_STYLE) & CS_DBLCLKS);
  EXPECT_EQ(GridRecordCount(), 1);
  HWND editor = Rec().editorWindow;
  ASSERT_NE(editor, nullptr);
  GetClassNameA(editor, name, sizeof name);
  EXPECT_STREQ(name, "Edit");
  EXPECT_FALSE(IsWindowVisible(editor));
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(editor, WM_GETFONT, 0, 0)), Rec().cellFont);

  GridLogFont header, cell;
  grid.GetHeaderFont(&header);
  grid.GetCellFont(&cell);
  HDC dc = GetDC(host->window());
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(host->window(), dc);
  EXPECT_EQ(header.lfHeight, -MulDiv(10, dpi, 72));
  EXPECT_EQ(cell.lfHeight, -MulDiv(9, dpi, 72));
  EXPECT_EQ(header.lfWeight, 400);
  EXPECT_STREQ(cell.lfFaceName, "Arial");
}

TEST_F(GridWindowTest, PercentagesAndResizeFollowTheParentsOuterSize) {
  RECT outer;
  GetWindowRect(host->window(), &outer);
  ASSERT_EQ(outer.right - outer.left, 800);
  ASSERT_EQ(outer.bottom - outer.top, 600);
  GridPercents p = grid.GetPercents();
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 12);
  EXPECT_EQ(p.width, 98);
  EXPECT_EQ(p.height, 81);
  grid.Resize();
  RECT rc;
  GetWindowRect(Grid(), &rc);
  MapWindowPoints(nullptr, host->window(), reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.top, 72);
  EXPECT_EQ(rc.right - rc.left, 784);
  EXPECT_EQ(rc.bottom - rc.top, 486);
  // The parent grows: the grid keeps its proportions.
  SetWindowPos(host->window(), nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOMOVE);
  grid.Resize();
  GetWindowRect(Grid(), &rc);
  EXPECT_EQ(rc.right - rc.left, 980);
  EXPECT_EQ(rc.bottom - rc.top, 567);
}

TEST_F(GridWindowTest, RegistryRefusesAnEleventhGridAndEmptiesWhenParentGoes) {
  std::vector<CDataGrid> more(10);
  for (int i = 0; i < 9; ++i) ASSERT_EQ(more[i].Create(0, 0, 100, 100, host->window(), 2), 1);
  EXPECT_EQ(GridRecordCount(), 10);
  EXPECT_EQ(more[9].Create(0, 0, 100, 100, host->window(), 2), 0);
  EXPECT_EQ(more[9].GetHWnd(), nullptr);
  DestroyWindow(more[3].GetHWnd());
  EXPECT_EQ(GridRecordCount(), 9);
  EXPECT_EQ(more[9].Create(0, 0, 100, 100, host->window(), 2), 1);
}

TEST_F(GridWindowTest, NotificationsCarryCodeInHighWordAndGridHandle) {
  grid.AddRow("a", 0);
  grid.DeleteRow(5);
  grid.SetCompareFunction(CompareText);
  grid.SortByColumn(0);
  EXPECT_EQ(host->Codes(), (Codes{NotifyRowAdded, NotifyRowDeleted, NotifySortBegin, NotifySortEnd}));
  for (const ReceivedNotification& n : host->notifications) {
    EXPECT_EQ(n.low, 0);
    EXPECT_EQ(n.from, Grid());
  }
}

TEST_F(GridWindowTest, ClickSelectsRowNotifiesAndCaptures) {
  AddRows(10);
  POINT p = CellCenter(2, 1);
  Down(p.x, p.y);
  EXPECT_EQ(GetCapture(), Grid());
  EXPECT_EQ(GetFocus(), Grid());
  Up(p.x, p.y);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(host->Codes(), Codes{NotifySelectionChanged});
  EXPECT_EQ(grid.GetSelectedRow(), 2);
  EXPECT_EQ(grid.GetSelectedColumn(), 1);
  EXPECT_EQ(Rec().rows[2].selected, 1);
}

TEST_F(GridWindowTest, ClickBelowRowsClearsSelectionAndKeysThenDoNothing) {
  AddRows(3);
  grid.SelectRow(1, 1);
  Click(100, 400);
  EXPECT_TRUE(host->notifications.empty());
  EXPECT_EQ(grid.GetSelectedRow(), -1);
  for (const DataGridRow& r : Rec().rows) EXPECT_EQ(r.selected, 0);
  Key(VK_DOWN);
  EXPECT_TRUE(host->notifications.empty());
}

TEST_F(GridWindowTest, ClickOnSharedRowBorderSelectsUpperRow) {
  AddRows(5);
  int border = RowTop(Layout(), 3);  // bottom line of row 2, top line of row 3
  Click(100, border);
  EXPECT_EQ(grid.GetSelectedRow(), 2);
}

TEST_F(GridWindowTest, ClickWhenScrolledHitsTheRowUnderThePointer) {
  AddRows(100);
  SendMessageA(Grid(), WM_VSCROLL, SB_PAGEDOWN, 0);
  ASSERT_GT(VPos(), 0);
  POINT p = CellCenter(40, 2);
  Click(p.x, p.y);
  EXPECT_EQ(grid.GetSelectedRow(), 40);
  EXPECT_EQ(grid.GetSelectedColumn(), 2);
}

TEST_F(GridWindowTest, ArrowKeysMoveFocusAndAlwaysNotify) {
  AddRows(3);
  POINT p = CellCenter(0, 1);
  Click(p.x, p.y);
  host->notifications.clear();
  Key(VK_UP);  // first row: stays
  EXPECT_EQ(grid.GetSelectedRow(), 0);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_DOWN);  // last row: stays
  EXPECT_EQ(grid.GetSelectedRow(), 2);
  EXPECT_EQ(Rec().rows[0].selected, 0);
  EXPECT_EQ(Rec().rows[2].selected, 1);
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  EXPECT_EQ(grid.GetSelectedColumn(), 4);
  Key(VK_LEFT);
  EXPECT_EQ(grid.GetSelectedColumn(), 3);
  Key('A');
  EXPECT_EQ(host->Codes(), Codes(10, NotifySelectionChanged));
}

TEST_F(GridWindowTest, ArrowKeysScrollTheFocusIntoView) {
  AddRows(100);
  POINT p = CellCenter(0, 0);
  Click(p.x, p.y);
  GridLayout l = Layout();
  int visibleRows = (l.clientHeight - l.headerHeight) / (l.rowHeight - 1);
  for (int i = 0; i < visibleRows + 3; ++i) Key(VK_DOWN);
  int row = grid.GetSelectedRow();
  l = Layout();
  EXPECT_GT(l.vpos, 0);
  EXPECT_EQ(RowTop(l, row) + l.rowHeight - l.vpos, l.clientHeight);
  for (int k = 0; k < 4; ++k) Key(VK_RIGHT);
  EXPECT_EQ(HPos(), 1590 - Layout().clientWidth);
  for (int k = 0; k < 4; ++k) Key(VK_LEFT);
  EXPECT_EQ(HPos(), 0);
}

TEST_F(GridWindowTest, PageKeysAndWheelPageTheViewOnly) {
  AddRows(200);
  POINT p = CellCenter(1, 1);
  Click(p.x, p.y);
  GridLayout l = Layout();
  int pitch = l.rowHeight - 1;
  int page = pitch * (l.clientHeight / pitch - 2);
  Key(VK_NEXT);
  EXPECT_EQ(VPos(), page);
  EXPECT_EQ(grid.GetSelectedRow(), 1);
  SendMessageA(Grid(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
  EXPECT_EQ(VPos(), 2 * page);
  SendMessageA(Grid(), WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);  // zero counts as toward the user
  EXPECT_EQ(VPos(), 3 * page);
  SendMessageA(Grid(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  Key(VK_PRIOR);
  EXPECT_EQ(VPos(), page);
}

TEST_F(GridWindowTest, ScrollMessagesStepAndSnap) {
  AddRows(200);
  int pitch = Layout().rowHeight - 1;
  SendMessageA(Grid(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(VPos(), pitch);
  SendMessageA(Grid(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 100), 0);
  EXPECT_EQ(VPos(), 100 - 100 % pitch);
  SendMessageA(Grid(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 300), 0);  // ignored
  EXPECT_EQ(VPos(), 100 - 100 % pitch);
  SendMessageA(Grid(), WM_HSCROLL, SB_LINERIGHT, 0);
  SendMessageA(Grid(), WM_HSCROLL, SB_PAGERIGHT, 0);
  EXPECT_EQ(HPos(), 20);
  SendMessageA(Grid(), WM_HSCROLL, SB_LINELEFT, 0);
  EXPECT_EQ(HPos(), 10);
  SendMessageA(Grid(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 321), 0);
  EXPECT_EQ(HPos(), 321);
}

TEST_F(GridWindowTest, ScrollBarRangesAndVisibility) {
  SIZE client = ClientSize(Grid());
  SCROLLINFO si = ScrollInfo(Grid(), SB_HORZ);
  EXPECT_TRUE(HasStyle(Grid(), WS_HSCROLL));
  EXPECT_EQ(si.nMax, 1590);
  EXPECT_EQ(static_cast<int>(si.nPage), client.cx + 1);
  EXPECT_FALSE(HasStyle(Grid(), WS_VSCROLL));  // no rows
  AddRows(100);
  EXPECT_TRUE(HasStyle(Grid(), WS_VSCROLL));
  si = ScrollInfo(Grid(), SB_VERT);
  GridLayout l = Layout();
  EXPECT_EQ(si.nMax, TotalHeight(Rec(), l));
  EXPECT_EQ(static_cast<int>(si.nPage), l.clientHeight + 1);
  grid.DeleteAllRows();
  EXPECT_FALSE(HasStyle(Grid(), WS_VSCROLL));
  EXPECT_EQ(VPos(), 0);
  for (int k = 1; k < 5; ++k) grid.SetColumn(k, "", 0, 0);
  grid.SetColumn(0, "only", 50, 0);
  grid.Refresh();
  EXPECT_FALSE(HasStyle(Grid(), WS_HSCROLL));
}

TEST_F(GridWindowTest, DraggingAColumnBorderSetsItsWidth) {
  AddRows(3);
  int right = 40 + 350;
  Move(right - 1, 5, 0);
  EXPECT_EQ(Rec().overBorder, 1);
  SendMessageA(Grid(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Grid()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEWE));
  Down(right - 1, 5);
  EXPECT_EQ(Rec().resizing, 1);
  EXPECT_EQ(grid.GetHitColumn(), 1);
  EXPECT_EQ(GetCapture(), Grid());
  Move(40 + 30, 200);
  EXPECT_EQ(Rec().columns[1].width, 30);
  Move(20, 200);
  EXPECT_EQ(Rec().columns[1].width, 2);  // left of the column's start
  Move(0xFFF0, 200);  // pointer left of the window: ignored
  EXPECT_EQ(Rec().columns[1].width, 2);
  Move(40 + 100, 200);
  Up(40 + 100, 200);
  EXPECT_EQ(Rec().columns[1].width, 100);
  EXPECT_EQ(host->Codes(), Codes{NotifyColumnResized});
  EXPECT_EQ(Rec().resizing, 0);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(grid.GetSelectedRow(), -1);
  SCROLLINFO si = ScrollInfo(Grid(), SB_HORZ);
  EXPECT_EQ(si.nMax, 1590 - 350 + 100);
  Move(200, 200, 0);
  SendMessageA(Grid(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Grid()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(GridWindowTest, DragWithResizingDisabledStillNotifiesButKeepsWidth) {
  grid.EnableColumnResize(0);
  Down(39, 5);
  Move(100, 5);
  Up(100, 5);
  EXPECT_EQ(Rec().columns[0].width, 40);
  EXPECT_EQ(host->Codes(), Codes{NotifyColumnResized});
}

TEST_F(GridWindowTest, ReleaseInNonClientAreaEndsDrag) {
  Down(39, 5);
  SendMessageA(Grid(), WM_NCLBUTTONUP, HTVSCROLL, 0);
  EXPECT_EQ(host->Codes(), Codes{NotifyColumnResized});
  EXPECT_EQ(Rec().resizing, 0);
}

TEST_F(GridWindowTest, TitleClickNotifiesOnReleaseWithButtonHeaders) {
  AddRows(3);
  grid.SelectRow(1, 0);
  Down(200, 5);
  EXPECT_EQ(Rec().columns[1].pressed, 1);
  EXPECT_EQ(grid.GetHitColumn(), 1);
  Up(600, 300);  // released away from the title
  EXPECT_EQ(host->Codes(), Codes{NotifyHeaderClicked});
  EXPECT_EQ(Rec().columns[1].pressed, 0);
  EXPECT_EQ(grid.GetSelectedRow(), 1);  // selection untouched
  host->notifications.clear();
  grid.SetButtonHeaders(0);
  Down(200, 5);
  Up(200, 5);
  EXPECT_TRUE(host->notifications.empty());
  EXPECT_EQ(Rec().headerPressed, 1);
}

TEST_F(GridWindowTest, DoubleClickNotifiesOnceAndRaisesFlag) {
  AddRows(3);
  grid.SetDblClickFlag(0);
  POINT p = CellCenter(1, 1);
  int flagAtNotify = -1;
  host->onNotify = [&](int) { flagAtNotify = grid.GetDblClickFlag(); };
  Down(p.x, p.y);
  Up(p.x, p.y);
  SendMessageA(Grid(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  Up(p.x, p.y);
  EXPECT_EQ(host->Codes(), Codes{NotifySelectionChanged});
  EXPECT_EQ(flagAtNotify, 0);
  EXPECT_EQ(grid.GetDblClickFlag(), 1);
  grid.SetDblClickFlag(0);
}

TEST_F(GridWindowTest, EditorCommitsOnNextClick) {
  AddRows(5);
  POINT p = CellCenter(2, 1);
  Click(p.x, p.y);
  ASSERT_EQ(grid.EditFocusCell(), 1);
  HWND editor = Rec().editorWindow;
  EXPECT_TRUE(IsWindowVisible(editor));
  EXPECT_EQ(GetFocus(), editor);
  char text[64];
  GetWindowTextA(editor, text, sizeof text);
  EXPECT_STREQ(text, "file2.txt");
  RECT rc;
  GetWindowRect(editor, &rc);
  MapWindowPoints(nullptr, Grid(), reinterpret_cast<POINT*>(&rc), 2);
  GridRect interior = FocusCellRect(Rec(), Layout());
  EXPECT_EQ(rc.left, interior.left);
  EXPECT_EQ(rc.top, interior.top);
  EXPECT_EQ(rc.right, interior.right);
  SetWindowTextA(editor, "renamed.txt");
  host->notifications.clear();
  POINT q = CellCenter(4, 2);
  Click(q.x, q.y);
  EXPECT_EQ(host->Codes(), (Codes{NotifyCellEdited, NotifySelectionChanged}));
  char cell[64];
  grid.GetCellText(2, 1, cell, sizeof cell);
  EXPECT_STREQ(cell, "renamed.txt");
  EXPECT_FALSE(IsWindowVisible(editor));
  EXPECT_EQ(Rec().editing, 0);

  ASSERT_EQ(grid.EditFocusCell(), 1);  // cell (4, 2)
  SetWindowTextA(editor, "");
  Click(q.x, q.y);
  grid.GetCellText(4, 2, cell, sizeof cell);
  EXPECT_STREQ(cell, " ");
}

TEST_F(GridWindowTest, EditorFollowsScrollingAndHidesOutOfView) {
  AddRows(100);
  POINT p = CellCenter(3, 1);
  Click(p.x, p.y);
  ASSERT_EQ(grid.EditFocusCell(), 1);
  HWND editor = Rec().editorWindow;
  SendMessageA(Grid(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_TRUE(IsWindowVisible(editor));
  RECT rc;
  GetWindowRect(editor, &rc);
  MapWindowPoints(nullptr, Grid(), reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(rc.top, Rec().editorTop - VPos());
  SendMessageA(Grid(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_FALSE(IsWindowVisible(editor));
  EXPECT_EQ(Rec().editing, 1);  // still open
  SendMessageA(Grid(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), 0);
  EXPECT_TRUE(IsWindowVisible(editor));
  SendMessageA(Grid(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 500), 0);
  EXPECT_FALSE(IsWindowVisible(editor));
}

TEST_F(GridWindowTest, DeleteAllRowsDiscardsAnOpenEdit) {
  AddRows(5);
  POINT p = CellCenter(1, 1);
  Click(p.x, p.y);
  ASSERT_EQ(grid.EditFocusCell(), 1);
  SetWindowTextA(Rec().editorWindow, "lost");
  grid.DeleteAllRows();
  EXPECT_EQ(Rec().editing, 0);
  EXPECT_FALSE(IsWindowVisible(Rec().editorWindow));
  host->notifications.clear();
  AddRows(2);
  Click(p.x, p.y);
  EXPECT_EQ(host->Codes(), Codes{NotifySelectionChanged});  // no commit
  char cell[16];
  grid.GetCellText(1, 1, cell, sizeof cell);
  EXPECT_STREQ(cell, "file1.txt");
}

TEST_F(GridWindowTest, AnUnknownWindowOfTheClassIsIgnored) {
  HWND stray = CreateWindowExA(0, "DATAGRID", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50,
                               host->window(), nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(stray, nullptr);
  SendMessageA(stray, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(stray, WM_KEYDOWN, VK_DOWN, 1);
  UpdateWindow(stray);
  EXPECT_TRUE(host->notifications.empty());
  EXPECT_EQ(GetCapture(), nullptr);
  DestroyWindow(stray);
  EXPECT_EQ(GridRecordCount(), 1);
}

}  // namespace
