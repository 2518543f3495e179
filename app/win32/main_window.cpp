#include "app/win32/main_window.h"

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/win32/screen_place.h"
#include "app/win32/toolbar_win32.h"
#include "platform/wide_text.h"
#include "resources/resource.h"

namespace vellum {
namespace app {
namespace {

// The one main window's pieces. The context is made with the window and kept
// after it (the codec tables inside live for the process).
struct MainWindowParts {
    AppState* state = nullptr;
    std::unique_ptr<Win32Ui> ui;
    std::unique_ptr<AppContext> context;
    bool close_pending = false;  // closed while a command ran: close after it
};

MainWindowParts& Parts() {
    static MainWindowParts parts;
    return parts;
}

// A Unicode window class: the title names folders and archives in any script.
void RegisterMainWindowClass(const AppState& state, HINSTANCE instance) {
    const std::wstring class_name = utf8_to_wide(state.class_name);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELLUM));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    wc.lpszClassName = class_name.c_str();
    wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&wc);  // a second registration fails harmlessly
}

LRESULT OnCreate(HWND hwnd, const CREATESTRUCTW* create) {
    MainWindowParts& parts = Parts();
    AppState& state = *parts.state;
    state.main_window = hwnd;
    state.grid.Create(Scaled(state, kGridPlace.left), Scaled(state, kGridPlace.top),
                      Scaled(state, kGridPlace.right), Scaled(state, kGridPlace.bottom), hwnd, kGridColumns);
    SetUpGrid(state.grid, state.dpi);
    LoadToolbarImages(state);
    CreateToolbar(state, hwnd, create->hInstance);
    // Files and folders dropped on the window (WM_DROPFILES).
    DragAcceptFiles(hwnd, TRUE);
    StartUp(*parts.context, wide_to_utf8(GetCommandLineW()).c_str());
    return 0;
}

// Each dropped path, as UTF-8, to the command logic.
LRESULT OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, &path[0], length + 1));
        paths.push_back(wide_to_utf8(path));
    }
    DragFinish(drop);
    DropPaths(*Parts().context, paths);
    return 0;
}

LRESULT OnSize() {
    Parts().state->grid.Resize();
    return 0;
}

// A command is running inside an earlier WM_COMMAND (its progress window pumps
// the messages, or one of its ownerless dialogs is open): closing now would
// pull the grid from under it, so the window closes when the command returns.
LRESULT OnClose(HWND hwnd) {
    MainWindowParts& parts = Parts();
    if (parts.context && (parts.context->running || parts.state->busy)) {
        parts.close_pending = true;
        parts.ui->RequestStop();
        return 0;
    }
    DestroyWindow(hwnd);
    return 0;
}

LRESULT OnDestroy() {
    PostQuitMessage(0);
    return 0;
}

LRESULT OnNcDestroy(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    MainWindowParts& parts = Parts();
    if (parts.state) {
        ReleaseToolbarImages(*parts.state);
        parts.state->main_window = nullptr;
    }
    parts.close_pending = false;
    return DefWindowProcW(hwnd, WM_NCDESTROY, wParam, lParam);
}

// Toolbar buttons by their handles, the grid's notifications by the grid's
// handle, menu and accelerator commands by their ids.
// The check mark of Options > Strong compression follows the program's flag.
void ShowStrongCheck(HWND hwnd, const AppState& state) {
    CheckMenuItem(GetMenu(hwnd), IDM_STRONG, MF_BYCOMMAND | (state.strong ? MF_CHECKED : MF_UNCHECKED));
}

LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    MainWindowParts& parts = Parts();
    AppContext& context = *parts.context;
    HWND sender = reinterpret_cast<HWND>(lParam);
    const int button = ToolbarButtonIndex(*parts.state, sender);
    LRESULT result = -1;
    if (button >= 0) {
        PressButton(context, static_cast<ToolbarButton>(button));
    } else if (sender && sender == static_cast<HWND>(parts.state->grid.GetHWnd())) {
        OnGridNotification(context, HIWORD(wParam));
        result = 0;
    } else {
        const int id = LOWORD(wParam);
        const bool command = (id >= IDM_FIRST && id <= IDM_LAST) || (id >= IDK_FIRST && id <= IDK_LAST);
        if (command && RunMenuCommand(context, id)) result = 0;
        if (id == IDM_STRONG) ShowStrongCheck(hwnd, *parts.state);
    }
    if (parts.close_pending && !context.running) {
        parts.close_pending = false;
        DestroyWindow(hwnd);
        return 0;
    }
    return result == 0 ? 0 : DefWindowProcW(hwnd, WM_COMMAND, wParam, lParam);
}

}  // namespace

HWND CreateMainWindow(AppState& state, HINSTANCE instance, int show_mode) {
    MainWindowParts& parts = Parts();
    LoadStringA(instance, IDS_APP_TITLE, state.title, sizeof state.title);
    LoadStringA(instance, IDS_WINDOW_CLASS, state.class_name, sizeof state.class_name);
    RegisterMainWindowClass(state, instance);
    state.instance = instance;
    state.show_mode = show_mode;
    state.dpi = ScreenDpi();
    parts.context.reset();
    parts.state = &state;
    parts.ui = std::make_unique<Win32Ui>(state);
    parts.context = std::make_unique<AppContext>(state, *parts.ui);
    parts.close_pending = false;
    const RECT place = PlaceOnScreen(0, 0, kMainWindowWidth, kMainWindowHeight, state.dpi);
    HWND hwnd = CreateWindowExW(0, utf8_to_wide(state.class_name).c_str(), utf8_to_wide(state.title).c_str(),
                                WS_OVERLAPPEDWINDOW, place.left, place.top, place.right - place.left,
                                place.bottom - place.top, nullptr, nullptr, instance, nullptr);
    state.main_window = hwnd;
    return hwnd;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Parts().state) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_CREATE: return OnCreate(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        case WM_SIZE: return OnSize();
        case WM_COMMAND: return OnCommand(hwnd, wParam, lParam);
        case WM_CLOSE: return OnClose(hwnd);
        case WM_DESTROY: return OnDestroy();
        case WM_NCDESTROY: return OnNcDestroy(hwnd, wParam, lParam);
        case WM_DROPFILES: return OnDropFiles(reinterpret_cast<HDROP>(wParam));
        default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

AppContext* MainContext() { return Parts().context.get(); }
Win32Ui* MainUi() { return Parts().ui.get(); }

bool TranslateMainAccelerator(HWND main, HACCEL accelerators, MSG* msg) {
    HWND target = msg->hwnd;
    if (main && (target == main || IsChild(main, target))) target = main;
    return TranslateAcceleratorW(target, accelerators, msg) != 0;
}

int RunMessageLoop(HWND main, HACCEL accelerators) {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (!TranslateMainAccelerator(main, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace app
}  // namespace vellum
