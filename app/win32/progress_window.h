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

// One status line as drawn: TextOutA at (x, y) of the client area.
struct ProgressLine {
    int x = 0;
    int y = 0;
    std::string text;
    int width = 0;   // the text's extent in the window's font, in pixels
    int height = 0;
};

// Places of the bar and the button, below the last status line (y 110).
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
    // The lines in the order drawn; a line wholly covered by a later one at the
    // same height is dropped, so the list stays short and painting it in order
    // shows exactly what drawing them one over the other showed.
    std::vector<ProgressLine> lines;
    bool stop_requested = false;
};

// Creates and shows the window; false when the window system refused it (the
// command then goes on without one).
bool OpenProgressWindow(ProgressWindow& progress, const ProgressWindowSpec& window);
void CloseProgressWindow(ProgressWindow& progress);
// Keeps the line and paints it at once.
void AddProgressLine(ProgressWindow& progress, int x, int y, const std::string& text);
void SetProgressBarPosition(ProgressWindow& progress, uint64_t done, uint64_t total);
// The bar's position for done out of total, 0 .. kProgressBarSteps; a total of 0
// shows an empty bar, done beyond total a full one.
int ProgressBarPosition(uint64_t done, uint64_t total);

}  // namespace app
}  // namespace vellum
