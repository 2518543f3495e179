// The command table: which source runs which command, which are refused while
// a dialog is open (the busy flag), and in which view each acts.
#include <cstring>

#include "app/app_internal.h"
#include "app/paths.h"
#include "codec/codec_state.h"

namespace vellum {
namespace app {

AppContext::AppContext(AppState& state_, Ui& ui_) : state(state_), ui(ui_) {}
AppContext::~AppContext() = default;

void SetUpGrid(CDataGrid& grid) {
    grid.SetColumn(0, " OFF", 40, 1);
    grid.SetColumn(1, "Name", 350, 0);
    grid.SetColumn(2, "Size", 200, 1);
    grid.SetColumn(3, "Modified", 200, 1);
    grid.SetColumn(4, "Other", 800, 1);
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

void StartUp(AppContext& context, const char* command_line) {
    AppState& s = context.state;
    CopyText(s.current_folder, context.ui.CurrentFolder());
    std::string argument;
    if (StartUpArgument(command_line, &argument)) {
        s.archive_view = 1;
        if (StorePath(context, s.archive_path, argument)) {
            OpenArchiveIntoGrid(context, s.archive_path);
            return;
        }
        s.archive_view = 0;
    }
    ShowChosenFolder(context);
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
           (id >= kCmdArchiveInfo && id <= kCmdCompressFolder);
}

void FocusRow(AppContext& context, bool mark) {
    const int r = context.state.grid.GetSelectedRow();
    if (r < 0) return;
    if (mark) MarkRow(context, static_cast<uint32_t>(r));
    else UnmarkRow(context, static_cast<uint32_t>(r));
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
}

void OnGridNotification(AppContext& context, int code) {
    AppState& s = context.state;
    if (context.running || code != NotifySelectionChanged || s.archive_view) return;
    if (s.grid.GetDblClickFlag() != 1) {
        s.grid.SetDblClickFlag(0);
        return;
    }
    // The flag goes down before the row is opened: opening may show a dialog.
    s.grid.SetDblClickFlag(0);
    const int r = s.grid.GetSelectedRow();
    if (r < 0 || static_cast<uint32_t>(r) >= s.listed_rows) return;
    s.double_click_row = static_cast<uint32_t>(r);
    if (s.row_kind[r] == kRowFolder) OpenFolderRow(context, s.double_click_row);
    else if (s.row_kind[r] == kRowParent) OpenParentRow(context);
}

bool RunMenuCommand(AppContext& context, int id) {
    AppState& s = context.state;
    if (id < kCmdAbout || id > kCmdCompressFolder) return false;
    if (context.running) {
        // Exit while a command runs asks it to stop; the rest wait for its end.
        if (id == kCmdExit) context.stop_requested = true;
        return IsMenuCommand(id);
    }
    const bool refused = s.busy != 0;
    switch (id) {
        case kCmdAbout: if (!refused) context.ui.ShowAbout(); return true;
        case kCmdExit: context.ui.CloseMainWindow(); return true;
        case kCmdSelectAll: if (!refused) MarkAll(context); return true;
        case kCmdDeselectAll: if (!refused && s.listed_rows > 0) ResetMarks(context); return true;
        case kCmdOpenArchive: if (!refused) OpenArchiveCommand(context); return true;
        case kCmdArchiveInfo: if (!refused) ShowArchiveInfo(context); return true;
        case kCmdExtractHere: if (!refused) ExtractMarkedRows(context, true); return true;
        case kCmdCompressFile: if (!refused) CompressSingleFile(context); return true;
        case kCmdCompressFolder: if (!refused) CompressSingleFolder(context); return true;
        default: return false;  // 106 to 110 and 114 are no commands
    }
}

}  // namespace app
}  // namespace vellum
