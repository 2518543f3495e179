// A window-system stand-in for the grid logic: records notifications and
// repaints, keeps scroll bars that clamp like real ones, and reports fixed
// font metrics and client size.
#pragma once

#include <vector>

#include "grid/data_grid.h"
#include "grid/grid_platform.h"

struct FakeScrollBar {
  bool shown = false;
  int maximum = 0;
  int page = 0;
  int position = 0;
};

struct FakeNotification {
  GridWindow parent;
  GridWindow grid;
  int code;
};

struct FakeGridWorld {
  GridTextMetrics headerMetrics{16, 3};  // 10-point Arial at 96 dpi
  GridTextMetrics cellMetrics{15, 3};    // 9-point: RH 18
  int clientWidth = 780;
  int clientHeight = 480;
  // A shown bar takes this much from the other direction's client extent.
  int barThickness = 0;
  FakeScrollBar bars[2];
  std::vector<FakeNotification> notifications;
  int repaints = 0;
  int erasingRepaints = 0;
  int editorHides = 0;
  GridObject editorFont = nullptr;
  int fontsCreated = 0;
  int objectsDeleted = 0;
  // Metrics of fonts the fake created: character height |lfHeight|, leading 3.
  std::vector<GridTextMetrics> createdFonts;

  std::vector<int> Codes() const;
  void Clear();
};

// Installs the fake for the lifetime of the object and removes it after.
class FakeGridPlatform {
 public:
  FakeGridPlatform();
  ~FakeGridPlatform();
  FakeGridWorld& world;
};

// Font handles that measure as headerMetrics and cellMetrics.
extern const GridObject kFakeHeaderFont;
extern const GridObject kFakeCellFont;
// Gives an attached record the two measuring fonts above.
void GiveFakeFonts(GridWindow grid);

// Distinct fake window handles.
GridWindow FakeWindow(int n);
