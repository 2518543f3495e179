// The progress window. It is made from the predefined dialog class and given a
// procedure of its own in front of the class's, which paints the kept lines,
// and turns the Stop button and closing into a stop request: the window stays
// until the command that opened it closes it.
#include "app/win32/progress_window.h"

#include <commctrl.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/win32/screen_place.h"
#include "platform/wide_text.h"

namespace vellum {
namespace app {
namespace {

const char kProgressProperty[] = "VellumProgress";

// The system font's cell height at 96 dots per inch; the lines' font elsewhere
// is as high, scaled.
constexpr int kSystemFontHeight = 16;

ProgressWindow* FromWindow(HWND hwnd) {
    return static_cast<ProgressWindow*>(GetPropA(hwnd, kProgressProperty));
}

// A later line at the same height clears its row from its start to the right
// edge, so it hides every earlier line that starts at or right of it.
bool Hides(const ProgressLine& later, const ProgressLine& earlier) {
    return later.y == earlier.y && later.x <= earlier.x;
}

// The lines look as TextOut draws on a fresh device context: the system font,
// black on opaque white. They are set each time, since erasing the dialog's
// background leaves its own colours in the painting context.
void UseLineLook(HDC dc, const ProgressWindow& progress) {
    SelectObject(dc, progress.font ? static_cast<HGDIOBJ>(progress.font) : GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
}

SIZE TextExtent(HWND hwnd, const ProgressWindow& progress, const std::wstring& text) {
    SIZE size{0, 0};
    HDC dc = GetDC(hwnd);
    UseLineLook(dc, progress);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (text.empty()) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        size.cy = metrics.tmHeight;
    }
    ReleaseDC(hwnd, dc);
    return size;
}

// Each line: its text, then the rest of its row to the right edge in the
// window's own background, so nothing of a longer earlier text stays.
void PaintLines(HWND hwnd, const ProgressWindow& progress) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client{};
    GetClientRect(hwnd, &client);
    UseLineLook(dc, progress);
    for (const ProgressLine& line : progress.lines) {
        const std::wstring text = utf8_to_wide(line.text);
        TextOutW(dc, line.x, line.y, text.c_str(), static_cast<int>(text.size()));
        RECT rest{line.x + line.width, line.y, client.right, line.y + line.height};
        if (rest.left < rest.right) FillRect(dc, &rest, GetSysColorBrush(COLOR_3DFACE));
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ProgressWindow* progress = FromWindow(hwnd);
    if (!progress) return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
            PaintLines(hwnd, *progress);
            return 0;
        case WM_CLOSE:
            progress->stop_requested = true;
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kStopButtonId) {
                progress->stop_requested = true;
                EnableWindow(progress->stop_button, FALSE);
                return 0;
            }
            break;
        default:
            break;
    }
    return CallWindowProcA(progress->dialog_proc, hwnd, message, wParam, lParam);
}

HWND CreateChild(HWND parent, const char* window_class, const char* text, DWORD style, RECT place,
                 int id, int dpi) {
    const int left = ScaledFor(dpi, place.left), top = ScaledFor(dpi, place.top);
    return CreateWindowExA(0, window_class, text, WS_CHILD | WS_VISIBLE | style, left, top,
                           ScaledFor(dpi, place.right) - left, ScaledFor(dpi, place.bottom) - top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                           nullptr);
}

// The system font does not grow with the display's scaling; a scaled display
// gets a font of the same look at the scaled height.
HFONT LineFont(int dpi) {
    if (dpi == 96) return nullptr;
    LOGFONTW font{};
    font.lfHeight = ScaledFor(dpi, kSystemFontHeight);
    font.lfWeight = FW_BOLD;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&font);
}

}  // namespace

int ProgressBarPosition(uint64_t done, uint64_t total) {
    if (total == 0) return 0;
    if (done >= total) return kProgressBarSteps;
    // done < total, so the quotient is below kProgressBarSteps; the product is
    // formed in 128 bits so no 64-bit total can overflow it.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(done) * kProgressBarSteps;
    return static_cast<int>(scaled / total);
}

bool OpenProgressWindow(ProgressWindow& progress, const ProgressWindowSpec& window, int dpi) {
    CloseProgressWindow(progress);
    progress.stop_requested = false;
    progress.dpi = dpi;
    const RECT place = PlaceOnScreen(window.x, window.y, window.width, window.height, dpi);
    HWND hwnd = CreateWindowExA(0, MAKEINTATOM(window.class_atom), window.title, window.style, place.left,
                                place.top, place.right - place.left, place.bottom - place.top, nullptr,
                                nullptr, nullptr, nullptr);
    if (!hwnd) return false;
    progress.window = hwnd;
    progress.font = LineFont(dpi);
    SetPropA(hwnd, kProgressProperty, &progress);
    progress.dialog_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProgressProc)));

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    progress.bar = CreateChild(hwnd, PROGRESS_CLASSA, "", 0, kProgressBarRect, kProgressBarId, dpi);
    SendMessageA(progress.bar, PBM_SETRANGE32, 0, kProgressBarSteps);
    progress.stop_button =
        CreateChild(hwnd, "BUTTON", "Stop", WS_TABSTOP | BS_PUSHBUTTON, kStopButtonRect, kStopButtonId, dpi);
    SendMessageA(progress.stop_button, WM_SETFONT,
                 reinterpret_cast<WPARAM>(progress.font ? progress.font : GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    UpdateWindow(hwnd);
    return true;
}

void CloseProgressWindow(ProgressWindow& progress) {
    if (progress.window) {
        RemovePropA(progress.window, kProgressProperty);
        SetWindowLongPtrA(progress.window, GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(progress.dialog_proc));
        DestroyWindow(progress.window);
    }
    if (progress.font) DeleteObject(progress.font);
    progress.font = nullptr;
    progress.window = progress.bar = progress.stop_button = nullptr;
    progress.dialog_proc = nullptr;
    progress.lines.clear();
}

void AddProgressLine(ProgressWindow& progress, int x, int y, const std::string& text) {
    if (!progress.window) return;
    ProgressLine line;
    line.x = ScaledFor(progress.dpi, x);
    line.y = ScaledFor(progress.dpi, y);
    line.text = text;
    const SIZE size = TextExtent(progress.window, progress, utf8_to_wide(text));
    line.width = size.cx;
    line.height = size.cy;
    auto& lines = progress.lines;
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const ProgressLine& earlier) { return Hides(line, earlier); }),
                lines.end());
    lines.push_back(line);
    // The new line's row from its start to the right edge is repainted: the
    // lines left of it drawn again first, in order, then the new one.
    RECT client{};
    GetClientRect(progress.window, &client);
    RECT place = {line.x, line.y, client.right, line.y + line.height};
    InvalidateRect(progress.window, &place, FALSE);
    UpdateWindow(progress.window);
}

void SetProgressBarPosition(ProgressWindow& progress, uint64_t done, uint64_t total) {
    if (!progress.bar) return;
    SendMessageA(progress.bar, PBM_SETPOS, ProgressBarPosition(done, total), 0);
}

}  // namespace app
}  // namespace vellum
