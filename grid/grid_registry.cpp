#include "grid/grid_registry.h"

namespace {

// Singly linked, appended at the tail; at most kMaxGrids long, so lookups stay linear.
DataGridRecord* g_head = nullptr;
DataGridRecord* g_tail = nullptr;
int g_count = 0;
int g_dblClick = 0;

}  // namespace

DataGridRecord* RegisterGridRecord(GridWindow grid, GridWindow parent) {
  if (g_count >= kMaxGrids) return nullptr;
  DataGridRecord* record = new DataGridRecord();
  record->gridWindow = grid;
  record->parentWindow = parent;
  if (g_tail)
    g_tail->next = record;
  else
    g_head = record;
  g_tail = record;
  ++g_count;
  return record;
}

DataGridRecord* FindGridRecord(GridWindow grid) {
  for (DataGridRecord* r = g_head; r; r = r->next)
    if (r->gridWindow == grid) return r;
  return nullptr;
}

int UnregisterGridRecord(GridWindow grid) {
  DataGridRecord* previous = nullptr;
  for (DataGridRecord* r = g_head; r; previous = r, r = r->next) {
    if (r->gridWindow != grid) continue;
    if (previous)
      previous->next = r->next;
    else
      g_head = r->next;
    if (g_tail == r) g_tail = previous;
    --g_count;
    delete r;
    return 1;
  }
  return 0;
}

int GridRecordCount() { return g_count; }

int GetGridDblClickFlag() { return g_dblClick; }

void SetGridDblClickFlag(int value) { g_dblClick = value; }
