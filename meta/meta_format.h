// The metadata entry: an ordinary entry named .vellum\meta that an add with
// metadata writes after the files of its command, so any reader lists and
// extracts it as one more small file. Its data is text, one record per line,
// fields separated by one blank:
//   vellum-meta 1                                   the version, first line
//   F MODE SEC NSEC SIZE XXH64 RECORDLEN PATH       a file entry of the command
//   D MODE SEC NSEC PATH                            a folder (empty ones included)
//   L SEC NSEC PATH TARGET                          a symbolic link, not followed
//   H PATH TARGET                                   a second name (hard link) of
//                                                   the file TARGET, an F line's
//                                                   path of the same command: the
//                                                   file is stored once
// MODE is octal (permission bits), SEC NSEC the modification time since 1970,
// XXH64 the checksum of the file's bytes (archive/checksum.h) in 16 hex digits,
// RECORDLEN the entry record's length, PATH the stored path (docs\sub\b.txt) and
// TARGET the link's text (of H: a stored path), both with every byte below 0x21, 0x7F and '%' written
// as %XX. F lines follow the order of the command's entries, which stand right
// before the metadata entry (appends go after it, deletes keep the order), so
// each F line finds its record by walking back from the metadata entry. Readers
// skip line kinds they do not know; a version above theirs is not read. A NUL in
// any text, a control byte in a link's path or target, or a field out of its
// range makes the entry damaged: it is passed over whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/standalone_entry.h"

namespace vellum {

constexpr const char* kMetaFolder = kOwnFolder;  // an entry that stands alone
constexpr const char* kMetaName = "meta";
constexpr int kMetaVersion = 1;

enum class MetaKind : uint8_t { file, folder, link, hard_link };

// One line, its texts kept in the owning MetaLines' name store.
struct MetaLine {
    MetaKind kind = MetaKind::file;
    uint32_t mode = 0;          // permission bits, at most 07777
    uint32_t nanoseconds = 0;   // below 10^9
    int64_t seconds = 0;
    uint64_t size = 0;
    uint64_t checksum = 0;
    uint64_t record_length = 0;
    uint32_t path_at = 0, path_size = 0;      // in the store
    uint32_t target_at = 0, target_size = 0;  // links
};

// The lines of one metadata entry. Texts live in one string, so a large entry
// costs little more than its own size.
class MetaLines {
public:
    // Adds a line; `path` and `target` are copied into the store.
    void add(MetaLine line, const std::string& path, const std::string& target = {});
    const std::vector<MetaLine>& lines() const { return lines_; }
    std::vector<MetaLine>& lines() { return lines_; }
    std::string path(const MetaLine& line) const { return store_.substr(line.path_at, line.path_size); }
    std::string target(const MetaLine& line) const { return store_.substr(line.target_at, line.target_size); }
    bool empty() const { return lines_.empty(); }
    // Bytes the texts take.
    size_t store_capacity() const { return store_.capacity(); }
    // Removes the lines whose indexes are given (in any order).
    void remove(std::vector<size_t> indexes);

private:
    std::vector<MetaLine> lines_;
    std::string store_;
};

std::string encode_meta(const MetaLines& lines);

enum class MetaParse {
    ok,
    not_meta,       // no version line
    newer_version,  // written by a later version: not read
    damaged,        // a line that breaks the rules above
};

MetaParse decode_meta(const std::string& data, MetaLines* lines);

}  // namespace vellum
