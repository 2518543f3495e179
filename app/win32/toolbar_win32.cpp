#include "app/win32/toolbar_win32.h"

#include "platform/wide_text.h"
#include "resources/resource.h"

namespace vellum {
namespace app {
namespace {

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

// At 96 dots per inch a picture keeps its own size (the button's 90 by 60);
// on a scaled display it is stretched to the scaled button.
HBITMAP LoadPicture(ToolbarImage image, const std::string& executable_folder, int dpi) {
    std::string candidates[2];
    const int count = ToolbarImageCandidates(image, executable_folder, candidates);
    const int width = dpi == 96 ? 0 : ScaledFor(dpi, kToolbarButtonWidth);
    const int height = dpi == 96 ? 0 : ScaledFor(dpi, kToolbarButtonHeight);
    for (int k = 0; k < count; ++k) {
        HANDLE loaded = LoadImageW(nullptr, utf8_to_wide(candidates[k]).c_str(), IMAGE_BITMAP, width, height,
                                   LR_LOADFROMFILE);
        if (loaded) return static_cast<HBITMAP>(loaded);
    }
    return nullptr;
}

}  // namespace

std::string ExecutableFolder() {
    wchar_t path[32768] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    if (length == 0 || length >= 32768) return "";
    std::string folder = wide_to_utf8(path, static_cast<int>(length));
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? "" : folder.substr(0, slash);
}

void LoadToolbarImages(AppState& state) {
    const std::string beside = ExecutableFolder();
    for (int i = 0; i < kToolbarImageCount; ++i)
        state.toolbar_images[i] = LoadPicture(static_cast<ToolbarImage>(i), beside, state.dpi);
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
            0, "BUTTON", "bmp2", kButtonStyle | BS_BITMAP, Scaled(state, kToolbarButtonLeft[b]), 0,
            Scaled(state, kToolbarButtonWidth), Scaled(state, kToolbarButtonHeight), parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOLBAR_BUTTON)), instance, nullptr);
        state.toolbar_buttons[b] = button;
        const int image = static_cast<int>(InitialButtonImage(static_cast<ToolbarButton>(b)));
        SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP,
                     reinterpret_cast<LPARAM>(state.toolbar_images[image]));
    }
    state.filler_button = CreateWindowExA(
        0, "BUTTON", "    ", kButtonStyle, Scaled(state, kFillerButtonLeft), 0, Scaled(state, kFillerButtonWidth),
        Scaled(state, kToolbarButtonHeight), parent,
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
