// Turning the names on a command line into the entries they stand for.
#pragma once

#include <string>
#include <vector>

#include "archive/extract.h"
#include "manage/listing.h"

namespace vellum {
namespace cli {

struct Selection {
    std::vector<OffsetRange> ranges;  // every record selected, by rows or entries
    std::vector<size_t> rows;         // rows named as rows (in the listing's order of naming)
    std::vector<size_t> entries;      // entries selected by path or pattern, not as rows
    std::vector<std::string> missing; // names that matched nothing
};

// A name selects: the rows of that name (a top-level file, or a top-level folder
// with every entry below it); the entry whose folder path and file name it spells,
// with / or \ between the parts; and every entry below a folder it spells, at any
// depth (docs/sub). A name with a wildcard (pattern.h) selects the entries whose
// path, or a folder of whose path, it matches.
Selection select_entries(const ArchiveListing& listing, const std::vector<std::string>& names);

// True when one of the names (none: every path) takes in the stored path of a
// folder or link, as select_entries would take in an entry of that path, and no
// exclusion leaves it out.
bool names_take_path(const std::vector<std::string>& names, const std::vector<std::string>& excludes,
                     const std::string& stored_path);

// An entry's path as the system writes paths: '/' between the parts on POSIX.
std::string entry_display_path(const ListingEntry& entry);

// The indices of the selected entries, in archive order, each once.
std::vector<size_t> selected_entries(const ArchiveListing& listing, const Selection& selection);

// The entries in archive order, minus those an --exclude pattern matches.
std::vector<size_t> without_excluded(const ArchiveListing& listing, const std::vector<size_t>& entries,
                                     const std::vector<std::string>& excludes);

// One range per entry.
std::vector<OffsetRange> entry_ranges(const ArchiveListing& listing, const std::vector<size_t>& entries);

}  // namespace cli
}  // namespace vellum
