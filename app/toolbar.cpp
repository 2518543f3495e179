// The toolbar's pictures and which one each button shows; the dialogs' requests.
#include "app/ui.h"
#include "archive/format.h"

namespace vellum {
namespace app {
namespace {

constexpr const char* kImageFiles[kToolbarImageCount] = {
    "IMAGES/compress.bmp",  "IMAGES/delete.bmp",    "IMAGES/extract.bmp",  "IMAGES/drive.bmp",
    "IMAGES/select.bmp",    "IMAGES/remove.bmp",    "IMAGES/solid.bmp",    "IMAGES/solidoff.bmp",
    "IMAGES/buffer8.bmp",   "IMAGES/buffer16.bmp",  "IMAGES/buffer32.bmp", "IMAGES/buffer64.bmp",
    "IMAGES/buffer128.bmp", "IMAGES/buffer256.bmp", "IMAGES/buffer512.bmp",
};

constexpr ToolbarImage kInitialImages[kToolbarButtonCount] = {
    ToolbarImage::compress, ToolbarImage::remove, ToolbarImage::select,   ToolbarImage::drive,
    ToolbarImage::extract,  ToolbarImage::erase,  ToolbarImage::solidoff, ToolbarImage::buffer128,
};

}  // namespace

const char* ToolbarImageFile(ToolbarImage image) {
    const int i = static_cast<int>(image);
    return i >= 0 && i < kToolbarImageCount ? kImageFiles[i] : "";
}

int ToolbarImageCandidates(ToolbarImage image, const std::string& executable_folder,
                           std::string candidates[2]) {
    const std::string relative = ToolbarImageFile(image);
    candidates[0] = relative;
    if (executable_folder.empty()) return 1;
    // The same relative name below the executable's folder, in the system's form.
    std::string beside = executable_folder;
    const char last = beside.back();
    if (last != '\\' && last != '/') beside += '\\';
    for (char c : relative) beside += c == '/' ? '\\' : c;
#ifndef _WIN32
    for (char& c : beside) if (c == '\\') c = '/';
#endif
    candidates[1] = beside;
    return 2;
}

ToolbarImage InitialButtonImage(ToolbarButton button) {
    const int i = static_cast<int>(button);
    return i >= 0 && i < kToolbarButtonCount ? kInitialImages[i] : ToolbarImage::compress;
}

ToolbarImage SolidImage(uint8_t solid) { return solid ? ToolbarImage::solid : ToolbarImage::solidoff; }

ToolbarImage BufferImage(int buffer_setting) {
    if (buffer_setting < 0 || buffer_setting > kMaxBufferSetting) buffer_setting = kDefaultBufferSetting;
    return static_cast<ToolbarImage>(static_cast<int>(ToolbarImage::buffer8) + buffer_setting);
}

FileDialogRequest SaveArchiveDialog() {
    FileDialogRequest request;
    request.kind = FileDialogKind::save;
    return request;
}

FileDialogRequest OpenFileDialog() {
    FileDialogRequest request;
    request.kind = FileDialogKind::open;
    return request;
}

}  // namespace app
}  // namespace vellum
