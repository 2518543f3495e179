// The toolbar row of the main window: the fifteen pictures, the eight bitmap
// buttons and the filler button.
#pragma once

#include <windows.h>

#include <string>

#include "app/app_state.h"
#include "app/ui.h"

namespace vellum {
namespace app {

// The folder of the running program, without a trailing backslash.
std::string ExecutableFolder();

// Loads the pictures in their order, each from IMAGES below the current folder,
// else from IMAGES beside the program; a picture found in neither stays null.
void LoadToolbarImages(AppState& state);
void ReleaseToolbarImages(AppState& state);

// The eight buttons left to right, each with its first picture, then the filler.
void CreateToolbar(AppState& state, HWND parent, HINSTANCE instance);

// Which of the eight buttons sent a command; -1 for any other window.
int ToolbarButtonIndex(const AppState& state, HWND sender);

}  // namespace app
}  // namespace vellum
