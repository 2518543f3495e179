// Operations shared by the command files of the desktop program.
#pragma once

#include <cstdint>
#include <string>

#include "app/app.h"
#include "app/app_messages.h"
#include "archive/command.h"
#include "archive/report.h"

namespace vellum {
namespace app {

// --- messages and dialogs (dialogs.cpp) -----------------------------------------------
void Show(AppContext& context, const AppText& m, const std::string& text = {});
// A message of the core, shown as its described box.
void Show(AppContext& context, const MessageText& m, const std::string& subject = {});
// Copies text into out; a text that does not fit is refused with a message.
bool StorePath(AppContext& context, char (&out)[kTextSize], const std::string& text);
// The folder chooser with the busy flag raised around it; "" on cancel.
std::string ChooseFolder(AppContext& context);
// A file dialog with the busy flag raised around it; "" on cancel.
std::string ChooseFile(AppContext& context, FileDialogKind kind);

// --- marking (marking.cpp) ---------------------------------------------------------------
GridColor RowColour(uint8_t kind);
void MarkRow(AppContext& context, uint32_t row);
void UnmarkRow(AppContext& context, uint32_t row);
void MarkAll(AppContext& context);
void ResetMarks(AppContext& context);
// Empties the grid and the per-row tables together.
void ClearRows(AppContext& context);

// --- views ------------------------------------------------------------------------------
// Folder view (folder_view.cpp).
void SetFolderColumns(CDataGrid& grid);
void ListFolder(AppContext& context, const std::string& folder);
void OpenFolderRow(AppContext& context, uint32_t row);
void OpenParentRow(AppContext& context);
// Asks for a folder and lists it: the Drive button, going up from a drive.
void ShowChosenFolder(AppContext& context);
// Archive view (archive_view.cpp).
void OpenArchiveIntoGrid(AppContext& context, const std::string& path);
void ShowArchiveInfo(AppContext& context);
void DeleteMarkedEntries(AppContext& context);
void ShowSolidImage(AppContext& context);
void ShowBufferImage(AppContext& context);

// --- running a command (progress.cpp) ------------------------------------------------------
// The core's reporter for one command: messages become boxes, progress events
// become the status lines and the bar, and Stop ends the command at a safe point.
class CommandReporter : public Reporter {
public:
    CommandReporter(AppContext& context, bool extracting) : context_(context), extracting_(extracting) {}
    void message(const Message& message) override;
    void progress(const ProgressEvent& event) override;
    bool stop_requested() override;

    // Opens the progress window with the archive path; total is the bar's end.
    void OpenWindow(const std::string& archive_path, uint64_t total);
    void CloseWindow();
    bool window_open() const { return open_; }

private:
    void DrawLines(const std::string& name, const CommandTotals& totals);
    void Line(int x, int y, const std::string& text);

    AppContext& context_;
    bool extracting_;
    bool open_ = false;
    uint64_t bar_total_ = 0;
    uint64_t bar_finished_ = 0;  // bytes of the files or entries finished
    uint64_t last_draw_ms_ = 0;
};

double ElapsedSeconds(AppContext& context);
CodecState& Codec(AppContext& context);

// --- the compress and extract commands (compress_commands.cpp, extract_commands.cpp) ----
void CompressMarkedRows(AppContext& context);
void CompressSingleFile(AppContext& context);
void CompressSingleFolder(AppContext& context);
void ExtractMarkedRows(AppContext& context, bool here);

}  // namespace app
}  // namespace vellum
