// vellum list and vellum info: what an archive holds, from its record heads and
// its metadata.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "archive/entry_path.h"
#include "cli/archive_file.h"
#include "cli/class_names.h"
#include "cli/commands.h"
#include "cli/folder_totals.h"
#include "cli/json_output.h"
#include "cli/select.h"
#include "cli/summary.h"
#include "archive/command.h"
#include "manage/info.h"
#include "manage/stream_archive.h"
#include "platform/platform.h"
#include "meta/archive_items.h"
#include "meta/archive_meta.h"

namespace vellum {
namespace cli {
namespace {

std::string columns(const std::string& packed, const std::string& size, const std::string& rest) {
    char text[64];
    std::snprintf(text, sizeof text, "%12s %12s  ", packed.c_str(), size.c_str());
    return text + rest;
}

// What a listing shows: the archive as read, and its items.
struct Shown {
    std::string path;
    ArchiveListing listing;
    ArchiveMeta meta;
    std::vector<ArchiveItem> items;
};

const MetaLine* line_of(const Shown& shown, const ArchiveItem& item) {
    return item.line.valid() ? &shown.meta.line(item.line) : nullptr;
}

// "2001-02-03 04:05:06  " before a name, blanks without a time; nothing at all
// for an archive without metadata.
std::string time_cell(const Shown& shown, const ArchiveItem& item) {
    if (!shown.meta.present) return {};
    // A second name has its first name's time.
    const MetaLine* line = item.kind == EntryKind::hard_link ? nullptr : line_of(shown, item);
    return (line ? time_text(line->seconds) : std::string(19, ' ')) + "  ";
}

std::string time_title(const Shown& shown) { return shown.meta.present ? "Modified             " : ""; }

// The path as the system writes it: a folder ends in the separator, a link shows
// where it leads.
std::string item_path(const Shown& shown, const ArchiveItem& item) {
    std::string path = native_form(item.stored);
    if (item.kind == EntryKind::folder) path += kNativeSeparator;
    if (item.kind == EntryKind::link) path += " -> " + shown.meta.target(item.line);
    if (item.kind == EntryKind::hard_link) path += " => " + native_form(shown.meta.target(item.line));
    return path;
}

std::string packed_cell(const Shown& shown, const ArchiveItem& item) {
    return item.record == ArchiveItem::kNoRecord ? "-" : std::to_string(shown.listing.entries[item.record].record_length);
}
std::string size_cell(const Shown& shown, const ArchiveItem& item) {
    return item.record == ArchiveItem::kNoRecord ? "-" : std::to_string(shown.listing.entries[item.record].original_size);
}

// "drwxr-xr-x" as a listing of files shows modes; "-" without metadata.
std::string mode_cell(const Shown& shown, const ArchiveItem& item) {
    const MetaLine* line = line_of(shown, item);
    if (!line) return "-";
    if (item.kind == EntryKind::hard_link) return "h";  // the file's own mode is its first name's
    const char kind = item.kind == EntryKind::folder ? 'd' : item.kind == EntryKind::link ? 'l' : '-';
    const uint32_t mode = item.kind == EntryKind::link ? 0777 : line->mode;
    std::string text(1, kind);
    const char* letters = "rwxrwxrwx";
    for (int bit = 8; bit >= 0; --bit) text += (mode >> bit) & 1 ? letters[8 - bit] : '-';
    return text;
}

// The count every command gives alike: the files, then what the metadata adds,
// then the metadata entries themselves, which are not counted among the entries.
std::string counts_text(const ItemCounts& c) {
    std::string text = counted(c.files, "entry", "entries");
    if (c.folders) text += ", " + counted(c.folders, "folder", "folders");
    if (c.links) text += ", " + counted(c.links, "link", "links");
    if (c.hard_links) text += ", " + counted(c.hard_links, "hard link", "hard links");
    return text;
}

std::string metadata_text(const ItemCounts& c) {
    if (c.metadata_entries == 0) return {};
    return "; metadata: " + counted(c.metadata_entries, "entry", "entries") + ", " +
           std::to_string(c.metadata_packed) + " bytes";
}

void print_totals(Session& session, const ItemCounts& c, const std::string& what, size_t indent = 0) {
    print_line(session, std::string(indent, ' ') +
                            columns(std::to_string(c.packed), std::to_string(c.size),
                                    what + ", " + ratio_text(c.packed, c.size) + metadata_text(c)));
}

// Every item but the metadata entries: kind, sizes, time and path.
void print_items(Session& session, const Shown& shown, const std::vector<size_t>& chosen) {
    print_line(session, columns("Packed", "Size", time_title(shown) + "Kind    Path"));
    for (size_t k : chosen) {
        const ArchiveItem& item = shown.items[k];
        if (item.kind == EntryKind::metadata) continue;
        char kind[16];
        std::snprintf(kind, sizeof kind, "%-7s ", entry_kind_name(item.kind));
        print_line(session, columns(packed_cell(shown, item), size_cell(shown, item),
                                    time_cell(shown, item) + kind + item_path(shown, item)));
    }
}

// The class cell of -v and --entries: the number (at least 2 wide), a blank and the name.
std::string class_cell(uint16_t file_class) {
    char number[8];
    std::snprintf(number, sizeof number, "%2u", static_cast<unsigned>(file_class));
    return std::string(number) + " " + class_name(file_class);
}

// -v: the same with each item's mode and class.
void print_verbose(Session& session, const Shown& shown, const std::vector<size_t>& chosen) {
    // 18 wide, unless the name of a strong entry's class needs more.
    size_t width = 18;
    for (size_t k : chosen) {
        const ArchiveItem& item = shown.items[k];
        if (item.kind != EntryKind::metadata && item.record != ArchiveItem::kNoRecord)
            width = std::max(width, class_cell(shown.listing.entries[item.record].file_class).size());
    }
    char text[96];
    std::snprintf(text, sizeof text, "%-10s ", "Mode");
    char title[64];
    std::snprintf(title, sizeof title, "%-*s ", static_cast<int>(width), "Class");
    print_line(session, text + columns("Packed", "Size", time_title(shown) + title + "Path"));
    for (size_t k : chosen) {
        const ArchiveItem& item = shown.items[k];
        if (item.kind == EntryKind::metadata) continue;
        std::snprintf(text, sizeof text, "%-10s ", mode_cell(shown, item).c_str());
        std::string rest = time_cell(shown, item);
        char klass[64];
        const std::string cell = item.record != ArchiveItem::kNoRecord
                                     ? class_cell(shown.listing.entries[item.record].file_class)
                                     : entry_kind_name(item.kind);
        std::snprintf(klass, sizeof klass, "%-*s ", static_cast<int>(width), cell.c_str());
        print_line(session, text + columns(packed_cell(shown, item), size_cell(shown, item),
                                           rest + klass + item_path(shown, item)));
    }
}

// --entries: every record of the file, the metadata entries too, with its offset.
void print_records(Session& session, const Shown& shown, const std::vector<size_t>& chosen) {
    // 17 wide, unless the name of a strong entry's class needs more.
    size_t width = 17;
    for (size_t k : chosen) {
        const ArchiveItem& item = shown.items[k];
        if (item.record != ArchiveItem::kNoRecord)
            width = std::max(width, class_cell(shown.listing.entries[item.record].file_class).size());
    }
    char text[160];
    std::snprintf(text, sizeof text, "%12s %-*s ", "Offset", static_cast<int>(width), "Class");
    print_line(session, text + columns("Packed", "Size", time_title(shown) + "Path"));
    for (size_t k : chosen) {
        const ArchiveItem& item = shown.items[k];
        if (item.record == ArchiveItem::kNoRecord) continue;
        const ListingEntry& entry = shown.listing.entries[item.record];
        std::snprintf(text, sizeof text, "%12" PRIu64 " %-*s ", entry.offset, static_cast<int>(width),
                      class_cell(entry.file_class).c_str());
        print_line(session, text + columns(std::to_string(entry.record_length), std::to_string(entry.original_size),
                                           time_cell(shown, item) + entry_display_path(entry)));
    }
}

// A row of nothing but metadata entries: what they describe shows in the files'
// rows, so the row itself is not shown (as in the desktop program).
bool metadata_row(const Shown& shown, const ListingRow& row) {
    for (size_t i = row.first_entry; i < row.first_entry + row.entry_count && i < shown.listing.entries.size(); ++i)
        if (!(i < shown.meta.reserved.size() ? shown.meta.reserved[i] : is_meta_entry(shown.listing.entries[i])))
            return false;
    return row.entry_count > 0;
}

// --rows: the archive view's rows; a folder row shows its entry count and totals.
size_t print_rows(Session& session, const Shown& shown) {
    const ArchiveListing& listing = shown.listing;
    print_line(session, columns("Packed", "Size", time_title(shown) + "     Name"));
    size_t rows = 0;
    for (size_t r = 0; r < listing.rows.size(); ++r) {
        const ListingRow& row = listing.rows[r];
        if (metadata_row(shown, row)) continue;
        ++rows;
        if (row.kind != kRowKindFolder) {
            ArchiveItem file;
            if (row.first_entry < shown.meta.of_entry.size()) file.line = shown.meta.of_entry[row.first_entry];
            print_line(session, columns(std::to_string(row.packed), std::to_string(row.size),
                                        time_cell(shown, file) + "     " + row.name));
            continue;
        }
        const FolderTotals totals = row_totals(listing, r);
        print_line(session, columns(std::to_string(totals.packed), std::to_string(totals.size),
                                    (shown.meta.present ? std::string(21, ' ') : "") + "[__] " + row.name +
                                        kNativeSeparator + "  (" + counted(totals.entries, "entry", "entries") +
                                        ")"));
    }
    return rows;
}

// The items the names select: files by select_entries, folders and links of the
// metadata by their paths. Names that select nothing are reported.
std::vector<size_t> chosen_items(Session& session, const Shown& shown, const Options& options, bool* all_found) {
    std::vector<size_t> chosen;
    *all_found = true;
    if (options.operands.empty()) {
        for (size_t k = 0; k < shown.items.size(); ++k) chosen.push_back(k);
        return chosen;
    }
    const Selection selection = select_entries(shown.listing, options.operands);
    std::vector<bool> record_chosen(shown.listing.entries.size(), false);
    for (size_t i : selected_entries(shown.listing, selection)) record_chosen[i] = true;
    for (size_t k = 0; k < shown.items.size(); ++k) {
        const ArchiveItem& item = shown.items[k];
        const bool take = item.record != ArchiveItem::kNoRecord ? record_chosen[item.record]
                                                                : names_take_path(options.operands, {}, item.stored);
        if (take) chosen.push_back(k);
    }
    for (const std::string& name : selection.missing) {
        bool in_meta = false;
        for (const ArchiveItem& item : shown.items)
            in_meta = in_meta || (item.record == ArchiveItem::kNoRecord && names_take_path({name}, {}, item.stored));
        if (in_meta) continue;
        print_error(session, shown.path + ": no entry or row named " + name);
        *all_found = false;
    }
    return chosen;
}

std::vector<ArchiveItem> subset(const Shown& shown, const std::vector<size_t>& chosen) {
    std::vector<ArchiveItem> items;
    for (size_t k : chosen) items.push_back(shown.items[k]);
    return items;
}

bool complete(const Shown& shown) { return shown.listing.status == ListStatus::complete; }

int show_list(Session& session, const Options& options, const Shown& shown) {
    bool all_found = true;
    const std::vector<size_t> chosen = chosen_items(session, shown, options, &all_found);
    const ItemCounts counts = count_items(subset(shown, chosen), shown.listing.entries);
    if (options.json) {
        // The archive as given: "-" for standard input.
        const std::string archive = is_standard_stream(options.archive) ? options.archive : shown.path;
        print_document(session, listing_json(archive, shown.listing, shown.meta, subset(shown, chosen),
                                             options.operands.empty()));
    } else if (options.rows && options.operands.empty()) {
        const size_t rows = print_rows(session, shown);
        print_totals(session, counts, counts_text(counts) + " in " + counted(rows, "row", "rows"));
    } else if (options.entries) {
        print_records(session, shown, chosen);
        print_totals(session, counts, counts_text(counts), 31);
    } else {
        if (options.verbose)
            print_verbose(session, shown, chosen);
        else
            print_items(session, shown, chosen);
        print_totals(session, counts, counts_text(counts) + (options.operands.empty() ? "" : " selected"),
                     options.verbose ? 11 : 0);
    }
    return all_found && complete(shown) ? kExitOk : kExitPartial;
}

int show_info(Session& session, const Options& options, const Shown& shown) {
    const ArchiveTotals totals = archive_totals(shown.listing);
    const ItemCounts counts = count_items(shown.items, shown.listing.entries);
    if (options.json) {
        print_document(session,
                       info_json(is_standard_stream(options.archive) ? options.archive : shown.path, totals, counts));
        return complete(shown) ? kExitOk : kExitPartial;
    }
    print_line(session, entry_count_text(counts.files));
    print_line(session, "Archive:     " + shown.path);
    print_line(session, "Entries:     " + std::to_string(counts.files));
    if (shown.meta.present) {
        print_line(session, "Folders:     " + std::to_string(counts.folders));
        print_line(session, "Links:       " + std::to_string(counts.links));
    }
    if (counts.metadata_entries)
        print_line(session, "Metadata:    " + counted(counts.metadata_entries, "entry", "entries") + ", " +
                                std::to_string(counts.metadata_packed) + " bytes (not counted among the entries)");
    print_line(session, std::string("Mode:        ") + (totals.solid ? "solid" : "normal"));
    print_line(session, "Block size:  " + std::to_string(totals.block_size >> 20) + "M (setting " +
                            std::to_string(totals.buffer_setting) + ")");
    print_line(session, "Size:        " + std::to_string(counts.size) + " bytes");
    print_line(session, "Packed:      " + std::to_string(counts.packed) + " bytes");
    print_line(session, "File size:   " + std::to_string(totals.archive_length) + " bytes");
    print_line(session, "Ratio:       " + ratio_text(counts.packed, counts.size));
    return complete(shown) ? kExitOk : kExitPartial;
}

// Standard input: every record head read in turn, the data read over, only the
// metadata decoded.
bool read_shown_stream(Session& session, Shown* shown) {
    platform::use_binary_mode(stdin);
    shown->path = kStandardInputName;
    session.reporter.archive = kStandardInputName;
    Command command(codec_state(session), session.reporter);
    command.archive_path = kStandardInputName;
    StreamRequest request;
    request.list_only = true;
    StreamResult read;
    const bool ok = read_archive_stream(command, stdin, kStandardInputName, request, &read);
    end_command(command);
    if (read.listing.status == ListStatus::not_archive) say_not_an_archive(session, kStandardInputName);
    if (!ok) return false;
    shown->listing = std::move(read.listing);
    shown->meta = std::move(read.meta);
    shown->items = archive_items(shown->listing.entries, shown->meta);
    return true;
}

bool read_shown(Session& session, const Options& options, Shown* shown) {
    if (is_standard_stream(options.archive)) return read_shown_stream(session, shown);
    shown->path = resolve_archive_path(options.archive);
    if (!list_checked(session, shown->path, &shown->listing, &shown->meta)) return false;
    shown->items = archive_items(shown->listing.entries, shown->meta);
    return true;
}

}  // namespace

int run_list(Session& session, const Options& options) {
    Shown shown;
    if (!read_shown(session, options, &shown)) return kExitFatal;
    return show_list(session, options, shown);
}

int run_info(Session& session, const Options& options) {
    Shown shown;
    if (!read_shown(session, options, &shown)) return kExitFatal;
    return show_info(session, options, shown);
}

}  // namespace cli
}  // namespace vellum
