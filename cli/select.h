// Turning the names on a command line into the byte ranges of the records they
// stand for.
#pragma once

#include <string>
#include <vector>

#include "archive/extract.h"
#include "manage/listing.h"

namespace vellum {
namespace cli {

struct Selection {
    std::vector<OffsetRange> ranges;
    std::vector<std::string> missing;  // names that matched nothing
};

// A name selects: the rows of that name (a top-level file, or a top-level folder
// with every entry below it); the entry whose folder path and file name it spells,
// with / or \ between the parts; and every entry below a folder it spells, at any
// depth (docs/sub).
Selection select_entries(const ArchiveListing& listing, const std::vector<std::string>& names);

}  // namespace cli
}  // namespace vellum
