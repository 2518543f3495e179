// Extracting by the rows of a listing, as the desktop program does: the records
// whose offsets lie in the ranges of the marked rows, with what the archive's
// metadata says of them (checksums, modes and times, and the folders and links
// below the rows) given back.
#pragma once

#include <string>
#include <vector>

#include "archive/command.h"
#include "manage/listing.h"
#include "meta/extract_run.h"

namespace vellum {

// The command holds the archive listed (command.archive). Metadata entries are
// never written out.
ExtractReport extract_ranges(Command& command, const ArchiveListing& listing, const std::vector<OffsetRange>& ranges,
                             const std::string& destination);

// Every record.
ExtractReport extract_all(Command& command, const ArchiveListing& listing, const std::string& destination);

// The same for the archive at command.archive_path, listed for this run; when
// the command does not hold it, it is opened under a shared lock for the run.
ExtractSummary extract_ranges(Command& command, const std::vector<OffsetRange>& ranges, const std::string& destination);
ExtractSummary extract_all(Command& command, const std::string& destination);

// Decodes the record at `offset` and checks it, writing nothing: checked,
// damaged, or why it could not be read. In a solid archive every record before
// it must have been decoded in this command.
ExtractResult check_entry(Command& command, uint64_t offset);

}  // namespace vellum
