// The Win32 implementation of the commands' Ui.
#include "app/win32/win32_ui.h"

#include <cstring>
#include <ctime>

#include "app/app_messages.h"
#include "app/win32/about_box.h"
#include "platform/wide_text.h"

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
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A BROWSEINFO all zero but its title: no owner, no root, no flags, no callback.
std::string Win32Ui::ChooseFolder(const FolderChooserRequest& request) {
    BROWSEINFOW info;
    std::memset(&info, 0, sizeof info);
    const std::wstring title = utf8_to_wide(request.title);
    info.lpszTitle = title.c_str();
    PIDLIST_ABSOLUTE chosen = Dialogs().browse_for_folder(&info);
    if (!chosen) return "";
    std::wstring path(kChosenPathSize, L'\0');
    if (!SHGetPathFromIDListEx(chosen, &path[0], kChosenPathSize, GPFIDL_DEFAULT)) path[0] = L'\0';
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(chosen);
        allocator->Release();
    }
    return wide_to_utf8(path.c_str());
}

std::string Win32Ui::ChooseFile(const FileDialogRequest& request) {
    wchar_t file[kFileBufferSize] = L"";
    // The filter's own zeros, the closing one included, come along.
    const std::wstring filter = utf8_to_wide(request.filter, static_cast<int>(request.filter_size));
    const std::wstring extension = utf8_to_wide(request.default_extension);
    OPENFILENAMEW dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = kOpenFileNameSize;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = kFileBufferSize;
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = request.flags;
    const BOOL chosen = request.kind == FileDialogKind::save
                            ? Dialogs().get_save_file_name(&dialog)
                            : Dialogs().get_open_file_name(&dialog);
    if (chosen) {
        file[kFileBufferSize - 1] = L'\0';
        return wide_to_utf8(file);
    }
    // The dialog refuses a path that does not fit the buffer; say so rather than
    // act as if the user had cancelled.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
        ShowMessage("The chosen file", text::kPathTooLong.caption, text::kPathTooLong.flags);
    return "";
}

int Win32Ui::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
    return Dialogs().message_box(nullptr, utf8_to_wide(text).c_str(), utf8_to_wide(caption).c_str(), flags);
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
    OpenProgressWindow(progress_, window, state_.dpi);
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

void Win32Ui::SetTitle(const std::string& title) {
    SetWindowTextW(MainWindow(state_), utf8_to_wide(title).c_str());
}

uint64_t Win32Ui::ClockMs() {
    return static_cast<uint64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

std::string Win32Ui::CurrentFolder() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return "";
    std::wstring folder(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, &folder[0]);
    if (length == 0 || length >= needed) return "";
    folder.resize(length);
    return wide_to_utf8(folder);
}

bool Win32Ui::SetCurrentFolder(const std::string& folder) {
    return SetCurrentDirectoryW(utf8_to_wide(folder).c_str()) != 0;
}

}  // namespace app
}  // namespace vellum
