// The grid's geometry: header and row measures, column positions, the
// rectangles of headers, rows and cells, painting bounds, scroll steps and
// scroll-bar ranges, and the hit tests. All pure integer arithmetic on a
// record and a GridLayout (the measured fonts, scroll positions and client
// size), so it is tested without a window.
#pragma once

#include "grid/grid_types.h"

// Measures of one moment: what the fonts, scroll bars and client area report.
struct GridLayout {
  int headerTextHeight;  // header font: character height + internal leading
  int headerHeight;      // HH: headerTextHeight, + 2 when button headers are off
  int rowHeight;         // RH: cell font: character height + internal leading
  int hpos;
  int vpos;
  int clientWidth;   // CW
  int clientHeight;  // CH
};

struct GridRect {
  int left;
  int top;
  int right;
  int bottom;
};

struct GridScrollPlan {
  bool show;
  int maximum;
  int page;
  int position;
};

struct GridPlacement {
  bool visible;
  int x;
  int y;
  int width;
  int height;
};

struct GridPercents {
  int left;
  int top;
  int width;
  int height;
};

GridLayout MakeGridLayout(int headerCharHeight, int headerLeading, int cellCharHeight,
                          int cellLeading, bool buttonHeaders, int hpos, int vpos,
                          int clientWidth, int clientHeight);

// RH - 1, the distance between row tops (neighbours share a border line).
// Never below 1, so that the scroll arithmetic cannot divide by zero.
int RowPitch(const GridLayout& layout);
int ColumnStart(const DataGridRecord& record, int column);  // X(k)
int TotalWidth(const DataGridRecord& record);                 // TW
int TotalHeight(const DataGridRecord& record, const GridLayout& layout);  // TH
int RowTop(const GridLayout& layout, int row);                // T(r), content y

GridRect HeaderLayoutRect(const DataGridRecord& record, const GridLayout& layout, int column);
GridRect HeaderPaintRect(const DataGridRecord& record, const GridLayout& layout, int column);
GridRect CellRect(const DataGridRecord& record, const GridLayout& layout, int row, int column);
GridRect FirstRowRect(const DataGridRecord& record, const GridLayout& layout);
GridRect FocusCellRect(const DataGridRecord& record, const GridLayout& layout);

int FirstPaintRow(const GridLayout& layout);
int EndPaintRow(const DataGridRecord& record, const GridLayout& layout);
// Culling: a cell is drawn when it lies fully in the band below the header
// line HH - 1, or crosses the client bottom, or crosses the header line.
bool CellNeedsPaint(const GridLayout& layout, const GridRect& cell);

int LineScrollStep(const GridLayout& layout);
int PageScrollStep(const GridLayout& layout);
int SnapVerticalThumb(const GridLayout& layout, int track);
constexpr int kHorizontalScrollStep = 10;

// New scroll positions that bring the focus row / focus column into view.
int VposForRow(const GridLayout& layout, int row);
int HposForColumn(const DataGridRecord& record, const GridLayout& layout, int column);

GridScrollPlan HorizontalScrollPlan(const DataGridRecord& record, const GridLayout& layout);
GridScrollPlan VerticalScrollPlan(const DataGridRecord& record, const GridLayout& layout);

// Hit tests on content coordinates; -1 for a miss.
int FindColumnBorder(const DataGridRecord& record, const GridLayout& layout, int x, int y);
int FindHeaderColumn(const DataGridRecord& record, const GridLayout& layout, int x, int y);
// Row and column of the first cell containing the content point, or false.
bool FindCell(const DataGridRecord& record, const GridLayout& layout, int x, int y, int* row,
              int* column);

// Width of the dragged column for the pointer at content x.
int DraggedColumnWidth(const DataGridRecord& record, int column, int x);

// Where the open editor goes after scrolling: shown at its cell when the cell
// is fully inside the area under the header, else hidden.
GridPlacement EditorPlacement(const DataGridRecord& record, const GridLayout& layout);

// The grid keeps its place in the parent as percentages of the parent's
// outer window size, truncated toward zero.
GridPercents ComputeGridPercents(int left, int top, int right, int bottom, int parentWidth,
                                 int parentHeight);
// x, y, width, height from the stored percentages.
GridPlacement PlaceFromPercents(const GridPercents& percents, int parentWidth, int parentHeight);
