#include "app/win32/screen_place.h"

#include <algorithm>

#include "app/app_state.h"

namespace vellum {
namespace app {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

RECT PlaceOnScreen(int x, int y, int width, int height, int dpi) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int w = std::min<int>(ScaledFor(dpi, width), area.right - area.left);
    const int h = std::min<int>(ScaledFor(dpi, height), area.bottom - area.top);
    const int left = std::max<int>(area.left, std::min<int>(ScaledFor(dpi, x), area.right - w));
    const int top = std::max<int>(area.top, std::min<int>(ScaledFor(dpi, y), area.bottom - h));
    return RECT{left, top, left + w, top + h};
}

}  // namespace app
}  // namespace vellum
