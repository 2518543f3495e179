// The metadata entry that `vellum add --meta` appends after the files of its
// command: an ordinary stored entry named .vellum\meta (class 17, its bytes as
// they are), so any reader lists and extracts it as one more small file.
//
// Its data is text, one record per line, fields separated by one blank:
//   vellum-meta 1                                   the version, first line
//   F MODE SEC NSEC SIZE XXH64 RECORDLEN PATH       a file entry of the command
//   D MODE SEC NSEC PATH                            a folder (empty ones included)
//   L SEC NSEC PATH TARGET                          a symbolic link, not followed
// MODE is octal (permission bits), SEC NSEC the modification time since 1970,
// XXH64 the file's 64-bit xxHash in 16 hex digits, RECORDLEN the entry record's
// length, PATH the stored path (docs\sub\b.txt) and TARGET the link's text, both
// with every byte below 0x21, 0x7F and '%' written as %XX. F lines follow the
// order of the command's entries, which stand right before the metadata entry
// (appends go after it, deletes keep the order), so each F line finds its entry
// by walking back from the metadata entry. Readers skip line kinds they do not
// know; a version above theirs is not read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellum {
namespace cli {

constexpr const char* kMetaFolder = ".vellum\\";
constexpr const char* kMetaName = "meta";
constexpr int kMetaVersion = 1;
constexpr uint16_t kStoredClass = 17;

enum class MetaKind { file, folder, link };

struct MetaLine {
    MetaKind kind = MetaKind::file;
    uint32_t mode = 0;
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
    uint64_t size = 0;
    uint64_t checksum = 0;
    uint64_t record_length = 0;
    std::string path;    // archive form
    std::string target;  // links
};

std::string encode_meta(const std::vector<MetaLine>& lines);

enum class MetaParse { ok, not_meta, newer_version };

MetaParse decode_meta(const std::string& data, std::vector<MetaLine>* lines);

}  // namespace cli
}  // namespace vellum
