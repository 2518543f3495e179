// The Win32 implementation of the commands' Ui.
#include "app/win32/win32_ui.h"

#include <cstring>
#include <ctime>

#include "app/app_messages.h"
#include "app/win32/about_box.h"

namespace vellum {
namespace app {
namespace {

constexpr DWORD kFileBufferSize = 1024;

HWND MainWindow(const AppState& state) { return static_cast<HWND>(state.main_window); }

}  // namespace

DialogFunctions& Dialogs() {
    static DialogFunctions functions;
    return functions;
}

void PumpWaitingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A BROWSEINFO all zero but its title: no owner, no root, no flags, no callback.
std::string Win32Ui::ChooseFolder(const FolderChooserRequest& request) {
    BROWSEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.lpszTitle = request.title;
    PIDLIST_ABSOLUTE chosen = Dialogs().browse_for_folder(&info);
    if (!chosen) return "";
    char path[MAX_PATH] = "";
    if (!SHGetPathFromIDListA(chosen, path)) path[0] = '\0';
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(chosen);
        allocator->Release();
    }
    return path;
}

std::string Win32Ui::ChooseFile(const FileDialogRequest& request) {
    char file[kFileBufferSize] = "";
    OPENFILENAMEA dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = kOpenFileNameSize;
    dialog.lpstrFilter = request.filter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrDefExt = request.default_extension;
    dialog.Flags = request.flags;
    const BOOL chosen = request.kind == FileDialogKind::save
                            ? Dialogs().get_save_file_name(&dialog)
                            : Dialogs().get_open_file_name(&dialog);
    if (chosen) {
        file[sizeof file - 1] = '\0';
        return file;
    }
    // The dialog refuses a path that does not fit the buffer; say so rather than
    // act as if the user had cancelled.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
        ShowMessage("The chosen file", text::kPathTooLong.caption, text::kPathTooLong.flags);
    return "";
}

int Win32Ui::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
    return Dialogs().message_box(nullptr, text.c_str(), caption.c_str(), flags);
}

void Win32Ui::ShowAbout() {
    ShowAboutBox(static_cast<HINSTANCE>(state_.instance), MainWindow(state_));
}

void Win32Ui::CloseMainWindow() { DestroyWindow(MainWindow(state_)); }

void Win32Ui::SetButtonImage(ToolbarButton button, ToolbarImage image) {
    const int b = static_cast<int>(button);
    const int i = static_cast<int>(image);
    if (b < 0 || b >= kToolbarButtonCount || i < 0 || i >= kToolbarImageCount) return;
    SendMessageA(static_cast<HWND>(state_.toolbar_buttons[b]), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(state_.toolbar_images[i]));
}

void Win32Ui::OpenProgress(const ProgressWindowSpec& window) {
    OpenProgressWindow(progress_, window);
    state_.progress_window = progress_.window;
}

void Win32Ui::DrawProgressLine(int x, int y, const std::string& text) {
    AddProgressLine(progress_, x, y, text);
}

void Win32Ui::SetProgressBar(uint64_t done, uint64_t total) {
    SetProgressBarPosition(progress_, done, total);
}

void Win32Ui::CloseProgress() {
    CloseProgressWindow(progress_);
    state_.progress_window = nullptr;
}

bool Win32Ui::PumpAndCheckStop() {
    PumpWaitingMessages();
    return progress_.stop_requested;
}

void Win32Ui::RepaintMain() { UpdateWindow(MainWindow(state_)); }

uint64_t Win32Ui::ClockMs() {
    return static_cast<uint64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

std::string Win32Ui::CurrentFolder() {
    char folder[kTextSize] = "";
    const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return "";
    return folder;
}

bool Win32Ui::SetCurrentFolder(const std::string& folder) {
    return SetCurrentDirectoryA(folder.c_str()) != 0;
}

}  // namespace app
}  // namespace vellum
