// list --json and info --json: one JSON document on stdout for scripts. The
// field names are fixed (README, "Listing for scripts"); new fields may be
// added, none renamed or removed. Names are stored as 8-bit bytes: bytes that
// are not UTF-8 come out as U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "manage/info.h"
#include "manage/listing.h"
#include "meta/archive_items.h"
#include "meta/archive_meta.h"

namespace vellum {
namespace cli {

// `items` are the ones to show, in order (archive_items, or a selection of
// them): files and metadata entries with their records' fields, folders and
// links of the metadata with their kind (and a link's target). With `rows` the
// archive view's rows come too, without rows of metadata entries alone.
std::string listing_json(const std::string& archive, const ArchiveListing& listing, const ArchiveMeta& meta,
                         const std::vector<ArchiveItem>& items, bool rows);

// `counts` over every item of the archive: `entries` counts the files.
std::string info_json(const std::string& archive, const ArchiveTotals& totals, const ItemCounts& counts);

}  // namespace cli
}  // namespace vellum
