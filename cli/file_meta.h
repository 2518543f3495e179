// What --meta reads from and restores to the file system: the kind of a path
// without following links, permission bits, modification times, link texts,
// and the 64-bit xxHash of a file's bytes. On Windows there are no links and
// only the read-only bit of the mode; times are kept to the second.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/checksum.h"

namespace vellum {
namespace cli {

enum class PathKind { missing, file, folder, link, other };

struct PathStat {
    PathKind kind = PathKind::missing;
    uint32_t mode = 0;  // permission bits (07777)
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
};

// Links are not followed.
PathStat stat_path(const std::string& path);

bool read_link(const std::string& path, std::string* target);
bool make_link(const std::string& target, const std::string& path);
bool set_mode(const std::string& path, uint32_t mode);
// Times of the path itself (of a link, not of what it points to).
bool set_time(const std::string& path, int64_t seconds, uint32_t nanoseconds, bool link);

// The checksum of a whole file; false when it cannot be read.
bool checksum_file(const std::string& path, uint64_t* checksum);

}  // namespace cli
}  // namespace vellum
