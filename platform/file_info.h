// What a name on disk is, read without opening it: kind, permission bits,
// modification time, size, identity and link count, following links or not.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace vellum {
namespace platform {

enum class InfoKind { missing, file, folder, link, special };

struct ItemInfo {
    InfoKind kind = InfoKind::missing;
    uint32_t mode = 0;          // permission bits, 07777
    int64_t seconds = 0;        // modification time since 1970
    uint32_t nanoseconds = 0;
    uint64_t size = 0;
    FolderId id;                // the same for every name of one file
    uint64_t links = 1;         // names the file has (hard links)
};

// False, with *error set, when the name cannot be read (a missing name gives
// kind missing and true). With follow_links a link counts as what it leads to.
bool item_info(const std::string& path, bool follow_links, ItemInfo* info, int* error);

// The same for the file an open stream reads.
bool stream_info(FILE* file, ItemInfo* info);

// The text of a link, as stored in it.
bool read_link(const std::string& path, std::string* target, int* error);

}  // namespace platform
}  // namespace vellum
