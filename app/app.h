// The desktop program's commands, platform-free. The window procedure stays thin:
// WM_CREATE calls SetUpGrid and StartUp, WM_COMMAND calls PressButton for a
// toolbar button, OnGridNotification for the grid's notifications and
// RunMenuCommand for menu and accelerator ids. Everything else is here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/ui.h"
#include "manage/listing.h"
#include "resources/resource.h"

namespace vellum {
class CodecState;

namespace app {

// Menu and accelerator ids, from the one table the resource script uses too.
constexpr int kCmdAbout = IDM_ABOUT;
constexpr int kCmdExit = IDM_EXIT;
constexpr int kCmdSelectAll = IDM_SELECT_ALL;
constexpr int kCmdDeselectAll = IDM_DESELECT_ALL;
constexpr int kCmdOpenArchive = IDM_OPEN_ARCHIVE;
constexpr int kCmdArchiveInfo = IDM_ARCHIVE_INFO;
constexpr int kCmdExtractHere = IDM_EXTRACT_HERE;
constexpr int kCmdCompressFile = IDM_COMPRESS_FILE;
constexpr int kCmdCompressFolder = IDM_COMPRESS_FOLDER;
constexpr int kCmdStrong = IDM_STRONG;
// Keys without a menu item.
constexpr int kCmdOpenFocused = IDK_OPEN_FOCUSED;
constexpr int kCmdParentFolder = IDK_PARENT_FOLDER;
constexpr int kCmdDeleteKey = IDK_DELETE;
constexpr int kCmdListAgain = IDK_LIST_AGAIN;

// Everything a command works with: the state record, the window system, and the
// codec tables (about 24 MiB, made at the first command that codes and kept for
// the life of the process).
struct AppContext {
    AppContext(AppState& state_, Ui& ui_);
    ~AppContext();

    AppState& state;
    Ui& ui;
    std::unique_ptr<CodecState> codec;
    // The archive view's listing the row tables were filled from; delete needs it.
    ArchiveListing listing;
    // The title last given to the window.
    std::string shown_title;
    // 1 while a compress or extract command runs: the window side keeps the
    // message loop turning, and every main-window command arriving meanwhile is
    // refused (Exit asks the command to stop instead).
    bool running = false;
    bool stop_requested = false;
};

// The grid's five columns (their widths for dpi), the bold header font, no grid
// lines, Refresh: for WM_CREATE right after the grid's Create.
void SetUpGrid(CDataGrid& grid, int dpi = 96);

// The archive named by the start-up argument, or the folder view of a folder
// chosen in the folder chooser. command_line is GetCommandLineA's text.
void StartUp(AppContext& context, const char* command_line);

// The start-up argument: a final double-quoted path after the program's name.
// False (and "" in argument) when there is none.
bool StartUpArgument(const char* command_line, std::string* argument);

// A toolbar button was pressed.
void PressButton(AppContext& context, ToolbarButton button);

// A grid notification (the high word of WM_COMMAND's wParam).
void OnGridNotification(AppContext& context, int code);

// Files and folders dropped on the window: one archive opens; on the view of a
// normal archive they are added to it; anywhere else a box says what can be done.
void DropPaths(AppContext& context, const std::vector<std::string>& paths);

// "Vellum - C:\Data" in the folder view, "Vellum - backup.vlm" in the archive
// view, the title alone before anything is shown.
std::string WindowTitle(const AppState& state);

// A menu or accelerator id. False for ids that are no command (the window
// procedure passes those to DefWindowProcA).
bool RunMenuCommand(AppContext& context, int id);

}  // namespace app
}  // namespace vellum
