// The "DATAGRID" window: creation, placement in the parent, and the window
// procedure with one handler per message.
#include <cstring>

#include "grid/grid_model.h"
#include "grid/grid_registry.h"
#include "grid/grid_win32.h"
#include "platform/wide_text.h"

namespace {

const char kGridClass[] = "DATAGRID";

bool RegisterGridClass(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DataGridWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kGridClass;
  return RegisterClassExA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

GridLogFont DefaultFont(HDC dc, int points) {
  GridLogFont font{};
  font.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
  font.lfWeight = 400;
  std::strcpy(font.lfFaceName, "Arial");
  return font;
}

void CreateDrawingObjects(HWND parent, DataGridRecord& record) {
  HDC dc = GetDC(parent);
  record.headerLogFont = DefaultFont(dc, 10);
  record.cellLogFont = DefaultFont(dc, 9);
  ReleaseDC(parent, dc);
  record.headerFont = CreateFontIndirectA(&record.headerLogFont);
  record.cellFont = CreateFontIndirectA(&record.cellLogFont);
  record.backgroundBrush = CreateSolidBrush(kBackgroundColor);
  record.gridLinePen = CreatePen(PS_SOLID, 1, kGridLineColor);
}

void CreateEditor(HWND grid, HINSTANCE instance, DataGridRecord& record) {
  // A Unicode edit control: the cell texts it shows and returns are UTF-8.
  record.editorWindow = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_CLIPSIBLINGS | ES_AUTOHSCROLL,
                                        0, 0, 100, 20, grid, nullptr, instance, nullptr);
  SendMessageA(record.editorWindow, WM_SETFONT, reinterpret_cast<WPARAM>(record.cellFont), TRUE);
}

SIZE OuterSize(HWND window) {
  RECT rc{};
  GetWindowRect(window, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

// Content coordinates of a mouse message: the low and high words are taken
// unsigned, as the message carries them, plus the scroll positions.
POINT ContentPoint(HWND hwnd, LPARAM lParam) {
  return {LOWORD(lParam) + GetScrollPos(hwnd, SB_HORZ), HIWORD(lParam) + GetScrollPos(hwnd, SB_VERT)};
}

void RepaintNow(HWND hwnd, BOOL erase) {
  InvalidateRect(hwnd, nullptr, erase);
  UpdateWindow(hwnd);
}

// Shows the open editor at its cell while the cell is wholly under the
// header and inside the client area; otherwise hides it, still open.
void FollowEditor(const DataGridRecord& record) {
  if (!record.editing || !record.editorWindow) return;
  GridPlacement p = EditorPlacement(record, MeasureGridLayout(record));
  if (!p.visible) {
    ShowWindow(record.editorWindow, SW_HIDE);
    return;
  }
  SetWindowPos(record.editorWindow, nullptr, p.x, p.y, p.width, p.height,
               SWP_NOZORDER | SWP_SHOWWINDOW);
  SetFocus(record.editorWindow);
}

// Closes the editor and stores its text in the focus cell.
void CommitEditor(HWND hwnd, DataGridRecord& record) {
  wchar_t text[kEditorTextSize];
  text[0] = L'\0';
  SendMessageW(record.editorWindow, WM_GETTEXT, kEditorTextSize, reinterpret_cast<LPARAM>(text));
  ShowWindow(record.editorWindow, SW_HIDE);
  record.editing = 0;
  SetCellText(hwnd, record.focusRow, record.focusColumn, vellum::wide_to_utf8(text).c_str());
  NotifyGridParent(record, NotifyCellEdited);
}

// Steps shared by WM_LBUTTONUP and WM_NCLBUTTONUP. The record is looked up
// again after each notification: the parent's handler runs in between.
DataGridRecord* ReleaseButton(HWND hwnd, DataGridRecord* record) {
  for (DataGridColumn& c : record->columns) c.pressed = 0;
  if (record->resizing) {
    NotifyGridParent(*record, NotifyColumnResized);
    if (!(record = FindGridRecord(hwnd))) return nullptr;
    record->resizing = 0;
  }
  if (record->headerPressed && record->buttonHeaders) {
    record->headerPressed = 0;
    NotifyGridParent(*record, NotifyHeaderClicked);
    record = FindGridRecord(hwnd);
  }
  return record;
}

// ---- message handlers --------------------------------------------------------------

LRESULT OnCreate(HWND hwnd, DataGridRecord& record) {
  RemakeOffscreenSurface(hwnd, record);
  SetFocus(hwnd);
  return 0;
}

LRESULT OnSize(HWND hwnd, DataGridRecord& record) {
  RemakeOffscreenSurface(hwnd, record);
  HDC dc = GetDC(hwnd);
  PaintGridTo(hwnd, dc);
  ReleaseDC(hwnd, dc);
  return 0;
}

LRESULT OnPaint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  PaintGridTo(hwnd, dc);  // nothing without a record
  EndPaint(hwnd, &ps);
  return 0;
}

LRESULT OnEraseBackground(HWND hwnd, const DataGridRecord& record) {
  ClearOffscreenSurface(hwnd, record);
  return 0;
}

LRESULT OnDestroy(HWND hwnd, DataGridRecord& record) {
  ReleaseOffscreenSurface(record);
  ReleaseGrid(hwnd);
  return 0;
}

LRESULT OnSetCursor(const DataGridRecord& record, LPARAM lParam) {
  bool border = record.overBorder && LOWORD(lParam) == HTCLIENT;
  SetCursor(LoadCursorA(nullptr, border ? IDC_SIZEWE : IDC_ARROW));
  return 0;
}

LRESULT OnLButtonDown(HWND hwnd, DataGridRecord* record, LPARAM lParam) {
  if (record->editing) {
    CommitEditor(hwnd, *record);
    if (!(record = FindGridRecord(hwnd))) return 0;
  }
  POINT p = ContentPoint(hwnd, lParam);
  if (!record->resizing) {
    record->resizing = static_cast<uint8_t>(HitTestColumnBorder(hwnd, p.x, p.y));
    if (!record->resizing) record->headerPressed = static_cast<uint8_t>(HitTestHeader(hwnd, p.x, p.y));
  }
  if (record->headerPressed) {
    if (record->hitColumn >= 0 && record->hitColumn < record->columnCount)
      record->columns[record->hitColumn].pressed = 1;
  } else if (HitTestCell(hwnd, p.x, p.y)) {
    NotifyGridParent(*record, NotifySelectionChanged);
  }
  RepaintNow(hwnd, FALSE);
  SetFocus(hwnd);
  SetCapture(hwnd);
  return 0;
}

LRESULT OnLButtonUp(HWND hwnd, DataGridRecord* record, LPARAM lParam) {
  if (!(record = ReleaseButton(hwnd, record))) return 0;
  POINT p = ContentPoint(hwnd, lParam);
  record->overBorder = static_cast<uint8_t>(HitTestColumnBorder(hwnd, p.x, p.y));
  RepaintNow(hwnd, FALSE);
  ReleaseCapture();
  return 0;
}

LRESULT OnNcLButtonUp(HWND hwnd, DataGridRecord* record) {
  if (ReleaseButton(hwnd, record)) RepaintNow(hwnd, FALSE);
  return 0;
}

LRESULT OnLButtonDblClk() {
  SetGridDblClickFlag(1);
  return 0;
}

// A client x above 2000 (unsigned) is the pointer left of the window during
// capture; following it would make the width jump.
void DragColumnBorder(HWND hwnd, DataGridRecord& record, LPARAM lParam) {
  if (LOWORD(lParam) > 2000) return;
  int column = record.hitColumn;
  if (column < 0 || column >= record.columnCount) return;
  POINT p = ContentPoint(hwnd, lParam);
  record.columns[column].width = DraggedColumnWidth(record, column, p.x);
  UpdateScrollBars(hwnd);
  RepaintNow(hwnd, TRUE);
  record.overBorder = 1;
}

LRESULT OnMouseMove(HWND hwnd, DataGridRecord& record, WPARAM wParam, LPARAM lParam) {
  if (wParam == MK_LBUTTON) {
    if (record.resizing && record.columnResizeEnabled)
      DragColumnBorder(hwnd, record, lParam);
    else
      record.overBorder = 0;
  } else if (record.columnResizeEnabled) {
    POINT p = ContentPoint(hwnd, lParam);
    record.overBorder = static_cast<uint8_t>(HitTestColumnBorder(hwnd, p.x, p.y));
  }
  return 0;
}

LRESULT OnMouseWheel(HWND hwnd, WPARAM wParam) {
  short distance = static_cast<short>(HIWORD(wParam));
  WORD code = distance <= 0 ? SB_PAGEDOWN : SB_PAGEUP;
  WORD position = static_cast<WORD>(GetScrollPos(hwnd, SB_VERT));
  SendMessageA(hwnd, WM_VSCROLL, MAKEWPARAM(code, position), 0);
  return 0;
}

// The message carries only 16 bits of the thumb position; the bar's own
// track position has all 32 when it agrees in those 16 bits.
int TrackPosition(HWND hwnd, int bar, WPARAM wParam) {
  int track = HIWORD(wParam);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_TRACKPOS;
  if (GetScrollInfo(hwnd, bar, &si) && (si.nTrackPos & 0xFFFF) == track) track = si.nTrackPos;
  return track;
}

LRESULT OnVScroll(HWND hwnd, WPARAM wParam) {
  ScrollGridVertically(hwnd, LOWORD(wParam), TrackPosition(hwnd, SB_VERT, wParam));
  if (DataGridRecord* record = FindGridRecord(hwnd)) FollowEditor(*record);
  return 0;
}

LRESULT OnHScroll(HWND hwnd, WPARAM wParam) {
  ScrollGridHorizontally(hwnd, LOWORD(wParam), TrackPosition(hwnd, SB_HORZ, wParam));
  if (DataGridRecord* record = FindGridRecord(hwnd)) FollowEditor(*record);
  return 0;
}

void ScrollToFocus(HWND hwnd) {
  ScrollToFocusRow(hwnd);
  ScrollToFocusColumn(hwnd);
}

LRESULT OnKeyDown(HWND hwnd, DataGridRecord& record, WPARAM key) {
  if (record.focusRow < 0) return 0;
  WPARAM position = static_cast<WORD>(GetScrollPos(hwnd, SB_VERT));
  switch (key) {
    case VK_DOWN: MoveFocusDownAt(record); ScrollToFocus(hwnd); break;
    case VK_UP: MoveFocusUpAt(record); ScrollToFocus(hwnd); break;
    case VK_LEFT: MoveFocusLeftAt(record); ScrollToFocus(hwnd); break;
    case VK_RIGHT: MoveFocusRightAt(record); ScrollToFocus(hwnd); break;
    case VK_PRIOR: SendMessageA(hwnd, WM_VSCROLL, MAKEWPARAM(SB_PAGEUP, position), 0); break;
    case VK_NEXT: SendMessageA(hwnd, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, position), 0); break;
    default: break;
  }
  if (DataGridRecord* current = FindGridRecord(hwnd))
    NotifyGridParent(*current, NotifySelectionChanged);
  RepaintNow(hwnd, TRUE);
  return 0;
}

}  // namespace

// Messages the grid answers itself; without a record they are answered with 0.
static bool IsGridMessage(UINT message) {
  switch (message) {
    case WM_CREATE: case WM_SIZE: case WM_PAINT: case WM_ERASEBKGND: case WM_DESTROY:
    case WM_SETCURSOR: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_NCLBUTTONUP:
    case WM_LBUTTONDBLCLK: case WM_MOUSEMOVE: case WM_MOUSEWHEEL: case WM_VSCROLL:
    case WM_HSCROLL: case WM_KEYDOWN:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK DataGridWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DataGridRecord* record = FindGridRecord(hwnd);
  if (!record) {
    if (message == WM_PAINT) return OnPaint(hwnd);  // validates, paints nothing
    return IsGridMessage(message) ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
  }
  switch (message) {
    case WM_CREATE: return OnCreate(hwnd, *record);
    case WM_SIZE: return OnSize(hwnd, *record);
    case WM_PAINT: return OnPaint(hwnd);
    case WM_ERASEBKGND: return OnEraseBackground(hwnd, *record);
    case WM_DESTROY: return OnDestroy(hwnd, *record);
    case WM_SETCURSOR: return OnSetCursor(*record, lParam);
    case WM_LBUTTONDOWN: return OnLButtonDown(hwnd, record, lParam);
    case WM_LBUTTONUP: return OnLButtonUp(hwnd, record, lParam);
    case WM_NCLBUTTONUP: return OnNcLButtonUp(hwnd, record);
    case WM_LBUTTONDBLCLK: return OnLButtonDblClk();
    case WM_MOUSEMOVE: return OnMouseMove(hwnd, *record, wParam, lParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(hwnd, wParam);
    case WM_VSCROLL: return OnVScroll(hwnd, wParam);
    case WM_HSCROLL: return OnHScroll(hwnd, wParam);
    case WM_KEYDOWN: return OnKeyDown(hwnd, *record, wParam);
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// ---- CDataGrid members that need the window system ---------------------------

int CDataGrid::Create(int left, int top, int right, int bottom, HWND parent, int columnCount) {
  InstallWin32GridPlatform();
  m_parentWindow = parent;
  SIZE outer = OuterSize(parent);
  GridPercents percents = ComputeGridPercents(left, top, right, bottom, outer.cx, outer.cy);
  m_leftPercent = percents.left;
  m_topPercent = percents.top;
  m_widthPercent = percents.width;
  m_heightPercent = percents.height;

  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterGridClass(instance)) return 0;
  // A grid without a record could never be reached; refuse it up front.
  if (GridRecordCount() >= kMaxGrids) return 0;

  HWND grid = CreateWindowExA(
      WS_EX_CLIENTEDGE, kGridClass, "",
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL, left, top, right - left,
      bottom - top, parent, nullptr, instance, nullptr);
  m_gridWindow = grid;
  if (!grid) return 0;
  ShowScrollBar(grid, SB_BOTH, FALSE);
  if (!AttachRecord(grid, parent, columnCount)) return 1;

  DataGridRecord& record = *FindGridRecord(grid);
  CreateDrawingObjects(parent, record);
  CreateEditor(grid, instance, record);
  // The WM_CREATE of this window came before its record existed.
  RemakeOffscreenSurface(grid, record);
  return 1;
}

void CDataGrid::Resize() {
  if (!m_gridWindow || !FindGridRecord(m_gridWindow)) return;
  SIZE outer = OuterSize(m_parentWindow);
  GridPlacement at = PlaceFromPercents(GetPercents(), outer.cx, outer.cy);
  SetWindowPos(m_gridWindow, HWND_NOTOPMOST, at.x, at.y, at.width, at.height,
               SWP_NOZORDER | SWP_SHOWWINDOW);
  UpdateScrollBars(m_gridWindow);
  RepaintNow(m_gridWindow, TRUE);
}

int CDataGrid::EditFocusCell() {
  DataGridRecord* record = m_gridWindow ? FindGridRecord(m_gridWindow) : nullptr;
  if (!record || !record->editorWindow || !HasFocusRow(*record) || record->focusColumn < 0 ||
      record->focusColumn >= record->columnCount)
    return 0;
  GridRect cell = FocusCellRect(*record, MeasureGridLayout(*record));
  record->editorLeft = cell.left;
  record->editorTop = cell.top;
  record->editorRight = cell.right;
  record->editorBottom = cell.bottom;
  const std::string& text = record->rows[record->focusRow].cells[record->focusColumn];
  SetWindowTextW(record->editorWindow, vellum::utf8_to_wide(text).c_str());
  record->editing = 1;
  FollowEditor(*record);
  return 1;
}
