// What a row of the listing stands for: its records, their packed and original
// sizes. The archive view's own rows keep "0" in a folder row's size cells (the
// desktop shows them so); the command line shows these sums instead.
#pragma once

#include <cstdint>

#include "manage/listing.h"

namespace vellum {
namespace cli {

struct FolderTotals {
    uint64_t entries = 0;
    uint64_t packed = 0;  // record lengths
    uint64_t size = 0;    // original sizes
};

// The records whose offsets lie in row r's range.
FolderTotals row_totals(const ArchiveListing& listing, size_t row);

}  // namespace cli
}  // namespace vellum
