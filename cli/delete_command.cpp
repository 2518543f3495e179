// vellum delete: rows out of a normal archive, the other records copied unchanged.
#include <algorithm>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/select.h"
#include "cli/summary.h"
#include "manage/delete.h"
#include "meta/archive_meta.h"

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

// The archive's metadata, read under a shared lock, to find the folders, links
// and hard links the names select.
ArchiveMeta metadata_of(Session& session, const std::string& path, const ArchiveListing& listing) {
    ArchiveMeta meta;
    ArchiveHeader header;
    FILE* file = open_for_reading(session, path, &header);
    if (!file) return meta;
    SilentReporter quiet;
    read_archive_meta(file, path, listing.entries, quiet, &meta);
    std::fclose(file);
    return meta;
}

// How many folders, links and hard links of the metadata `names` select.
size_t items_named(const ArchiveMeta& meta, const std::vector<std::string>& names) {
    if (names.empty()) return 0;  // no names select everything elsewhere
    size_t count = 0;
    for (const std::vector<MetaRef>* refs : {&meta.folders, &meta.links, &meta.hard_links})
        for (const MetaRef& ref : *refs) count += names_take_path(names, {}, meta.path(ref)) ? 1 : 0;
    return count;
}

}  // namespace

int run_delete(Session& session, const Options& options) {
    const std::string path = resolve_archive_path(options.archive);
    ArchiveListing listing;
    if (!list_checked(session, path, &listing)) return kExitFatal;

    DeleteRequest request;
    request.archive_view = true;
    request.archive_path = path;
    request.solid = listing.header.solid;
    bool missing = false;
    bool by_entry = false;  // some records named inside a row, or by pattern
    const ArchiveMeta meta = metadata_of(session, path, listing);
    // Folders, links and hard links named go from the metadata that holds them.
    std::vector<std::string> item_names;
    for (const std::string& name : options.operands)
        if (items_named(meta, {name}) > 0) item_names.push_back(name);
    const size_t items = item_names.empty() ? 0 : items_named(meta, item_names);
    if (!item_names.empty())
        request.items = [item_names](const std::string& stored) { return names_take_path(item_names, {}, stored); };
    for (const std::string& name : options.operands) {
        const Selection selection = select_entries(listing, {name});
        // Metadata entries go with their files, or when named themselves.
        if (name.compare(0, 7, ".vellum") == 0) request.metadata_as_marked = true;
        const bool item = std::find(item_names.begin(), item_names.end(), name) != item_names.end();
        if (!selection.missing.empty() && !item) {
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
    if (request.marked.empty() && request.marked_entries.empty() && item_names.empty()) return kExitPartial;
    // The records that go: those of the marked rows and the marked entries.
    std::vector<OffsetRange> gone;
    for (size_t row : request.marked) gone.push_back(row_range(listing, row));
    Selection marked;
    marked.ranges = entry_ranges(listing, request.marked_entries);
    marked.ranges.insert(marked.ranges.end(), gone.begin(), gone.end());
    const size_t entries = selected_entries(listing, marked).size();

    DeleteReporter reporter(session.reporter);
    const DeleteResult result = delete_entries(request, listing, reporter);
    if (result == DeleteResult::interrupted) return report_interrupted(session);
    if (result != DeleteResult::deleted && result != DeleteResult::archive_deleted) return kExitFatal;
    if (result == DeleteResult::archive_deleted)
        print_line(session, reporter.notice + ": " + path, true);
    else if (request.marked.empty() && request.marked_entries.empty())
        print_line(session, reporter.notice + ": " + counted(items, "folder or link", "folders and links") +
                                " from archive " + path,
                   true);
    else
        print_line(session, reporter.notice + ": " +
                                (by_entry ? counted(entries, "entry", "entries")
                                          : counted(request.marked.size(), "row", "rows") + " (" +
                                                counted(entries, "entry", "entries") + ")") +
                                (items ? " and " + counted(items, "folder or link", "folders and links") : "") +
                                " from archive " + path,
                   true);
    return missing ? kExitPartial : kExitOk;
}

}  // namespace cli
}  // namespace vellum
