// Operations shared by the command files of the desktop program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/app_messages.h"
#include "archive/command.h"
#include "archive/report.h"

namespace vellum {
namespace app {

// --- messages and dialogs (dialogs.cpp) -----------------------------------------------
// Every box of the program goes through ShowBox: its text fitted to the screen
// (box_text.h).
int ShowBox(AppContext& context, const std::string& text, const std::string& caption, unsigned flags);
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
void SetFolderColumns(AppContext& context);
void ListFolder(AppContext& context, const std::string& folder);
void OpenFolderRow(AppContext& context, uint32_t row);
void OpenParentRow(AppContext& context);
// The archive a file row names (a ".vlm" row) opened into the grid.
void OpenArchiveRow(AppContext& context, uint32_t row);
// The current folder listed anew.
void ListFolderAgain(AppContext& context);
// Asks for a folder and lists it: the Drive button, going up from a drive. A
// cancelled chooser leaves the view as it was, except at start-up
// (keep_view false), when the empty folder is listed.
void ShowChosenFolder(AppContext& context, bool keep_view = true);
// A name that ends in ".vlm", in any case.
bool IsArchiveName(const std::string& name);
// Sorting (sort_rows.cpp): the rows by column, the per-row tables with them; a
// second call for the same column reverses the order.
void SortRows(AppContext& context, int column);
// Archive view (archive_view.cpp).
// The text of a listing row's cell, columns 0 to 4, as the grid shows it.
std::string ArchiveCell(const ListingRow& row, int column);
void OpenArchiveIntoGrid(AppContext& context, const std::string& path);
// "Open Archive"'s steps for a path already chosen: the previous archive stays in
// force when this one does not open.
void OpenArchivePath(AppContext& context, const std::string& path);
void ShowArchiveInfo(AppContext& context);
void DeleteMarkedEntries(AppContext& context);
void ShowSolidImage(AppContext& context);
void ShowBufferImage(AppContext& context);

// --- running a command (progress.cpp) ------------------------------------------------------
// A message the core raised while a command ran (a source that could not be
// read, an output that could not be written, a damaged entry, ...), kept until
// the command ends.
struct EntryNotice {
    std::string text, caption;
    unsigned flags = 0;
};

// The core's reporter for one command: messages become boxes, progress events
// become the status lines and the bar, and Stop ends the command at a safe point.
// While a compress or extract command runs, its messages are kept instead of
// shown (ShowEntryNotices shows them after the command's summary is made), so
// no box stops the command and the time boxes stay up is not the command's.
class CommandReporter : public Reporter {
public:
    CommandReporter(AppContext& context, bool extracting) : context_(context), extracting_(extracting) {}
    void message(const Message& message) override;
    void progress(const ProgressEvent& event) override;
    bool stop_requested() override;

    // Opens the progress window with the archive path; total is the bar's end.
    void OpenWindow(const std::string& archive_path, uint64_t total);
    void CloseWindow();

    const std::vector<EntryNotice>& notices() const { return notices_; }
    // The notices kept: one as the core raised it, several as one box listing them.
    void ShowEntryNotices();

private:
    void DrawLines(const std::string& name, uint64_t processed, uint64_t second, uint32_t files);
    void DrawLines(const std::string& name, const CommandTotals& totals);
    void Line(int x, int y, const std::string& text);

    AppContext& context_;
    bool extracting_;
    bool open_ = false;
    uint64_t bar_total_ = 0;
    uint64_t bar_finished_ = 0;  // bytes of the files or entries finished
    uint64_t last_draw_ms_ = 0;
    std::string last_name_;      // the name on the FILE line
    std::vector<EntryNotice> notices_;
};

// What happened beside the described summary: "" when every file went as asked;
// else lines saying the command was stopped and how many entries failed, with
// the first reason.
std::string SummaryAddition(bool stopped, size_t failed, const std::vector<EntryNotice>& notices);

// Seconds since the command's start.
double ElapsedSeconds(AppContext& context);
CodecState& Codec(AppContext& context);

// --- the compress and extract commands (compress_commands.cpp, extract_commands.cpp) ----
void CompressMarkedRows(AppContext& context);
// "Compress single File" shows the progress window (and Stop) for a source of
// this size or more.
constexpr uint64_t kLargeSingleFile = uint64_t{4} << 20;
void CompressSingleFile(AppContext& context);
// Files and folders dropped on the view of the open normal archive, added to it.
void AddToOpenArchive(AppContext& context, const std::vector<std::string>& paths);
void CompressSingleFolder(AppContext& context);
void ExtractMarkedRows(AppContext& context, bool here);
// The folder an archive lies in, with its trailing separator: where "Extract
// here" writes. "" when the path has no folder part that can be found.
std::string ArchiveFolderOf(const std::string& archive_path);

}  // namespace app
}  // namespace vellum
