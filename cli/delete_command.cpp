// vellum delete: rows out of a normal archive, the other records copied unchanged.
#include <algorithm>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/summary.h"
#include "manage/delete.h"

namespace vellum {
namespace cli {
namespace {

bool is_message(const MessageText& m, const std::string& text, const std::string& caption) {
    return text == m.text && caption == m.caption;
}

// The desktop program confirms a deletion in a box; here the success notices
// become the command's summary on stdout and only failures reach stderr.
class DeleteReporter : public Reporter {
public:
    explicit DeleteReporter(Reporter& errors) : errors_(errors) {}
    void message(const std::string& text, const std::string& caption, unsigned flags) override {
        if (is_message(msg::kDeleted, text, caption) || is_message(msg::kArchiveDeleted, text, caption))
            notice = text;
        else
            errors_.message(text, caption, flags);
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
    size_t entries = 0;
    bool missing = false;
    for (const std::string& name : options.operands) {
        const std::vector<size_t> rows = find_rows(listing, name);
        if (rows.empty()) {
            print_error(session, path + ": no row named " + name);
            missing = true;
        }
        for (size_t row : rows) {
            if (std::find(request.marked.begin(), request.marked.end(), row) != request.marked.end())
                continue;
            request.marked.push_back(row);
            entries += listing.rows[row].entry_count;
        }
    }
    if (request.marked.empty()) return kExitPartial;

    DeleteReporter reporter(session.reporter);
    const DeleteResult result = delete_entries(request, listing, reporter);
    if (result == DeleteResult::interrupted) return report_interrupted(session);
    if (result != DeleteResult::deleted && result != DeleteResult::archive_deleted) return kExitFatal;
    if (result == DeleteResult::archive_deleted)
        print_line(session, reporter.notice + ": " + path, true);
    else
        print_line(session, reporter.notice + ": " + counted(request.marked.size(), "row", "rows") +
                                " (" + counted(entries, "entry", "entries") + ") from archive " + path,
                   true);
    return missing ? kExitPartial : kExitOk;
}

}  // namespace cli
}  // namespace vellum
