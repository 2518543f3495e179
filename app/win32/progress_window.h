// The progress window of a compress or extract command: a top-level window of
// the predefined dialog class that paints its own status lines, with a bar of
// the command's bytes done and a Stop button below them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/ui.h"

namespace vellum {
namespace app {

// One status line as drawn at (x, y) of the client area, in pixels of the
// display (the place given for 96 dots per inch, scaled). It shows exactly its
// text: from the end of the text to the window's right edge its row is cleared.
struct ProgressLine {
    int x = 0;
    int y = 0;
    std::string text;  // UTF-8
    int width = 0;     // the text's extent in the lines' font, in pixels
    int height = 0;
};

// Places of the bar and the button, below the last status line (y 110), for 96
// dots per inch.
constexpr int kProgressBarId = 1001;
constexpr int kStopButtonId = IDCANCEL;
constexpr RECT kProgressBarRect = {10, 140, 570, 162};
constexpr RECT kStopButtonRect = {250, 180, 340, 206};
constexpr int kProgressBarSteps = 1000;

struct ProgressWindow {
    HWND window = nullptr;
    HWND bar = nullptr;
    HWND stop_button = nullptr;
    WNDPROC dialog_proc = nullptr;  // the dialog class's own procedure
    int dpi = 96;
    // The lines' font: the system font at 96 dots per inch (as TextOut draws on
    // a fresh device context), a font of the same height scaled otherwise.
    HFONT font = nullptr;  // null: the system font
    // The lines in the order drawn; a line that starts at or right of a later
    // one's start on the same row is dropped (the later one clears it), so the
    // list stays short and painting it in order shows what drawing them showed.
    std::vector<ProgressLine> lines;
    bool stop_requested = false;
};

// Creates and shows the window, its place and size given for 96 dots per inch
// and scaled to dpi, kept on the screen; false when the window system refused
// it (the command then goes on without one).
bool OpenProgressWindow(ProgressWindow& progress, const ProgressWindowSpec& window, int dpi = 96);
void CloseProgressWindow(ProgressWindow& progress);
// Keeps the line (its place given for 96 dots per inch) and paints it at once.
void AddProgressLine(ProgressWindow& progress, int x, int y, const std::string& text);
void SetProgressBarPosition(ProgressWindow& progress, uint64_t done, uint64_t total);
// The bar's position for done out of total, 0 .. kProgressBarSteps; a total of 0
// shows an empty bar, done beyond total a full one.
int ProgressBarPosition(uint64_t done, uint64_t total);

}  // namespace app
}  // namespace vellum
