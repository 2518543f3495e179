// The metadata of an archive: every metadata entry read back, and each file entry
// paired with the F line that describes it. Pairing goes by records, never by
// names: the lines of one command describe the records right before its
// metadata entry, in order, so the same path added twice has two lines, each
// with its own record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "archive/format.h"
#include "archive/report.h"
#include "meta/meta_format.h"

namespace vellum {

// Which line of which metadata entry.
struct MetaRef {
    uint32_t text = kNone;  // index into ArchiveMeta::texts
    uint32_t line = 0;
    static constexpr uint32_t kNone = UINT32_MAX;
    bool valid() const { return text != kNone; }
};

struct ArchiveMeta {
    bool present = false;           // at least one metadata entry was read
    std::vector<MetaLines> texts;   // one per metadata entry read
    std::vector<size_t> text_entry; // per text: the record it was read from
    std::vector<bool> reserved;     // per record: a metadata entry itself
    std::vector<MetaRef> of_entry;  // per record: its F line, or none
    std::vector<MetaRef> folders;   // D lines, in archive order
    std::vector<MetaRef> links;     // L lines, in archive order
    std::vector<MetaRef> hard_links;  // H lines, in archive order
    // A folder, link or hard link that several metadata entries describe (the
    // same folder added twice) is one item: the line of the entry last in the
    // archive, in the place the first one had. Built once a second entry comes:
    // path -> its kind and index into that kind's list.
    std::unordered_map<std::string, std::pair<MetaKind, size_t>> item_at;
    bool items_indexed = false;
    std::vector<MetaRef>& items_of(MetaKind kind) {
        return kind == MetaKind::folder ? folders : kind == MetaKind::link ? links : hard_links;
    }

    const MetaLine& line(const MetaRef& ref) const { return texts[ref.text].lines()[ref.line]; }
    std::string path(const MetaRef& ref) const { return texts[ref.text].path(line(ref)); }
    std::string target(const MetaRef& ref) const { return texts[ref.text].target(line(ref)); }
    // The F line of record `entry`, or nullptr.
    const MetaLine* file_line(size_t entry) const {
        return entry < of_entry.size() && of_entry[entry].valid() ? &line(of_entry[entry]) : nullptr;
    }
    // Records that are not metadata entries.
    size_t file_entries() const;
};

bool is_meta_entry(const ListingEntry& entry);

// Reads every metadata entry among `entries` through `archive` (the command's
// held stream). One that cannot be read, is damaged or is of a newer version is
// reported and passed over.
void read_archive_meta(FILE* archive, const std::string& archive_path, const std::vector<ListingEntry>& entries,
                       Reporter& reporter, ArchiveMeta* meta);

// Metadata is small text; a metadata entry claiming more is not read.
constexpr uint64_t kMaxMetaBytes = uint64_t{256} << 20;

// What read_archive_meta does with each metadata entry, for a caller that read
// its data itself (an archive read front to back from a stream): `entries` are
// the records up to and including `at`, the metadata entry; `read` false when
// its data could not be read. Unreadable or damaged text is reported and passed
// over.
void take_meta_text(const std::string& archive_path, const std::vector<ListingEntry>& entries, size_t at, bool read,
                    const std::string& data, Reporter& reporter, ArchiveMeta* meta);

// Pairs the F lines of metadata entry `at` with the records before it (exposed
// for the tests; read_archive_meta calls it).
void pair_lines(const std::vector<ListingEntry>& entries, size_t at, uint32_t text, ArchiveMeta* meta);

}  // namespace vellum
