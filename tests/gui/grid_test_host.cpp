#include "grid_test_host.h"

#include <string>

namespace {

GridWindowTest* g_current = nullptr;

}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

LRESULT CALLBACK GridWindowTest::HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COMMAND || !g_current) return DefWindowProcA(hwnd, message, wParam, lParam);
  g_current->codes.push_back(HIWORD(wParam));
  g_current->malformed += LOWORD(wParam) != 0 || reinterpret_cast<HWND>(lParam) != g_current->Grid();
  if (g_current->onNotify) g_current->onNotify();
  return 0;
}

void GridWindowTest::SetUp() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "GRIDTESTHOST";
    registered = RegisterClassExA(&wc) != 0;
  }
  g_current = this;
  host = CreateWindowExA(0, "GRIDTESTHOST", "Grid test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                         0, 800, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_EQ(grid.Create(5, 74, 795, 564, host, 5), 1);
  const char* titles[] = {"#", "Name", "Size", "Modified", "Other"};
  int widths[] = {40, 350, 200, 200, 800};
  for (int k = 0; k < 5; ++k) grid.SetColumn(k, titles[k], widths[k], 0);
  grid.Refresh();
  PumpMessages();
}

void GridWindowTest::TearDown() {
  DestroyWindow(host);
  PumpMessages();
  g_current = nullptr;
  EXPECT_EQ(GridRecordCount(), 0);
  EXPECT_EQ(malformed, 0);
}

void GridWindowTest::AddRows(int count) {
  for (int i = 0; i < count; ++i) {
    int r = grid.GetRowCount();
    grid.AddRow(std::to_string(r).c_str(), 0);
    grid.SetCell(r, 1, ("file" + std::to_string(r) + ".txt").c_str(), 0, 0);
  }
  grid.Refresh();
  PumpMessages();
  codes.clear();
}

POINT GridWindowTest::CellCenter(int row, int column) const {
  GridRect cell = CellRect(Rec(), Layout(), row, column);
  return {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
}
