// A grid bound to fake window handles, with the fake window system installed.
#pragma once

#include <gtest/gtest.h>

#include "fake_grid_platform.h"
#include "grid/data_grid.h"
#include "grid/grid_registry.h"

class GridFixture : public ::testing::Test {
 protected:
  void SetUp() override { Attach(5); }
  void TearDown() override { ReleaseGrid(grid.GetHWnd()); }

  void Attach(int columns) {
    ASSERT_EQ(grid.AttachRecord(FakeWindow(1), FakeWindow(0), columns), 1);
    GiveFakeFonts(grid.GetHWnd());
  }
  DataGridRecord& Rec() { return *FindGridRecord(grid.GetHWnd()); }
  std::string Cell(int row, int column) {
    char buffer[kTitleSize];
    grid.GetCellText(row, column, buffer, sizeof buffer);
    return buffer;
  }
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) grid.AddRow(std::to_string(i).c_str(), 0);
  }

  FakeGridPlatform fake;
  CDataGrid grid;
};
