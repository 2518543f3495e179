// list --json and info --json: one JSON document on stdout for scripts. The
// field names are fixed (README, "Listing for scripts"); new fields may be
// added, none renamed or removed. Names are stored as 8-bit bytes: bytes that
// are not UTF-8 come out as U+FFFD.
#pragma once

#include <string>
#include <vector>

#include "manage/info.h"
#include "manage/listing.h"

namespace vellum {
namespace cli {

// `entries` are the indices of the listing's entries to show; with `rows` the
// archive view's rows come too.
std::string listing_json(const std::string& archive, const ArchiveListing& listing,
                         const std::vector<size_t>& entries, bool rows);

std::string info_json(const std::string& archive, const ArchiveTotals& totals);

}  // namespace cli
}  // namespace vellum
