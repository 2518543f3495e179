// The command table: which source runs which command, which are refused while
// a dialog is open (the busy flag), and in which view each acts.
#include <cstring>

#include "app/app_internal.h"
#include "app/paths.h"
#include "codec/codec_state.h"
#include "platform/platform.h"

namespace vellum {
namespace app {

AppContext::AppContext(AppState& state_, Ui& ui_) : state(state_), ui(ui_) {}
AppContext::~AppContext() = default;

void SetUpGrid(CDataGrid& grid, int dpi) {
    grid.SetColumn(0, " OFF", ScaledFor(dpi, 40), 1);
    grid.SetColumn(1, "Name", ScaledFor(dpi, 350), 0);
    grid.SetColumn(2, "Size", ScaledFor(dpi, 200), 1);
    grid.SetColumn(3, "Modified", ScaledFor(dpi, 200), 1);
    grid.SetColumn(4, "Other", ScaledFor(dpi, 800), 1);
    GridLogFont font;
    grid.GetHeaderFont(&font);
    font.lfWeight = 700;
    grid.SetHeaderFont(font);
    grid.ShowGridLines(0);
    grid.Refresh();
}

bool StartUpArgument(const char* command_line, std::string* argument) {
    argument->clear();
    const size_t length = command_line ? std::strlen(command_line) : 0;
    if (length < 2 || command_line[length - 1] != '"' || command_line[length - 2] == '"') return false;
    size_t open = length - 2;  // the opening quote is searched from index length - 3 down
    for (;;) {
        if (open == 0) return false;
        --open;
        if (command_line[open] == '"') break;
    }
    // The quoted text is the program's own name when it opens the command line.
    if (open == 0) return false;
    argument->assign(command_line + open + 1, length - 2 - open);
    return !argument->empty();
}

std::string WindowTitle(const AppState& s) {
    const std::string title = s.title;
    if (s.archive_view && s.archive_path[0] != '\0') {
        const std::string path = s.archive_path;
        const size_t last = path.find_last_of("\\/");
        return title + " - " + (last == std::string::npos ? path : path.substr(last + 1));
    }
    if (!s.archive_view && s.current_folder[0] != '\0') return title + " - " + s.current_folder;
    return title;
}

namespace {

// After every command: the title names what the window shows.
void UpdateTitle(AppContext& context) {
    const std::string title = WindowTitle(context.state);
    if (title == context.shown_title) return;
    context.shown_title = title;
    context.ui.SetTitle(title);
}

}  // namespace

void StartUp(AppContext& context, const char* command_line) {
    AppState& s = context.state;
    CopyText(s.current_folder, context.ui.CurrentFolder());
    std::string argument;
    if (StartUpArgument(command_line, &argument)) {
        s.archive_view = 1;
        if (StorePath(context, s.archive_path, argument)) {
            OpenArchiveIntoGrid(context, s.archive_path);
            UpdateTitle(context);
            return;
        }
        s.archive_view = 0;
    }
    // At start-up even a cancelled chooser lists (the empty folder: the " .." row).
    ShowChosenFolder(context, false);
    UpdateTitle(context);
}

namespace {

void ToggleSolid(AppContext& context) {
    AppState& s = context.state;
    if (s.archive_view) return;
    s.solid = s.solid ? 0 : 1;
    ShowSolidImage(context);
}

void NextBufferSetting(AppContext& context) {
    AppState& s = context.state;
    if (s.archive_view) return;
    s.buffer_setting = s.buffer_setting >= kMaxBufferSetting ? 0 : static_cast<uint8_t>(s.buffer_setting + 1);
    ShowBufferImage(context);
}

void OpenArchiveCommand(AppContext& context) {
    AppState& s = context.state;
    CopyText(s.saved_archive_path, s.archive_path);
    const std::string path = ChooseFile(context, FileDialogKind::open);
    if (path.empty() || !StorePath(context, s.archive_path, path)) {
        CopyText(s.archive_path, s.saved_archive_path);
        return;
    }
    OpenArchiveIntoGrid(context, s.archive_path);
}

bool IsMenuCommand(int id) {
    return id == kCmdAbout || id == kCmdExit || (id >= kCmdSelectAll && id <= kCmdOpenArchive) ||
           (id >= kCmdArchiveInfo && id <= kCmdStrong) || (id >= IDK_FIRST && id <= IDK_LAST);
}

void FocusRow(AppContext& context, bool mark) {
    const int r = context.state.grid.GetSelectedRow();
    if (r < 0) return;
    if (mark) MarkRow(context, static_cast<uint32_t>(r));
    else UnmarkRow(context, static_cast<uint32_t>(r));
}

// Opens a row of the folder view by its kind: a folder, the parent, or an
// archive file; any other file does nothing.
void OpenRow(AppContext& context, int r) {
    AppState& s = context.state;
    if (r < 0 || static_cast<uint32_t>(r) >= s.listed_rows) return;
    s.double_click_row = static_cast<uint32_t>(r);
    if (s.row_kind[r] == kRowFolder) {
        OpenFolderRow(context, s.double_click_row);
    } else if (s.row_kind[r] == kRowParent) {
        OpenParentRow(context);
    } else {
        char name[kTextSize];
        s.grid.GetCellText(r, 1, name, kTextSize);
        if (IsArchiveName(name)) OpenArchiveRow(context, s.double_click_row);
    }
}

// Enter, Backspace, Delete and F5.
void RunKeyCommand(AppContext& context, int id) {
    AppState& s = context.state;
    switch (id) {
        case kCmdOpenFocused:
            if (!s.busy && !s.archive_view) OpenRow(context, s.grid.GetSelectedRow());
            break;
        case kCmdParentFolder:
            if (!s.busy && !s.archive_view && s.listed_rows > 0) OpenParentRow(context);
            break;
        case kCmdDeleteKey:
            PressButton(context, ToolbarButton::erase);
            break;
        case kCmdListAgain:
            if (s.busy) break;
            if (s.archive_view) OpenArchiveIntoGrid(context, s.archive_path);
            else if (s.listed_rows > 0) ListFolderAgain(context);
            break;
        default:
            break;
    }
}

}  // namespace

void PressButton(AppContext& context, ToolbarButton button) {
    AppState& s = context.state;
    // While a compress or extract command runs, the window is alive but takes no
    // second command.
    if (context.running) return;
    const bool refused = s.busy != 0;
    switch (button) {
        case ToolbarButton::compress: if (!refused) CompressMarkedRows(context); break;
        case ToolbarButton::remove: FocusRow(context, false); break;
        case ToolbarButton::select: FocusRow(context, true); break;
        case ToolbarButton::drive: if (!refused) ShowChosenFolder(context); break;
        case ToolbarButton::extract: if (!refused) ExtractMarkedRows(context, false); break;
        case ToolbarButton::erase: if (s.archive_view) DeleteMarkedEntries(context); break;
        case ToolbarButton::solid: if (!refused) ToggleSolid(context); break;
        case ToolbarButton::buffer: if (!refused) NextBufferSetting(context); break;
    }
    UpdateTitle(context);
}

void OnGridNotification(AppContext& context, int code) {
    AppState& s = context.state;
    if (context.running) return;
    // A click on a column title sorts by that column, in either view.
    if (code == NotifyHeaderClicked) {
        if (!s.busy) SortRows(context, s.grid.GetHitColumn());
        return;
    }
    if (code != NotifySelectionChanged || s.archive_view) return;
    if (s.grid.GetDblClickFlag() != 1) {
        s.grid.SetDblClickFlag(0);
        return;
    }
    // The flag goes down before the row is opened: opening may show a dialog.
    s.grid.SetDblClickFlag(0);
    OpenRow(context, s.grid.GetSelectedRow());
    UpdateTitle(context);
}

void DropPaths(AppContext& context, const std::vector<std::string>& paths) {
    AppState& s = context.state;
    if (context.running || s.busy || paths.empty()) return;
    if (paths.size() == 1 && IsArchiveName(paths[0]) && !platform::is_folder(paths[0].c_str())) {
        OpenArchivePath(context, paths[0]);
    } else if (s.archive_view && s.archive_path[0] != '\0' && !s.solid) {
        AddToOpenArchive(context, paths);
    } else {
        Show(context, s.archive_view && s.archive_path[0] != '\0' ? text::kDropOnSolid : text::kDropHowTo);
    }
    UpdateTitle(context);
}

bool RunMenuCommand(AppContext& context, int id) {
    AppState& s = context.state;
    if (!IsMenuCommand(id)) return false;
    if (context.running) {
        // Exit while a command runs asks it to stop; the rest wait for its end.
        if (id == kCmdExit) context.stop_requested = true;
        return true;
    }
    const bool refused = s.busy != 0;
    switch (id) {
        case kCmdAbout: if (!refused) context.ui.ShowAbout(); break;
        case kCmdExit: context.ui.CloseMainWindow(); return true;
        case kCmdSelectAll: if (!refused) MarkAll(context); break;
        case kCmdDeselectAll: if (!refused && s.listed_rows > 0) ResetMarks(context); break;
        case kCmdOpenArchive: if (!refused) OpenArchiveCommand(context); break;
        case kCmdArchiveInfo: if (!refused) ShowArchiveInfo(context); break;
        case kCmdExtractHere: if (!refused) ExtractMarkedRows(context, true); break;
        case kCmdCompressFile: if (!refused) CompressSingleFile(context); break;
        case kCmdCompressFolder: if (!refused) CompressSingleFolder(context); break;
        // The window side shows the check mark from the flag after the command.
        case kCmdStrong: if (!refused) s.strong = s.strong ? 0 : 1; break;
        default: RunKeyCommand(context, id); break;
    }
    UpdateTitle(context);
    return true;
}

}  // namespace app
}  // namespace vellum
