// The few window-system services the grid logic needs, as a table of plain
// functions. The Win32 build installs the real table when a grid is created;
// tests install a recording fake. The default table does nothing and measures
// zero, so logic run without a window system stays well defined.
#pragma once

#include "grid/grid_types.h"

struct GridTextMetrics {
  int charHeight;       // height of a line as a text extent reports it
  int internalLeading;  // tmInternalLeading
};

struct GridClientSize {
  int width;
  int height;
};

// Same values as the window system's SB_HORZ and SB_VERT.
enum GridBar { GridBarHorz = 0, GridBarVert = 1 };

struct GridScrollRange {
  int maximum;   // minimum is always 0
  int page;
  int position;
};

struct GridPlatform {
  void (*notify)(GridWindow parent, GridWindow grid, int code);
  // Invalidates the whole client area (with or without erase) and updates at once.
  void (*repaint)(GridWindow grid, bool erase);
  GridClientSize (*clientSize)(GridWindow grid);
  GridTextMetrics (*measureFont)(GridWindow grid, GridObject font, const char* sample);
  int (*scrollPos)(GridWindow grid, int bar);
  // The window clamps the position to the bar's range.
  void (*setScrollPos)(GridWindow grid, int bar, int position);
  // Sets range, page and position and shows the bar; a null range hides it.
  void (*showScrollBar)(GridWindow grid, int bar, const GridScrollRange* range);
  void (*hideEditor)(GridWindow editor);
  // The editor shows cell text, so it follows the cell font.
  void (*setEditorFont)(GridWindow editor, GridObject font);
  GridObject (*createFont)(const GridLogFont& description);
  void (*deleteObject)(GridObject object);
};

const GridPlatform& CurrentGridPlatform();
// Installs a table; null restores the do-nothing table. The table must outlive its use.
void SetGridPlatform(const GridPlatform* platform);
