#include "grid/grid_model.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {

bool RowInRange(const DataGridRecord& record, int row) {
  return row >= 0 && row < record.rowCount;
}

bool ColumnInRange(const DataGridRecord& record, int column) {
  return column >= 0 && column < record.columnCount;
}

bool CellInRange(const DataGridRecord& record, int row, int column) {
  return RowInRange(record, row) && ColumnInRange(record, column);
}

void CopyTitle(char* title, const char* text) {
  std::strncpy(title, text ? text : "", kTitleSize - 1);
  title[kTitleSize - 1] = '\0';
}

}  // namespace

int ClampColumnCount(int requested) {
  if (requested > kMaxColumns - 1) return kMaxColumns;
  return requested < 0 ? 0 : requested;
}

void InitColumns(DataGridRecord& record, int requestedCount) {
  record.columnCount = ClampColumnCount(requestedCount);
  record.columns.assign(record.columnCount, DataGridColumn{});
  for (DataGridColumn& column : record.columns) {
    CopyTitle(column.title, " ");
    column.width = 50;
    column.format = 0;
    column.pressed = 0;
  }
}

int SetColumnAt(DataGridRecord& record, int column, const char* title, int width,
                uint32_t format) {
  if (!ColumnInRange(record, column)) return 0;
  DataGridColumn& c = record.columns[column];
  CopyTitle(c.title, title);
  c.width = width;
  c.format = format;
  c.pressed = 0;
  return 1;
}

int AppendRow(DataGridRecord& record, const char* text, uint32_t format) {
  if (record.rowCount > kMaxRows - 1) return 0;
  DataGridRow row;
  row.cells.assign(record.columnCount, std::string(" "));
  row.formats.assign(record.columnCount, format);
  row.shades.assign(record.columnCount, 0);
  // The first cell takes the text exactly, even when empty.
  if (record.columnCount > 0) row.cells[0] = text ? text : "";
  row.selected = 0;
  row.color = kDefaultRowColor;
  record.rows.push_back(std::move(row));
  record.rowCount = static_cast<int32_t>(record.rows.size());
  return 1;
}

int RemoveRow(DataGridRecord& record, int row) {
  if (!RowInRange(record, row)) return 0;
  record.rows.erase(record.rows.begin() + row);
  record.rowCount = static_cast<int32_t>(record.rows.size());
  record.focusRow = -1;
  record.focusColumn = -1;
  return 1;
}

void RemoveAllRows(DataGridRecord& record) {
  record.rows.clear();
  record.rowCount = 0;
  record.clickedRow = -1;
}

int SetCellTextAt(DataGridRecord& record, int row, int column, const char* text) {
  if (!CellInRange(record, row, column) || !text) return 0;
  record.rows[row].cells[column] = text[0] ? text : " ";
  return 1;
}

int SetCellAt(DataGridRecord& record, int row, int column, const char* text, uint32_t format,
              int shade) {
  if (!SetCellTextAt(record, row, column, text)) return 0;
  DataGridRow& r = record.rows[row];
  r.formats[column] = format;
  if (record.cellShadingEnabled) r.shades[column] = static_cast<uint8_t>(shade);
  return 1;
}

int GetCellTextAt(const DataGridRecord& record, int row, int column, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  if (!CellInRange(record, row, column)) return 0;
  const std::string& text = record.rows[row].cells[column];
  size_t n = text.size() < static_cast<size_t>(size - 1) ? text.size() : static_cast<size_t>(size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return 1;
}

void SetItemAt(DataGridRecord& record, const DataGridItem* item) {
  if (!item || item->kind > ItemColor || !CellInRange(record, item->row, item->column)) return;
  DataGridRow& row = record.rows[item->row];
  switch (item->kind) {
    case ItemText: SetCellTextAt(record, item->row, item->column, item->text); break;
    case ItemFormat: row.formats[item->column] = item->format; break;
    case ItemSelected: SelectRowAt(record, item->row, item->column); break;
    case ItemShade: row.shades[item->column] = item->shade; break;
    case ItemColor: row.color = item->color; break;
  }
}

void GetItemAt(const DataGridRecord& record, DataGridItem* item) {
  if (!item || item->kind > ItemColor || !CellInRange(record, item->row, item->column)) return;
  const DataGridRow& row = record.rows[item->row];
  switch (item->kind) {
    case ItemText:
      if (item->text && item->textSize > 0)
        GetCellTextAt(record, item->row, item->column, item->text,
                      item->textSize > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(item->textSize));
      break;
    case ItemFormat: item->format = row.formats[item->column]; break;
    case ItemSelected: item->selected = row.selected; break;
    case ItemShade: item->shade = row.shades[item->column]; break;
    case ItemColor: item->color = row.color; break;
  }
}

int SetRowColorAt(DataGridRecord& record, int row, GridColor color) {
  if (!RowInRange(record, row)) return 0;
  record.rows[row].color = color;
  return 1;
}

void SelectRowAt(DataGridRecord& record, int row, int column) {
  for (int r = 0; r < record.rowCount; ++r) {
    record.rows[r].selected = r == row;
    if (r == row) {
      record.focusRow = row;
      record.focusColumn = column;
    }
  }
}

void FocusFirstSelectedAt(DataGridRecord& record, int column) {
  for (int r = 0; r < record.rowCount; ++r) {
    if (!record.rows[r].selected) continue;
    record.focusRow = r;
    record.focusColumn = column;
    return;
  }
}

// A focus row can outlive its row (DeleteAllRows keeps it), so moves check it
// against the current rows before touching them.
int HasFocusRow(const DataGridRecord& record) { return RowInRange(record, record.focusRow); }

void MoveFocusDownAt(DataGridRecord& record) {
  if (!HasFocusRow(record) || record.focusRow == record.rowCount - 1) return;
  record.rows[record.focusRow].selected = 0;
  ++record.focusRow;
  record.rows[record.focusRow].selected = 1;
}

void MoveFocusUpAt(DataGridRecord& record) {
  if (!HasFocusRow(record) || record.focusRow == 0) return;
  record.rows[record.focusRow].selected = 0;
  --record.focusRow;
  record.rows[record.focusRow].selected = 1;
}

int MoveFocusRightAt(DataGridRecord& record) {
  int last = record.columnCount - 1;
  record.focusColumn = record.focusColumn >= last ? last : record.focusColumn + 1;
  return record.focusColumn;
}

int MoveFocusLeftAt(DataGridRecord& record) {
  record.focusColumn = record.focusColumn <= 0 ? 0 : record.focusColumn - 1;
  return record.focusColumn;
}

namespace {

struct RowOrder {
  DataGridRecord& record;
  int column;
  GridCompareFunction compare;

  bool Less(int a, int b) const {
    return compare(record.rows[a].cells[column].c_str(), record.rows[b].cells[column].c_str(),
                   column) < 0;
  }
};

// Restores the max-heap property below node 'root' within rows [0, end).
void SiftDown(const RowOrder& order, int root, int end) {
  for (;;) {
    int child = 2 * root + 1;
    if (child >= end) return;
    if (child + 1 < end && order.Less(child, child + 1)) ++child;
    if (!order.Less(root, child)) return;
    std::swap(order.record.rows[root], order.record.rows[child]);
    root = child;
  }
}

}  // namespace

void HeapSortRows(DataGridRecord& record, int column, GridCompareFunction compare) {
  if (!compare || !ColumnInRange(record, column)) return;
  RowOrder order{record, column, compare};
  int n = record.rowCount;
  for (int root = n / 2 - 1; root >= 0; --root) SiftDown(order, root, n);
  for (int end = n - 1; end > 0; --end) {
    std::swap(record.rows[0], record.rows[end]);
    SiftDown(order, 0, end);
  }
}

void RefocusAfterSort(DataGridRecord& record) {
  for (int r = 0; r < record.rowCount; ++r) {
    if (record.rows[r].selected) {
      record.focusRow = r;
      return;
    }
  }
}

int ReorderRowsAt(DataGridRecord& record, const std::vector<int>& order) {
  if (order.size() != static_cast<size_t>(record.rowCount)) return 0;
  std::vector<int> place(order.size(), -1);  // new place of each present row
  for (size_t k = 0; k < order.size(); ++k) {
    const int from = order[k];
    if (from < 0 || from >= record.rowCount || place[from] >= 0) return 0;
    place[from] = static_cast<int>(k);
  }
  std::vector<DataGridRow> rows;
  rows.reserve(order.size());
  for (int from : order) rows.push_back(std::move(record.rows[from]));
  record.rows.swap(rows);
  if (HasFocusRow(record)) record.focusRow = place[record.focusRow];
  if (record.clickedRow >= 0 && record.clickedRow < record.rowCount) record.clickedRow = place[record.clickedRow];
  return 1;
}
