// The entry count of the open archive, and the totals a command line shows
// beside it.
#pragma once

#include <cstdint>
#include <string>

#include "archive/report.h"
#include "manage/listing.h"

namespace vellum {

struct ArchiveTotals {
    uint8_t solid = 0;            // 0 normal, 1 solid
    int buffer_setting = 0;
    uint64_t block_size = 0;      // of the buffer setting
    uint64_t entry_count = 0;
    uint64_t original_total = 0;  // sum of the entries' original sizes
    uint64_t packed_total = 0;    // sum of their record lengths
    uint64_t archive_length = 0;
    bool complete = false;        // false when the listing stopped at a damaged record
};

ArchiveTotals archive_totals(const ArchiveListing& listing);

// "detected N files in Archive", the count in full 64-bit decimal.
std::string entry_count_text(uint64_t entry_count);

enum class InfoResult {
    shown,           // the count was reported (the listing was complete)
    incomplete,      // the count of what lies before a damaged record was reported
    no_archive,      // not in the archive view: "Open Archive ", nothing listed
    listing_failed,  // the listing's own message, then a count of 0
};

// Lists the archive at `archive_path` into `listing` and reports its entry count
// with the caption "Info". Outside the archive view it only says "Open Archive ".
InfoResult archive_info(bool archive_view, const std::string& archive_path, Reporter& reporter,
                        ArchiveListing* listing);

}  // namespace vellum
