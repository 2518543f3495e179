// A top-level 800 x 600 test window at the screen's top left holding one grid:
// 5 columns 40, 350, 200, 200, 800 at 5, 74 - 795, 564. The window records the
// grid's notifications as they arrive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "grid/data_grid.h"
#include "grid/grid_registry.h"

inline void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

class GridWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "GRIDTESTHOST";
    RegisterClassExA(&wc);  // fails harmlessly after the first test
    current() = this;
    host = CreateWindowExA(0, "GRIDTESTHOST", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                           600, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_EQ(grid.Create(5, 74, 795, 564, host, 5), 1);
    const char* titles[] = {"#", "Name", "Size", "Modified", "Other"};
    int widths[] = {40, 350, 200, 200, 800};
    for (int k = 0; k < 5; ++k) grid.SetColumn(k, titles[k], widths[k], 0);
    grid.Refresh();
    PumpMessages();
  }
  void TearDown() override {
    DestroyWindow(host);
    PumpMessages();
    current() = nullptr;
    EXPECT_EQ(GridRecordCount(), 0);
    EXPECT_EQ(malformed, 0);
  }

  HWND Grid() const { return grid.GetHWnd(); }
  DataGridRecord& Rec() const { return *FindGridRecord(grid.GetHWnd()); }
  GridLayout Layout() const { return MeasureGridLayout(Rec()); }
  // Adds rows "r" / "file<r>.txt", refreshes and forgets the notifications.
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) {
      int r = grid.GetRowCount();
      grid.AddRow(std::to_string(r).c_str(), 0);
      grid.SetCell(r, 1, ("file" + std::to_string(r) + ".txt").c_str(), 0, 0);
    }
    grid.Refresh();
    PumpMessages();
    codes.clear();
  }
  // Client point in the middle of a cell, at the current scroll position.
  POINT CellCenter(int row, int column) const {
    GridRect cell = CellRect(Rec(), Layout(), row, column);
    return {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
  }
  void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    SendMessageA(Grid(), message, wParam, lParam);
  }
  void Down(int x, int y) { Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
  void Up(int x, int y) { Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
  void Move(int x, int y, WPARAM keys = MK_LBUTTON) { Send(WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); }
  void Click(POINT p) { Down(p.x, p.y), Up(p.x, p.y); }
  void Key(WPARAM key) { Send(WM_KEYDOWN, key, 1); }
  void VScroll(int code, int track = 0) { Send(WM_VSCROLL, MAKEWPARAM(code, track)); }
  void HScroll(int code, int track = 0) { Send(WM_HSCROLL, MAKEWPARAM(code, track)); }
  int VPos() const { return GetScrollPos(Grid(), SB_VERT); }
  int HPos() const { return GetScrollPos(Grid(), SB_HORZ); }

  HWND host = nullptr;
  CDataGrid grid;
  std::vector<int> codes;
  std::function<void()> onNotify;  // runs inside the grid's SendMessageA
  int malformed = 0;               // notifications with a low word or lParam that is not the grid

 private:
  static GridWindowTest*& current() {
    static GridWindowTest* test = nullptr;
    return test;
  }
  static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    GridWindowTest* t = current();
    if (message != WM_COMMAND || !t) return DefWindowProcA(hwnd, message, wParam, lParam);
    t->codes.push_back(HIWORD(wParam));
    t->malformed += LOWORD(wParam) != 0 || reinterpret_cast<HWND>(lParam) != t->Grid();
    if (t->onNotify) t->onNotify();
    return 0;
  }
};
