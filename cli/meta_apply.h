// Extracting with metadata: checking every written entry against its checksum,
// then giving back modes, times, folders (the empty ones too) and links.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/meta_read.h"
#include "cli/session.h"

namespace vellum {
namespace cli {

struct MetaCheck {
    uint32_t verified = 0;
    uint32_t mismatched = 0;  // reported as damage
};

// Compares the checksums of the written entries (output path -> checksum; a 0
// checksum is read back from the file) with the metadata.
MetaCheck verify_checksums(Session& session, const ArchiveListing& listing, const ArchiveMeta& meta,
                           const std::string& destination, const std::map<std::string, uint64_t>& written);

// Restores modes and times of the written entries, then creates the selected
// folders and links and sets their modes and times. Returns the number of
// things that could not be restored (each reported).
uint32_t restore_meta(Session& session, const ArchiveListing& listing, const ArchiveMeta& meta,
                      const std::string& destination, const std::map<std::string, uint64_t>& written,
                      const Options& options);

}  // namespace cli
}  // namespace vellum
