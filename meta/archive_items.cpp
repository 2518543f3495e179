#include "meta/archive_items.h"

#include <map>
#include <set>
#include <utility>

namespace vellum {
namespace {

ArchiveItem record_item(const std::vector<ListingEntry>& entries, size_t i, EntryKind kind, MetaRef line) {
    ArchiveItem item;
    item.kind = kind;
    item.record = i;
    item.line = line;
    item.stored = entries[i].folder_path + entries[i].file_name;
    return item;
}

ArchiveItem line_item(const ArchiveMeta& meta, MetaRef ref, EntryKind kind) {
    ArchiveItem item;
    item.kind = kind;
    item.line = ref;
    item.stored = meta.path(ref);
    return item;
}

}  // namespace

const char* entry_kind_name(EntryKind kind) {
    switch (kind) {
        case EntryKind::file: return "file";
        case EntryKind::folder: return "folder";
        case EntryKind::link: return "link";
        case EntryKind::hard_link: return "hardlink";
        case EntryKind::metadata: return "metadata";
    }
    return "file";
}

namespace {

EntryKind item_kind(MetaKind kind) {
    return kind == MetaKind::folder ? EntryKind::folder : kind == MetaKind::link ? EntryKind::link : EntryKind::hard_link;
}

}  // namespace

// A metadata entry describes records that stand before it (and after the
// metadata entry before it): those wait for it and come in the order of its
// lines, between its folders and links.
std::vector<ArchiveItem> archive_items(const std::vector<ListingEntry>& entries, const ArchiveMeta& meta) {
    const size_t count = entries.size();
    std::map<std::pair<uint32_t, uint32_t>, size_t> record_of_line;
    for (size_t i = 0; i < count && i < meta.of_entry.size(); ++i)
        if (meta.of_entry[i].valid()) record_of_line[{meta.of_entry[i].text, meta.of_entry[i].line}] = i;
    // A folder or link several entries describe is shown once, at the line that
    // stands for it (archive_meta.h).
    std::set<std::pair<uint32_t, uint32_t>> shown_items;
    for (const std::vector<MetaRef>* refs : {&meta.folders, &meta.links, &meta.hard_links})
        for (const MetaRef& ref : *refs) shown_items.insert({ref.text, ref.line});
    std::map<size_t, uint32_t> text_at;  // metadata record -> its text
    for (uint32_t t = 0; t < meta.text_entry.size(); ++t) text_at[meta.text_entry[t]] = t;

    std::vector<ArchiveItem> items;
    for (size_t i = 0; i < count; ++i) {
        const bool is_meta = i < meta.reserved.size() ? meta.reserved[i] : is_meta_entry(entries[i]);
        if (!is_meta) {
            const bool described = i < meta.of_entry.size() && meta.of_entry[i].valid();
            if (!described) items.push_back(record_item(entries, i, EntryKind::file, MetaRef{}));
            continue;
        }
        const auto text = text_at.find(i);
        if (text != text_at.end()) {
            const std::vector<MetaLine>& lines = meta.texts[text->second].lines();
            for (uint32_t k = 0; k < lines.size(); ++k) {
                const MetaRef ref{text->second, k};
                switch (lines[k].kind) {
                    case MetaKind::file: {
                        const auto record = record_of_line.find({ref.text, ref.line});
                        if (record != record_of_line.end())
                            items.push_back(record_item(entries, record->second, EntryKind::file, ref));
                        break;
                    }
                    case MetaKind::folder:
                    case MetaKind::link:
                    case MetaKind::hard_link:
                        if (shown_items.count({ref.text, ref.line}))
                            items.push_back(line_item(meta, ref, item_kind(lines[k].kind)));
                        break;
                }
            }
        }
        items.push_back(record_item(entries, i, EntryKind::metadata, MetaRef{}));
    }
    return items;
}

ItemCounts count_items(const std::vector<ArchiveItem>& items, const std::vector<ListingEntry>& entries) {
    ItemCounts counts;
    for (const ArchiveItem& item : items) {
        switch (item.kind) {
            case EntryKind::file:
                ++counts.files;
                counts.packed = add_capped(counts.packed, entries[item.record].record_length);
                counts.size = add_capped(counts.size, entries[item.record].original_size);
                break;
            case EntryKind::folder: ++counts.folders; break;
            case EntryKind::link: ++counts.links; break;
            case EntryKind::hard_link: ++counts.hard_links; break;
            case EntryKind::metadata:
                ++counts.metadata_entries;
                counts.metadata_packed = add_capped(counts.metadata_packed, entries[item.record].record_length);
                break;
        }
    }
    return counts;
}

}  // namespace vellum
