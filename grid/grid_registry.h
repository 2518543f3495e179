// The grid registry: the process-wide list of grid records, keyed by the
// grid's window handle, and the process-wide double-click flag.
#pragma once

#include "grid/grid_types.h"

// Appends a fresh record with the initial values for the given window, or
// returns null when the registry already holds kMaxGrids records.
DataGridRecord* RegisterGridRecord(GridWindow grid, GridWindow parent);
// First record whose grid window is the handle; null when there is none.
DataGridRecord* FindGridRecord(GridWindow grid);
// Unlinks the record and deletes it. The caller releases the platform objects
// it holds first. Returns 0 when the handle has no record.
int UnregisterGridRecord(GridWindow grid);
int GridRecordCount();

int GetGridDblClickFlag();
void SetGridDblClickFlag(int value);
