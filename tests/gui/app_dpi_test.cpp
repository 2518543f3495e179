// The window at the display's dots per inch: every place and size given for 96
// scaled (the described ones at 96), the grid's fonts, rows and columns with
// them, and no text cut. ctest runs these at 96 with the rest and again in a
// prefix set to 144 (run-at-dpi.sh), where VELLUM_EXPECT_DPI says so.
#include "app_test_host.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/win32/screen_place.h"
#include "grid/grid_geometry.h"
#include "grid/grid_registry.h"

using namespace apptest;
using vellum::app::ScaledFor;
using vellum::app::ToolbarButton;

namespace {

class DpiTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        dpi_ = vellum::app::ScreenDpi();
        if (const char* expected = std::getenv("VELLUM_EXPECT_DPI")) {
            ASSERT_EQ(dpi_, std::atoi(expected));
        }
    }
    int S(int pixels) const { return ScaledFor(dpi_, pixels); }
    static SIZE Extent(HDC dc, HGDIOBJ font, const char* text) {
        HGDIOBJ old = SelectObject(dc, font);
        SIZE size{};
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
        SelectObject(dc, old);
        return size;
    }
    int dpi_ = 96;
};

}  // namespace

TEST_F(DpiTest, MainWindowToolbarAndGridScale) {
    EXPECT_EQ(State().dpi, dpi_);
    RECT window{};
    GetWindowRect(Main(), &window);
    const RECT expected = vellum::app::PlaceOnScreen(0, 0, 730, 600, dpi_);
    EXPECT_EQ(window.right - window.left, expected.right - expected.left);
    EXPECT_EQ(window.bottom - window.top, expected.bottom - expected.top);
    EXPECT_LE(window.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(window.bottom, GetSystemMetrics(SM_CYSCREEN));

    const int lefts[] = {1, 91, 181, 271, 361, 451, 541, 631};
    for (int b = 0; b < 8; ++b) {
        const RECT rc = ClientRect(Button(static_cast<ToolbarButton>(b)));
        EXPECT_EQ(rc.left, S(lefts[b])) << b;
        EXPECT_EQ(rc.top, 0);
        EXPECT_EQ(rc.right - rc.left, S(90)) << b;
        EXPECT_EQ(rc.bottom - rc.top, S(60)) << b;
        BITMAP picture{};
        GetObjectA(ButtonImage(static_cast<ToolbarButton>(b)), sizeof picture, &picture);
        EXPECT_EQ(picture.bmWidth, S(90)) << b;
        EXPECT_EQ(picture.bmHeight, S(60)) << b;
    }
    const RECT filler = ClientRect(static_cast<HWND>(State().filler_button));
    EXPECT_EQ(filler.left, S(721));
    EXPECT_EQ(filler.bottom - filler.top, S(60));

    // The grid starts below the toolbar; its columns, fonts and rows scale.
    const RECT grid = ClientRect(Grid());
    EXPECT_GE(grid.top, S(60));
    DataGridRecord* record = FindGridRecord(Grid());
    ASSERT_NE(record, nullptr);
    const int widths[] = {40, 400, 200, 200, 800};  // the folder view's
    for (int c = 0; c < 5; ++c) EXPECT_EQ(record->columns[c].width, S(widths[c])) << c;
    EXPECT_EQ(record->cellLogFont.lfHeight, -MulDiv(9, dpi_, 72));
    EXPECT_EQ(record->headerLogFont.lfHeight, -MulDiv(10, dpi_, 72));
    const GridLayout layout = MeasureGridLayout(*record);
    HDC dc = GetDC(Grid());
    const SIZE cell = Extent(dc, record->cellFont, "Ag");
    const SIZE title = Extent(dc, record->headerFont, "Modified");
    ReleaseDC(Grid(), dc);
    EXPECT_GE(layout.rowHeight, cell.cy);      // a row holds its text
    EXPECT_GE(layout.headerHeight, title.cy);  // so does the header
    EXPECT_GE(record->columns[3].width, title.cx + 10);
}

TEST_F(DpiTest, ProgressWindowScalesAndCutsNothing) {
    Ui().OpenProgress(vellum::app::ProgressWindowSpec{});
    Pump();
    HWND progress = static_cast<HWND>(State().progress_window);
    ASSERT_NE(progress, nullptr);
    RECT window{};
    GetWindowRect(progress, &window);
    const RECT expected = vellum::app::PlaceOnScreen(300, 300, 600, 300, dpi_);
    EXPECT_EQ(window.left, expected.left);
    EXPECT_EQ(window.top, expected.top);
    EXPECT_EQ(window.right - window.left, expected.right - expected.left);
    EXPECT_EQ(window.bottom - window.top, expected.bottom - expected.top);
    if (S(300 + 600) <= GetSystemMetrics(SM_CXSCREEN)) {
        EXPECT_EQ(window.left, S(300));  // room enough: exactly the scaled place
        EXPECT_EQ(window.right - window.left, S(600));
    }

    const char* lines[][2] = {{"10", "ARCHIVE: "}, {"10", "FILE:                                               "},
                              {"10", "TIME: 12345.678 sec. "}, {"10", "FILES PROCESSED : 16384 "},
                              {"10", "PROCESSED : 123456789012 "}, {"10", "DECOMPRESSED: 123456789012 "}};
    const int ys[] = {10, 30, 50, 70, 90, 110};
    for (int k = 0; k < 6; ++k) Ui().DrawProgressLine(std::atoi(lines[k][0]), ys[k], lines[k][1]);
    Ui().DrawProgressLine(60, 30, "a name of some length.txt");
    RECT client{};
    GetClientRect(progress, &client);
    HWND bar = GetDlgItem(progress, vellum::app::kProgressBarId);
    HWND stop = GetDlgItem(progress, vellum::app::kStopButtonId);
    RECT bar_place{}, stop_place{};
    GetWindowRect(bar, &bar_place);
    MapWindowPoints(nullptr, progress, reinterpret_cast<POINT*>(&bar_place), 2);
    GetWindowRect(stop, &stop_place);
    MapWindowPoints(nullptr, progress, reinterpret_cast<POINT*>(&stop_place), 2);
    EXPECT_EQ(bar_place.left, S(10));
    EXPECT_EQ(bar_place.top, S(140));
    EXPECT_EQ(stop_place.left, S(250));
    EXPECT_EQ(stop_place.bottom - stop_place.top, S(26));
    int bottom = 0;
    for (const vellum::app::ProgressLine& line : Ui().Progress().lines) {
        EXPECT_EQ(line.x, line.text == "a name of some length.txt" ? S(60) : S(10)) << line.text;
        EXPECT_LE(line.x + line.width, client.right) << line.text;
        bottom = std::max<int>(bottom, line.y + line.height);
    }
    EXPECT_EQ(Ui().Progress().lines.back().y, S(30));
    EXPECT_LE(bottom, bar_place.top);  // the last line is whole above the bar
    // The button's caption fits it.
    HDC dc = GetDC(stop);
    const SIZE caption = Extent(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(stop, WM_GETFONT, 0, 0)), "Stop");
    ReleaseDC(stop, dc);
    EXPECT_LE(caption.cx + 4, stop_place.right - stop_place.left);
    EXPECT_LE(caption.cy, stop_place.bottom - stop_place.top);
    Ui().CloseProgress();
}
