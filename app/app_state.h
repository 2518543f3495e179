// AppState: the one process-wide record behind the main window. Fixed-capacity
// texts and per-row tables; filling a view allocates nothing here. Row r of the
// grid and entry r of each per-row table describe the same row; the tables hold
// kMaxRows rows, the grid's limit, and rows beyond it are dropped like the grid
// drops them.
#pragma once

#include <cstdint>

#include "archive/format.h"
#include "grid/data_grid.h"
#include "grid/grid_types.h"

namespace vellum {
namespace app {

constexpr int kTextSize = 1024;       // every path: at most 1023 characters
constexpr int kTitleTextSize = 1000;  // title and class name
constexpr int kRowCapacity = kMaxRows;

constexpr uint8_t kRowFile = 0;
constexpr uint8_t kRowFolder = 1;
constexpr uint8_t kRowParent = 2;  // the " .." row of the folder view

constexpr GridColor kColourFile = 0xFFFFFF;
constexpr GridColor kColourFolder = 0xBEFFFF;  // folder and parent rows
constexpr GridColor kColourMarked = 0xF55649;

struct AppState {
    // Window-system handles, kept here for the window side and opaque to the
    // logic (an instance, window, bitmap or drawing-context handle each).
    void* instance = nullptr;
    void* main_window = nullptr;
    int32_t show_mode = 0;
    char title[kTitleTextSize] = {};
    char class_name[kTitleTextSize] = {};

    // The one grid of the program.
    CDataGrid grid;

    void* toolbar_buttons[8] = {};
    void* filler_button = nullptr;
    void* toolbar_images[15] = {};
    void* progress_window = nullptr;
    void* progress_dc = nullptr;

    // The display's dots per inch: every position and width is given for 96 and
    // scales with it (Scaled).
    int32_t dpi = 96;

    uint8_t archive_view = 0;  // 1 while the grid shows the archive's entries
    uint8_t solid = 0;         // the program's mode: 0 normal, 1 solid
    uint8_t buffer_setting = kDefaultBufferSetting;  // 0..kMaxBufferSetting (block_size_for_setting)
    uint8_t busy = 0;          // 1 while a file dialog or the folder chooser is open
    uint8_t strong = 0;        // Options > Strong compression: compress with the strong codec

    char current_folder[kTextSize] = {};      // the folder the folder view shows
    char chosen_folder[kTextSize] = {};       // folder chooser result, trailing backslash
    char parent_folder[kTextSize] = {};       // work text for going up
    char folder_to_compress[kTextSize] = {};  // "Compress single Folder"'s chooser result
    char archive_path[kTextSize] = {};        // the open or target archive
    char saved_archive_path[kTextSize] = {};  // before "Open Archive" asked anew
    char source_file[kTextSize] = {};         // "Compress single File"'s dialog result

    uint32_t listed_rows = 0;  // rows the program put into the grid since it was emptied
    uint8_t row_kind[kRowCapacity] = {};
    uint8_t row_marks[kRowCapacity] = {};
    uint32_t selected_count = 0;  // always the number of marks that are 1
    // Archive view: row offsets[r] is the offset of row r's first record, and
    // row offsets[listed rows] the end of the last row's records, so row r covers
    // [row_offsets[r], row_offsets[r + 1]).
    uint64_t row_offsets[kRowCapacity + 1] = {};
    // Beside the described tables, so that they follow the rows through sorting:
    // the end of row r's records (row_offsets[r + 1] until the rows are sorted),
    // and the row's place in the listing it came from.
    uint64_t row_ends[kRowCapacity] = {};
    uint32_t row_source[kRowCapacity] = {};
    int32_t sort_column = -1;     // the column the rows were last sorted by; -1: as listed
    uint8_t sort_descending = 0;  // 1 after a second click on the same column
    uint64_t entry_count = 0;  // records counted by the last listing
    uint32_t double_click_row = 0;

    // Per command (the core's totals are copied here for the summaries).
    uint64_t start_time = 0;  // Ui::ClockMs at the command's start
    uint32_t files_processed = 0;
    uint64_t processed_total = 0;
    uint64_t compressed_total = 0;
};

// A position or width given for 96 dots per inch, at dpi (rounded).
inline int ScaledFor(int dpi, int pixels) {
    return dpi == 96 ? pixels : (pixels * dpi + (pixels >= 0 ? 48 : -48)) / 96;
}
inline int Scaled(const AppState& state, int pixels) { return ScaledFor(state.dpi, pixels); }

}  // namespace app
}  // namespace vellum
