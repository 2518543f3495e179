#include "grid/grid_geometry.h"

GridLayout MakeGridLayout(int headerCharHeight, int headerLeading, int cellCharHeight,
                          int cellLeading, bool buttonHeaders, int hpos, int vpos,
                          int clientWidth, int clientHeight) {
  GridLayout layout;
  layout.headerTextHeight = headerCharHeight + headerLeading;
  layout.headerHeight = layout.headerTextHeight + (buttonHeaders ? 0 : 2);
  layout.rowHeight = cellCharHeight + cellLeading;
  layout.hpos = hpos;
  layout.vpos = vpos;
  layout.clientWidth = clientWidth;
  layout.clientHeight = clientHeight;
  return layout;
}

int RowPitch(const GridLayout& layout) {
  return layout.rowHeight > 2 ? layout.rowHeight - 1 : 1;
}

int ColumnStart(const DataGridRecord& record, int column) {
  int x = 0;
  for (int k = 0; k < column && k < record.columnCount; ++k) x += record.columns[k].width;
  return x;
}

int TotalWidth(const DataGridRecord& record) {
  return ColumnStart(record, record.columnCount);
}

int TotalHeight(const DataGridRecord& record, const GridLayout& layout) {
  return layout.headerHeight + RowPitch(layout) * record.rowCount;
}

int RowTop(const GridLayout& layout, int row) {
  return layout.headerHeight - 1 + row * RowPitch(layout);
}

GridRect HeaderLayoutRect(const DataGridRecord& record, const GridLayout& layout, int column) {
  int x = ColumnStart(record, column);
  int width = column >= 0 && column < record.columnCount ? record.columns[column].width : 0;
  return {x, 0, x + width, layout.headerHeight};
}

GridRect HeaderPaintRect(const DataGridRecord& record, const GridLayout& layout, int column) {
  GridRect r = HeaderLayoutRect(record, layout, column);
  r.left -= layout.hpos;
  r.right -= layout.hpos;
  return r;
}

GridRect CellRect(const DataGridRecord& record, const GridLayout& layout, int row, int column) {
  int x = ColumnStart(record, column);
  int width = column >= 0 && column < record.columnCount ? record.columns[column].width : 0;
  int top = RowTop(layout, row);
  // One pixel wider to the left, so that neighbouring cells share a border line.
  return {x - layout.hpos - 1, top - layout.vpos, x + width - layout.hpos,
          top + layout.rowHeight - layout.vpos};
}

GridRect FirstRowRect(const DataGridRecord& record, const GridLayout& layout) {
  int width = record.columnCount > 0 ? record.columns[0].width : 0;
  int top = layout.headerHeight - 1;
  return {-layout.hpos, top, -layout.hpos + width, top + layout.rowHeight};
}

GridRect FocusCellRect(const DataGridRecord& record, const GridLayout& layout) {
  int fc = record.focusColumn;
  int x = ColumnStart(record, fc);
  int width = fc >= 0 && fc < record.columnCount ? record.columns[fc].width : 0;
  int top = layout.headerHeight + RowPitch(layout) * record.focusRow;
  return {x, top, x + width - 1, top + layout.rowHeight - 2};
}

int FirstPaintRow(const GridLayout& layout) {
  int pitch = RowPitch(layout);
  int first = layout.vpos / pitch;
  if (layout.vpos % pitch != 0 && first >= 1) --first;
  return first;
}

int EndPaintRow(const DataGridRecord& record, const GridLayout& layout) {
  int end = (layout.vpos + layout.clientHeight) / RowPitch(layout);
  return end < record.rowCount ? end : record.rowCount;
}

bool CellNeedsPaint(const GridLayout& layout, const GridRect& cell) {
  int line = layout.headerHeight - 1;
  int bottom = layout.clientHeight;
  bool inside = cell.top >= line && cell.bottom <= bottom;
  bool crossesBottom = cell.top < bottom && cell.bottom > bottom;
  bool crossesLine = cell.top < line && cell.bottom > line;
  return inside || crossesBottom || crossesLine;
}

int LineScrollStep(const GridLayout& layout) { return RowPitch(layout); }

// A page keeps two rows of the old view. In a client area lower than three
// rows that would be zero or negative; a page is then one row.
int PageScrollStep(const GridLayout& layout) {
  int pitch = RowPitch(layout);
  int step = pitch * (layout.clientHeight / pitch - 2);
  return step < pitch ? pitch : step;
}

int SnapVerticalThumb(const GridLayout& layout, int track) {
  return track - track % RowPitch(layout);
}

int VposForRow(const GridLayout& layout, int row) {
  int y = RowPitch(layout) * row;
  if (y < layout.vpos) return y;
  int bottom = y + layout.headerHeight - 1 + layout.rowHeight;
  if (layout.vpos + layout.clientHeight < bottom) return bottom - layout.clientHeight;
  return layout.vpos;
}

int HposForColumn(const DataGridRecord& record, const GridLayout& layout, int column) {
  if (column < 0 || column >= record.columnCount) return layout.hpos;
  int x = ColumnStart(record, column);
  if (layout.hpos > x) return x;
  int end = x + record.columns[column].width;
  if (layout.hpos + layout.clientWidth < end) return end - layout.clientWidth;
  return layout.hpos;
}

// The page is one more than the client extent so that the last position,
// maximum - page + 1, is exactly total - client.
GridScrollPlan HorizontalScrollPlan(const DataGridRecord& record, const GridLayout& layout) {
  int total = TotalWidth(record);
  if (total <= layout.clientWidth) return {false, 0, 0, layout.hpos};
  return {true, total, layout.clientWidth + 1, layout.hpos};
}

GridScrollPlan VerticalScrollPlan(const DataGridRecord& record, const GridLayout& layout) {
  int total = TotalHeight(record, layout);
  if (record.rowCount < 1 || total <= layout.clientHeight) return {false, 0, 0, layout.vpos};
  return {true, total, layout.clientHeight + 1, layout.vpos};
}

int FindColumnBorder(const DataGridRecord& record, const GridLayout& layout, int x, int y) {
  if (y < layout.vpos || y > layout.vpos + layout.headerTextHeight) return -1;
  int right = 0;
  for (int k = 0; k < record.columnCount; ++k) {
    right += record.columns[k].width;
    if (x >= right - 2 && x <= right + 2) return k;
  }
  return -1;
}

int FindHeaderColumn(const DataGridRecord& record, const GridLayout& layout, int x, int y) {
  if (y < layout.vpos || y >= layout.vpos + layout.headerTextHeight) return -1;
  int left = 0;
  for (int k = 0; k < record.columnCount; ++k) {
    int right = left + record.columns[k].width;
    if (x >= left && x < right) return k;
    left = right;
  }
  return -1;
}

// Cell rectangles are compared in content coordinates, the same system as the
// point, so that hits stay right at any scroll position.
bool FindCell(const DataGridRecord& record, const GridLayout& layout, int x, int y, int* row,
              int* column) {
  for (int r = 0; r < record.rowCount; ++r) {
    int top = RowTop(layout, r);
    if (y < top || y >= top + layout.rowHeight) continue;
    int left = 0;
    for (int k = 0; k < record.columnCount; ++k) {
      int right = left + record.columns[k].width;
      if (x >= left - 1 && x < right) {
        *row = r;
        *column = k;
        return true;
      }
      left = right;
    }
  }
  return false;
}

int DraggedColumnWidth(const DataGridRecord& record, int column, int x) {
  int width = x - ColumnStart(record, column);
  return width < 0 ? 2 : width;
}

GridPlacement EditorPlacement(const DataGridRecord& record, const GridLayout& layout) {
  GridPlacement p;
  p.x = record.editorLeft - layout.hpos;
  p.y = record.editorTop - layout.vpos;
  p.width = record.editorRight - record.editorLeft;
  p.height = record.editorBottom - record.editorTop;
  p.visible = record.editorTop >= layout.vpos + layout.headerHeight &&
              record.editorBottom <= layout.vpos + layout.clientHeight &&
              record.editorRight >= layout.hpos &&
              record.editorLeft <= layout.hpos + layout.clientWidth;
  return p;
}

namespace {

int Percent(int value, int whole) {
  if (whole <= 0) return 0;
  return static_cast<int>(static_cast<double>(value) * 100 / whole);
}

int FromPercent(int percent, int whole) {
  return static_cast<int>(static_cast<double>(percent) / 100 * whole);
}

}  // namespace

GridPercents ComputeGridPercents(int left, int top, int right, int bottom, int parentWidth,
                                 int parentHeight) {
  return {Percent(left, parentWidth), Percent(top, parentHeight),
          Percent(right - left, parentWidth), Percent(bottom - top, parentHeight)};
}

GridPlacement PlaceFromPercents(const GridPercents& percents, int parentWidth, int parentHeight) {
  return {true, FromPercent(percents.left, parentWidth), FromPercent(percents.top, parentHeight),
          FromPercent(percents.width, parentWidth), FromPercent(percents.height, parentHeight)};
}
