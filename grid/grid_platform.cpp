#include "grid/grid_platform.h"

namespace {

void NoNotify(GridWindow, GridWindow, int) {}
void NoRepaint(GridWindow, bool) {}
GridClientSize NoClientSize(GridWindow) { return {0, 0}; }
GridTextMetrics NoMeasure(GridWindow, GridObject, const char*) { return {0, 0}; }
int NoScrollPos(GridWindow, int) { return 0; }
void NoSetScrollPos(GridWindow, int, int) {}
void NoShowScrollBar(GridWindow, int, const GridScrollRange*) {}
void NoHideEditor(GridWindow) {}
void NoSetEditorFont(GridWindow, GridObject) {}
GridObject NoCreateFont(const GridLogFont&) { return nullptr; }
void NoDeleteObject(GridObject) {}

const GridPlatform kNoPlatform = {
    NoNotify,       NoRepaint,       NoClientSize, NoMeasure,    NoScrollPos,
    NoSetScrollPos, NoShowScrollBar, NoHideEditor, NoSetEditorFont, NoCreateFont,
    NoDeleteObject,
};

const GridPlatform* g_platform = &kNoPlatform;

}  // namespace

const GridPlatform& CurrentGridPlatform() { return *g_platform; }

void SetGridPlatform(const GridPlatform* platform) {
  g_platform = platform ? platform : &kNoPlatform;
}
