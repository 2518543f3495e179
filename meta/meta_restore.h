// Giving back what metadata describes beyond the files: folders (the empty ones
// too) with their modes and times, and links. Everything goes through the
// destination tree (archive/extract_tree.h), after every file of the command:
// folders are made, then links, then the folders get their modes and times,
// deepest first, so a read-only folder is closed only once everything inside it
// stands. A link's target is checked as text and never followed: no absolute
// target unless asked, and no climbing above the destination at any step of its
// own path or of the paths of the archive's links it leads through.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

#include "archive/extract_tree.h"
#include "archive/report.h"
#include "meta/archive_meta.h"

namespace vellum {

struct RestoreRequest {
    // True for the stored paths (folders, links) the command takes.
    std::function<bool(const std::string& stored)> takes;
    bool keep_old = false;        // a name that exists is left alone
    bool absolute_links = false;  // links to absolute paths may be made
    // Stored paths of the files this command wrote: a link never replaces one.
    const std::unordered_set<std::string>* written = nullptr;
};

struct RestoreCount {
    uint32_t folders = 0;   // folders made or given their attributes
    uint32_t links = 0;     // links made
    uint32_t hard_links = 0;  // second names made
    uint32_t failures = 0;  // each reported
    uint32_t kept = 0;      // links left out because the name existed (keep_old)
};

RestoreCount restore_folders_and_links(ExtractTree& tree, const ArchiveMeta& meta, const RestoreRequest& request,
                                       Reporter& reporter);

// Whether the link stored at `stored` holding `target` stays inside the
// destination; `links` maps the stored paths of the other links that will stand
// beside it to their targets (their chains are followed as text).
bool link_stays_inside(const std::string& stored, const std::string& target,
                       const std::function<const std::string*(const std::string& stored)>& link_at,
                       bool absolute_allowed);

}  // namespace vellum
