#include "manage/info.h"

#include "archive/messages.h"

namespace vellum {

ArchiveTotals archive_totals(const ArchiveListing& listing) {
    ArchiveTotals totals;
    totals.solid = listing.header.solid;
    totals.buffer_setting = listing.header.buffer_setting;
    totals.block_size = block_size_for_setting(listing.header.buffer_setting);
    totals.entry_count = listing.entry_count;
    for (const ListingEntry& entry : listing.entries) {
        totals.original_total = add_capped(totals.original_total, entry.original_size);
        totals.packed_total = add_capped(totals.packed_total, entry.record_length);
    }
    totals.archive_length = listing.archive_length;
    totals.complete = listing.status == ListStatus::complete;
    return totals;
}

std::string entry_count_text(uint64_t entry_count) {
    return "detected " + std::to_string(entry_count) + " files in Archive";
}

InfoResult archive_info(bool archive_view, const std::string& archive_path, Reporter& reporter,
                        ArchiveListing* listing) {
    if (!archive_view) {
        report(reporter, msg::kInfoNoArchive);
        return InfoResult::no_archive;
    }
    const ListStatus status = list_archive(archive_path, reporter, listing);
    // A failed listing leaves the count at 0, and 0 is what the box shows.
    report(reporter, msg::kInfoCount, entry_count_text(listing->entry_count));
    switch (status) {
        case ListStatus::complete: return InfoResult::shown;
        case ListStatus::incomplete: return InfoResult::incomplete;
        default: return InfoResult::listing_failed;
    }
}

}  // namespace vellum
