// The platform-free members of CDataGrid and the by-handle operations. Every
// window-system effect (notifications, repaints, scroll bars, fonts) goes
// through the GridPlatform table.
#include "grid/data_grid.h"

#include <cstring>

#include "grid/grid_model.h"
#include "grid/grid_platform.h"
#include "grid/grid_registry.h"

namespace {

const GridPlatform& Platform() { return CurrentGridPlatform(); }

void Repaint(const DataGridRecord& record, bool erase) {
  Platform().repaint(record.gridWindow, erase);
}

void SetScrollPositions(const DataGridRecord& record, int hpos, int vpos) {
  Platform().setScrollPos(record.gridWindow, GridBarHorz, hpos);
  Platform().setScrollPos(record.gridWindow, GridBarVert, vpos);
}

void ApplyScrollPlan(const DataGridRecord& record, int bar, const GridScrollPlan& plan) {
  if (!plan.show) {
    Platform().showScrollBar(record.gridWindow, bar, nullptr);
    return;
  }
  GridScrollRange range{plan.maximum, plan.page, plan.position};
  Platform().showScrollBar(record.gridWindow, bar, &range);
}

// Showing or hiding one bar changes the client extent the other is sized
// from, so the pair is sized again until the client size holds still (at
// most three rounds: each bar can appear only once).
void UpdateScrollBarsOf(const DataGridRecord& record) {
  for (int round = 0; round < 3; ++round) {
    GridLayout before = MeasureGridLayout(record);
    ApplyScrollPlan(record, GridBarHorz, HorizontalScrollPlan(record, before));
    GridLayout layout = MeasureGridLayout(record);
    ApplyScrollPlan(record, GridBarVert, VerticalScrollPlan(record, layout));
    GridLayout after = MeasureGridLayout(record);
    if (after.clientWidth == before.clientWidth && after.clientHeight == before.clientHeight) return;
  }
}

void ScrollToFocusRowOf(const DataGridRecord& record) {
  if (record.focusRow < 0 || record.focusColumn < 0) return;
  GridLayout layout = MeasureGridLayout(record);
  int vpos = VposForRow(layout, record.focusRow);
  if (vpos != layout.vpos) Platform().setScrollPos(record.gridWindow, GridBarVert, vpos);
}

void ScrollToFocusColumnOf(const DataGridRecord& record) {
  if (record.focusRow < 0 || record.focusColumn < 0) return;
  GridLayout layout = MeasureGridLayout(record);
  int hpos = HposForColumn(record, layout, record.focusColumn);
  if (hpos != layout.hpos) Platform().setScrollPos(record.gridWindow, GridBarHorz, hpos);
}

GridObject ReplaceFont(GridObject old, const GridLogFont& description) {
  if (old) Platform().deleteObject(old);
  return Platform().createFont(description);
}

}  // namespace

// ---- by-handle operations ------------------------------------------------------

GridLayout MeasureGridLayout(const DataGridRecord& record) {
  const GridPlatform& p = Platform();
  const char* sample = record.columnCount > 0 ? record.columns[0].title : " ";
  GridTextMetrics header = p.measureFont(record.gridWindow, record.headerFont, sample);
  GridTextMetrics cell = p.measureFont(record.gridWindow, record.cellFont, sample);
  GridClientSize client = p.clientSize(record.gridWindow);
  return MakeGridLayout(header.charHeight, header.internalLeading, cell.charHeight,
                        cell.internalLeading, record.buttonHeaders != 0,
                        p.scrollPos(record.gridWindow, GridBarHorz),
                        p.scrollPos(record.gridWindow, GridBarVert), client.width, client.height);
}

void NotifyGridParent(const DataGridRecord& record, int code) {
  Platform().notify(record.parentWindow, record.gridWindow, code);
}

int SetCellText(GridWindow grid, int row, int column, const char* text) {
  DataGridRecord* record = FindGridRecord(grid);
  return record ? SetCellTextAt(*record, row, column, text) : 0;
}

GridRect GetHeaderRect(GridWindow grid, int column) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return {0, 0, 0, 0};
  return HeaderLayoutRect(*record, MeasureGridLayout(*record), column);
}

GridRect GetRowRect(GridWindow grid) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return {0, 0, 0, 0};
  return FirstRowRect(*record, MeasureGridLayout(*record));
}

GridRect GetFocusCellRect(GridWindow grid) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return {0, 0, 0, 0};
  return FocusCellRect(*record, MeasureGridLayout(*record));
}

void UpdateScrollBars(GridWindow grid) {
  if (DataGridRecord* record = FindGridRecord(grid)) UpdateScrollBarsOf(*record);
}

void ScrollToFocusRow(GridWindow grid) {
  if (DataGridRecord* record = FindGridRecord(grid)) ScrollToFocusRowOf(*record);
}

void ScrollToFocusColumn(GridWindow grid) {
  if (DataGridRecord* record = FindGridRecord(grid)) ScrollToFocusColumnOf(*record);
}

void MoveFocusDown(GridWindow grid) {
  if (DataGridRecord* record = FindGridRecord(grid)) MoveFocusDownAt(*record);
}

void MoveFocusUp(GridWindow grid) {
  if (DataGridRecord* record = FindGridRecord(grid)) MoveFocusUpAt(*record);
}

int HitTestColumnBorder(GridWindow grid, int x, int y) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return 0;
  int column = FindColumnBorder(*record, MeasureGridLayout(*record), x, y);
  if (column < 0) return 0;  // a miss leaves the hit column alone
  record->hitColumn = column;
  return 1;
}

int HitTestHeader(GridWindow grid, int x, int y) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return 0;
  record->hitColumn = FindHeaderColumn(*record, MeasureGridLayout(*record), x, y);
  return record->hitColumn >= 0;
}

int HitTestCell(GridWindow grid, int x, int y) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return 0;
  record->clickedRow = -1;
  if (record->resizing) return 0;
  record->focusRow = -1;
  record->focusColumn = -1;
  for (DataGridRow& row : record->rows) row.selected = 0;
  int row = -1;
  int column = -1;
  if (!FindCell(*record, MeasureGridLayout(*record), x, y, &row, &column)) return 0;
  record->rows[row].selected = 1;
  record->focusRow = row;
  record->focusColumn = column;
  record->clickedRow = row;
  return 1;
}

int ScrollGridVertically(GridWindow grid, int code, int track) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return 0;
  GridLayout layout = MeasureGridLayout(*record);
  int vpos = layout.vpos;
  switch (code) {
    case GridLineUp: vpos -= LineScrollStep(layout); break;
    case GridLineDown: vpos += LineScrollStep(layout); break;
    case GridPageUp: vpos -= PageScrollStep(layout); break;
    case GridPageDown: vpos += PageScrollStep(layout); break;
    case GridThumbTrack: vpos = SnapVerticalThumb(layout, track); break;
    default: return 0;
  }
  Platform().setScrollPos(grid, GridBarVert, vpos);
  Repaint(*record, true);
  return 1;
}

int ScrollGridHorizontally(GridWindow grid, int code, int track) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return 0;
  int hpos = Platform().scrollPos(grid, GridBarHorz);
  switch (code) {
    case GridLineUp:
    case GridPageUp: hpos -= kHorizontalScrollStep; break;
    case GridLineDown:
    case GridPageDown: hpos += kHorizontalScrollStep; break;
    case GridThumbTrack: hpos = track; break;
    default: return 0;
  }
  Platform().setScrollPos(grid, GridBarHorz, hpos);
  Repaint(*record, true);
  return 1;
}

void ReleaseGrid(GridWindow grid) {
  DataGridRecord* record = FindGridRecord(grid);
  if (!record) return;
  const GridPlatform& p = Platform();
  GridObject objects[] = {record->headerFont, record->cellFont, record->backgroundBrush,
                          record->gridLinePen};
  for (GridObject object : objects)
    if (object) p.deleteObject(object);
  UnregisterGridRecord(grid);
}

// ---- CDataGrid -------------------------------------------------------------------

CDataGrid::CDataGrid()
    : m_gridWindow(nullptr),
      m_parentWindow(nullptr),
      m_leftPercent(0),
      m_topPercent(0),
      m_widthPercent(0),
      m_heightPercent(0) {}

CDataGrid::~CDataGrid() {}

DataGridRecord* CDataGrid::Record() const {
  return m_gridWindow ? FindGridRecord(m_gridWindow) : nullptr;
}

int CDataGrid::AttachRecord(GridWindow grid, GridWindow parent, int columnCount) {
  if (!grid || FindGridRecord(grid)) return 0;
  DataGridRecord* record = RegisterGridRecord(grid, parent);
  if (!record) return 0;
  InitColumns(*record, columnCount);
  m_gridWindow = grid;
  m_parentWindow = parent;
  return 1;
}

void CDataGrid::Refresh() {
  DataGridRecord* record = Record();
  if (!record) return;
  UpdateScrollBarsOf(*record);
  Repaint(*record, true);
}

GridWindow CDataGrid::GetHWnd() const { return m_gridWindow; }

int CDataGrid::SetColumn(int column, const char* title, int width, uint32_t format) {
  DataGridRecord* record = Record();
  return record ? SetColumnAt(*record, column, title, width, format) : 0;
}

int CDataGrid::AddRow(const char* text, uint32_t format) {
  DataGridRecord* record = Record();
  if (!record || !AppendRow(*record, text, format)) return 0;
  NotifyGridParent(*record, NotifyRowAdded);
  return 1;
}

int CDataGrid::DeleteRow(int row) {
  DataGridRecord* record = Record();
  if (!record) return 0;
  int deleted = RemoveRow(*record, row);
  NotifyGridParent(*record, NotifyRowDeleted);
  return deleted;
}

void CDataGrid::DeleteAllRows() {
  DataGridRecord* record = Record();
  if (!record) return;
  if (record->rowCount > 0) {
    // An open edit is discarded, not committed: its cell is about to go.
    record->editing = 0;
    if (record->editorWindow) Platform().hideEditor(record->editorWindow);
    RemoveAllRows(*record);
    SetScrollPositions(*record, 0, 0);
    UpdateScrollBarsOf(*record);
  }
  Repaint(*record, true);
}

int CDataGrid::GetRowCount() const {
  DataGridRecord* record = Record();
  return record ? record->rowCount : 0;
}

int CDataGrid::SetCell(int row, int column, const char* text, uint32_t format, int shade) {
  DataGridRecord* record = Record();
  return record ? SetCellAt(*record, row, column, text, format, shade) : 0;
}

int CDataGrid::GetCellText(int row, int column, char* buffer, int size) const {
  DataGridRecord* record = Record();
  if (!record) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  return GetCellTextAt(*record, row, column, buffer, size);
}

void CDataGrid::SetItem(const DataGridItem* item) {
  if (DataGridRecord* record = Record()) SetItemAt(*record, item);
}

void CDataGrid::GetItem(DataGridItem* item) const {
  if (DataGridRecord* record = Record()) GetItemAt(*record, item);
}

void CDataGrid::SetRowColor(int row, GridColor color) {
  DataGridRecord* record = Record();
  if (record && SetRowColorAt(*record, row, color)) Repaint(*record, true);
}

int CDataGrid::GetSelectedRow() const {
  DataGridRecord* record = Record();
  return record ? record->focusRow : -1;
}

int CDataGrid::GetSelectedColumn() const {
  DataGridRecord* record = Record();
  return record ? record->focusColumn : -1;
}

int CDataGrid::GetHitColumn() const {
  DataGridRecord* record = Record();
  return record ? record->hitColumn : -1;
}

void CDataGrid::SelectRow(int row, int column) {
  if (DataGridRecord* record = Record()) SelectRowAt(*record, row, column);
}

void CDataGrid::FocusFirstSelected(int column) {
  if (DataGridRecord* record = Record()) FocusFirstSelectedAt(*record, column);
}

void CDataGrid::MoveFocusDown() {
  if (DataGridRecord* record = Record()) MoveFocusDownAt(*record);
}

void CDataGrid::MoveFocusUp() {
  if (DataGridRecord* record = Record()) MoveFocusUpAt(*record);
}

int CDataGrid::MoveFocusRight() {
  DataGridRecord* record = Record();
  return record ? MoveFocusRightAt(*record) : -1;
}

int CDataGrid::MoveFocusLeft() {
  DataGridRecord* record = Record();
  return record ? MoveFocusLeftAt(*record) : -1;
}

void CDataGrid::EnsureVisible() {
  DataGridRecord* record = Record();
  if (!record) return;
  ScrollToFocusRowOf(*record);
  ScrollToFocusColumnOf(*record);
}

void CDataGrid::SetCompareFunction(GridCompareFunction compare) {
  if (DataGridRecord* record = Record()) record->compareFunction = compare;
}

void CDataGrid::SortByColumn(int column) {
  DataGridRecord* record = Record();
  if (!record || !record->compareFunction) return;
  NotifyGridParent(*record, NotifySortBegin);
  HeapSortRows(*record, column, record->compareFunction);
  NotifyGridParent(*record, NotifySortEnd);
  RefocusAfterSort(*record);
  Repaint(*record, true);
}

int CDataGrid::ReorderRows(const std::vector<int>& order) {
  DataGridRecord* record = Record();
  if (!record) return 0;
  NotifyGridParent(*record, NotifySortBegin);
  if (!(record = Record())) return 0;
  const int moved = ReorderRowsAt(*record, order);
  NotifyGridParent(*record, NotifySortEnd);
  if ((record = Record())) Repaint(*record, true);
  return moved;
}

void CDataGrid::SetHeaderFont(const GridLogFont& font) {
  DataGridRecord* record = Record();
  if (!record) return;
  record->headerLogFont = font;
  record->headerFont = ReplaceFont(record->headerFont, font);
}

void CDataGrid::SetCellFont(const GridLogFont& font) {
  DataGridRecord* record = Record();
  if (!record) return;
  record->cellLogFont = font;
  record->cellFont = ReplaceFont(record->cellFont, font);
  // The editor must not keep drawing with the font just deleted.
  if (record->editorWindow) Platform().setEditorFont(record->editorWindow, record->cellFont);
}

void CDataGrid::GetHeaderFont(GridLogFont* font) const {
  DataGridRecord* record = Record();
  if (record && font) *font = record->headerLogFont;
}

void CDataGrid::GetCellFont(GridLogFont* font) const {
  DataGridRecord* record = Record();
  if (record && font) *font = record->cellLogFont;
}

void CDataGrid::SetHeaderTextColor(GridColor color) {
  DataGridRecord* record = Record();
  if (!record) return;
  record->headerTextColor = color;
  Repaint(*record, true);
}

void CDataGrid::SetCellTextColor(GridColor color) {
  DataGridRecord* record = Record();
  if (!record) return;
  record->cellTextColor = color;
  Repaint(*record, true);
}

GridColor CDataGrid::GetHeaderTextColor() const {
  DataGridRecord* record = Record();
  return record ? record->headerTextColor : 0;
}

GridColor CDataGrid::GetCellTextColor() const {
  DataGridRecord* record = Record();
  return record ? record->cellTextColor : 0;
}

void CDataGrid::ShowGridLines(int on) {
  if (DataGridRecord* record = Record()) record->gridLines = static_cast<uint8_t>(on != 0);
}

void CDataGrid::EnableColumnResize(int on) {
  if (DataGridRecord* record = Record()) record->columnResizeEnabled = static_cast<uint8_t>(on != 0);
}

void CDataGrid::EnableCellShading(int on) {
  if (DataGridRecord* record = Record()) record->cellShadingEnabled = static_cast<uint8_t>(on != 0);
}

void CDataGrid::SetButtonHeaders(int on) {
  if (DataGridRecord* record = Record()) record->buttonHeaders = static_cast<uint8_t>(on != 0);
}

int CDataGrid::GetDblClickFlag() const { return GetGridDblClickFlag(); }

void CDataGrid::SetDblClickFlag(int value) { SetGridDblClickFlag(value); }

GridPercents CDataGrid::GetPercents() const {
  return {m_leftPercent, m_topPercent, m_widthPercent, m_heightPercent};
}
