#include "cli/json_output.h"

#include <cinttypes>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli/class_names.h"
#include "cli/folder_totals.h"
#include "archive/entry_path.h"
#include "cli/select.h"

namespace vellum {
namespace cli {
namespace {

using nlohmann::json;

std::string dumped(const json& document) {
    return document.dump(2, ' ', false, json::error_handler_t::replace);
}

json header_json(const std::string& archive, const ArchiveHeader& header) {
    return json{{"archive", archive},
                {"mode", header.solid ? "solid" : "normal"},
                {"buffer_setting", header.buffer_setting},
                {"block_size", block_size_for_setting(header.buffer_setting)}};
}

json entry_json(const ListingEntry& entry) {
    return json{{"path", entry_display_path(entry)},
                {"folder_path", entry.folder_path},
                {"file_name", entry.file_name},
                {"offset", entry.offset},
                {"packed_size", entry.record_length},
                {"size", entry.original_size},
                {"class", entry.file_class},
                {"class_name", class_name(entry.file_class)},
                {"codec", codec_name(entry.file_class)},
                {"codec_version", entry.file_class >> 8}};
}

// A folder or link of the metadata: its stored path split as a record's would be.
json line_json(const std::string& stored) {
    const size_t cut = stored.rfind('\\');
    const std::string folder = cut == std::string::npos ? std::string() : stored.substr(0, cut + 1);
    return json{{"path", native_form(stored)},
                {"folder_path", folder},
                {"file_name", stored.substr(folder.size())},
                {"packed_size", 0},
                {"size", 0}};
}

json item_json(const ArchiveListing& listing, const ArchiveMeta& meta, const ArchiveItem& item) {
    json entry = item.record != ArchiveItem::kNoRecord ? entry_json(listing.entries[item.record]) : line_json(item.stored);
    entry["kind"] = entry_kind_name(item.kind);
    if (item.kind == EntryKind::link) entry["target"] = meta.target(item.line);
    if (item.kind == EntryKind::hard_link) entry["target"] = native_form(meta.target(item.line));
    if (item.line.valid() && item.kind != EntryKind::hard_link) {
        const MetaLine& m = meta.line(item.line);
        if (item.kind != EntryKind::link) entry["mode"] = m.mode;
        entry["mtime"] = m.seconds;
        entry["mtime_ns"] = m.nanoseconds;
        if (item.kind == EntryKind::file) {
            char sum[20];
            std::snprintf(sum, sizeof sum, "%016" PRIx64, m.checksum);
            entry["xxh64"] = sum;
        }
    }
    return entry;
}

bool metadata_row(const ArchiveListing& listing, const ListingRow& row) {
    for (size_t i = row.first_entry; i < row.first_entry + row.entry_count && i < listing.entries.size(); ++i)
        if (!is_meta_entry(listing.entries[i])) return false;
    return row.entry_count > 0;
}

json row_json(const ArchiveListing& listing, size_t r) {
    const ListingRow& row = listing.rows[r];
    const FolderTotals totals = row_totals(listing, r);
    return json{{"kind", row.kind == kRowKindFolder ? "folder" : "file"},
                {"name", row.name},
                {"offset", row.offset},
                {"entries", totals.entries},
                {"packed_size", totals.packed},
                {"size", totals.size}};
}

json counts_json(const ItemCounts& counts) {
    return json{{"entries", counts.files},           {"packed_size", counts.packed},
                {"size", counts.size},               {"folders", counts.folders},
                {"links", counts.links}, {"hard_links", counts.hard_links},             {"metadata_entries", counts.metadata_entries},
                {"metadata_packed_size", counts.metadata_packed}};
}

}  // namespace

std::string listing_json(const std::string& archive, const ArchiveListing& listing, const ArchiveMeta& meta,
                         const std::vector<ArchiveItem>& items, bool rows) {
    json document = header_json(archive, listing.header);
    document["complete"] = listing.status == ListStatus::complete;
    json list = json::array();
    for (const ArchiveItem& item : items) list.push_back(item_json(listing, meta, item));
    document["entries"] = list;
    document["metadata"] = meta.present;
    if (rows) {
        json row_list = json::array();
        for (size_t r = 0; r < listing.rows.size(); ++r)
            if (!metadata_row(listing, listing.rows[r])) row_list.push_back(row_json(listing, r));
        document["rows"] = row_list;
    }
    document["totals"] = counts_json(count_items(items, listing.entries));
    return dumped(document);
}

std::string info_json(const std::string& archive, const ArchiveTotals& totals, const ItemCounts& counts) {
    ArchiveHeader header;
    header.solid = totals.solid;
    header.buffer_setting = static_cast<uint8_t>(totals.buffer_setting);
    json document = header_json(archive, header);
    document["complete"] = totals.complete;
    document["entries"] = counts.files;
    document["size"] = counts.size;
    document["packed_size"] = counts.packed;
    document["file_size"] = totals.archive_length;
    document["folders"] = counts.folders;
    document["links"] = counts.links;
    document["hard_links"] = counts.hard_links;
    document["metadata_entries"] = counts.metadata_entries;
    document["metadata_packed_size"] = counts.metadata_packed;
    return dumped(document);
}

}  // namespace cli
}  // namespace vellum
