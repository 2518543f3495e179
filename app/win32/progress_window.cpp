// The progress window. It is made from the predefined dialog class and given a
// procedure of its own in front of the class's, which paints the kept lines,
// and turns the Stop button and closing into a stop request: the window stays
// until the command that opened it closes it.
#include "app/win32/progress_window.h"

#include <commctrl.h>

#include <algorithm>

namespace vellum {
namespace app {
namespace {

const char kProgressProperty[] = "VellumProgress";

ProgressWindow* FromWindow(HWND hwnd) {
    return static_cast<ProgressWindow*>(GetPropA(hwnd, kProgressProperty));
}

bool Covers(const ProgressLine& later, const ProgressLine& earlier) {
    return later.y == earlier.y && later.height >= earlier.height && later.x <= earlier.x &&
           later.x + later.width >= earlier.x + earlier.width;
}

// The lines look as TextOutA draws on a fresh device context: the system font,
// black on opaque white. They are set each time, since erasing the dialog's
// background leaves its own colours in the painting context.
void UseLineLook(HDC dc) {
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
}

SIZE TextExtent(HWND hwnd, const std::string& text) {
    SIZE size{0, 0};
    HDC dc = GetDC(hwnd);
    UseLineLook(dc);
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ReleaseDC(hwnd, dc);
    return size;
}

void PaintLines(HWND hwnd, const ProgressWindow& progress) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    UseLineLook(dc);
    for (const ProgressLine& line : progress.lines)
        TextOutA(dc, line.x, line.y, line.text.c_str(), static_cast<int>(line.text.size()));
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
                 int id) {
    return CreateWindowExA(0, window_class, text, WS_CHILD | WS_VISIBLE | style, place.left,
                           place.top, place.right - place.left, place.bottom - place.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
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

bool OpenProgressWindow(ProgressWindow& progress, const ProgressWindowSpec& window) {
    CloseProgressWindow(progress);
    progress.stop_requested = false;
    HWND hwnd = CreateWindowExA(0, MAKEINTATOM(window.class_atom), window.title, window.style, window.x,
                                window.y, window.width, window.height, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) return false;
    progress.window = hwnd;
    SetPropA(hwnd, kProgressProperty, &progress);
    progress.dialog_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProgressProc)));

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    progress.bar = CreateChild(hwnd, PROGRESS_CLASSA, "", 0, kProgressBarRect, kProgressBarId);
    SendMessageA(progress.bar, PBM_SETRANGE32, 0, kProgressBarSteps);
    progress.stop_button =
        CreateChild(hwnd, "BUTTON", "Stop", WS_TABSTOP | BS_PUSHBUTTON, kStopButtonRect, kStopButtonId);
    SendMessageA(progress.stop_button, WM_SETFONT,
                 reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
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
    progress.window = progress.bar = progress.stop_button = nullptr;
    progress.dialog_proc = nullptr;
    progress.lines.clear();
}

void AddProgressLine(ProgressWindow& progress, int x, int y, const std::string& text) {
    if (!progress.window) return;
    ProgressLine line;
    line.x = x;
    line.y = y;
    line.text = text;
    const SIZE size = TextExtent(progress.window, text);
    line.width = size.cx;
    line.height = size.cy;
    auto& lines = progress.lines;
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const ProgressLine& earlier) { return Covers(line, earlier); }),
                lines.end());
    lines.push_back(line);
    // Only the new line's place is repainted: the lines under it are drawn
    // again first, in order, then the new one over them.
    RECT place = {x, y, x + line.width, y + line.height};
    InvalidateRect(progress.window, &place, FALSE);
    UpdateWindow(progress.window);
}

void SetProgressBarPosition(ProgressWindow& progress, uint64_t done, uint64_t total) {
    if (!progress.bar) return;
    SendMessageA(progress.bar, PBM_SETPOS, ProgressBarPosition(done, total), 0);
}

}  // namespace app
}  // namespace vellum
