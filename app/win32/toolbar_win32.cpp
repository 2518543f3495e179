#include "app/win32/toolbar_win32.h"

#include "resources/resource.h"

namespace vellum {
namespace app {
namespace {

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

HBITMAP LoadPicture(ToolbarImage image, const std::string& executable_folder) {
    std::string candidates[2];
    const int count = ToolbarImageCandidates(image, executable_folder, candidates);
    for (int k = 0; k < count; ++k) {
        HANDLE loaded = LoadImageA(nullptr, candidates[k].c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        if (loaded) return static_cast<HBITMAP>(loaded);
    }
    return nullptr;
}

}  // namespace

std::string ExecutableFolder() {
    char path[MAX_PATH * 4] = "";
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    std::string folder(path, length);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? "" : folder.substr(0, slash);
}

void LoadToolbarImages(AppState& state) {
    const std::string beside = ExecutableFolder();
    for (int i = 0; i < kToolbarImageCount; ++i)
        state.toolbar_images[i] = LoadPicture(static_cast<ToolbarImage>(i), beside);
}

void ReleaseToolbarImages(AppState& state) {
    for (void*& image : state.toolbar_images) {
        if (image) DeleteObject(static_cast<HBITMAP>(image));
        image = nullptr;
    }
}

void CreateToolbar(AppState& state, HWND parent, HINSTANCE instance) {
    for (int b = 0; b < kToolbarButtonCount; ++b) {
        HWND button = CreateWindowExA(
            0, "BUTTON", "bmp2", kButtonStyle | BS_BITMAP, kToolbarButtonLeft[b], 0,
            kToolbarButtonWidth, kToolbarButtonHeight, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOLBAR_BUTTON)), instance, nullptr);
        state.toolbar_buttons[b] = button;
        const int image = static_cast<int>(InitialButtonImage(static_cast<ToolbarButton>(b)));
        SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP,
                     reinterpret_cast<LPARAM>(state.toolbar_images[image]));
    }
    state.filler_button = CreateWindowExA(
        0, "BUTTON", "    ", kButtonStyle, kFillerButtonLeft, 0, kFillerButtonWidth,
        kToolbarButtonHeight, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_FILLER_BUTTON)), GetModuleHandleA(nullptr),
        nullptr);
}

int ToolbarButtonIndex(const AppState& state, HWND sender) {
    if (!sender) return -1;
    for (int b = 0; b < kToolbarButtonCount; ++b)
        if (state.toolbar_buttons[b] == sender) return b;
    return -1;
}

}  // namespace app
}  // namespace vellum
