#include "cli/select.h"

#include "archive/entry_path.h"
#include "cli/pattern.h"

namespace vellum {
namespace cli {
namespace {

// The name in the archive's spelling, without the trailing separators of a folder.
std::string archive_key(const std::string& name) {
    std::string key = archive_form(name);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

bool starts_with(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

// A plain name as select_entries compares it with every entry: each comparison
// reads the name and the entry's path once, joining nothing.
struct PlainName {
    std::string key;         // archive spelling, no trailing separator
    std::string folder_key;  // key + '\': what every entry below that folder starts with
    bool folder_only = false;
};

bool entry_matches(const ListingEntry& entry, const PlainName& name) {
    if (name.key.empty()) return false;
    const std::string& folder = entry.folder_path;
    if (!name.folder_only && folder.size() + entry.file_name.size() == name.key.size() &&
        starts_with(name.key, folder) && name.key.compare(folder.size(), std::string::npos, entry.file_name) == 0)
        return true;
    return starts_with(folder, name.folder_key);
}

void take_entry(const ArchiveListing& listing, size_t index, Selection& selection) {
    const ListingEntry& entry = listing.entries[index];
    selection.ranges.push_back(OffsetRange{entry.offset, entry.offset + entry.record_length});
    selection.entries.push_back(index);
}

bool select_name(const ArchiveListing& listing, const std::string& name, Selection& selection) {
    bool found = false;
    if (is_pattern(name)) {
        const Pattern pattern = parse_pattern(name);
        for (size_t i = 0; i < listing.entries.size(); ++i) {
            if (!pattern_selects(pattern, entry_display_path(listing.entries[i]))) continue;
            take_entry(listing, i, selection);
            found = true;
        }
        return found;
    }
    for (size_t row : find_rows(listing, name)) {
        const RowRange range = row_range(listing, row);
        selection.ranges.push_back(OffsetRange{range.from, range.to});
        selection.rows.push_back(row);
        found = true;
    }
    PlainName plain;
    plain.key = archive_key(name);
    plain.folder_key = plain.key + '\\';
    plain.folder_only = archive_form(name).back() == '\\';
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        if (!entry_matches(listing.entries[i], plain)) continue;
        take_entry(listing, i, selection);
        found = true;
    }
    return found;
}

}  // namespace

bool names_take_path(const std::vector<std::string>& names, const std::vector<std::string>& excludes,
                     const std::string& stored_path) {
    if (excluded(excludes, stored_path)) return false;
    if (names.empty()) return true;
    for (const std::string& name : names) {
        if (is_pattern(name)) {
            if (pattern_selects(name, stored_path)) return true;
            continue;
        }
        const std::string key = archive_key(name);
        if (!key.empty() && (stored_path == key || starts_with(stored_path, key + '\\'))) return true;
    }
    return false;
}

std::string entry_display_path(const ListingEntry& entry) {
    return native_form(entry.folder_path + entry.file_name);
}

Selection select_entries(const ArchiveListing& listing, const std::vector<std::string>& names) {
    Selection selection;
    for (const std::string& name : names)
        if (!select_name(listing, name, selection)) selection.missing.push_back(name);
    return selection;
}

std::vector<size_t> selected_entries(const ArchiveListing& listing, const Selection& selection) {
    std::vector<size_t> chosen;
    for (size_t i = 0; i < listing.entries.size(); ++i)
        if (in_ranges(selection.ranges, listing.entries[i].offset)) chosen.push_back(i);
    return chosen;
}

std::vector<size_t> without_excluded(const ArchiveListing& listing, const std::vector<size_t>& entries,
                                     const std::vector<std::string>& excludes) {
    const std::vector<Pattern> patterns = parse_patterns(excludes);
    std::vector<size_t> kept;
    for (size_t i : entries)
        if (!any_selects(patterns, entry_display_path(listing.entries[i]))) kept.push_back(i);
    return kept;
}

std::vector<OffsetRange> entry_ranges(const ArchiveListing& listing, const std::vector<size_t>& entries) {
    std::vector<OffsetRange> ranges;
    for (size_t i : entries) {
        const ListingEntry& e = listing.entries[i];
        ranges.push_back(OffsetRange{e.offset, e.offset + e.record_length});
    }
    return ranges;
}

}  // namespace cli
}  // namespace vellum
