// The folder view: a parent row, one row per sub-folder, one row per file with
// its size. Rows beyond the grid's limit are dropped with the tables kept in step.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "app/app_internal.h"
#include "app/folder_view.h"
#include "app/paths.h"
#include "platform/platform.h"

namespace vellum {
namespace app {
namespace {

// Appends a row whose first cell is marker; false when the grid or the tables are full.
bool AppendRow(AppState& s, const char* marker, uint8_t kind, int* row) {
    if (s.listed_rows >= static_cast<uint32_t>(kRowCapacity)) return false;
    const int r = s.grid.GetRowCount();
    if (!s.grid.AddRow(marker, 0)) return false;
    *row = r;
    s.row_kind[s.listed_rows] = kind;
    s.row_marks[s.listed_rows] = 0;
    s.row_source[s.listed_rows] = s.listed_rows;
    s.row_offsets[s.listed_rows] = s.row_ends[s.listed_rows] = 0;
    s.listed_rows += 1;
    return true;
}

}  // namespace

std::string FileSizeText(const std::string& path) {
    // Only regular files are opened: opening a pipe or a device could wait forever.
    uint64_t regular_size = 0;
    if (!platform::file_size(path.c_str(), &regular_size)) return "-";
    FILE* file = platform::open_file(path.c_str(), "rb");
    if (!file) return "-";
    uint64_t size = 0;
    const bool known = platform::seek_to_end(file) && platform::tell(file, &size);
    std::fclose(file);
    if (!known) return "-1";
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64, size);
    return text;
}

void EnumerateFolder(const std::string& folder, FolderNames* names) {
    // The platform seam reads the folder by its path and says which names can be
    // entered, so the process's current folder is never moved by the enumeration.
    std::vector<platform::FolderItem> items;
    if (!platform::list_folder(folder.c_str(), &items)) return;
    for (const platform::FolderItem& item : items) {
        std::vector<std::string>& list = item.is_folder ? names->folders : names->files;
        if (list.size() < static_cast<size_t>(kRowCapacity)) list.push_back(item.name);
    }
}

void SetFolderColumns(AppContext& context) {
    AppState& s = context.state;
    s.grid.SetColumn(1, "Name", Scaled(s, 400), 0);
    s.grid.SetColumn(2, "Size", Scaled(s, 200), 1);
    s.grid.SetColumn(3, "Modified", Scaled(s, 200), 1);
    s.grid.SetColumn(4, "Other", Scaled(s, 800), 1);
}

bool IsArchiveName(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'v' && (tail[2] | 0x20) == 'l' && (tail[3] | 0x20) == 'm';
}

void ListFolder(AppContext& context, const std::string& folder) {
    AppState& s = context.state;
    int r = 0;
    if (AppendRow(s, "[__]", kRowParent, &r)) {
        s.grid.SetCell(r, 1, " ..", 0, 0);
        s.grid.SetCell(r, 2, "   ", 0, 0);
        s.grid.SetCell(r, 3, "   ", 0, 0);
        s.grid.SetRowColor(r, kColourFolder);
    }
    // A folder whose path does not fit the texts is refused: only the parent row.
    if (!StorePath(context, s.current_folder, folder)) return;
    // The listed folder becomes the process's current folder and stays so:
    // "Extract here" and relative paths then refer to the folder on view.
    if (!folder.empty()) context.ui.SetCurrentFolder(folder);

    FolderNames names;
    if (!folder.empty()) EnumerateFolder(folder, &names);
    for (const std::string& name : names.folders) {
        if (!AppendRow(s, "[__]", kRowFolder, &r)) return;
        s.grid.SetCell(r, 1, name.c_str(), 0, 0);
        s.grid.SetCell(r, 2, "   ", 0, 0);
        s.grid.SetCell(r, 3, "...", 0, 0);
        s.grid.SetRowColor(r, kColourFolder);
    }
    for (const std::string& name : names.files) {
        if (!AppendRow(s, " ", kRowFile, &r)) return;
        s.grid.SetCell(r, 1, name.c_str(), 0, 0);
        s.grid.SetCell(r, 2, FileSizeText(JoinFolder(folder, name)).c_str(), 0, 0);
        s.grid.SetCell(r, 3, "...", 0, 0);
    }
}

static void Relist(AppContext& context, const std::string& folder) {
    ClearRows(context);
    ListFolder(context, folder);
    context.state.grid.Refresh();
}

void OpenFolderRow(AppContext& context, uint32_t row) {
    AppState& s = context.state;
    char name[kTextSize];
    s.grid.GetCellText(static_cast<int>(row), 1, name, kTextSize);
    const std::string path = JoinFolder(s.current_folder, name);
    if (path.size() >= static_cast<size_t>(kTextSize)) {
        Show(context, text::kPathTooLong, path);
        return;
    }
    Relist(context, path);
}

void OpenArchiveRow(AppContext& context, uint32_t row) {
    AppState& s = context.state;
    char name[kTextSize];
    s.grid.GetCellText(static_cast<int>(row), 1, name, kTextSize);
    OpenArchivePath(context, JoinFolder(s.current_folder, name));
}

void ListFolderAgain(AppContext& context) { Relist(context, context.state.current_folder); }

void OpenParentRow(AppContext& context) {
    AppState& s = context.state;
    const std::string parent = ParentFolder(s.current_folder);
    CopyText(s.parent_folder, parent);  // shorter than the current folder: always fits
    if (ParentLeavesDrive(s.current_folder)) {
        ShowChosenFolder(context);
        return;
    }
    Relist(context, parent);
}

void ShowChosenFolder(AppContext& context, bool keep_view) {
    AppState& s = context.state;
    // Asked before anything changes, so that a cancel keeps what is on view.
    const std::string folder = ChooseFolder(context);
    if (folder.empty() && keep_view) return;
    SetFolderColumns(context);
    s.archive_view = 0;
    ClearRows(context);
    s.chosen_folder[0] = '\0';
    if (!folder.empty() && !StorePath(context, s.chosen_folder, WithTrailingSeparator(folder))) {
        s.grid.Refresh();
        return;
    }
    ListFolder(context, folder);
    s.grid.Refresh();
}

}  // namespace app
}  // namespace vellum
