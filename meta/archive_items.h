// What an archive holds as its user sees it: every file entry, and the folders
// and links that its metadata describes, each with its kind, in the order they
// were added. Records are the format's; folders and links exist only as lines of
// a metadata entry, so an archive without metadata holds files alone. The
// metadata entries themselves are items of their own kind: every listing counts
// them apart from the entries, so the counts of `list`, `info` and `test` are
// the counts of the user's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/format.h"
#include "meta/archive_meta.h"

namespace vellum {

enum class EntryKind : uint8_t {
    file,      // a record holding a file's bytes
    folder,    // a folder of the metadata (empty ones included)
    link,      // a symbolic link of the metadata: its target is text, never followed
    hard_link, // a second name of a file of the same command, stored once
    metadata,  // a metadata entry itself (.vellum\meta)
};

const char* entry_kind_name(EntryKind kind);  // "file", "folder", "link", "hardlink", "metadata"

struct ArchiveItem {
    EntryKind kind = EntryKind::file;
    static constexpr size_t kNoRecord = SIZE_MAX;
    size_t record = kNoRecord;  // files and metadata: the index among the listing's entries
    MetaRef line;               // its metadata line, when it has one
    std::string stored;         // stored path: docs\sub\b.txt, docs\sub for a folder
};

// Every item in the order of the archive: a command's files, folders and links
// in the order its walk met them (its metadata entry keeps that order), followed
// by its metadata entry; files without a metadata line where their record stands.
std::vector<ArchiveItem> archive_items(const std::vector<ListingEntry>& entries, const ArchiveMeta& meta);

// The counts every command shows alike. Sizes are of the file entries only; the
// metadata entries are counted and sized on their own.
struct ItemCounts {
    uint64_t files = 0;
    uint64_t folders = 0;
    uint64_t links = 0;
    uint64_t hard_links = 0;
    uint64_t packed = 0;  // record lengths of the files
    uint64_t size = 0;    // their original sizes
    uint64_t metadata_entries = 0;
    uint64_t metadata_packed = 0;
};

ItemCounts count_items(const std::vector<ArchiveItem>& items, const std::vector<ListingEntry>& entries);

}  // namespace vellum
