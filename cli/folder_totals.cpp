#include "cli/folder_totals.h"

#include <algorithm>

namespace vellum {
namespace cli {

FolderTotals row_totals(const ArchiveListing& listing, size_t row) {
    const RowRange range = row_range(listing, row);
    FolderTotals totals;
    // Entries are in file order: find the first at or after the row's start.
    auto at = std::lower_bound(listing.entries.begin(), listing.entries.end(), range.from,
                               [](const ListingEntry& e, uint64_t offset) { return e.offset < offset; });
    for (; at != listing.entries.end() && at->offset < range.to; ++at) {
        ++totals.entries;
        totals.packed += at->record_length;
        totals.size += at->original_size;
    }
    return totals;
}

}  // namespace cli
}  // namespace vellum
