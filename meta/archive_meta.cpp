#include "meta/archive_meta.h"

#include "archive/file_class.h"
#include "archive/messages.h"
#include "archive/standalone_entry.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// The bytes of a record's data from the archive, each read after a seek.
class RecordData : public InputSource {
public:
    RecordData(FILE* file, uint64_t at) : file_(file), at_(at) {}
    size_t read(uint8_t* data, size_t size) override {
        if (!platform::seek_to(file_, at_)) return 0;
        const size_t got = std::fread(data, 1, size, file_);
        at_ += got;
        return got;
    }

private:
    FILE* file_;
    uint64_t at_;
};

// The entry's text, stored, coded or wrapped (standalone_entry.h), its size
// bounded before anything is read.
bool read_meta_data(FILE* archive, const ListingEntry& entry, std::string* data) {
    const uint64_t head = record_head_size(entry.folder_path.size(), entry.file_name.size());
    if (entry.record_length < head) return false;
    RecordData coded(archive, entry.offset + head);
    return read_standalone_text(entry.file_class, coded, entry.record_length - head, entry.original_size,
                                kMaxMetaBytes, data);
}

bool describes(const ListingEntry& e, const MetaLines& text, const MetaLine& m) {
    return e.original_size == m.size && e.record_length == m.record_length &&
           e.folder_path.size() + e.file_name.size() == m.path_size && e.folder_path + e.file_name == text.path(m);
}

}  // namespace

bool is_meta_entry(const ListingEntry& entry) {
    return entry.folder_path == kMetaFolder && entry.file_name == kMetaName;
}

size_t ArchiveMeta::file_entries() const {
    size_t count = 0;
    for (bool r : reserved) count += r ? 0 : 1;
    return count;
}

// Walks back from the metadata entry, pairing its F lines, last first, with the
// records before it: a line whose record is gone (deleted) is passed over.
void pair_lines(const std::vector<ListingEntry>& entries, size_t at, uint32_t text, ArchiveMeta* meta) {
    const MetaLines& lines = meta->texts[text];
    size_t entry = at;
    size_t line = lines.lines().size();
    while (line > 0 && entry > 0) {
        const MetaLine& m = lines.lines()[line - 1];
        if (m.kind != MetaKind::file) {
            --line;
            continue;
        }
        if (meta->reserved[entry - 1]) break;  // an earlier command's metadata
        if (describes(entries[entry - 1], lines, m)) {
            meta->of_entry[entry - 1] = MetaRef{text, static_cast<uint32_t>(line - 1)};
            --entry;
        }
        --line;
    }
}

namespace {

// A folder, link or hard link line: a new item, or the newer line of one
// already listed.
void take_item(ArchiveMeta* meta, const MetaRef& ref) {
    const MetaKind kind = meta->line(ref).kind;
    std::vector<MetaRef>& list = meta->items_of(kind);
    if (meta->texts.size() < 2) {
        list.push_back(ref);
        return;
    }
    if (!meta->items_indexed) {
        // A second entry: what the earlier ones hold is indexed, once.
        for (MetaKind k : {MetaKind::folder, MetaKind::link, MetaKind::hard_link}) {
            const std::vector<MetaRef>& items = meta->items_of(k);
            for (size_t i = 0; i < items.size(); ++i) meta->item_at[meta->path(items[i])] = {k, i};
        }
        meta->items_indexed = true;
    }
    const std::string path = meta->path(ref);
    const auto found = meta->item_at.find(path);
    if (found != meta->item_at.end() && found->second.first == kind) {
        list[found->second.second] = ref;
        return;
    }
    list.push_back(ref);
    meta->item_at[path] = {kind, list.size() - 1};
}

}  // namespace

void take_meta_text(const std::string& archive_path, const std::vector<ListingEntry>& entries, size_t at, bool read,
                    const std::string& data, Reporter& reporter, ArchiveMeta* meta) {
    meta->reserved.resize(entries.size(), false);
    meta->of_entry.resize(entries.size(), MetaRef{});
    meta->reserved[at] = true;
    MetaLines lines;
    const MetaParse parsed = read ? decode_meta(data, &lines) : MetaParse::damaged;
    if (parsed != MetaParse::ok) {
        report(reporter, msg::kMetaUnreadable,
               archive_path + " @ " + std::to_string(entries[at].offset) +
                   (parsed == MetaParse::newer_version ? " (a newer version)" : ""));
        return;
    }
    meta->present = true;
    const uint32_t text = static_cast<uint32_t>(meta->texts.size());
    meta->texts.push_back(std::move(lines));
    meta->text_entry.push_back(at);
    pair_lines(entries, at, text, meta);
    const std::vector<MetaLine>& all = meta->texts[text].lines();
    for (uint32_t k = 0; k < all.size(); ++k)
        if (all[k].kind != MetaKind::file) take_item(meta, MetaRef{text, k});
}

void read_archive_meta(FILE* archive, const std::string& archive_path, const std::vector<ListingEntry>& entries,
                       Reporter& reporter, ArchiveMeta* meta) {
    *meta = ArchiveMeta();
    const size_t count = entries.size();
    meta->reserved.assign(count, false);
    meta->of_entry.assign(count, MetaRef{});
    for (size_t i = 0; i < count; ++i) {
        if (!is_meta_entry(entries[i])) continue;
        std::string data;
        const bool read = read_meta_data(archive, entries[i], &data);
        take_meta_text(archive_path, entries, i, read, data, reporter, meta);
    }
}

}  // namespace vellum
