// Painting: cells, then the column titles over them, into the off-screen
// surface; the screen receives the finished picture in one BitBlt.
#include "grid/grid_registry.h"
#include "grid/grid_win32.h"
#include "platform/wide_text.h"

namespace {

constexpr UINT kTextFlags = DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS;

RECT ToRect(const GridRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// Cell texts and titles are UTF-8; the system draws them from UTF-16, so every
// character is drawn as itself whatever the process's code page.
void DrawGridText(HDC dc, const char* text, RECT rc, UINT format) {
  DRAWTEXTPARAMS params{};
  params.cbSize = sizeof params;  // 20
  params.iTabLength = 0;
  params.iLeftMargin = 5;
  params.iRightMargin = 5;
  std::wstring wide = vellum::utf8_to_wide(text);
  // Without DT_MODIFYSTRING the text is only read.
  DrawTextExW(dc, &wide[0], static_cast<int>(wide.size()), &rc, format | kTextFlags, &params);
}

// Fills and outlines with the pen already selected (grid line or white).
void FillCell(HDC dc, const RECT& rc, COLORREF fill) {
  HBRUSH brush = CreateSolidBrush(fill);
  HGDIOBJ old = SelectObject(dc, brush);
  Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
  SelectObject(dc, old);
  DeleteObject(brush);
}

void PaintCell(HDC dc, const DataGridRecord& record, int row, int column, const RECT& rc) {
  const DataGridRow& r = record.rows[row];
  const char* text = r.cells[column].c_str();
  if (r.selected) {
    FillCell(dc, rc, kSelectedFillColor);
    COLORREF old = SetTextColor(dc, kSelectedTextColor);
    DrawGridText(dc, text, rc, r.formats[column]);
    SetTextColor(dc, old);
  } else {
    FillCell(dc, rc, r.shades[column] ? kShadedFillColor : r.color);
    DrawGridText(dc, text, rc, r.formats[column]);
  }
  if (row == record.focusRow && column == record.focusColumn) {
    RECT focus = {rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace

void ReleaseOffscreenSurface(DataGridRecord& record) {
  HDC dc = static_cast<HDC>(record.offscreenDC);
  if (dc) {
    SelectObject(dc, static_cast<HGDIOBJ>(record.replacedBitmap));
    DeleteDC(dc);
  }
  if (record.offscreenBitmap) DeleteObject(static_cast<HGDIOBJ>(record.offscreenBitmap));
  record.offscreenDC = nullptr;
  record.offscreenBitmap = nullptr;
  record.replacedBitmap = nullptr;
}

void RemakeOffscreenSurface(HWND hwnd, DataGridRecord& record) {
  ReleaseOffscreenSurface(record);
  RECT rc{};
  GetClientRect(hwnd, &rc);
  int width = rc.right > 0 ? rc.right : 1;
  int height = rc.bottom > 0 ? rc.bottom : 1;
  HDC windowDC = GetDC(hwnd);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDC, width, height);
  HDC memoryDC = CreateCompatibleDC(windowDC);
  record.replacedBitmap = SelectObject(memoryDC, bitmap);
  record.offscreenBitmap = bitmap;
  record.offscreenDC = memoryDC;
  ReleaseDC(hwnd, windowDC);
  // A new bitmap holds no defined picture; start from the background.
  ClearOffscreenSurface(hwnd, record);
}

void ClearOffscreenSurface(HWND hwnd, const DataGridRecord& record) {
  if (!record.offscreenDC) return;
  RECT rc{};
  GetClientRect(hwnd, &rc);
  FillRect(static_cast<HDC>(record.offscreenDC), &rc, static_cast<HBRUSH>(record.backgroundBrush));
}

void PaintCells(HWND hwnd) {
  DataGridRecord* record = FindGridRecord(hwnd);
  if (!record || !record->offscreenDC) return;
  HDC dc = static_cast<HDC>(record->offscreenDC);
  GridLayout layout = MeasureGridLayout(*record);
  HGDIOBJ oldFont = SelectObject(dc, static_cast<HFONT>(record->cellFont));
  HPEN white = CreatePen(PS_SOLID, 1, 0xFFFFFF);
  HGDIOBJ oldPen =
      SelectObject(dc, record->gridLines ? static_cast<HGDIOBJ>(record->gridLinePen) : white);
  COLORREF oldColor = SetTextColor(dc, record->cellTextColor);
  SetBkMode(dc, TRANSPARENT);

  int end = EndPaintRow(*record, layout);
  for (int row = FirstPaintRow(layout); row < end; ++row) {
    for (int column = 0; column < record->columnCount; ++column) {
      GridRect cell = CellRect(*record, layout, row, column);
      if (!CellNeedsPaint(layout, cell)) continue;
      PaintCell(dc, *record, row, column, ToRect(cell));
    }
  }

  SelectObject(dc, oldPen);
  DeleteObject(white);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, OPAQUE);
  SelectObject(dc, oldFont);
}

void PaintHeaders(HWND hwnd) {
  DataGridRecord* record = FindGridRecord(hwnd);
  if (!record || !record->offscreenDC) return;
  HDC dc = static_cast<HDC>(record->offscreenDC);
  GridLayout layout = MeasureGridLayout(*record);
  HGDIOBJ oldFont = SelectObject(dc, static_cast<HFONT>(record->headerFont));
  COLORREF oldColor = SetTextColor(dc, record->headerTextColor);
  SetBkMode(dc, TRANSPARENT);
  for (int column = 0; column < record->columnCount; ++column) {
    const DataGridColumn& c = record->columns[column];
    RECT rc = ToRect(HeaderPaintRect(*record, layout, column));
    if (record->buttonHeaders)
      DrawFrameControl(dc, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (c.pressed ? DFCS_FLAT : 0));
    else
      DrawEdge(dc, &rc, EDGE_ETCHED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    DrawGridText(dc, c.title, rc, c.format);
  }
  SetTextColor(dc, oldColor);
  SetBkMode(dc, OPAQUE);
  SelectObject(dc, oldFont);
}

void PaintGridTo(HWND hwnd, HDC target) {
  DataGridRecord* record = FindGridRecord(hwnd);
  if (!record) return;
  if (!record->offscreenDC) RemakeOffscreenSurface(hwnd, *record);
  PaintCells(hwnd);
  PaintHeaders(hwnd);
  RECT rc{};
  GetClientRect(hwnd, &rc);
  BitBlt(target, 0, 0, rc.right, rc.bottom, static_cast<HDC>(record->offscreenDC), 0, 0, SRCCOPY);
}
