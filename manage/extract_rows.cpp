#include "manage/extract_rows.h"

#include <cerrno>
#include <memory>
#include <set>

#include "archive/archive_lock.h"
#include "archive/messages.h"

namespace vellum {
namespace {

// The first part of a stored path: the name of the row it stands under.
std::string top_name(const std::string& stored) { return stored.substr(0, stored.find('\\')); }

}  // namespace

ExtractReport extract_ranges(Command& command, const ArchiveListing& listing, const std::vector<OffsetRange>& ranges,
                             const std::string& destination) {
    ArchiveMeta meta;
    if (command.archive) read_archive_meta(command.archive, command.archive_path, listing.entries, command.reporter, &meta);
    ExtractRequest request;
    request.destination = destination;
    request.wanted.assign(listing.entries.size(), false);
    std::set<std::string> rows;
    bool every = true;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        const ListingEntry& e = listing.entries[i];
        if (meta.reserved[i]) continue;
        if (!in_ranges(ranges, e.offset)) {
            every = false;
            continue;
        }
        request.wanted[i] = true;
        rows.insert(top_name(e.folder_path + e.file_name));
    }
    // The folders and links below the rows taken, or every one with every row.
    request.takes = [rows, every](const std::string& stored) { return every || rows.count(top_name(stored)) != 0; };
    return run_extraction(command, listing.entries, meta, request);
}

ExtractReport extract_all(Command& command, const ArchiveListing& listing, const std::string& destination) {
    return extract_ranges(command, listing, {OffsetRange{0, UINT64_MAX}}, destination);
}

namespace {

// Holds the archive for one run when the command does not.
class HeldForRun {
public:
    explicit HeldForRun(Command& command) : command_(command), own_(command.archive == nullptr) {
        if (!own_) return;
        LockedOpen opened = LockedOpen::ok;
        command.archive = open_locked(command.archive_path, "rb", false, command.reporter, &opened);
        busy_ = opened == LockedOpen::busy;
        if (opened == LockedOpen::cannot_open)
            report(command.reporter, msg::kExtractRangeFailed, command.archive_path, errno);
    }
    ~HeldForRun() {
        if (own_) command_.close_archive();
    }
    bool ready() const { return command_.archive != nullptr; }

private:
    Command& command_;
    const bool own_;
    bool busy_ = false;
};

}  // namespace

ExtractSummary extract_ranges(Command& command, const std::vector<OffsetRange>& ranges, const std::string& destination) {
    HeldForRun held(command);
    ExtractSummary failed;
    failed.archive_failed = true;
    if (!held.ready()) return failed;
    ArchiveListing listing;
    if (list_stream(command.archive, command.archive_path, command.reporter, &listing) == ListStatus::not_archive)
        return failed;
    ExtractSummary summary = extract_ranges(command, listing, ranges, destination).summary;
    if (listing.status != ListStatus::complete) summary.archive_failed = true;
    return summary;
}

ExtractSummary extract_all(Command& command, const std::string& destination) {
    return extract_ranges(command, {OffsetRange{0, UINT64_MAX}}, destination);
}

ExtractResult check_entry(Command& command, uint64_t offset) {
    HeldForRun held(command);
    if (!held.ready()) return ExtractResult::archive_failed;
    std::vector<EntryTask> tasks(1);
    tasks[0].offset = offset;
    tasks[0].sink = std::make_unique<CheckSink>(ExpectedFile(), std::string());
    ExtractResult result = ExtractResult::archive_failed;
    extract_entries(command, tasks, [&result](size_t, ExtractResult r) {
        result = r;
        return true;
    });
    return result;
}

}  // namespace vellum
