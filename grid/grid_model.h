// Storage, selection, focus and sorting of one grid record. Pure functions of
// the record: they neither notify nor repaint; CDataGrid adds both.
// Index arguments are checked against both bounds; results are 1/0.
#pragma once

#include "grid/grid_types.h"

// Column count as Create takes it: above 999 becomes kMaxColumns.
int ClampColumnCount(int requested);
// Gives the record its columns, each with title " ", width 50, format 0.
void InitColumns(DataGridRecord& record, int requestedCount);

int SetColumnAt(DataGridRecord& record, int column, const char* title, int width, uint32_t format);
int AppendRow(DataGridRecord& record, const char* text, uint32_t format);
int RemoveRow(DataGridRecord& record, int row);
void RemoveAllRows(DataGridRecord& record);
int SetCellTextAt(DataGridRecord& record, int row, int column, const char* text);
int SetCellAt(DataGridRecord& record, int row, int column, const char* text, uint32_t format,
              int shade);
int GetCellTextAt(const DataGridRecord& record, int row, int column, char* buffer, int size);
void SetItemAt(DataGridRecord& record, const DataGridItem* item);
void GetItemAt(const DataGridRecord& record, DataGridItem* item);
int SetRowColorAt(DataGridRecord& record, int row, GridColor color);

void SelectRowAt(DataGridRecord& record, int row, int column);
void FocusFirstSelectedAt(DataGridRecord& record, int column);
int HasFocusRow(const DataGridRecord& record);
void MoveFocusDownAt(DataGridRecord& record);
void MoveFocusUpAt(DataGridRecord& record);
int MoveFocusRightAt(DataGridRecord& record);
int MoveFocusLeftAt(DataGridRecord& record);

// Ascending heap sort of whole rows by the texts of one column. Not stable.
void HeapSortRows(DataGridRecord& record, int column, GridCompareFunction compare);
// Puts whole rows in the order given: order[k] is the present index of the row
// that goes to place k. The focus stays on its row. 0, and nothing changed, when
// order is not a permutation of the rows.
int ReorderRowsAt(DataGridRecord& record, const std::vector<int>& order);
// After a sort: the first selected row becomes the focus row, if any.
void RefocusAfterSort(DataGridRecord& record);
