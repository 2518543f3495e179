#include "cli/meta_read.h"

#include <ctime>
#include <memory>

#include "archive/format.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

// Metadata is small text; anything larger is not ours.
constexpr uint64_t kMaxMetaBytes = 256u << 20;

bool read_meta_data(const std::string& path, const ListingEntry& entry, std::string* data) {
    const uint64_t head = record_head_size(entry.folder_path.size(), entry.file_name.size());
    if (entry.file_class != kStoredClass || entry.original_size > kMaxMetaBytes ||
        entry.record_length < head || entry.record_length - head != entry.original_size)
        return false;
    FILE* file = platform::open_file(path.c_str(), "rb");
    if (!file) return false;
    data->assign(static_cast<size_t>(entry.original_size), '\0');
    const bool ok = platform::seek_to(file, entry.offset + head) &&
                    std::fread(&(*data)[0], 1, data->size(), file) == data->size();
    std::fclose(file);
    return ok;
}

// Walks back from the metadata entry at `at`, pairing its F lines, last first,
// with the records before it: a line whose record is gone (deleted) is passed.
void pair_lines(const ArchiveListing& listing, size_t at, size_t first_line, size_t end_line,
                ArchiveMeta* meta) {
    size_t entry = at;
    size_t line = end_line;
    while (line > first_line && entry > 0) {
        const MetaLine& m = meta->lines[line - 1];
        if (m.kind != MetaKind::file) {
            --line;
            continue;
        }
        const ListingEntry& e = listing.entries[entry - 1];
        if (meta->reserved[entry - 1]) break;  // an earlier command's metadata
        if (e.folder_path + e.file_name == m.path && e.original_size == m.size &&
            e.record_length == m.record_length) {
            meta->of_entry[entry - 1] = &m;
            --entry;
        }
        --line;
    }
}

}  // namespace

bool is_meta_entry(const ListingEntry& entry) {
    return entry.folder_path == kMetaFolder && entry.file_name == kMetaName;
}

bool names_meta(const std::string& name) { return name.compare(0, 7, ".vellum") == 0; }

void read_archive_meta(Session& session, const std::string& path, const ArchiveListing& listing,
                       ArchiveMeta* meta) {
    const size_t count = listing.entries.size();
    meta->reserved.assign(count, false);
    meta->of_entry.assign(count, nullptr);
    std::vector<std::pair<size_t, std::pair<size_t, size_t>>> spans;  // entry, line range
    for (size_t i = 0; i < count; ++i) {
        if (!is_meta_entry(listing.entries[i])) continue;
        meta->reserved[i] = true;
        std::string data;
        std::vector<MetaLine> lines;
        const MetaParse parsed = read_meta_data(path, listing.entries[i], &data)
                                     ? decode_meta(data, &lines) : MetaParse::not_meta;
        if (parsed != MetaParse::ok) {
            print_error(session, path + ": metadata entry at offset " + std::to_string(listing.entries[i].offset) +
                                     (parsed == MetaParse::newer_version ? " is of a newer version"
                                                                         : " cannot be read") + " (passed over)");
            continue;
        }
        meta->present = true;
        const size_t first = meta->lines.size();
        meta->lines.insert(meta->lines.end(), lines.begin(), lines.end());
        spans.push_back({i, {first, meta->lines.size()}});
    }
    // Pointers into `lines` are taken once it no longer grows.
    for (const auto& span : spans) pair_lines(listing, span.first, span.second.first, span.second.second, meta);
    for (const MetaLine& m : meta->lines) {
        if (m.kind == MetaKind::folder) meta->folders.push_back(&m);
        if (m.kind == MetaKind::link) meta->links.push_back(&m);
    }
}

std::string time_text(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm* local = std::localtime(&t);
    char text[32];
    if (!local || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) return "-";
    return text;
}

}  // namespace cli
}  // namespace vellum
