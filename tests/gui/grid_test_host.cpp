#include <gtest/gtest.h>

#include "grid_test_host.h"

namespace {

const char kHostClass[] = "GRIDTESTHOST";

void RegisterHostClass() {
  static bool done = false;
  if (done) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kHostClass;
  RegisterClassExA(&wc);
  done = true;
}

}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

GridTestHost::GridTestHost() {
  RegisterHostClass();
  window_ = CreateWindowExA(0, kHostClass, "Grid test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                            800, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostProc));
}

GridTestHost::~GridTestHost() {
  DestroyWindow(window_);
  PumpMessages();
}

std::vector<int> GridTestHost::Codes() const {
  std::vector<int> codes;
  for (const ReceivedNotification& n : notifications) codes.push_back(n.code);
  return codes;
}

LRESULT CALLBACK GridTestHost::HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<GridTestHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_COMMAND && host) {
    host->notifications.push_back(
        {HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam)});
    if (host->onNotify) host->onNotify(HIWORD(wParam));
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void GridWindowTest::SetUp() {
  host = new GridTestHost();
  ASSERT_EQ(grid.Create(5, 74, 795, 564, host->window(), 5), 1);
  const char* titles[] = {"#", "Name", "Size", "Modified", "Other"};
  int widths[] = {40, 350, 200, 200, 800};
  for (int k = 0; k < 5; ++k) grid.SetColumn(k, titles[k], widths[k], 0);
  grid.Refresh();
  PumpMessages();
  host->notifications.clear();
}

void GridWindowTest::TearDown() {
  delete host;
  EXPECT_EQ(GridRecordCount(), 0);
}

void GridWindowTest::AddRows(int count) {
  for (int i = 0; i < count; ++i) {
    int r = grid.GetRowCount();
    grid.AddRow(std::to_string(r).c_str(), 0);
    grid.SetCell(r, 1, ("file" + std::to_string(r) + ".txt").c_str(), 0, 0);
  }
  grid.Refresh();
  PumpMessages();
  host->notifications.clear();
}

POINT GridWindowTest::CellCenter(int row, int column) const {
  GridRect cell = CellRect(Rec(), Layout(), row, column);
  return {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
}

void GridWindowTest::Down(int x, int y, WPARAM keys) {
  SendMessageA(Grid(), WM_LBUTTONDOWN, keys, MAKELPARAM(x, y));
}

void GridWindowTest::Up(int x, int y) { SendMessageA(Grid(), WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

void GridWindowTest::Move(int x, int y, WPARAM keys) {
  SendMessageA(Grid(), WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
}

void GridWindowTest::Click(int x, int y) {
  Down(x, y);
  Up(x, y);
}

void GridWindowTest::Key(WPARAM key) { SendMessageA(Grid(), WM_KEYDOWN, key, 1); }
