// A top-level 800 x 600 test window at the screen's top left holding one grid:
// 5 columns 40, 350, 200, 200, 800 at 5, 74 - 795, 564. The window records the
// grid's notifications as they arrive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "grid/data_grid.h"
#include "grid/grid_geometry.h"
#include "grid/grid_registry.h"
#include "grid/grid_win32.h"

void PumpMessages();

class GridWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  HWND Grid() const { return grid.GetHWnd(); }
  DataGridRecord& Rec() const { return *FindGridRecord(grid.GetHWnd()); }
  GridLayout Layout() const { return MeasureGridLayout(Rec()); }
  // Adds rows "r" / "file<r>.txt", refreshes and forgets the notifications.
  void AddRows(int count);
  // Client point in the middle of a cell, at the current scroll position.
  POINT CellCenter(int row, int column) const;
  void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) { SendMessageA(Grid(), message, wParam, lParam); }
  void Down(int x, int y) { Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
  void Up(int x, int y) { Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
  void Move(int x, int y, WPARAM keys = MK_LBUTTON) { Send(WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); }
  void Click(POINT p) { Down(p.x, p.y); Up(p.x, p.y); }
  void Key(WPARAM key) { Send(WM_KEYDOWN, key, 1); }
  void VScroll(int code, int track = 0) { Send(WM_VSCROLL, MAKEWPARAM(code, track)); }
  void HScroll(int code, int track = 0) { Send(WM_HSCROLL, MAKEWPARAM(code, track)); }
  int VPos() const { return GetScrollPos(Grid(), SB_VERT); }
  int HPos() const { return GetScrollPos(Grid(), SB_HORZ); }

  HWND host = nullptr;
  CDataGrid grid;
  std::vector<int> codes;
  // Called for each notification, inside the grid's SendMessageA.
  std::function<void()> onNotify;
  // Notifications whose low word is not 0 or whose lParam is not the grid.
  int malformed = 0;

 private:
  static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
