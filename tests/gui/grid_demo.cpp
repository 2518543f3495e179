// A small program hosting one grid, for driving it from outside (xdotool).
// Its title reports the grid's state; its standard output the geometry a
// driver needs to aim at cells.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "grid/data_grid.h"
#include "grid/grid_registry.h"

namespace {

CDataGrid g_grid;
int g_selections = 0;
int g_headerClicks = 0;
int g_resizes = 0;

int CompareText(const char* a, const char* b, int) { return std::strcmp(a, b); }

void ShowState(HWND hwnd) {
  char title[256];
  DataGridRecord* record = FindGridRecord(g_grid.GetHWnd());
  int width = record ? record->columns[1].width : 0;
  std::snprintf(title, sizeof title,
                "Grid Demo - focus %d,%d - vpos %d - width %d - sel %d hdr %d rsz %d - dbl %d",
                g_grid.GetSelectedRow(), g_grid.GetSelectedColumn(),
                GetScrollPos(g_grid.GetHWnd(), SB_VERT), width, g_selections, g_headerClicks,
                g_resizes, g_grid.GetDblClickFlag());
  SetWindowTextA(hwnd, title);
}

void FillGrid() {
  const char* titles[] = {"#", "Name", "Size", "Modified", "Other"};
  int widths[] = {40, 350, 200, 200, 800};
  for (int k = 0; k < 5; ++k) g_grid.SetColumn(k, titles[k], widths[k], k == 2 ? 2 : 0);
  for (int r = 0; r < 60; ++r) {
    char text[64];
    std::snprintf(text, sizeof text, "%d", r);
    g_grid.AddRow(r % 7 == 0 ? "[__]" : " ", 0);
    std::snprintf(text, sizeof text, "document_%02d.txt", (r * 37) % 60);
    g_grid.SetCell(r, 1, text, 0, 0);
    std::snprintf(text, sizeof text, "%d", 1000 + r * 913);
    g_grid.SetCell(r, 2, text, 2, r % 5 == 3);
    g_grid.SetCell(r, 3, "...", 0, 0);
    if (r % 7 == 0) g_grid.SetRowColor(r, 0xBEFFFF);
  }
  g_grid.SetCompareFunction(CompareText);
  g_grid.Refresh();
}

void PrintGeometry(HWND hwnd) {
  RECT window;
  GetWindowRect(hwnd, &window);
  POINT client = {0, 0};
  ClientToScreen(g_grid.GetHWnd(), &client);
  DataGridRecord* record = FindGridRecord(g_grid.GetHWnd());
  GridLayout layout = MeasureGridLayout(*record);
  std::printf("grid-origin %ld %ld\n", client.x - window.left, client.y - window.top);
  std::printf("header %d\n", layout.headerHeight);
  std::printf("pitch %d\n", layout.rowHeight - 1);
  std::printf("row0 %d\n", RowTop(layout, 0));
  std::fflush(stdout);
}

LRESULT OnCommand(HWND hwnd, WPARAM wParam) {
  switch (HIWORD(wParam)) {
    case NotifySelectionChanged: ++g_selections; break;
    case NotifyHeaderClicked:
      ++g_headerClicks;
      g_grid.SortByColumn(g_grid.GetHitColumn());
      break;
    case NotifyColumnResized: ++g_resizes; break;
    default: break;
  }
  ShowState(hwnd);
  return 0;
}

LRESULT CALLBACK DemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: return OnCommand(hwnd, wParam);
    case WM_TIMER: ShowState(hwnd); return 0;
    case WM_SIZE: g_grid.Resize(); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DemoProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "GRIDDEMO";
  RegisterClassExA(&wc);
  HWND hwnd = CreateWindowExA(0, "GRIDDEMO", "Grid Demo", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                              nullptr, nullptr, instance, nullptr);
  if (!g_grid.Create(5, 74, 795, 564, hwnd, 5)) return 1;
  FillGrid();
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  PrintGeometry(hwnd);
  ShowState(hwnd);
  SetTimer(hwnd, 1, 100, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
