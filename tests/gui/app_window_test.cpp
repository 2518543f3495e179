// The main window as built: class, resources, menu, accelerators, toolbar,
// grid place, the About box and the progress window.
#include "app_test_host.h"

#include <commctrl.h>

#include <cstring>

#include "grid/grid_registry.h"

using namespace apptest;
using vellum::app::ToolbarButton;
using vellum::app::ToolbarImage;

namespace {

std::string WindowText(HWND hwnd) {
    char text[1024] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassOf(HWND hwnd) {
    char text[256] = "";
    GetClassNameA(hwnd, text, sizeof text);
    return text;
}

MSG Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    return msg;
}

struct MenuItem {
    int popup;
    int position;
    const char* text;  // nullptr: a separator
    int id;
};

const MenuItem kMenu[] = {
    {0, 0, "Open Archive", 113},           {0, 1, nullptr, 0},
    {0, 2, "Compress single File", 117},   {0, 3, "Compress single Folder", 118},
    {0, 4, nullptr, 0},                    {0, 5, "Exit", 105},
    {1, 0, "Select   All", 111},           {1, 1, "Deselect All", 112},
    {1, 2, nullptr, 0},                    {1, 3, "Get Archive Info", 115},
    {1, 4, "Extract here", 116},           {2, 0, "Strong compression", 119},
    {3, 0, "&About", 104},
};

}  // namespace

TEST_F(MainWindowTest, WindowClassTitleAndPlace) {
    EXPECT_EQ(ClassOf(Main()), "DATAGRIDTEST");
    // The title, and after it what the window shows: the folder chosen at start-up.
    EXPECT_EQ(WindowText(Main()), "Vellum - " + Scratch());
    EXPECT_STREQ(State().title, "Vellum");
    EXPECT_STREQ(State().class_name, "DATAGRIDTEST");
    RECT rc;
    GetWindowRect(Main(), &rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right - rc.left, 730);
    EXPECT_EQ(rc.bottom - rc.top, 600);
    EXPECT_EQ(GetWindowLongA(Main(), GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    // No extended style but the one DragAcceptFiles adds: files may be dropped on it.
    EXPECT_EQ(GetWindowLongA(Main(), GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, WS_EX_ACCEPTFILES);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "DATAGRIDTEST", &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS));
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(wc.hbrBackground), 5);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(wc.lpszMenuName), 109u);
    EXPECT_NE(wc.hIcon, nullptr);
    EXPECT_NE(wc.hIconSm, nullptr);
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(MainWindowTest, StringTableAndIcons) {
    char text[64] = "";
    HINSTANCE self = GetModuleHandleA(nullptr);
    EXPECT_GT(LoadStringA(self, 103, text, sizeof text), 0);
    EXPECT_STREQ(text, "Vellum");
    EXPECT_GT(LoadStringA(self, 109, text, sizeof text), 0);
    EXPECT_STREQ(text, "DATAGRIDTEST");
    // Both icons in US English, the large one 32 pixels at least.
    for (int id : {107, 108}) {
        EXPECT_NE(FindResourceExA(self, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(id),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
                  nullptr)
            << id;
    }
    HICON large = LoadIconA(self, MAKEINTRESOURCEA(107));
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(large, &info));
    BITMAP bm{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_GE(bm.bmWidth, 32);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

TEST_F(MainWindowTest, MenuTextsAndIds) {
    HMENU bar = GetMenu(Main());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    const char* popups[] = {"&File", "&Commands", "&Options", "&Help"};
    const int counts[] = {6, 5, 1, 1};
    for (int p = 0; p < 4; ++p) {
        char text[64] = "";
        GetMenuStringA(bar, p, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, popups[p]);
        EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, p)), counts[p]) << popups[p];
    }
    for (const MenuItem& item : kMenu) {
        HMENU popup = GetSubMenu(bar, item.popup);
        MENUITEMINFOA info{};
        char text[64] = "";
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(popup, item.position, TRUE, &info));
        if (!item.text) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR) << item.popup << "/" << item.position;
            continue;
        }
        EXPECT_STREQ(text, item.text);
        EXPECT_EQ(static_cast<int>(info.wID), item.id) << item.text;
    }
}

// Strong compression starts off, and each choice of it turns it over, check
// mark and flag alike.
TEST_F(MainWindowTest, StrongCompressionIsACheckedOption) {
    HMENU bar = GetMenu(Main());
    auto checked = [&] { return (GetMenuState(bar, IDM_STRONG, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    EXPECT_FALSE(checked());
    EXPECT_EQ(State().strong, 0);
    Menu(IDM_STRONG);
    EXPECT_TRUE(checked());
    EXPECT_EQ(State().strong, 1);
    Menu(IDM_STRONG);
    EXPECT_FALSE(checked());
    EXPECT_EQ(State().strong, 0);
}

TEST_F(MainWindowTest, AcceleratorTableAndKeys) {
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(109));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8];
    // The two of the About box first, then the keys of a file manager.
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 8), 7);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(entries[k].cmd, 104);
        EXPECT_EQ(entries[k].fVirt & ~0x80, FALT);  // a character key with ALT
    }
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[1].key, '/');
    const struct { WORD key; BYTE modifiers; WORD cmd; } file_keys[] = {
        {VK_RETURN, 0, IDK_OPEN_FOCUSED}, {VK_BACK, 0, IDK_PARENT_FOLDER}, {VK_DELETE, 0, IDK_DELETE},
        {'A', FCONTROL, IDM_SELECT_ALL},  {VK_F5, 0, IDK_LIST_AGAIN}};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(entries[2 + k].key, file_keys[k].key) << k;
        EXPECT_EQ(entries[2 + k].fVirt & ~0x80, FVIRTKEY | file_keys[k].modifiers) << k;
        EXPECT_EQ(entries[2 + k].cmd, file_keys[k].cmd) << k;
    }

    // ALT+? and ALT+/ arrive as WM_SYSCHAR at the focus window, the grid here;
    // both open the About box. The same characters without ALT do nothing.
    // TranslateAcceleratorA reads ALT from the keyboard state.
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE alt = keys[VK_MENU];
    for (char key : {'?', '/'}) {
        keys[VK_MENU] = 0x80;
        SetKeyboardState(keys);
        bool translated = false;
        const bool shown = AnswerModal("About", {}, IDOK, [&] {
            MSG msg = Message(Grid(), WM_SYSCHAR, key, 0x20000001);
            translated = vellum::app::TranslateMainAccelerator(Main(), table, &msg);
        });
        EXPECT_TRUE(translated) << key;
        EXPECT_TRUE(shown) << key;
        keys[VK_MENU] = 0;
        SetKeyboardState(keys);
        MSG plain = Message(Grid(), WM_CHAR, key, 1);
        EXPECT_FALSE(vellum::app::TranslateMainAccelerator(Main(), table, &plain)) << key;
    }
    keys[VK_MENU] = alt;
    SetKeyboardState(keys);
}

TEST_F(MainWindowTest, AboutBoxFromTheMenu) {
    std::string line[3], button, title;
    int button_id = 0;
    bool default_button = false, has_icon = false;
    RECT icon_place{}, button_place{}, line_place[3]{};
    RECT dialog_units{0, 0, 0, 0};
    const bool shown = AnswerModal("About", [&](HWND dialog) {
        title = WindowText(dialog);
        for (int k = 0; k < 3; ++k) {
            HWND h = GetDlgItem(dialog, IDC_ABOUT_LINE1 + k);
            line[k] = WindowText(h);
            GetWindowRect(h, &line_place[k]);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&line_place[k]), 2);
        }
        HWND ok = GetDlgItem(dialog, 1);
        button = WindowText(ok);
        button_id = GetDlgCtrlID(ok);
        default_button = (GetWindowLongA(ok, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
        GetWindowRect(ok, &button_place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button_place), 2);
        HWND icon = GetDlgItem(dialog, IDC_ABOUT_ICON);
        has_icon = (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                   SendMessageA(icon, STM_GETICON, 0, 0) != 0;
        GetWindowRect(icon, &icon_place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&icon_place), 2);
        dialog_units = {39, 10, 180, 22};
        MapDialogRect(dialog, &dialog_units);
    }, 1, [&] { Menu(IDM_ABOUT); });
    ASSERT_TRUE(shown);
    EXPECT_EQ(title, "About");
    EXPECT_EQ(button, " WELCOME");
    EXPECT_EQ(button_id, 1);
    EXPECT_TRUE(default_button);
    EXPECT_TRUE(has_icon);
    for (const std::string& text : line) EXPECT_FALSE(text.empty());
    // The first line at (39, 10) and the button at (180, 22) in dialog units.
    EXPECT_EQ(line_place[0].left, dialog_units.left);
    EXPECT_EQ(line_place[0].top, dialog_units.top);
    EXPECT_EQ(button_place.left, dialog_units.right);
    EXPECT_EQ(button_place.top, dialog_units.bottom);
    EXPECT_LT(icon_place.left, line_place[0].left);
}

TEST_F(MainWindowTest, ToolbarButtonsPlacesStylesAndImages) {
    const int lefts[] = {1, 91, 181, 271, 361, 451, 541, 631};
    const ToolbarImage first[] = {ToolbarImage::compress, ToolbarImage::remove,
                                  ToolbarImage::select,   ToolbarImage::drive,
                                  ToolbarImage::extract,  ToolbarImage::erase,
                                  ToolbarImage::solidoff, ToolbarImage::buffer128};
    for (int b = 0; b < 8; ++b) {
        HWND button = Button(static_cast<ToolbarButton>(b));
        ASSERT_NE(button, nullptr) << b;
        EXPECT_EQ(GetParent(button), Main());
        EXPECT_EQ(ClassOf(button), "Button");
        EXPECT_EQ(WindowText(button), "bmp2");
        EXPECT_EQ(GetDlgCtrlID(button), 1);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(button, GWL_STYLE)),
                  static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_BITMAP));
        RECT rc = ClientRect(button);
        EXPECT_EQ(rc.left, lefts[b]);
        EXPECT_EQ(rc.top, 0);
        EXPECT_EQ(rc.right - rc.left, 90);
        EXPECT_EQ(rc.bottom - rc.top, 60);
        EXPECT_EQ(ButtonImage(static_cast<ToolbarButton>(b)), Image(first[b])) << b;
    }
    HWND filler = static_cast<HWND>(State().filler_button);
    EXPECT_EQ(WindowText(filler), "    ");
    EXPECT_EQ(GetDlgCtrlID(filler), 0);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(filler, GWL_STYLE)),
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS));
    RECT rc = ClientRect(filler);
    EXPECT_EQ(rc.left, 721);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right - rc.left, 890);
    EXPECT_EQ(rc.bottom - rc.top, 60);
}

// The tests run in a folder without IMAGES: every picture comes from IMAGES
// beside the test program, and each is a 90 x 60 bitmap of 24 bits per pixel.
TEST_F(MainWindowTest, PicturesLoadFromBesideTheProgram) {
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    for (int i = 0; i < 15; ++i) {
        HBITMAP image = Image(static_cast<ToolbarImage>(i));
        ASSERT_NE(image, nullptr) << vellum::app::ToolbarImageFile(static_cast<ToolbarImage>(i));
        BITMAP bm{};
        GetObjectA(image, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 90);
        EXPECT_EQ(bm.bmHeight, 60);
    }
    // All fifteen are different pictures.
    for (int i = 0; i < 15; ++i)
        for (int j = i + 1; j < 15; ++j) EXPECT_NE(Image(static_cast<ToolbarImage>(i)),
                                                   Image(static_cast<ToolbarImage>(j)));
}

TEST_F(MainWindowTest, FillerButtonHasNoCommand) {
    HWND filler = static_cast<HWND>(State().filler_button);
    const size_t boxes = Script().boxes.size();
    const int rows = RowCount();
    SendMessageA(filler, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(Script().boxes.size(), boxes);
    EXPECT_EQ(Script().file_dialogs.size(), 0u);
    EXPECT_EQ(Script().choosers.size(), 1u);  // the start-up one only
    EXPECT_EQ(RowCount(), rows);
    EXPECT_TRUE(IsWindow(Main()));
}

TEST_F(MainWindowTest, GridColumnsFontAndPlace) {
    DataGridRecord* record = FindGridRecord(State().grid.GetHWnd());
    ASSERT_NE(record, nullptr);
    const char* titles[] = {" OFF", "Name", "Size", "Modified", "Other"};
    ASSERT_EQ(record->columnCount, 5);
    for (int c = 0; c < 5; ++c) EXPECT_STREQ(record->columns[c].title, titles[c]) << c;
    EXPECT_EQ(record->headerLogFont.lfWeight, 700);
    EXPECT_FALSE(record->gridLines);
    EXPECT_EQ(GetParent(Grid()), Main());

    // The grid keeps its proportions to the window's outer size; the buttons
    // keep their places.
    RECT before = ClientRect(Grid());
    GridPercents percents = State().grid.GetPercents();
    SetWindowPos(Main(), nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    RECT after = ClientRect(Grid());
    GridPlacement expected = PlaceFromPercents(percents, 1000, 700);
    EXPECT_EQ(after.left, expected.x);
    EXPECT_EQ(after.top, expected.y);
    EXPECT_EQ(after.right - after.left, expected.width);
    EXPECT_EQ(after.bottom - after.top, expected.height);
    EXPECT_GT(after.right - after.left, before.right - before.left);
    EXPECT_GT(after.bottom - after.top, before.bottom - before.top);
    RECT button = ClientRect(Button(ToolbarButton::buffer));
    EXPECT_EQ(button.left, 631);
    EXPECT_EQ(button.right - button.left, 90);
}

// --- the progress window ---------------------------------------------------------------

class ProgressWindowTest : public MainWindowTest {
protected:
    HWND Progress() { return static_cast<HWND>(State().progress_window); }
    void Open() {
        Ui().OpenProgress(vellum::app::ProgressWindowSpec{});
        Pump();
        ASSERT_NE(Progress(), nullptr);
    }
    // Every pixel of the client area's top 130 rows, where the lines are.
    std::vector<COLORREF> Pixels() {
        RedrawWindow(Progress(), nullptr, nullptr, RDW_UPDATENOW);
        std::vector<COLORREF> pixels;
        HDC dc = GetDC(Progress());
        for (int y = 0; y < 130; y += 1)
            for (int x = 0; x < 420; x += 1) pixels.push_back(GetPixel(dc, x, y));
        ReleaseDC(Progress(), dc);
        return pixels;
    }
    int DarkPixels(int left, int top, int right, int bottom) {
        HDC dc = GetDC(Progress());
        int dark = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) dark += GetPixel(dc, x, y) == RGB(0, 0, 0);
        ReleaseDC(Progress(), dc);
        return dark;
    }
};

TEST_F(ProgressWindowTest, ClassTitleStyleAndPlace) {
    Open();
    HWND w = Progress();
    EXPECT_EQ(ClassOf(w), "#32770");
    EXPECT_EQ(GetClassLongPtrA(w, GCW_ATOM), 0x8002);
    EXPECT_EQ(WindowText(w), "Vellum Dialog");
    // The system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)) & ~WS_CLIPSIBLINGS, 0x10CF0000u);
    EXPECT_EQ(GetParent(w), nullptr);
    EXPECT_EQ(GetWindow(w, GW_OWNER), nullptr);
    RECT rc;
    GetWindowRect(w, &rc);
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 300);
    EXPECT_EQ(rc.right - rc.left, 600);
    EXPECT_EQ(rc.bottom - rc.top, 300);
    // Below the lines: the bar and the Stop button.
    HWND bar = GetDlgItem(w, vellum::app::kProgressBarId);
    HWND stop = GetDlgItem(w, vellum::app::kStopButtonId);
    EXPECT_EQ(ClassOf(bar), PROGRESS_CLASSA);
    EXPECT_EQ(WindowText(stop), "Stop");
    RECT place;
    GetWindowRect(bar, &place);
    MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_GT(place.top, 126);
    Ui().CloseProgress();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(Progress(), nullptr);
}

TEST_F(ProgressWindowTest, LinesAtTheirPlacesSurviveCoveringAndUncovering) {
    Open();
    EXPECT_EQ(DarkPixels(0, 0, 420, 130), 0);
    Ui().DrawProgressLine(10, 10, "ARCHIVE: ");
    Ui().DrawProgressLine(72, 10, "C:\\data\\backup.vlm");
    Ui().DrawProgressLine(10, 90, "PROCESSED : 1234567890 ");
    Ui().DrawProgressLine(10, 90, "PROCESSED : 12 ");
    Pump();
    EXPECT_GT(DarkPixels(10, 10, 70, 26), 0);
    EXPECT_GT(DarkPixels(72, 10, 200, 26), 0);
    EXPECT_EQ(DarkPixels(0, 30, 420, 88), 0);  // nothing between the two rows
    // The shorter number shows exactly its text: nothing of the longer one's tail.
    SIZE shorter{}, longer{};
    HDC dc = GetDC(Progress());
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    GetTextExtentPoint32A(dc, "PROCESSED : 12 ", 15, &shorter);
    GetTextExtentPoint32A(dc, "PROCESSED : 1234567890 ", 23, &longer);
    ReleaseDC(Progress(), dc);
    EXPECT_GT(DarkPixels(10, 90, 10 + shorter.cx, 106), 0);
    EXPECT_EQ(DarkPixels(10 + shorter.cx, 90, 10 + longer.cx, 106), 0);
    const std::vector<COLORREF> drawn = Pixels();

    // Cover the lines with another window, take it away: the same pixels.
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_BLACKRECT,
                                 290, 290, 500, 200, nullptr, nullptr, nullptr, nullptr);
    Pump();
    DestroyWindow(cover);
    Pump();
    EXPECT_EQ(Pixels(), drawn);
    // So does a full repaint with erasing.
    RedrawWindow(Progress(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(Pixels(), drawn);
    // Lines wholly covered by a later one are not kept.
    Ui().DrawProgressLine(10, 90, "PROCESSED : 99999999999999 ");
    EXPECT_EQ(Ui().Progress().lines.size(), 3u);
}

// The FILE line after a long name: the label and a shorter name show exactly
// themselves, nothing of the longer name's tail, also after a full repaint.
TEST_F(ProgressWindowTest, AShorterNameAfterALongerOneShowsOnlyItself) {
    Open();
    const std::string label = "FILE:" + std::string(47, ' ');
    Ui().DrawProgressLine(10, 30, label);
    Ui().DrawProgressLine(60, 30, "Z:\\data\\docs\\sub1\\html\\a-rather-long-name-of-a-page.txt");
    Ui().DrawProgressLine(10, 30, label);
    Ui().DrawProgressLine(60, 30, "a.txt");
    Pump();
    SIZE name{};
    HDC dc = GetDC(Progress());
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    GetTextExtentPoint32A(dc, "a.txt", 5, &name);
    ReleaseDC(Progress(), dc);
    EXPECT_GT(DarkPixels(60, 30, 60 + name.cx, 46), 0);
    EXPECT_EQ(DarkPixels(60 + name.cx, 30, 580, 46), 0);
    RedrawWindow(Progress(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(DarkPixels(60 + name.cx, 30, 580, 46), 0);
    EXPECT_GT(DarkPixels(10, 30, 50, 46), 0);  // "FILE:" stays
}

TEST_F(ProgressWindowTest, BarAndStop) {
    Open();
    HWND bar = GetDlgItem(Progress(), vellum::app::kProgressBarId);
    Ui().SetProgressBar(250, 1000);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 250);
    Ui().SetProgressBar(3, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
    Ui().SetProgressBar(UINT64_MAX - 1, UINT64_MAX);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 999);
    EXPECT_FALSE(Ui().PumpAndCheckStop());
    SendMessageA(GetDlgItem(Progress(), vellum::app::kStopButtonId), BM_CLICK, 0, 0);
    EXPECT_TRUE(Ui().PumpAndCheckStop());
    EXPECT_TRUE(Ui().PumpAndCheckStop());  // until the next window
    Ui().CloseProgress();

    // Closing the window asks for a stop too; the window stays until the
    // command closes it.
    Open();
    EXPECT_FALSE(Ui().PumpAndCheckStop());
    PostMessageA(Progress(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ui().PumpAndCheckStop());
    EXPECT_TRUE(IsWindow(Progress()));
    Ui().CloseProgress();
}

TEST(ProgressBarPosition, ScalesWithoutOverflow) {
    using vellum::app::ProgressBarPosition;
    EXPECT_EQ(ProgressBarPosition(0, 0), 0);
    EXPECT_EQ(ProgressBarPosition(5, 0), 0);
    EXPECT_EQ(ProgressBarPosition(1, 3), 333);
    EXPECT_EQ(ProgressBarPosition(7, 7), 1000);
    EXPECT_EQ(ProgressBarPosition(9, 7), 1000);
    EXPECT_EQ(ProgressBarPosition(UINT64_MAX / 2, UINT64_MAX), 499);
    EXPECT_EQ(ProgressBarPosition(UINT64_MAX / 2 + 1, UINT64_MAX), 500);
}
