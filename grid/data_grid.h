// CDataGrid: the program's own table control. The object is a thin handle;
// the grid's state lives in its DataGridRecord in the grid registry, found by
// the window handle. Results: 1/0 for true/false, -1 for "none".
#pragma once

#include "grid/grid_geometry.h"
#include "grid/grid_types.h"

#include <vector>

// Scroll request codes; the same values as the window system's SB_ codes.
enum GridScrollCode {
  GridLineUp = 0,     // also line left
  GridLineDown = 1,   // also line right
  GridPageUp = 2,     // also page left
  GridPageDown = 3,   // also page right
  GridThumbTrack = 5,
};

class CDataGrid {
 public:
  CDataGrid();
  // Releases nothing: the window's destruction releases the record.
  virtual ~CDataGrid();

#ifdef _WIN32
  int Create(int left, int top, int right, int bottom, HWND parent, int columnCount);
  void Resize();
  // Opens the in-place editor over the focus cell, filled with its text.
  int EditFocusCell();
#endif
  // Binds this object to a window that has no record yet and registers one
  // with columnCount columns. Create uses it; so do tests without windows.
  int AttachRecord(GridWindow grid, GridWindow parent, int columnCount);

  void Refresh();
  GridWindow GetHWnd() const;
  int SetColumn(int column, const char* title, int width, uint32_t format);
  int AddRow(const char* text, uint32_t format);
  int DeleteRow(int row);
  void DeleteAllRows();
  int GetRowCount() const;
  int SetCell(int row, int column, const char* text, uint32_t format, int shade);
  int GetCellText(int row, int column, char* buffer, int size) const;
  void SetItem(const DataGridItem* item);
  void GetItem(DataGridItem* item) const;
  void SetRowColor(int row, GridColor color);
  int GetSelectedRow() const;
  int GetSelectedColumn() const;
  int GetHitColumn() const;
  void SelectRow(int row, int column);
  void FocusFirstSelected(int column);
  void MoveFocusDown();
  void MoveFocusUp();
  int MoveFocusRight();
  int MoveFocusLeft();
  void EnsureVisible();
  void SetCompareFunction(GridCompareFunction compare);
  void SortByColumn(int column);
  // Whole rows into the order given (order[k]: the present index of the row for
  // place k), as a sort the owner worked out itself; the focus follows its row.
  // Sends NotifySortBegin and NotifySortEnd and repaints. 0 when order is not a
  // permutation of the rows.
  int ReorderRows(const std::vector<int>& order);
  void SetHeaderFont(const GridLogFont& font);
  void SetCellFont(const GridLogFont& font);
  void GetHeaderFont(GridLogFont* font) const;
  void GetCellFont(GridLogFont* font) const;
  void SetHeaderTextColor(GridColor color);
  void SetCellTextColor(GridColor color);
  GridColor GetHeaderTextColor() const;
  GridColor GetCellTextColor() const;
  void ShowGridLines(int on);
  void EnableColumnResize(int on);
  void EnableCellShading(int on);
  void SetButtonHeaders(int on);
  int GetDblClickFlag() const;
  void SetDblClickFlag(int value);

  GridPercents GetPercents() const;

 private:
  DataGridRecord* Record() const;

  GridWindow m_gridWindow;
  GridWindow m_parentWindow;
  int32_t m_leftPercent;
  int32_t m_topPercent;
  int32_t m_widthPercent;
  int32_t m_heightPercent;
};

// Operations by window handle, for the window procedure and the owner.
// A handle without a record makes each of them do nothing and fail.
int SetCellText(GridWindow grid, int row, int column, const char* text);
GridLayout MeasureGridLayout(const DataGridRecord& record);
GridRect GetHeaderRect(GridWindow grid, int column);
GridRect GetRowRect(GridWindow grid);
GridRect GetFocusCellRect(GridWindow grid);
void UpdateScrollBars(GridWindow grid);
void ScrollToFocusRow(GridWindow grid);
void ScrollToFocusColumn(GridWindow grid);
void MoveFocusDown(GridWindow grid);
void MoveFocusUp(GridWindow grid);
// Hit tests at content coordinates; they update the record as they go.
int HitTestColumnBorder(GridWindow grid, int x, int y);
int HitTestHeader(GridWindow grid, int x, int y);
int HitTestCell(GridWindow grid, int x, int y);
// One scroll step, then repaint with erase. 'track' is the thumb position.
// Returns 1 when the code is one the grid acts on.
int ScrollGridVertically(GridWindow grid, int code, int track);
int ScrollGridHorizontally(GridWindow grid, int code, int track);
// Sends a notification code to the grid's parent.
void NotifyGridParent(const DataGridRecord& record, int code);
// Releases the record and every object it owns.
void ReleaseGrid(GridWindow grid);
