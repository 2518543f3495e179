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

class TextOutput : public OutputSink {
public:
    explicit TextOutput(std::string* text) : text_(text) {}
    bool write(const uint8_t* data, size_t size) override {
        text_->append(reinterpret_cast<const char*>(data), size);
        return true;
    }

private:
    std::string* text_;
};

// The entry's text, stored or coded (standalone_entry.h), its size bounded
// before anything is read.
bool read_meta_data(FILE* archive, const ListingEntry& entry, std::string* data) {
    const uint64_t head = record_head_size(entry.folder_path.size(), entry.file_name.size());
    if (entry.original_size > kMaxMetaBytes || entry.record_length < head) return false;
    data->clear();
    data->reserve(static_cast<size_t>(entry.original_size));
    RecordData coded(archive, entry.offset + head);
    TextOutput text(data);
    return decode_standalone(entry.file_class, coded, entry.record_length - head, entry.original_size, &text) &&
           data->size() == entry.original_size;
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

// Where the item of `path` stands, when an earlier metadata entry has it.
int64_t* item_slot(ArchiveMeta* meta, const std::string& path) {
    auto found = meta->item_at.find(path);
    return found == meta->item_at.end() ? nullptr : &found->second;
}

void index_item(ArchiveMeta* meta, const MetaRef& ref, int64_t at) { meta->item_at[meta->path(ref)] = at; }

// A folder or link line: a new item, or the newer line of one already listed.
void take_item(ArchiveMeta* meta, const MetaRef& ref) {
    const bool folder = meta->line(ref).kind == MetaKind::folder;
    std::vector<MetaRef>& list = folder ? meta->folders : meta->links;
    if (meta->texts.size() < 2) {
        list.push_back(ref);
        return;
    }
    if (!meta->items_indexed) {
        // A second entry: what the earlier ones hold is indexed, once.
        for (size_t i = 0; i < meta->folders.size(); ++i) index_item(meta, meta->folders[i], int64_t(i));
        for (size_t i = 0; i < meta->links.size(); ++i) index_item(meta, meta->links[i], -int64_t(i) - 1);
        meta->items_indexed = true;
    }
    if (int64_t* at = item_slot(meta, meta->path(ref))) {
        if ((*at >= 0) == folder) {
            (folder ? meta->folders[size_t(*at)] : meta->links[size_t(-*at - 1)]) = ref;
            return;
        }
    }
    list.push_back(ref);
    index_item(meta, ref, folder ? int64_t(list.size() - 1) : -int64_t(list.size()));
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
        if (all[k].kind == MetaKind::folder || all[k].kind == MetaKind::link) take_item(meta, MetaRef{text, k});
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
