// The main window of vellum.exe: its class, its creation, its window procedure
// (one handler per message) and the message loop.
#pragma once

#include <windows.h>

#include "app/app.h"
#include "app/app_state.h"
#include "app/win32/win32_ui.h"

namespace vellum {
namespace app {

// Sizes and places for 96 dots per inch; the window scales them to the display.
constexpr int kMainWindowWidth = 730;
constexpr int kMainWindowHeight = 600;
// The grid's place in the client area at creation.
constexpr RECT kGridPlace = {5, 74, 795, 564};
constexpr int kGridColumns = 5;

// Loads the title (string 103) and the class name (string 109) into state,
// takes the display's dots per inch, registers the class and creates the main
// window for state, which must outlive the window. Only one main window exists
// at a time. Returns null when the window could not be created.
HWND CreateMainWindow(AppState& state, HINSTANCE instance, int show_mode);

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The context and the window side of the main window last created.
AppContext* MainContext();
Win32Ui* MainUi();

// Accelerator keys act on the main window while the message is for it or for one
// of its children (the grid has the keyboard focus most of the time).
bool TranslateMainAccelerator(HWND main, HACCEL accelerators, MSG* msg);

// GetMessageA until WM_QUIT; returns its code.
int RunMessageLoop(HWND main, HACCEL accelerators);

}  // namespace app
}  // namespace vellum
