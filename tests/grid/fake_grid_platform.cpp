#include "fake_grid_platform.h"

#include <cstdint>

#include "grid/grid_registry.h"

namespace {

FakeGridWorld g_world;

void Notify(GridWindow parent, GridWindow grid, int code) {
  g_world.notifications.push_back({parent, grid, code});
}

void Repaint(GridWindow, bool erase) {
  ++g_world.repaints;
  if (erase) ++g_world.erasingRepaints;
}

GridClientSize ClientSize(GridWindow) {
  int width = g_world.clientWidth - (g_world.bars[GridBarVert].shown ? g_world.barThickness : 0);
  int height = g_world.clientHeight - (g_world.bars[GridBarHorz].shown ? g_world.barThickness : 0);
  return {width, height};
}

// Created fonts are numbered from 1; the two fixed fonts lie far above.
GridTextMetrics Measure(GridWindow, GridObject font, const char*) {
  if (font == kFakeHeaderFont) return g_world.headerMetrics;
  if (font == kFakeCellFont) return g_world.cellMetrics;
  uintptr_t n = reinterpret_cast<uintptr_t>(font);
  if (n >= 1 && n <= g_world.createdFonts.size()) return g_world.createdFonts[n - 1];
  return {0, 0};
}

int ScrollPos(GridWindow, int bar) { return g_world.bars[bar].position; }

// Clamped to 0 .. maximum - page + 1, like a window's scroll bar.
void SetScrollPos(GridWindow, int bar, int position) {
  FakeScrollBar& b = g_world.bars[bar];
  int last = b.maximum - (b.page > 0 ? b.page - 1 : 0);
  if (position > last) position = last;
  if (position < 0) position = 0;
  b.position = position;
}

void ShowScrollBar(GridWindow, int bar, const GridScrollRange* range) {
  FakeScrollBar& b = g_world.bars[bar];
  b.shown = range != nullptr;
  if (!range) return;
  b.maximum = range->maximum;
  b.page = range->page;
  SetScrollPos(nullptr, bar, range->position);
}

void HideEditor(GridWindow) { ++g_world.editorHides; }

void SetEditorFont(GridWindow, GridObject font) { g_world.editorFont = font; }

GridObject CreateFont(const GridLogFont& description) {
  int height = description.lfHeight < 0 ? -description.lfHeight : description.lfHeight;
  g_world.createdFonts.push_back({height, 3});
  ++g_world.fontsCreated;
  return reinterpret_cast<GridObject>(static_cast<uintptr_t>(g_world.fontsCreated));
}

void DeleteObject(GridObject) { ++g_world.objectsDeleted; }

const GridPlatform kFake = {Notify,        Repaint,    ClientSize,    Measure,
                            ScrollPos,     SetScrollPos, ShowScrollBar, HideEditor,
                            SetEditorFont, CreateFont,   DeleteObject};

}  // namespace

const GridObject kFakeHeaderFont = reinterpret_cast<GridObject>(static_cast<uintptr_t>(0x7000));
const GridObject kFakeCellFont = reinterpret_cast<GridObject>(static_cast<uintptr_t>(0x7100));

void GiveFakeFonts(GridWindow grid) {
  DataGridRecord* record = FindGridRecord(grid);
  record->headerFont = kFakeHeaderFont;
  record->cellFont = kFakeCellFont;
}

std::vector<int> FakeGridWorld::Codes() const {
  std::vector<int> codes;
  for (const FakeNotification& n : notifications) codes.push_back(n.code);
  return codes;
}

void FakeGridWorld::Clear() { *this = FakeGridWorld(); }

FakeGridPlatform::FakeGridPlatform() : world(g_world) {
  g_world.Clear();
  SetGridPlatform(&kFake);
}

FakeGridPlatform::~FakeGridPlatform() { SetGridPlatform(nullptr); }

GridWindow FakeWindow(int n) {
  return reinterpret_cast<GridWindow>(static_cast<uintptr_t>(0x1000 + 16 * n));
}
