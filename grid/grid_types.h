// Records of the data grid: columns, rows, the per-grid record and the item
// exchange record. Platform-free: window-system objects are held as opaque
// handles so that the logic compiles and is tested without a window system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#ifdef _WIN32
using GridWindow = HWND;
using GridLogFont = LOGFONTA;
#else
struct GridWindowObject;
using GridWindow = GridWindowObject*;
// Same fields and layout as the window system's font description.
struct GridLogFont {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[32];
};
#endif

// Font, brush, pen, bitmap and device context handles, opaque to the logic.
using GridObject = void*;
using GridColor = uint32_t;  // 0x00BBGGRR

// Text comparison used by SortByColumn: negative, 0 or positive.
using GridCompareFunction = int (*)(const char* first, const char* second, int column);

constexpr int kMaxGrids = 10;
constexpr int kMaxColumns = 1000;
constexpr int kMaxRows = 16384;
constexpr int kTitleSize = 1024;   // a title keeps at most 1023 characters
constexpr int kEditorTextSize = 1024;

constexpr GridColor kDefaultRowColor = 0xFFFFFF;
constexpr GridColor kBackgroundColor = 0xFFFFFF;
constexpr GridColor kGridLineColor = 0xD2D2D2;
constexpr GridColor kSelectedFillColor = 0xFAE6DC;
constexpr GridColor kSelectedTextColor = 0x828282;
constexpr GridColor kShadedFillColor = 0xDCDCDC;

// Notification codes, sent to the parent in the high word of WM_COMMAND's wParam.
enum GridNotification {
  NotifySelectionChanged = 1,
  NotifyCellEdited = 2,
  NotifyRowAdded = 3,
  NotifyRowDeleted = 4,
  NotifyColumnResized = 5,
  NotifyHeaderClicked = 6,
  NotifySortBegin = 7,
  NotifySortEnd = 8,
};

// Kinds of DataGridItem.
enum GridItemKind : uint32_t {
  ItemText = 0,
  ItemFormat = 1,
  ItemSelected = 2,
  ItemShade = 3,
  ItemColor = 4,
};

struct DataGridColumn {
  char title[kTitleSize];
  int32_t width;
  uint32_t format;  // DrawText alignment: 0 left, 1 centre, 2 right
  uint8_t pressed;
};

// Every row holds exactly column-count cells, formats and shade flags.
struct DataGridRow {
  std::vector<std::string> cells;
  std::vector<uint32_t> formats;
  uint8_t selected;
  std::vector<uint8_t> shades;
  GridColor color;
};

struct DataGridItem {
  uint32_t kind;
  int32_t row;
  int32_t column;
  char* text;
  uint32_t textSize;
  uint32_t format;
  uint8_t selected;
  uint8_t shade;
  GridColor color;
};

struct DataGridRecord {
  GridWindow gridWindow = nullptr;
  GridWindow parentWindow = nullptr;
  std::vector<DataGridColumn> columns;
  std::vector<DataGridRow> rows;
  int32_t columnCount = 0;
  int32_t rowCount = 0;
  int32_t hitColumn = -1;
  int32_t clickedRow = -1;
  int32_t focusColumn = -1;
  int32_t focusRow = -1;
  uint8_t overBorder = 0;
  uint8_t resizing = 0;
  uint8_t headerPressed = 0;
  GridObject headerFont = nullptr;
  GridObject cellFont = nullptr;
  GridLogFont headerLogFont{};
  GridLogFont cellLogFont{};
  GridObject backgroundBrush = nullptr;
  GridObject gridLinePen = nullptr;
  GridObject offscreenBitmap = nullptr;
  GridObject offscreenDC = nullptr;
  GridObject replacedBitmap = nullptr;
  GridWindow editorWindow = nullptr;
  int32_t editorLeft = 0;
  int32_t editorTop = 0;
  int32_t editorRight = 0;
  int32_t editorBottom = 0;
  uint8_t editing = 0;
  uint8_t cellShadingEnabled = 1;
  uint8_t buttonHeaders = 1;
  uint8_t columnResizeEnabled = 1;
  uint8_t gridLines = 1;
  GridCompareFunction compareFunction = nullptr;
  GridColor headerTextColor = 0;
  GridColor cellTextColor = 0;
  DataGridRecord* next = nullptr;  // registry link
};
