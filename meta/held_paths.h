// What an add does with a path the archive already holds. By default it leaves
// the entry as it is and does not store the file again (an add only appends, so
// its records before the add stay byte for byte as they were, and a kill leaves
// at most an unfinished tail); with update (add -u) a file whose size, time and
// checksum all match the metadata of its entry is left alone too, and any other
// is replaced: its old records go and the file is added anew. A held entry
// without a metadata line cannot be compared, so update replaces it (an add that
// was killed before it wrote its metadata is completed so).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/folder_walk.h"
#include "meta/archive_meta.h"

namespace vellum {

class HeldPaths : public HeldFilter {
public:
    HeldPaths(const std::vector<ListingEntry>& entries, const ArchiveMeta& meta, bool update);
    bool keep_held(const std::string& path, const std::string& stored) override;

    // Per record of the archive: replaced by this command.
    const std::vector<bool>& replaced() const { return replaced_; }
    uint32_t unchanged() const { return unchanged_; }       // update: held and equal
    uint32_t replaced_files() const { return replaced_files_; }
    // Decisions made, by stored path: true kept, false added. A second walk over
    // the same sources follows them (decided_only).
    void follow_decisions() { decided_only_ = true; }

private:
    bool unchanged(const std::string& path, const std::vector<size_t>& records) const;

    const std::vector<ListingEntry>& entries_;
    const ArchiveMeta& meta_;
    bool update_;
    bool decided_only_ = false;
    std::unordered_map<std::string, std::vector<size_t>> held_;  // stored path -> its records
    std::unordered_map<std::string, bool> decided_;
    std::vector<bool> replaced_;
    uint32_t unchanged_ = 0;
    uint32_t replaced_files_ = 0;
};

// True when `lines` hold a folder or link the archive's metadata does not have
// as it is (a new one, or a link with another target): an add that stored no
// file writes its metadata entry only then.
bool describes_new_items(const MetaLines& lines, const ArchiveMeta& meta);

}  // namespace vellum
