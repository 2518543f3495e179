// The window system behind the commands' Ui: the shell's folder chooser, the
// common file dialogs, MessageBoxA, the About box, the toolbar's pictures and the
// progress window.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cstddef>

#include "app/app_state.h"
#include "app/ui.h"
#include "app/win32/progress_window.h"

namespace vellum {
namespace app {

// The modal calls that wait for the user. The program uses the system's; the
// in-process tests put scripted ones in their place and see exactly what the
// window side hands the system (structure sizes, flags, texts). They are the
// wide ones: the program's texts are UTF-8 and reach the system as UTF-16, so
// every name shows and comes back as it is, whatever the code page.
struct DialogFunctions {
    int(WINAPI* message_box)(HWND, LPCWSTR, LPCWSTR, UINT) = MessageBoxW;
    BOOL(WINAPI* get_open_file_name)(LPOPENFILENAMEW) = GetOpenFileNameW;
    BOOL(WINAPI* get_save_file_name)(LPOPENFILENAMEW) = GetSaveFileNameW;
    PIDLIST_ABSOLUTE(WINAPI* browse_for_folder)(LPBROWSEINFOW) = SHBrowseForFolderW;
};
DialogFunctions& Dialogs();

// The size given to the file dialogs: the structure without its trailing
// Windows 2000 fields (76 bytes in a 32-bit program, 136 in a 64-bit one).
constexpr DWORD kOpenFileNameSize = offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);
static_assert(sizeof(void*) != 4 || kOpenFileNameSize == 76, "the structure without its Windows 2000 fields");

// The folder chooser's result can be longer than MAX_PATH.
constexpr DWORD kChosenPathSize = 32768;

class Win32Ui : public Ui {
public:
    explicit Win32Ui(AppState& state) : state_(state) {}
    ~Win32Ui() override { CloseProgressWindow(progress_); }

    std::string ChooseFolder(const FolderChooserRequest& request) override;
    std::string ChooseFile(const FileDialogRequest& request) override;
    int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;
    void ShowAbout() override;
    void CloseMainWindow() override;
    void SetButtonImage(ToolbarButton button, ToolbarImage image) override;
    void OpenProgress(const ProgressWindowSpec& window) override;
    void DrawProgressLine(int x, int y, const std::string& text) override;
    void SetProgressBar(uint64_t done, uint64_t total) override;
    void CloseProgress() override;
    bool PumpAndCheckStop() override;
    void RepaintMain() override;
    void SetTitle(const std::string& title) override;
    uint64_t ClockMs() override;
    std::string CurrentFolder() override;
    bool SetCurrentFolder(const std::string& folder) override;

    // Closing the main window during a command asks the command to stop.
    void RequestStop() { progress_.stop_requested = true; }
    const ProgressWindow& Progress() const { return progress_; }

private:
    AppState& state_;
    ProgressWindow progress_;
};

// Gives every waiting message its turn (a WM_QUIT is put back for the main
// loop). Used while a command runs.
void PumpWaitingMessages();

}  // namespace app
}  // namespace vellum
