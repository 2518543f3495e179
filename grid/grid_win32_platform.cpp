// GridPlatform on the window system.
#include <cstring>

#include "grid/grid_platform.h"
#include "grid/grid_win32.h"

namespace {

void Notify(HWND parent, HWND grid, int code) {
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(0, code), reinterpret_cast<LPARAM>(grid));
}

void Repaint(HWND grid, bool erase) {
  InvalidateRect(grid, nullptr, erase ? TRUE : FALSE);
  UpdateWindow(grid);
}

GridClientSize ClientSize(HWND grid) {
  RECT rc{};
  GetClientRect(grid, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

GridTextMetrics MeasureFont(HWND grid, GridObject font, const char* sample) {
  HDC dc = GetDC(grid);
  HGDIOBJ old = font ? SelectObject(dc, static_cast<HFONT>(font)) : nullptr;
  SIZE extent{};
  GetTextExtentPointA(dc, sample, static_cast<int>(std::strlen(sample)), &extent);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  if (old) SelectObject(dc, old);
  ReleaseDC(grid, dc);
  return {extent.cy, metrics.tmInternalLeading};
}

int ScrollPos(HWND grid, int bar) { return GetScrollPos(grid, bar); }

void SetPos(HWND grid, int bar, int position) { SetScrollPos(grid, bar, position, TRUE); }

void ShowBar(HWND grid, int bar, const GridScrollRange* range) {
  if (!range) {
    ShowScrollBar(grid, bar, FALSE);
    return;
  }
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
  si.nMin = 0;
  si.nMax = range->maximum;
  si.nPage = static_cast<UINT>(range->page);
  si.nPos = range->position;
  si.nTrackPos = 0;
  SetScrollInfo(grid, bar, &si, TRUE);
  ShowScrollBar(grid, bar, TRUE);
}

void HideEditor(HWND editor) { ShowWindow(editor, SW_HIDE); }

void SetEditorFont(HWND editor, GridObject font) {
  SendMessageA(editor, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

GridObject CreateFontObject(const GridLogFont& description) {
  return CreateFontIndirectA(&description);
}

void DeleteGdiObject(GridObject object) { DeleteObject(static_cast<HGDIOBJ>(object)); }

const GridPlatform kWin32Platform = {
    Notify, Repaint,    ClientSize,    MeasureFont,      ScrollPos,      SetPos,
    ShowBar, HideEditor, SetEditorFont, CreateFontObject, DeleteGdiObject,
};

}  // namespace

void InstallWin32GridPlatform() { SetGridPlatform(&kWin32Platform); }
