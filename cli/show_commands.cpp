// vellum list and vellum info: what an archive holds, from its record heads.
#include <cinttypes>
#include <cstdio>
#include <map>
#include <string>

#include "archive/entry_path.h"
#include "cli/archive_file.h"
#include "cli/class_names.h"
#include "cli/commands.h"
#include "cli/folder_totals.h"
#include "cli/json_output.h"
#include "meta/archive_meta.h"
#include "cli/select.h"
#include "cli/summary.h"
#include "manage/info.h"

namespace vellum {
namespace cli {
namespace {

std::string columns(const std::string& packed, const std::string& size, const std::string& rest) {
    char text[64];
    std::snprintf(text, sizeof text, "%12s %12s  ", packed.c_str(), size.c_str());
    return text + rest;
}

// The metadata of the entries by offset, when the archive has any: the list
// then shows each file's modification time.
using TimesByOffset = std::map<uint64_t, const MetaLine*>;

TimesByOffset times_of(const ArchiveListing& listing, const ArchiveMeta& meta) {
    TimesByOffset times;
    for (size_t i = 0; i < listing.entries.size(); ++i)
        if (const MetaLine* line = meta.file_line(i)) times[listing.entries[i].offset] = line;
    return times;
}

// "2001-02-03 04:05:06  " before a name, blanks without a time; nothing at all
// for an archive without metadata.
std::string time_cell(const TimesByOffset* times, uint64_t offset) {
    if (!times) return {};
    const auto at = times->find(offset);
    return (at == times->end() ? std::string(19, ' ') : time_text(at->second->seconds)) + "  ";
}

// A folder row shows what it stands for: its entry count and size totals.
void print_rows(Session& session, const ArchiveListing& listing, const TimesByOffset* times) {
    print_line(session, columns("Packed", "Size", std::string(times ? "Modified             " : "") + "     Name"));
    for (size_t r = 0; r < listing.rows.size(); ++r) {
        const ListingRow& row = listing.rows[r];
        const std::string marker = row.kind == kRowKindFolder ? "[__]" : "    ";
        if (row.kind != kRowKindFolder) {
            print_line(session, columns(std::to_string(row.packed), std::to_string(row.size),
                                        time_cell(times, row.offset) + marker + " " + row.name));
            continue;
        }
        const FolderTotals totals = row_totals(listing, r);
        print_line(session, columns(std::to_string(totals.packed), std::to_string(totals.size),
                                    (times ? std::string(21, ' ') : "") + marker + " " + row.name + kNativeSeparator + "  (" +
                                        counted(totals.entries, "entry", "entries") + ")"));
    }
}

void print_entries(Session& session, const ArchiveListing& listing, const TimesByOffset* times) {
    char text[80];
    std::snprintf(text, sizeof text, "%12s %-17s ", "Offset", "Class");
    print_line(session, text + columns("Packed", "Size", std::string(times ? "Modified             " : "") + "Path"));
    for (const ListingEntry& entry : listing.entries) {
        std::snprintf(text, sizeof text, "%12" PRIu64 " %2u %-14s ", entry.offset,
                      static_cast<unsigned>(entry.file_class), class_name(entry.file_class));
        print_line(session, text + columns(std::to_string(entry.record_length),
                                           std::to_string(entry.original_size),
                                           time_cell(times, entry.offset) + entry_display_path(entry)));
    }
}

int listing_exit(const ArchiveListing& listing) {
    return listing.status == ListStatus::complete ? kExitOk : kExitPartial;
}

// list with names: only the entries they select, one line each.
bool narrow_to_selection(Session& session, const std::string& path, const Options& options,
                         ArchiveListing* listing) {
    if (options.operands.empty()) return true;
    const Selection selection = select_entries(*listing, options.operands);
    for (const std::string& name : selection.missing)
        print_error(session, path + ": no entry or row named " + name);
    std::vector<ListingEntry> chosen;
    for (size_t i : selected_entries(*listing, selection)) chosen.push_back(listing->entries[i]);
    listing->entries = std::move(chosen);
    return selection.missing.empty();
}

void print_selected(Session& session, const ArchiveListing& listing, const TimesByOffset* times) {
    print_line(session, columns("Packed", "Size", std::string(times ? "Modified             " : "") + "Path"));
    for (const ListingEntry& entry : listing.entries)
        print_line(session, columns(std::to_string(entry.record_length), std::to_string(entry.original_size),
                                    time_cell(times, entry.offset) + entry_display_path(entry)));
}

}  // namespace

int run_list(Session& session, const Options& options) {
    const std::string path = resolve_archive_path(options.archive);
    ArchiveListing listing;
    ArchiveMeta meta;
    if (!list_checked(session, path, &listing, &meta)) return kExitFatal;
    const TimesByOffset by_offset = times_of(listing, meta);
    const TimesByOffset* times = meta.present ? &by_offset : nullptr;
    if (options.json) {
        const bool rows = options.operands.empty();
        const bool all_found = narrow_to_selection(session, path, options, &listing);
        std::vector<size_t> all(listing.entries.size());
        for (size_t i = 0; i < all.size(); ++i) all[i] = i;
        print_document(session, listing_json(path, listing, all, rows, times));
        return all_found && listing.status == ListStatus::complete ? kExitOk : kExitPartial;
    }
    const bool all_found = narrow_to_selection(session, path, options, &listing);
    if (!options.operands.empty()) {
        if (options.entries)
            print_entries(session, listing, times);
        else
            print_selected(session, listing, times);
        uint64_t packed = 0, size = 0;
        for (const ListingEntry& e : listing.entries) {
            packed += e.record_length;
            size += e.original_size;
        }
        print_line(session, columns(std::to_string(packed), std::to_string(size),
                                    counted(listing.entries.size(), "entry", "entries") + " selected, " +
                                        ratio_text(packed, size)));
        return all_found && listing.status == ListStatus::complete ? kExitOk : kExitPartial;
    }
    if (options.entries)
        print_entries(session, listing, times);
    else
        print_rows(session, listing, times);
    const ArchiveTotals totals = archive_totals(listing);
    // Under --entries the totals stand under the size columns.
    print_line(session, std::string(options.entries ? 31 : 0, ' ') +
                            columns(std::to_string(totals.packed_total),
                                std::to_string(totals.original_total),
                                counted(totals.entry_count, "entry", "entries") + " in " +
                                    counted(listing.rows.size(), "row", "rows") + ", " +
                                    ratio_text(totals.packed_total, totals.original_total)));
    return listing_exit(listing);
}

int run_info(Session& session, const Options& options) {
    const std::string path = resolve_archive_path(options.archive);
    ArchiveListing listing;
    if (!list_checked(session, path, &listing)) return kExitFatal;
    const ArchiveTotals totals = archive_totals(listing);
    if (options.json) {
        print_document(session, info_json(path, totals));
        return listing_exit(listing);
    }
    print_line(session, entry_count_text(totals.entry_count));
    print_line(session, "Archive:     " + path);
    print_line(session, "Entries:     " + std::to_string(totals.entry_count));
    print_line(session, std::string("Mode:        ") + (totals.solid ? "solid" : "normal"));
    print_line(session, "Block size:  " + std::to_string(totals.block_size >> 20) + "M (setting " +
                            std::to_string(totals.buffer_setting) + ")");
    print_line(session, "Size:        " + std::to_string(totals.original_total) + " bytes");
    print_line(session, "Packed:      " + std::to_string(totals.packed_total) + " bytes");
    print_line(session, "File size:   " + std::to_string(totals.archive_length) + " bytes");
    print_line(session, "Ratio:       " + ratio_text(totals.packed_total, totals.original_total));
    return listing_exit(listing);
}

}  // namespace cli
}  // namespace vellum
