#include "cli/select.h"

#include "archive/entry_path.h"

namespace vellum {
namespace cli {
namespace {

// The name in the archive's spelling, without the trailing separators of a folder.
std::string archive_key(const std::string& name) {
    std::string key = archive_form(name);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

bool entry_matches(const ListingEntry& entry, const std::string& key, bool folder_only) {
    if (key.empty()) return false;
    if (!folder_only && entry.folder_path + entry.file_name == key) return true;
    const std::string folder = key + '\\';
    return entry.folder_path.compare(0, folder.size(), folder) == 0;
}

bool select_name(const ArchiveListing& listing, const std::string& name, Selection& selection) {
    bool found = false;
    for (size_t row : find_rows(listing, name)) {
        const RowRange range = row_range(listing, row);
        selection.ranges.push_back(OffsetRange{range.from, range.to});
        found = true;
    }
    const std::string key = archive_key(name);
    const bool folder_only = archive_form(name).back() == '\\';
    for (const ListingEntry& entry : listing.entries) {
        if (!entry_matches(entry, key, folder_only)) continue;
        selection.ranges.push_back(OffsetRange{entry.offset, entry.offset + entry.record_length});
        found = true;
    }
    return found;
}

}  // namespace

Selection select_entries(const ArchiveListing& listing, const std::vector<std::string>& names) {
    Selection selection;
    for (const std::string& name : names)
        if (!select_name(listing, name, selection)) selection.missing.push_back(name);
    return selection;
}

}  // namespace cli
}  // namespace vellum
