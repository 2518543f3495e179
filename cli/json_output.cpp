#include "cli/json_output.h"

#include <cinttypes>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli/class_names.h"
#include "cli/folder_totals.h"
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
                {"class_name", class_name(entry.file_class)}};
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

}  // namespace

std::string listing_json(const std::string& archive, const ArchiveListing& listing,
                         const std::vector<size_t>& entries, bool rows,
                         const std::map<uint64_t, const MetaLine*>* meta) {
    json document = header_json(archive, listing.header);
    document["complete"] = listing.status == ListStatus::complete;
    json list = json::array();
    uint64_t packed = 0, size = 0;
    for (size_t i : entries) {
        json entry = entry_json(listing.entries[i]);
        const MetaLine* m = nullptr;
        if (meta) {
            const auto at = meta->find(listing.entries[i].offset);
            if (at != meta->end()) m = at->second;
        }
        if (m) {
            char sum[20];
            std::snprintf(sum, sizeof sum, "%016" PRIx64, m->checksum);
            entry["mode"] = m->mode;
            entry["mtime"] = m->seconds;
            entry["mtime_ns"] = m->nanoseconds;
            entry["xxh64"] = sum;
        }
        list.push_back(entry);
        packed += listing.entries[i].record_length;
        size += listing.entries[i].original_size;
    }
    document["entries"] = list;
    document["metadata"] = meta != nullptr;
    if (rows) {
        json row_list = json::array();
        for (size_t r = 0; r < listing.rows.size(); ++r) row_list.push_back(row_json(listing, r));
        document["rows"] = row_list;
    }
    document["totals"] = json{{"entries", entries.size()}, {"packed_size", packed}, {"size", size}};
    return dumped(document);
}

std::string info_json(const std::string& archive, const ArchiveTotals& totals) {
    ArchiveHeader header;
    header.solid = totals.solid;
    header.buffer_setting = static_cast<uint8_t>(totals.buffer_setting);
    json document = header_json(archive, header);
    document["complete"] = totals.complete;
    document["entries"] = totals.entry_count;
    document["size"] = totals.original_total;
    document["packed_size"] = totals.packed_total;
    document["file_size"] = totals.archive_length;
    return dumped(document);
}

}  // namespace cli
}  // namespace vellum
