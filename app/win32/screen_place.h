// Where windows go on the display: the display's dots per inch, and places
// given for 96 dots per inch scaled to it and kept on the screen.
#pragma once

#include <windows.h>

namespace vellum {
namespace app {

// LOGPIXELSY of the screen: 96 unless the display is scaled (144 at 150 %).
int ScreenDpi();

// The window rectangle (left, top, right, bottom) of a window placed at (x, y)
// with the given size for 96 dots per inch: scaled to dpi, then moved, and if
// need be shrunk, so that it lies within the screen's work area.
RECT PlaceOnScreen(int x, int y, int width, int height, int dpi);

}  // namespace app
}  // namespace vellum
