// Extraction as a command runs it, for both programs: the entries chosen,
// written into the destination tree (or to a stream, or only checked), each file
// compared with its checksum before it takes its place and given its mode and
// time, then the folders and links that metadata describes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/command.h"
#include "archive/extract.h"
#include "archive/extract_tree.h"
#include "archive/format.h"
#include "meta/archive_meta.h"
#include "meta/meta_restore.h"

namespace vellum {

enum class ExtractTarget {
    files,   // into the destination tree
    stream,  // every byte to one stream, in archive order (standard output)
    check,   // decoded and compared with the checksums, nothing kept (a test)
};

struct ExtractRequest {
    ExtractTarget target = ExtractTarget::files;
    std::string destination;  // files: the folder (native form; "" is the current one)
    FILE* stream = nullptr;   // stream
    // Per record of the listing, the ones to extract. Empty: every record but the
    // metadata entries.
    std::vector<bool> wanted;
    // Folders and links of the metadata (by stored path) to give back. Empty:
    // every one when every record is wanted, none otherwise.
    std::function<bool(const std::string& stored)> takes;
    bool keep_old = false;        // files: a name that exists is left alone
    bool absolute_links = false;  // links to absolute paths may be made
    bool use_meta = true;         // checksums, modes, times, folders and links
};

struct ExtractReport {
    ExtractSummary summary;
    uint32_t verified = 0;           // entries whose checksum matched
    uint32_t entries = 0;            // entries decoded for the request (wanted ones)
    uint64_t bytes = 0;              // their sizes
    RestoreCount restored;           // folders and links
    bool destination_failed = false; // the destination could not be made or opened (reported)
    bool ok() const { return summary.ok() && restored.failures == 0 && !destination_failed; }
};

// `entries`: the archive's records, as listed; the command holds the archive.
ExtractReport run_extraction(Command& command, const std::vector<ListingEntry>& entries, const ArchiveMeta& meta,
                             const ExtractRequest& request);

// --- the steps of an extraction, for a reader of another kind (a stream) -------------

// The task of one record: without a sink when not `wanted` (decoded only, to keep
// a solid run in step); refused when its path cannot be written as it is or, for
// files kept old, its name is taken; otherwise with the sink of the request's target.
EntryTask entry_task(ExtractTree& tree, const ExtractRequest& request, const ListingEntry& entry, bool wanted,
                     const ExpectedFile& expected);

// Opens the destination of a files extraction; `archive`, when known, is never
// replaced. Reported when it cannot be opened.
bool open_extract_destination(Command& command, ExtractTree& tree, const std::string& destination, FILE* archive);

// The folders and links of the metadata the request takes, once its files stand
// (`written`: their stored paths).
RestoreCount restore_what_meta_adds(Command& command, ExtractTree& tree, const ArchiveMeta& meta,
                                    const ExtractRequest& request, const std::unordered_set<std::string>& written);

}  // namespace vellum
