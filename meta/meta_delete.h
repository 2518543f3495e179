// What a delete does with metadata: a metadata entry stays as long as it
// describes a file that stays, and goes with the last of its files, so no
// archive keeps metadata of nothing. Both programs delete through this rule.
#pragma once

#include <vector>

#include "archive/format.h"
#include "meta/archive_meta.h"

namespace vellum {

// `gone`: per record, true for the records the user chose to delete. Marks too
// the metadata entries whose described files all go; when every file of the
// archive goes, every metadata entry goes with them.
void metadata_goes_with_its_files(const std::vector<ListingEntry>& entries, const ArchiveMeta& meta,
                                  std::vector<bool>* gone);

}  // namespace vellum
