// Reading the metadata entries of an archive back and pairing each F line with
// its entry record (meta_format.h).
#pragma once

#include <string>
#include <vector>

#include "cli/meta_format.h"
#include "cli/session.h"
#include "manage/listing.h"

namespace vellum {
namespace cli {

struct ArchiveMeta {
    bool present = false;                    // at least one metadata entry was read
    std::vector<bool> reserved;              // per entry: a metadata entry itself
    std::vector<const MetaLine*> of_entry;   // per entry: its F line, or nullptr
    std::vector<MetaLine> lines;             // every line of every metadata entry
    std::vector<const MetaLine*> folders;    // D lines, in archive order
    std::vector<const MetaLine*> links;      // L lines, in archive order
};

bool is_meta_entry(const ListingEntry& entry);

// A name on the command line that asks for the metadata entries themselves.
bool names_meta(const std::string& name);

// Reads every metadata entry of the listed archive. Unreadable or newer ones are
// reported and passed over.
void read_archive_meta(Session& session, const std::string& path, const ArchiveListing& listing,
                       ArchiveMeta* meta);

// "2026-12-07 01:30:12" in local time.
std::string time_text(int64_t seconds);

}  // namespace cli
}  // namespace vellum
