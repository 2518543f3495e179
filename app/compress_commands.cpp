// The three compress commands: the marked rows of the folder view, one chosen
// file, one chosen folder. Each asks for its target archive, prepares the
// buffers once, runs the core's drivers and sums up in one box.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_internal.h"
#include "app/paths.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "archive/parallel_add.h"
#include "archive/summary_text.h"
#include "platform/platform.h"

namespace vellum {
namespace app {
namespace {

// Open or create archive: the save dialog until a usable archive is chosen or
// the user cancels. A typed name whose ".vlm" form exists opens that archive
// for adding; an existing normal archive's buffer setting is adopted. False,
// with the archive path empty, when nothing is to be added.
bool OpenTargetArchive(AppContext& context, Command& command) {
    AppState& s = context.state;
    for (;;) {
        s.archive_path[0] = '\0';
        const std::string path = ChooseFile(context, FileDialogKind::save);
        if (path.empty()) return false;
        // The ".vlm" the core may add must fit too.
        if (path.size() + 4 >= static_cast<size_t>(kTextSize)) {
            Show(context, text::kPathTooLong, path);
            continue;
        }
        switch (open_or_create_archive(command, path)) {
            case OpenResult::created:
            case OpenResult::opened:
                CopyText(s.archive_path, command.archive_path);
                s.archive_view = 1;
                s.buffer_setting = static_cast<uint8_t>(command.settings.buffer_setting);
                ShowBufferImage(context);
                return true;
            case OpenResult::not_archive:
            case OpenResult::refused:
                continue;  // reported; the dialog is shown again
            case OpenResult::cancelled:
            case OpenResult::busy:
            case OpenResult::damaged:
            case OpenResult::cannot_create:
            case OpenResult::exists:  // never asked for here
                return false;
        }
    }
}

// The archive open in the view, to add dropped files to: no dialog; its own
// mode and block size.
bool OpenGivenArchive(AppContext& context, Command& command, const std::string& path) {
    AppState& s = context.state;
    const OpenResult opened = open_or_create_archive(command, path);
    if (opened != OpenResult::opened && opened != OpenResult::created) return false;
    CopyText(s.archive_path, command.archive_path);
    s.archive_view = 1;
    s.buffer_setting = static_cast<uint8_t>(command.settings.buffer_setting);
    return true;
}

// What every compress command does before its first file: the target archive
// (asked for with the save dialog, or the one given), the buffers, the clock.
bool StartCompress(AppContext& context, Command& command, const std::string& given_archive = {}) {
    AppState& s = context.state;
    command.settings.solid = s.solid;
    command.settings.buffer_setting = s.buffer_setting;
    command.settings.threads = 0;  // one worker per core; solid runs code on this thread
    // A command that ends before its first file leaves the view as it was.
    const std::string archive_before = s.archive_path;
    const uint8_t view_before = s.archive_view;
    const bool opened = given_archive.empty() ? OpenTargetArchive(context, command)
                                              : OpenGivenArchive(context, command, given_archive);
    if (!opened || !prepare_buffers(command)) {
        CopyText(s.archive_path, archive_before);
        s.archive_view = view_before;
        return false;
    }
    s.start_time = context.ui.ClockMs();
    context.stop_requested = false;
    context.running = true;
    return true;
}

// The "Added" summary: release the tables, close the progress window, show what
// the core said about single files, then the box. Its text is the described one,
// and below it whether the command was stopped and how many files failed.
void FinishCompress(AppContext& context, Command& command, CommandReporter& reporter,
                    const AddSummary& summary) {
    AppState& s = context.state;
    s.files_processed = summary.added;
    s.processed_total = command.totals.processed_total;
    s.compressed_total = command.totals.compressed_total;
    std::string text = added_summary(s.files_processed, s.processed_total, s.compressed_total,
                                     s.archive_path, ElapsedSeconds(context));
    const size_t failed = std::max<size_t>(reporter.notices().size(),
                                           summary.skipped + (summary.failed && !summary.interrupted ? 1 : 0));
    text += SummaryAddition(summary.interrupted || context.stop_requested, failed, reporter.notices());
    end_command(command);
    reporter.CloseWindow();
    s.compressed_total = 0;
    context.running = false;
    reporter.ShowEntryNotices();
    ShowBox(context, text, text::kAddedCaption, failed > 0 ? kIconWarning : kIconInformation);
}

// After a compress command started in the archive view, the grid lists the
// archive just written, so rows, offsets and view agree again.
void ShowViewAfter(AppContext& context, bool was_archive_view) {
    AppState& s = context.state;
    s.archive_view = 0;
    if (!was_archive_view) return;
    s.archive_view = 1;
    CopyText(s.saved_archive_path, s.archive_path);
    OpenArchiveIntoGrid(context, s.archive_path);
}

uint64_t MarkedBytes(AppContext& context) {
    AppState& s = context.state;
    uint64_t total = 0;
    char name[kTextSize];
    for (uint32_t r = 0; r < s.listed_rows; ++r) {
        if (!s.row_marks[r]) continue;
        s.grid.GetCellText(static_cast<int>(r), 1, name, kTextSize);
        total += bytes_below(JoinFolder(s.current_folder, name));
    }
    return total;
}

// A solid run stores data that looks random unless another file of the command
// starts alike: the marked rows' files are read for their starts first.
void NoteSharedStarts(AppContext& context, Command& command) {
    AppState& s = context.state;
    if (!command.settings.solid) return;
    std::vector<std::string> paths;
    char name[kTextSize];
    for (uint32_t r = 0; r < s.listed_rows; ++r) {
        if (!s.row_marks[r] || (s.row_kind[r] != kRowFolder && s.row_kind[r] != kRowFile)) continue;
        s.grid.GetCellText(static_cast<int>(r), 1, name, kTextSize);
        paths.push_back(JoinFolder(s.current_folder, name));
    }
    find_shared_starts(paths, add_walk_options(command), &command.shared_starts);
}

}  // namespace

void CompressMarkedRows(AppContext& context) {
    AppState& s = context.state;
    if (s.selected_count == 0) {
        Show(context, s.archive_view ? text::kOnlyExtraction : text::kSelectSomething);
        return;
    }
    if (s.archive_view) {
        Show(context, text::kOnlyExtraction);
        return;
    }
    CommandReporter reporter(context, false);
    Command command(Codec(context), reporter);
    if (!StartCompress(context, command)) return;
    reporter.OpenWindow(s.archive_path, MarkedBytes(context));

    AddSummary summary;
    char name[kTextSize];
    NoteSharedStarts(context, command);
    ParallelAdd parallel(command);
    for (uint32_t r = 0; r < s.listed_rows && !summary.failed; ++r) {
        if (!s.row_marks[r]) continue;
        if (reporter.stop_requested()) break;
        s.grid.GetCellText(static_cast<int>(r), 1, name, kTextSize);
        const std::string path = JoinFolder(s.current_folder, name);
        if (path.size() >= static_cast<size_t>(kTextSize)) {
            Show(context, text::kPathTooLong, path);
            continue;
        }
        // A folder row's files go in below the folder's name, a file row under its
        // own name; the archive being written is never added to itself.
        if (s.row_kind[r] == kRowFolder || s.row_kind[r] == kRowFile) add_path(command, path, summary);
    }
    parallel.finish();
    FinishCompress(context, command, reporter, summary);
    s.archive_view = 0;
    ResetMarks(context);
}

// Files and folders dropped on the view of a normal archive go into it, as the
// Compress button adds marked rows, and the view then lists the archive anew.
void AddToOpenArchive(AppContext& context, const std::vector<std::string>& paths) {
    AppState& s = context.state;
    const std::string archive = s.archive_path;
    CommandReporter reporter(context, false);
    Command command(Codec(context), reporter);
    if (!StartCompress(context, command, archive)) return;
    uint64_t total = 0;
    for (const std::string& path : paths) total += bytes_below(path);
    reporter.OpenWindow(s.archive_path, total);
    AddSummary summary;
    ParallelAdd parallel(command);
    for (const std::string& path : paths) {
        if (reporter.stop_requested() || summary.failed) break;
        add_path(command, path, summary);
    }
    parallel.finish();
    FinishCompress(context, command, reporter, summary);
    CopyText(s.saved_archive_path, s.archive_path);
    OpenArchiveIntoGrid(context, s.archive_path);
}

void CompressSingleFile(AppContext& context) {
    AppState& s = context.state;
    const bool was_archive_view = s.archive_view != 0;
    const std::string source = ChooseFile(context, FileDialogKind::open);
    s.source_file[0] = '\0';
    if (source.empty() || !StorePath(context, s.source_file, source)) return;
    FILE* file = platform::open_file(s.source_file, "rb");
    if (!file) {
        Show(context, text::kFileNotExist);
        return;
    }
    std::fclose(file);

    CommandReporter reporter(context, false);
    Command command(Codec(context), reporter);
    if (!StartCompress(context, command)) return;
    // A small file needs no progress window: the summary is the only sign of the
    // command. A large one shows its progress and can be stopped.
    uint64_t size = 0;
    if (platform::file_size(s.source_file, &size) && size >= kLargeSingleFile)
        reporter.OpenWindow(s.archive_path, size);
    AddSummary summary;
    add_path(command, s.source_file, summary);
    FinishCompress(context, command, reporter, summary);
    ShowViewAfter(context, was_archive_view);
}

void CompressSingleFolder(AppContext& context) {
    AppState& s = context.state;
    const bool was_archive_view = s.archive_view != 0;
    const std::string folder = ChooseFolder(context);
    s.folder_to_compress[0] = '\0';
    if (!CopyText(s.folder_to_compress, folder)) {
        Show(context, text::kPathTooLong, folder);
        return;
    }
    Show(context, text::kFolderSource, s.folder_to_compress);
    if (folder.empty()) return;

    CommandReporter reporter(context, false);
    Command command(Codec(context), reporter);
    if (!StartCompress(context, command)) return;
    reporter.OpenWindow(s.archive_path, bytes_below(folder));
    AddSummary summary;
    // Below the folder's own name; a drive's top folder has none, and its files
    // stand at the top.
    if (command.settings.solid) find_shared_starts({folder}, add_walk_options(command), &command.shared_starts);
    ParallelAdd parallel(command);
    add_path(command, folder, summary);
    parallel.finish();
    FinishCompress(context, command, reporter, summary);
    ShowViewAfter(context, was_archive_view);
}

}  // namespace app
}  // namespace vellum
