// vellum.exe's entry point: the main window and the message loop with
// accelerator table 109.
#include <windows.h>
#include <objbase.h>

#include "app/win32/main_window.h"
#include "resources/resource.h"

namespace {
// The process-wide state record; its grid object exists before WinMain runs.
vellum::app::AppState g_state;
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_mode) {
    // The shell's folder chooser wants COM on this thread.
    CoInitialize(nullptr);
    HWND main = vellum::app::CreateMainWindow(g_state, instance, show_mode);
    if (!main) return 0;
    ShowWindow(main, show_mode);
    UpdateWindow(main);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    const int code = vellum::app::RunMessageLoop(main, accelerators);
    CoUninitialize();
    return code;
}
