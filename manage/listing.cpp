#include "manage/listing.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "archive/archive_lock.h"
#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// The full name up to, not including, its first backslash.
std::string top_name(const std::string& full_name) {
    return full_name.substr(0, full_name.find('\\'));
}

void add_file_row(ArchiveListing* listing, const ListingEntry& entry) {
    ListingRow row;
    row.kind = kRowKindFile;
    row.name = entry.file_name;
    row.packed = entry.record_length;
    row.size = entry.original_size;
    row.offset = entry.offset;
    row.first_entry = listing->entries.size() - 1;
    row.entry_count = 1;
    listing->rows.push_back(row);
    listing->row_offsets.push_back(entry.offset);
}

void add_folder_row(ArchiveListing* listing, const ListingEntry& entry, const std::string& top) {
    ListingRow row;
    row.kind = kRowKindFolder;
    row.name = top;
    row.offset = entry.offset;
    row.first_entry = listing->entries.size() - 1;
    row.entry_count = 0;  // counted as the run grows
    listing->rows.push_back(row);
    listing->row_offsets.push_back(entry.offset);
}

std::string damage_reason(WalkStep step, const RecordHead& head, uint64_t left) {
    switch (step) {
        case WalkStep::interrupted_add:
            return "record length 0 (an add that never finished)";
        case WalkStep::length_too_small:
            return "record length " + std::to_string(head.record_length) +
                   " is smaller than the record's own head";
        case WalkStep::past_end:
            return "record of " + head.folder_path + head.file_name + " (" +
                   std::to_string(head.record_length) + " bytes) runs past the end, " +
                   std::to_string(left) + " bytes left";
        case WalkStep::truncated_head:
            return "the file ends inside a record head";
        default:
            return "the record cannot be read";
    }
}

void report_damage(Reporter& reporter, const std::string& path, const ArchiveListing& listing,
                   WalkStep step, const RecordHead& head) {
    const uint64_t at = listing.damaged_offset;
    std::string text = path + ": damaged record at offset " + std::to_string(at) + ": " +
                       damage_reason(step, head, listing.archive_length - at) + "; " +
                       std::to_string(listing.entry_count) + " entries listed before it";
    report(reporter, msg::kListingDamaged, text);
}

// Walks every record after the header, each into its row (append_to_listing).
void walk_rows(ArchiveWalk* walk, const std::string& path, Reporter& reporter,
               ArchiveListing* listing) {
    RecordHead head;
    for (;;) {
        WalkStep step = walk_next(walk, &head);
        uint16_t file_class = 0;
        // An entry step leaves the stream at the class field, inside the file.
        if (step == WalkStep::entry && !read_class_field(walk->file, &file_class)) {
            walk->offset = walk->entry_offset;
            step = WalkStep::io_error;
        }
        if (step == WalkStep::end) {
            listing->status = ListStatus::complete;
            break;
        }
        if (step != WalkStep::entry) {
            listing->status = ListStatus::incomplete;
            listing->damaged_offset = walk->offset;
            report_damage(reporter, path, *listing, step, head);
            break;
        }
        ListingEntry entry;
        entry.offset = walk->entry_offset;
        entry.record_length = head.record_length;
        entry.original_size = head.original_size;
        entry.folder_path = head.folder_path;
        entry.file_name = head.file_name;
        entry.file_class = file_class;
        append_to_listing(listing, entry);
    }
    // Where the walk stopped: the end of the file, or the damaged record's start.
    listing->row_offsets.push_back(walk->offset);
}

ListStatus list_opened(FILE* file, const std::string& path, Reporter& reporter,
                       ArchiveListing* listing) {
    ArchiveWalk walk;
    ArchiveHeader header;
    if (walk_begin(file, &walk, &header) != HeaderResult::ok) {
        report(reporter, msg::kNotAnArchive);
        listing->status = ListStatus::not_archive;
        return listing->status;
    }
    listing->header = header;
    listing->archive_length = walk.archive_length;
    walk_rows(&walk, path, reporter, listing);
    return listing->status;
}

ListStatus list_path(const std::string& path, Reporter& reporter, ArchiveListing* listing,
                     bool report_unopened) {
    *listing = ArchiveListing();
    // Read only: the listing never writes, and a read-only archive still lists.
    LockedOpen opened = LockedOpen::ok;
    FILE* file = open_locked(path, "rb", false, reporter, &opened);
    if (file == nullptr) {
        if (opened == LockedOpen::busy) {
            listing->status = ListStatus::busy;
            return listing->status;
        }
        if (report_unopened) report(reporter, msg::kListNotOpened, path, errno);
        listing->status = ListStatus::cannot_open;
        return listing->status;
    }
    list_opened(file, path, reporter, listing);
    std::fclose(file);
    return listing->status;
}

}  // namespace

// A new folder row starts whenever an entry under a folder does not continue the
// folder run of the last row (the last row always holds the last entry), so
// every record belongs to exactly one row and a file row is exactly one record.
void append_to_listing(ArchiveListing* listing, const ListingEntry& entry) {
    const bool in_folder_run = !listing->rows.empty() && listing->rows.back().kind == kRowKindFolder;
    listing->entries.push_back(entry);
    listing->entry_count = listing->entries.size();
    if (entry.folder_path.empty()) {
        add_file_row(listing, entry);
        return;
    }
    const std::string top = top_name(entry.folder_path + entry.file_name);
    if (!in_folder_run || top != listing->rows.back().name) add_folder_row(listing, entry, top);
    listing->rows.back().entry_count += 1;
}

ListStatus list_archive(const std::string& path, Reporter& reporter, ArchiveListing* listing) {
    return list_path(path, reporter, listing, true);
}

ListStatus open_archive(const std::string& path, Reporter& reporter, ArchiveListing* listing) {
    return list_path(path, reporter, listing, false);
}

ListStatus list_stream(FILE* file, const std::string& path, Reporter& reporter,
                       ArchiveListing* listing) {
    *listing = ArchiveListing();
    return list_opened(file, path, reporter, listing);
}

RowRange row_range(const ArchiveListing& listing, size_t row) {
    return RowRange{listing.row_offsets[row], listing.row_offsets[row + 1]};
}

std::vector<RowRange> row_ranges(const ArchiveListing& listing, const std::vector<size_t>& rows) {
    std::vector<bool> wanted(listing.rows.size(), false);
    for (size_t r : rows)
        if (r < wanted.size()) wanted[r] = true;
    std::vector<RowRange> ranges;
    for (size_t r = 0; r < wanted.size(); ++r)
        if (wanted[r]) ranges.push_back(row_range(listing, r));
    return ranges;
}

std::vector<size_t> find_rows(const ArchiveListing& listing, const std::string& name) {
    std::string wanted = name;
    bool folders_only = false;
    if (!wanted.empty() && (wanted.back() == '\\' || wanted.back() == '/')) {
        wanted.pop_back();
        folders_only = true;
    }
    std::vector<size_t> found;
    for (size_t r = 0; r < listing.rows.size(); ++r) {
        const ListingRow& row = listing.rows[r];
        if (row.name != wanted) continue;
        if (folders_only && row.kind != kRowKindFolder) continue;
        found.push_back(r);
    }
    return found;
}

}  // namespace vellum
