// The About box: dialog 103 of the resources, owned by the main window.
#pragma once

#include <windows.h>

namespace vellum {
namespace app {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the box until " WELCOME" (id 1) or closing (id 2); returns that id.
INT_PTR ShowAboutBox(HINSTANCE instance, HWND owner);

}  // namespace app
}  // namespace vellum
