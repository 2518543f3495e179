// Marking rows for a command: a marked row is painted blue, an unmarked one by
// its kind. Only file and folder rows can be marked; the parent row never is.
#include "app/app_internal.h"

namespace vellum {
namespace app {

GridColor RowColour(uint8_t kind) { return kind == kRowFile ? kColourFile : kColourFolder; }

static bool Markable(const AppState& state, uint32_t row) {
    return row < state.listed_rows &&
           (state.row_kind[row] == kRowFile || state.row_kind[row] == kRowFolder);
}

void MarkRow(AppContext& context, uint32_t row) {
    AppState& s = context.state;
    if (!Markable(s, row) || s.row_marks[row]) return;
    s.grid.SetRowColor(static_cast<int>(row), kColourMarked);
    s.grid.Refresh();
    s.selected_count += 1;
    s.row_marks[row] = 1;
}

void UnmarkRow(AppContext& context, uint32_t row) {
    AppState& s = context.state;
    if (!Markable(s, row) || !s.row_marks[row]) return;
    s.grid.SetRowColor(static_cast<int>(row), RowColour(s.row_kind[row]));
    s.grid.Refresh();
    s.selected_count -= 1;
    s.row_marks[row] = 0;
}

void MarkAll(AppContext& context) {
    AppState& s = context.state;
    if (s.listed_rows == 0) return;
    uint32_t marked = 0;
    for (uint32_t r = 0; r < s.listed_rows; ++r) {
        if (Markable(s, r)) {
            s.grid.SetRowColor(static_cast<int>(r), kColourMarked);
            s.row_marks[r] = 1;
        }
        marked += s.row_marks[r];
    }
    s.selected_count = marked;
    s.grid.Refresh();
}

void ResetMarks(AppContext& context) {
    AppState& s = context.state;
    for (uint32_t r = 0; r < s.listed_rows; ++r) {
        s.grid.SetRowColor(static_cast<int>(r), RowColour(s.row_kind[r]));
        s.row_marks[r] = 0;
    }
    s.selected_count = 0;
    s.grid.Refresh();
}

void ClearRows(AppContext& context) {
    AppState& s = context.state;
    for (uint32_t r = 0; r < s.listed_rows; ++r) s.row_marks[r] = 0;
    s.listed_rows = 0;
    s.selected_count = 0;
    s.entry_count = 0;
    s.sort_column = -1;
    s.sort_descending = 0;
    s.grid.DeleteAllRows();
}

}  // namespace app
}  // namespace vellum
