// vellum delete: rows out of a normal archive, the other records copied unchanged.
#include <algorithm>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/meta_read.h"
#include "cli/select.h"
#include "cli/summary.h"
#include "manage/delete.h"

namespace vellum {
namespace cli {
namespace {

// The desktop program confirms a deletion in a box; here the success notices
// become the command's summary on stdout and only failures reach stderr.
class DeleteReporter : public Reporter {
public:
    explicit DeleteReporter(Reporter& errors) : errors_(errors) {}
    void message(const Message& message) override {
        if (message.id == MessageId::deleted || message.id == MessageId::archive_deleted)
            notice = message_text(message.id).text;
        else
            errors_.message(message);
    }
    bool stop_requested() override { return errors_.stop_requested(); }
    std::string notice;

private:
    Reporter& errors_;
};

}  // namespace

int run_delete(Session& session, const Options& options) {
    const std::string path = resolve_archive_path(options.archive);
    ArchiveListing listing;
    if (!list_checked(session, path, &listing)) return kExitFatal;

    DeleteRequest request;
    request.archive_view = true;
    request.archive_path = path;
    request.solid = listing.header.solid;
    ArchiveMeta meta;
    read_archive_meta(session, path, listing, &meta);
    bool missing = false;
    bool by_entry = false;  // some records named inside a row, or by pattern
    for (const std::string& name : options.operands) {
        Selection selection = select_entries(listing, {name});
        // The metadata of the entries kept stays, unless it is named itself.
        if (meta.present && !names_meta(name))
            selection.entries.erase(std::remove_if(selection.entries.begin(), selection.entries.end(),
                                                   [&](size_t i) { return meta.reserved[i]; }),
                                    selection.entries.end());
        if (!selection.missing.empty()) {
            print_error(session, path + ": no entry or row named " + name);
            missing = true;
        }
        for (size_t row : selection.rows)
            if (std::find(request.marked.begin(), request.marked.end(), row) == request.marked.end())
                request.marked.push_back(row);
        if (selection.rows.empty() && !selection.entries.empty()) {
            by_entry = true;
            request.marked_entries.insert(request.marked_entries.end(), selection.entries.begin(),
                                          selection.entries.end());
        }
    }
    if (request.marked.empty() && request.marked_entries.empty()) return kExitPartial;
    // The records that go: those of the marked rows and the marked entries.
    std::vector<OffsetRange> gone;
    for (size_t row : request.marked) gone.push_back(row_range(listing, row));
    Selection marked;
    marked.ranges = entry_ranges(listing, request.marked_entries);
    marked.ranges.insert(marked.ranges.end(), gone.begin(), gone.end());
    size_t entries = selected_entries(listing, marked).size();
    if (meta.present) {
        // Metadata with no entry left to describe goes with the last of them.
        size_t gone_files = 0, files = 0;
        for (size_t i : selected_entries(listing, marked)) gone_files += meta.reserved[i] ? 0 : 1;
        for (size_t i = 0; i < listing.entries.size(); ++i) files += meta.reserved[i] ? 0 : 1;
        if (gone_files == files) {
            for (size_t i = 0; i < listing.entries.size(); ++i)
                if (meta.reserved[i]) request.marked_entries.push_back(i);
        }
    }

    DeleteReporter reporter(session.reporter);
    const DeleteResult result = delete_entries(request, listing, reporter);
    if (result == DeleteResult::interrupted) return report_interrupted(session);
    if (result != DeleteResult::deleted && result != DeleteResult::archive_deleted) return kExitFatal;
    if (result == DeleteResult::archive_deleted)
        print_line(session, reporter.notice + ": " + path, true);
    else
        print_line(session, reporter.notice + ": " +
                                (by_entry ? counted(entries, "entry", "entries")
                                          : counted(request.marked.size(), "row", "rows") + " (" +
                                                counted(entries, "entry", "entries") + ")") +
                                " from archive " + path,
                   true);
    return missing ? kExitPartial : kExitOk;
}

}  // namespace cli
}  // namespace vellum
