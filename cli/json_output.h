// list --json and info --json: one JSON document on stdout for scripts. The
// field names are fixed (README, "Listing for scripts"); new fields may be
// added, none renamed or removed. Names are stored as 8-bit bytes: bytes that
// are not UTF-8 come out as U+FFFD.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "manage/info.h"
#include "meta/meta_format.h"
#include "manage/listing.h"

namespace vellum {
namespace cli {

// `entries` are the indices of the listing's entries to show; with `rows` the
// archive view's rows come too.
// `meta` (entry offset -> its metadata line) adds mode, mtime and checksum to
// the entries that have them.
std::string listing_json(const std::string& archive, const ArchiveListing& listing,
                         const std::vector<size_t>& entries, bool rows,
                         const std::map<uint64_t, const MetaLine*>* meta);

std::string info_json(const std::string& archive, const ArchiveTotals& totals);

}  // namespace cli
}  // namespace vellum
