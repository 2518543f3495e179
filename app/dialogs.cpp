// Message boxes and the dialogs the commands open, with the busy flag around them.
#include "app/app_internal.h"
#include "app/box_text.h"
#include "app/paths.h"

namespace vellum {
namespace app {

int ShowBox(AppContext& context, const std::string& text, const std::string& caption, unsigned flags) {
    return context.ui.ShowMessage(FitForBox(text), caption, flags);
}

void Show(AppContext& context, const AppText& m, const std::string& text) {
    ShowBox(context, m.text ? std::string(m.text) : text, m.caption, m.flags);
}

void Show(AppContext& context, const MessageText& m, const std::string& subject) {
    const BoxText box = box_text(Message{m.id, subject});
    ShowBox(context, box.text, box.caption, box.flags);
}

bool StorePath(AppContext& context, char (&out)[kTextSize], const std::string& text) {
    if (CopyText(out, text)) return true;
    Show(context, text::kPathTooLong, text);
    return false;
}

// The dialogs have no owner: the main window keeps receiving commands while one
// is open, and the busy flag is what keeps most of them out.
std::string ChooseFolder(AppContext& context) {
    context.state.busy = 1;
    std::string folder = context.ui.ChooseFolder(FolderChooserRequest{});
    context.state.busy = 0;
    return folder;
}

std::string ChooseFile(AppContext& context, FileDialogKind kind) {
    context.state.busy = 1;
    std::string path = context.ui.ChooseFile(kind == FileDialogKind::save ? SaveArchiveDialog()
                                                                          : OpenFileDialog());
    context.state.busy = 0;
    return path;
}

}  // namespace app
}  // namespace vellum
