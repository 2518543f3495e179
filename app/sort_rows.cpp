// Sorting the view by a column title: the grid's rows and the tables kept
// beside them (kinds, marks, offsets, places in the listing) move together, so
// marking, extracting and deleting after a sort act on the right entries.
#include <vector>

#include "app/app_internal.h"
#include "app/row_order.h"

namespace vellum {
namespace app {
namespace {

template <class T>
void Permute(T* table, const std::vector<int>& order) {
    std::vector<T> before(table, table + order.size());
    for (size_t k = 0; k < order.size(); ++k) table[k] = before[static_cast<size_t>(order[k])];
}

}  // namespace

void SortRows(AppContext& context, int column) {
    AppState& s = context.state;
    const int rows = s.grid.GetRowCount();
    if (column < 0 || column > 4 || rows <= 0 || static_cast<uint32_t>(rows) != s.listed_rows) return;
    s.sort_descending = column == s.sort_column ? !s.sort_descending : 0;
    s.sort_column = column;
    std::vector<std::string> keys(static_cast<size_t>(rows));
    std::vector<bool> pinned(static_cast<size_t>(rows));
    char text[kTextSize];
    for (int r = 0; r < rows; ++r) {
        s.grid.GetCellText(r, column, text, kTextSize);
        keys[r] = text;
        pinned[r] = s.row_kind[r] == kRowParent;  // the " .." row stays on top
    }
    const std::vector<int> order = SortOrder(keys, pinned, s.sort_descending != 0);
    if (!s.grid.ReorderRows(order)) return;
    Permute(s.row_kind, order);
    Permute(s.row_marks, order);
    Permute(s.row_offsets, order);  // row_offsets[listed rows], the archive's end, stays
    Permute(s.row_ends, order);
    Permute(s.row_source, order);
    s.grid.Refresh();
}

}  // namespace app
}  // namespace vellum
