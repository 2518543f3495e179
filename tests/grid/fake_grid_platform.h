// A window-system stand-in for the grid logic: records notifications and
// repaints, keeps scroll bars that clamp like real ones, and reports fixed
// font metrics (header 16 + 3, cells 15 + 3: RH 18) and a 780 x 480 client.
// GridFixture: a five-column grid on fake window 1 whose parent is window 0.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "grid/data_grid.h"
#include "grid/grid_platform.h"
#include "grid/grid_registry.h"

struct FakeScrollBar {
  bool shown = false;
  int maximum = 0, page = 0, position = 0;
};

struct FakeGridWorld {
  int clientWidth = 780, clientHeight = 480;
  int barThickness = 0;  // a shown bar takes this much from the other direction
  FakeScrollBar bars[2];
  std::vector<int> codes;  // notifications, in order
  GridWindow lastParent = nullptr, lastGrid = nullptr;
  int repaints = 0, erasingRepaints = 0, editorHides = 0, objectsDeleted = 0;
  GridObject editorFont = nullptr;
  std::vector<int> fontHeights;  // created font n measures fontHeights[n - 1] + 3
};

inline FakeGridWorld g_fake;

inline GridWindow FakeWindow(int n) {
  return reinterpret_cast<GridWindow>(uintptr_t(4096 + 16 * n));
}
inline GridObject FakeObject(uintptr_t n) { return reinterpret_cast<GridObject>(n); }

// Clamped to 0 .. maximum - page + 1, like a window's scroll bar.
inline void FakeSetScrollPos(GridWindow, int bar, int position) {
  FakeScrollBar& b = g_fake.bars[bar];
  int last = b.maximum - (b.page > 0 ? b.page - 1 : 0);
  b.position = position > last ? last : position < 0 ? 0 : position;
}

inline const GridPlatform kFakeGridPlatform = {
    [](GridWindow parent, GridWindow grid, int code) {
      g_fake.codes.push_back(code);
      g_fake.lastParent = parent;
      g_fake.lastGrid = grid;
    },
    [](GridWindow, bool erase) { ++g_fake.repaints, g_fake.erasingRepaints += erase; },
    [](GridWindow) {
      int thick = g_fake.barThickness;
      return GridClientSize{g_fake.clientWidth - (g_fake.bars[GridBarVert].shown ? thick : 0),
                            g_fake.clientHeight - (g_fake.bars[GridBarHorz].shown ? thick : 0)};
    },
    [](GridWindow, GridObject font, const char*) {  // the fixture's fonts are 0x7000 and 0x7100
      uintptr_t n = reinterpret_cast<uintptr_t>(font);
      if (n == 0x7000 || n == 0x7100) return GridTextMetrics{n == 0x7000 ? 16 : 15, 3};
      return GridTextMetrics{n - 1 < g_fake.fontHeights.size() ? g_fake.fontHeights[n - 1] : 0, 3};
    },
    [](GridWindow, int bar) { return g_fake.bars[bar].position; },
    FakeSetScrollPos,
    [](GridWindow, int bar, const GridScrollRange* range) {
      FakeScrollBar& b = g_fake.bars[bar];
      b.shown = range != nullptr;
      if (!range) return;
      b.maximum = range->maximum;
      b.page = range->page;
      FakeSetScrollPos(nullptr, bar, range->position);
    },
    [](GridWindow) { ++g_fake.editorHides; },
    [](GridWindow, GridObject font) { g_fake.editorFont = font; },
    [](const GridLogFont& font) {
      g_fake.fontHeights.push_back(font.lfHeight < 0 ? -font.lfHeight : font.lfHeight);
      return FakeObject(g_fake.fontHeights.size());
    },
    [](GridObject) { ++g_fake.objectsDeleted; },
};

class GridFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = FakeGridWorld();
    SetGridPlatform(&kFakeGridPlatform);
    ASSERT_EQ(grid.AttachRecord(FakeWindow(1), FakeWindow(0), 5), 1);
    Rec().headerFont = FakeObject(0x7000);
    Rec().cellFont = FakeObject(0x7100);
  }
  void TearDown() override {
    ReleaseGrid(grid.GetHWnd());
    SetGridPlatform(nullptr);
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

  FakeGridWorld& fake = g_fake;
  CDataGrid grid;
};
