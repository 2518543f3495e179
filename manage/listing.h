// The archive view's listing: one row per top-level file and one per run of
// entries under the same top-level folder, each row remembering the byte range
// of its records, so extract and delete can address entries by row without
// reading the archive again. Plain data: the desktop program fills its grid
// from the rows, the command line prints them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/report.h"

namespace vellum {

constexpr int kRowKindFile = 0;
constexpr int kRowKindFolder = 1;

// One row of the archive view: a top-level file, or a run of entries under one
// top-level folder. How a row looks is the front end's business.
struct ListingRow {
    int kind = kRowKindFile;
    std::string name;         // the file name, or the top folder name
    uint64_t packed = 0;      // a file's record length; 0 for a folder row
    uint64_t size = 0;        // a file's original size; 0 for a folder row
    uint64_t offset = 0;      // start of the row's first record
    size_t first_entry = 0;   // index of that record in ArchiveListing::entries
    size_t entry_count = 0;   // records the row stands for (1 for a file row)
};

enum class ListStatus {
    complete,     // every record up to the end of the file listed
    incomplete,   // the walk stopped at a damaged record (reported); rows before it stand
    not_archive,  // signature or header settings wrong (reported); nothing listed
    cannot_open,  // the file could not be opened; nothing listed
    busy,         // another command holds the archive (reported); nothing listed
};

struct ArchiveListing {
    ArchiveHeader header;              // the solid flag and buffer setting the caller adopts
    std::vector<ListingRow> rows;
    // rows.size() + 1 entries: row r covers [row_offsets[r], row_offsets[r + 1]).
    // The last is the archive length, or on an incomplete listing the start of the
    // damaged record, so no row's range ever takes in the unreadable tail. Empty
    // when nothing was listed (not_archive, cannot_open).
    std::vector<uint64_t> row_offsets;
    std::vector<ListingEntry> entries;  // every whole record, in file order
    uint64_t entry_count = 0;           // entries.size()
    uint64_t archive_length = 0;
    ListStatus status = ListStatus::cannot_open;
    uint64_t damaged_offset = 0;        // where the walk stopped, on an incomplete listing
};

// Lists the archive at `path` into `listing` (emptied first), under a shared lock
// while it reads. A file that cannot be opened is reported with the path as text;
// a wrong signature or a buffer setting outside 0..6 as "It is not a Archive"; a
// damaged record ends the walk and is reported with the archive's path and the
// record's offset.
ListStatus list_archive(const std::string& path, Reporter& reporter, ArchiveListing* listing);

// The same for an archive the caller holds open (and locked) as `file`; `path`
// only names it in messages. The stream stays open.
ListStatus list_stream(FILE* file, const std::string& path, Reporter& reporter,
                       ArchiveListing* listing);

// The same for switching the view to an archive: a file that cannot be opened is
// passed over without a message (the caller keeps its previous archive).
ListStatus open_archive(const std::string& path, Reporter& reporter, ArchiveListing* listing);

// Adds a whole record to the listing's entries and rows, as a walk finds it. The
// caller ends the listing by pushing the offset where its walk stopped onto
// row_offsets and setting the status.
void append_to_listing(ArchiveListing* listing, const ListingEntry& entry);

// Byte range of a row's records: `from` its first record, `to` just past its last.
using RowRange = OffsetRange;

// Byte range of row r's records; r must be below rows.size().
RowRange row_range(const ArchiveListing& listing, size_t row);

// The ranges of the given rows in row order, each row once, for extracting by
// rows; indices beyond the rows are passed over.
std::vector<RowRange> row_ranges(const ArchiveListing& listing, const std::vector<size_t>& rows);

// Rows whose name (column 1) is `name`, in row order. A folder may have several
// rows when its run was interrupted, and names may repeat. A trailing backslash
// or slash asks for folder rows only.
std::vector<size_t> find_rows(const ArchiveListing& listing, const std::string& name);

}  // namespace vellum
