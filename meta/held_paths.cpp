#include "meta/held_paths.h"

#include <cstdio>

#include "archive/checksum.h"
#include "platform/file_info.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// The file's checksum, read whole; false when it cannot be read.
bool file_checksum(const std::string& path, uint64_t* digest) {
    FILE* file = platform::open_file(path.c_str(), "rb");
    if (!file) return false;
    Checksum sum;
    static thread_local std::vector<uint8_t> buffer(1 << 20);
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) sum.update(buffer.data(), got);
    const bool read = !std::ferror(file);
    std::fclose(file);
    *digest = sum.digest();
    return read;
}

}  // namespace

HeldPaths::HeldPaths(const std::vector<ListingEntry>& entries, const ArchiveMeta& meta, bool update)
    : entries_(entries), meta_(meta), update_(update), replaced_(entries.size(), false) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i < meta.reserved.size() ? meta.reserved[i] : is_meta_entry(entries[i])) continue;
        held_[entries[i].folder_path + entries[i].file_name].push_back(i);
    }
}

// Size, time and checksum of the last record of the path, against the file now.
bool HeldPaths::unchanged(const std::string& path, const std::vector<size_t>& records) const {
    const MetaLine* line = meta_.file_line(records.back());
    if (!line) return false;
    platform::ItemInfo info;
    int error = 0;
    if (!platform::item_info(path, true, &info, &error) || info.kind != platform::InfoKind::file) return false;
    if (info.size != line->size || info.seconds != line->seconds || info.nanoseconds != line->nanoseconds)
        return false;
    uint64_t digest = 0;
    return file_checksum(path, &digest) && digest == line->checksum;
}

bool HeldPaths::keep_held(const std::string& path, const std::string& stored) {
    auto done = decided_.find(stored);
    if (done != decided_.end()) return done->second;
    if (decided_only_) return false;  // a file the first walk did not see: new
    auto found = held_.find(stored);
    bool keep = false;
    if (found != held_.end()) {
        keep = !update_ || unchanged(path, found->second);
        if (update_ && keep) ++unchanged_;
        if (!keep) {
            ++replaced_files_;
            for (size_t record : found->second) replaced_[record] = true;
        }
    }
    decided_[stored] = keep;
    return keep;
}

bool describes_new_items(const MetaLines& lines, const ArchiveMeta& meta) {
    // path -> "D", or "L" or "H" and the target
    std::unordered_map<std::string, std::string> known;
    for (const MetaRef& ref : meta.folders) known[meta.path(ref)] = "D";
    for (const MetaRef& ref : meta.links) known[meta.path(ref)] = "L" + meta.target(ref);
    for (const MetaRef& ref : meta.hard_links) known[meta.path(ref)] = "H" + meta.target(ref);
    for (const MetaLine& line : lines.lines()) {
        if (line.kind == MetaKind::file) continue;
        const std::string what = line.kind == MetaKind::folder ? "D"
                                 : line.kind == MetaKind::link ? "L" + lines.target(line)
                                                               : "H" + lines.target(line);
        auto found = known.find(lines.path(line));
        if (found == known.end() || found->second != what) return true;
    }
    return false;
}

}  // namespace vellum
