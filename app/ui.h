// The desktop program's seam to the window system. The commands (app/*.cpp) are
// platform-free: everything they need of dialogs, message boxes, the toolbar's
// pictures, the progress window, the clock and the process's current folder goes
// through one Ui. The Win32 side implements it with the common dialogs, the
// shell's folder chooser, MessageBoxA, BM_SETIMAGE and a progress window that
// paints its own lines; the native tests implement it with scripted answers and
// recorded calls. The grid is not behind this seam: it is the CDataGrid in
// AppState, whose logic is platform-free already.
#pragma once

#include <cstdint>
#include <string>

namespace vellum {
namespace app {

// --- toolbar -----------------------------------------------------------------------

// The eight bitmap buttons, left to right.
enum class ToolbarButton : int {
    compress = 0,
    remove = 1,
    select = 2,
    drive = 3,
    extract = 4,
    erase = 5,   // the Delete button
    solid = 6,
    buffer = 7,
};
constexpr int kToolbarButtonCount = 8;

// Left edge of each button (top 0, 90 by 60 pixels), and of the filler button
// (890 by 60) that fills the row to the right.
constexpr int kToolbarButtonLeft[kToolbarButtonCount] = {1, 91, 181, 271, 361, 451, 541, 631};
constexpr int kToolbarButtonWidth = 90;
constexpr int kToolbarButtonHeight = 60;
constexpr int kFillerButtonLeft = 721;
constexpr int kFillerButtonWidth = 890;

// The fifteen toolbar pictures, in the order they are loaded.
enum class ToolbarImage : int {
    compress = 0,
    erase = 1,  // delete.bmp
    extract = 2,
    drive = 3,
    select = 4,
    remove = 5,
    solid = 6,
    solidoff = 7,
    buffer8 = 8,  // buffer8 + setting, for settings 0..6
    buffer16 = 9,
    buffer32 = 10,
    buffer64 = 11,
    buffer128 = 12,
    buffer256 = 13,
    buffer512 = 14,
};
constexpr int kToolbarImageCount = 15;

// "IMAGES/compress.bmp" and the rest, relative to the process's current folder.
const char* ToolbarImageFile(ToolbarImage image);

// Where to look for a picture, in order: below the current folder (the relative
// name), then in the IMAGES folder beside the executable, so a program started
// from a shortcut still finds its pictures. executable_folder is the folder of
// the running program without a trailing separator; empty gives only the first.
// Returns the number of candidates written (1 or 2).
int ToolbarImageCandidates(ToolbarImage image, const std::string& executable_folder,
                           std::string candidates[2]);

// The picture a button shows at start-up (solid mode off, buffer setting 4).
ToolbarImage InitialButtonImage(ToolbarButton button);
ToolbarImage SolidImage(uint8_t solid);            // solid.bmp or solidoff.bmp
ToolbarImage BufferImage(int buffer_setting);      // buffer8.bmp .. buffer512.bmp

// --- dialogs -----------------------------------------------------------------------

// The common file dialog, as data. The window side fills a 76-byte OPENFILENAMEA
// (the structure without its trailing Windows 2000 fields), all zero except: no
// owner, the filter, a 1024-byte file buffer starting empty, the default
// extension, the flags. No OFN_NOCHANGEDIR: choosing a file makes its folder the
// process's current folder.
enum class FileDialogKind {
    save,  // GetSaveFileNameA: the target archive of a compress command
    open,  // GetOpenFileNameA: "Open Archive", "Compress single File"
};

constexpr uint32_t kOfnHideReadOnly = 0x00000004;
constexpr uint32_t kOfnPathMustExist = 0x00000800;
constexpr uint32_t kOfnExplorer = 0x00080000;

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::open;
    // The structure's size in the 32-bit layout; a 64-bit build passes the size of
    // the same cut of its own layout (OPENFILENAME_SIZE_VERSION_400A).
    uint32_t struct_size = 76;
    // One description and no pattern: the text, its terminating zero and the
    // list's closing zero ("All Files (*.*)\0\0"); filter_size counts all of it.
    const char* filter = "All Files (*.*)\0";
    uint32_t filter_size = sizeof("All Files (*.*)\0");
    const char* default_extension = "";
    uint32_t flags = kOfnExplorer | kOfnPathMustExist | kOfnHideReadOnly;
    uint32_t file_buffer_size = 1024;
};

FileDialogRequest SaveArchiveDialog();
FileDialogRequest OpenFileDialog();

// The shell's folder chooser: a BROWSEINFO all zero except its title.
struct FolderChooserRequest {
    const char* title = "Vellum choose Directory for compression";
};

// --- progress window -----------------------------------------------------------------

// A top-level window of the predefined dialog class, no owner, shown at once.
struct ProgressWindowSpec {
    uint16_t class_atom = 0x8002;
    const char* title = "Vellum Dialog";
    uint32_t style = 0x10CF0000;  // WS_VISIBLE | WS_OVERLAPPEDWINDOW
    int x = 300, y = 300, width = 600, height = 300;
};

// --- message boxes -------------------------------------------------------------------

// MessageBoxA's answers the commands look at.
constexpr int kAnswerOk = 1;

// --- the seam ------------------------------------------------------------------------

class Ui {
public:
    virtual ~Ui() = default;

    // Dialogs. Each returns the chosen path, or "" when the user cancelled. The
    // logic sets the busy flag around every call; the window side keeps the main
    // window working meanwhile (the dialogs have no owner).
    // The folder comes without a trailing backslash (except a drive's top folder,
    // "C:\", as the shell gives it).
    virtual std::string ChooseFolder(const FolderChooserRequest& request) = 0;
    virtual std::string ChooseFile(const FileDialogRequest& request) = 0;

    // A message box without owner: text, caption and flags as given. Returns the
    // button pressed (kAnswerOk for the boxes the commands show).
    virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;

    // The About box: dialog 103, owned by the main window, until " WELCOME".
    virtual void ShowAbout() = 0;

    // "Exit": destroys the main window (the message loop then ends).
    virtual void CloseMainWindow() = 0;

    // BM_SETIMAGE with the loaded picture; a picture that did not load leaves
    // the button blank.
    virtual void SetButtonImage(ToolbarButton button, ToolbarImage image) = 0;

    // The progress window. Open creates it from its layout; the window keeps every line
    // drawn and paints them itself, so covering and uncovering it shows the same
    // text. A line is drawn at (x, y) in pixels of its client area (given for 96
    // dots per inch; the window scales them) and shows exactly its text: what an
    // earlier line left to its right on that row is cleared. Below the lines it
    // shows a bar of done out of total bytes and a Stop button. Only one is open
    // at a time; DrawLine and SetBar without an open window do nothing.
    virtual void OpenProgress(const ProgressWindowSpec& window) = 0;
    virtual void DrawProgressLine(int x, int y, const std::string& text) = 0;
    virtual void SetProgressBar(uint64_t done, uint64_t total) = 0;
    virtual void CloseProgress() = 0;

    // Gives the window system a turn during a long command: repaints, moves,
    // and the Stop button. Returns true once Stop was pressed or the progress
    // window was closed (and keeps returning true until the next OpenProgress).
    // The logic calls it after every line it draws and at least twice a second
    // inside a large file; main-window commands arriving meanwhile are refused by
    // the logic (AppContext::running).
    virtual bool PumpAndCheckStop() = 0;

    // Repaints the main window (after the last status line of a file).
    virtual void RepaintMain() = 0;

    // The main window's title.
    virtual void SetTitle(const std::string& title) = 0;

    // The processor clock in milliseconds (clock() on the desktop).
    virtual uint64_t ClockMs() = 0;

    // The process's current folder (GetCurrentDirectoryA, without a trailing
    // backslash unless it is a drive's top folder) and SetCurrentDirectoryA.
    virtual std::string CurrentFolder() = 0;
    virtual bool SetCurrentFolder(const std::string& folder) = 0;
};

}  // namespace app
}  // namespace vellum
