// A top-level test window holding one grid; it records the grid's
// notifications as they arrive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "grid/data_grid.h"
#include "grid/grid_geometry.h"
#include "grid/grid_registry.h"
#include "grid/grid_win32.h"

struct ReceivedNotification {
  int code;
  int low;  // low word of wParam
  HWND from;
};

class GridTestHost {
 public:
  // An 800 by 600 window at the screen's top left.
  GridTestHost();
  ~GridTestHost();
  HWND window() const { return window_; }

  std::vector<ReceivedNotification> notifications;
  std::vector<int> Codes() const;
  // Called for each notification, inside the grid's SendMessageA.
  std::function<void(int code)> onNotify;

 private:
  static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_;
};

void PumpMessages();

// The test grid: 5 columns 40, 350, 200, 200, 800 at 5, 74 - 795, 564 of the host.
class GridWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  HWND Grid() const { return grid.GetHWnd(); }
  DataGridRecord& Rec() const { return *FindGridRecord(grid.GetHWnd()); }
  GridLayout Layout() const { return MeasureGridLayout(Rec()); }
  void AddRows(int count);
  // Client point in the middle of a cell, at the current scroll position.
  POINT CellCenter(int row, int column) const;
  void Down(int x, int y, WPARAM keys = MK_LBUTTON);
  void Up(int x, int y);
  void Move(int x, int y, WPARAM keys = MK_LBUTTON);
  void Click(int x, int y);
  void Key(WPARAM key);
  int VPos() const { return GetScrollPos(Grid(), SB_VERT); }
  int HPos() const { return GetScrollPos(Grid(), SB_HORZ); }

  GridTestHost* host = nullptr;
  CDataGrid grid;
};
