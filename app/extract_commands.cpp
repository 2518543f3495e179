// The Extract button and "Extract here": the marked rows of the archive view,
// into a chosen folder or into the process's current folder.
#include <algorithm>
#include <vector>

#include "app/app_internal.h"
#include "app/paths.h"
#include "archive/archive_lock.h"
#include "archive/summary_text.h"
#include "manage/extract_rows.h"
#include "platform/platform.h"

namespace vellum {
namespace app {
namespace {

// Both need the archive view with an archive and at least one marked row.
bool ExtractAllowed(AppContext& context) {
    const AppState& s = context.state;
    const bool archive_open = s.archive_view && s.archive_path[0] != '\0';
    if (archive_open && s.selected_count == 0) {
        Show(context, text::kSelectSomething);
        return false;
    }
    if (!archive_open) {
        Show(context, s.selected_count != 0 || s.archive_path[0] == '\0' ? text::kOpenArchive
                                                                          : text::kSelectSomething);
        return false;
    }
    return true;
}

// Destination with its trailing separator into the chosen folder; false when
// there is none. "Extract here" writes beside the open archive, wherever the
// process's current folder happens to be.
bool ChooseDestination(AppContext& context, bool here) {
    AppState& s = context.state;
    s.chosen_folder[0] = '\0';
    const std::string folder = here ? ArchiveFolderOf(s.archive_path) : WithTrailingSeparator(ChooseFolder(context));
    if (folder.empty()) return false;
    return StorePath(context, s.chosen_folder, folder);
}

// The marked rows' byte ranges in archive order (the rows may have been sorted).
std::vector<OffsetRange> MarkedRanges(const AppState& s) {
    std::vector<OffsetRange> ranges;
    for (uint32_t r = 0; r < s.listed_rows; ++r)
        if (s.row_marks[r]) ranges.push_back(OffsetRange{s.row_offsets[r], s.row_ends[r]});
    std::sort(ranges.begin(), ranges.end(),
              [](const OffsetRange& a, const OffsetRange& b) { return a.from < b.from; });
    return ranges;
}

// Bytes the command decodes: the marked rows' entries, and in a solid archive
// every entry before the last marked one too.
uint64_t BytesToDecode(const ArchiveListing& listing, const std::vector<OffsetRange>& ranges,
                       bool solid) {
    uint64_t last_wanted = 0;
    for (const OffsetRange& r : ranges) last_wanted = std::max(last_wanted, r.to);
    uint64_t total = 0;
    for (const ListingEntry& entry : listing.entries) {
        if (entry.offset >= last_wanted) break;
        if (solid || in_ranges(ranges, entry.offset)) total += entry.original_size;
    }
    return total;
}

}  // namespace

std::string ArchiveFolderOf(const std::string& archive_path) {
    std::string full = platform::full_path(archive_path.c_str());
    if (full.empty()) full = archive_path;
    const size_t last = full.find_last_of(kNativeSeparator == '\\' ? "\\/" : "/");
    return last == std::string::npos ? std::string() : full.substr(0, last + 1);
}

void ExtractMarkedRows(AppContext& context, bool here) {
    AppState& s = context.state;
    if (!ExtractAllowed(context) || !ChooseDestination(context, here)) return;

    CommandReporter reporter(context, true);
    Command command(Codec(context), reporter);
    command.archive_path = s.archive_path;
    // Decoding runs with the mode and block size the listing read from the archive.
    command.settings.solid = s.solid;
    command.settings.buffer_setting = s.buffer_setting;
    // Held for the whole command, so that worker threads decode the entries of a
    // normal archive side by side (a solid run decodes on this thread). One that
    // cannot be opened now is opened, and reported, per entry as before.
    LockedOpen opened = LockedOpen::ok;
    command.archive = open_locked(command.archive_path, "rb", false, reporter, &opened);
    if (opened == LockedOpen::busy) return;  // reported
    command.settings.threads = 0;
    if (!prepare_buffers(command)) return;
    s.start_time = context.ui.ClockMs();
    context.stop_requested = false;
    context.running = true;

    const std::vector<OffsetRange> ranges = MarkedRanges(s);
    reporter.OpenWindow(s.archive_path, BytesToDecode(context.listing, ranges, command.settings.solid != 0));
    const std::string destination = s.chosen_folder;
    // Solid: one run from the first entry, the entries before the last marked row
    // decoded and written only when their row is marked.
    const ExtractReport report = extract_ranges(command, context.listing, ranges, destination);
    const ExtractSummary& summary = report.summary;

    s.files_processed = command.totals.files_processed;
    s.processed_total = command.totals.processed_total;
    s.compressed_total = command.totals.compressed_total;
    // The described text, the destination, and what went wrong if anything did.
    std::string text = extracted_summary(s.files_processed, s.compressed_total, s.processed_total,
                                         s.archive_path, ElapsedSeconds(context));
    text += "\nDestination folder: " + destination;
    const size_t failed = std::max<size_t>(reporter.notices().size(),
                                           summary.damaged + summary.skipped + report.restored.failures +
                                               (summary.archive_failed || report.destination_failed ? 1 : 0));
    text += SummaryAddition(summary.interrupted || context.stop_requested, failed, reporter.notices());
    end_command(command);  // the archive is free again while the box is up
    reporter.CloseWindow();
    s.compressed_total = 0;
    context.running = false;
    reporter.ShowEntryNotices();
    ShowBox(context, text, text::kExtractedCaption, failed > 0 ? kIconWarning : kIconInformation);
    ResetMarks(context);
    s.chosen_folder[0] = '\0';
}

}  // namespace app
}  // namespace vellum
