// The archive view: the core's listing put into the grid and the row tables,
// the entry count, and deleting the marked rows' entries.
#include <algorithm>

#include "app/app_internal.h"
#include "app/paths.h"
#include "archive/name_encoding.h"
#include "manage/delete.h"
#include "meta/archive_meta.h"
#include "manage/info.h"

namespace vellum {
namespace app {
namespace {

// A row of nothing but metadata entries: what they describe shows in the
// files' rows, so the row itself is not shown.
bool MetadataRow(const ArchiveListing& listing, const ListingRow& row) {
    for (size_t i = row.first_entry; i < row.first_entry + row.entry_count && i < listing.entries.size(); ++i)
        if (!is_meta_entry(listing.entries[i])) return false;
    return row.entry_count > 0;
}

// Rows beyond the tables' capacity are dropped. Each row shown keeps its place
// in the listing and its own byte range.
void FillGrid(AppContext& context, const ArchiveListing& listing) {
    AppState& s = context.state;
    for (size_t lr = 0; lr < listing.rows.size(); ++lr) {
        const ListingRow& row = listing.rows[lr];
        if (MetadataRow(listing, row)) continue;
        if (s.listed_rows >= static_cast<uint32_t>(kRowCapacity)) break;
        const int r = s.grid.GetRowCount();
        if (!s.grid.AddRow(ArchiveCell(row, 0).c_str(), 0)) break;
        for (int column = 1; column <= 4; ++column) s.grid.SetCell(r, column, ArchiveCell(row, column).c_str(), 0, 0);
        if (row.kind == kRowKindFolder) s.grid.SetRowColor(r, kColourFolder);
        s.row_kind[s.listed_rows] = row.kind == kRowKindFolder ? kRowFolder : kRowFile;
        s.row_marks[s.listed_rows] = 0;
        s.row_offsets[s.listed_rows] = row.offset;
        s.row_ends[s.listed_rows] = row_range(listing, lr).to;
        s.row_source[s.listed_rows] = static_cast<uint32_t>(lr);
        s.listed_rows += 1;
    }
    s.row_offsets[s.listed_rows] = s.listed_rows > 0 ? s.row_ends[s.listed_rows - 1] : 0;
    // The entries are the files, not the metadata describing them.
    s.entry_count = listing.entry_count;
    for (const ListingEntry& entry : listing.entries)
        if (is_meta_entry(entry)) --s.entry_count;
}

void AdoptHeader(AppContext& context, const ArchiveHeader& header) {
    context.state.solid = header.solid;
    context.state.buffer_setting = header.buffer_setting;
    ShowSolidImage(context);
    ShowBufferImage(context);
}

bool Listed(ListStatus status) {
    return status == ListStatus::complete || status == ListStatus::incomplete;
}

void RestoreSavedPath(AppState& s) {
    if (s.archive_view) CopyText(s.archive_path, s.saved_archive_path);
}

}  // namespace

// A row's cells: " " or "[__]", the name as it extracts (a name an older writer
// stored in its 8-bit code page shows as its Unicode name), the packed size and
// the size in decimal ("0" for a folder), and an empty fifth.
std::string ArchiveCell(const ListingRow& row, int column) {
    const bool folder = row.kind == kRowKindFolder;
    switch (column) {
        case 0: return folder ? "[__]" : " ";
        case 1: return native_form(row.name);
        case 2: return std::to_string(folder ? 0 : row.packed);
        case 3: return std::to_string(folder ? 0 : row.size);
        default: return std::string();
    }
}

void ShowSolidImage(AppContext& context) {
    context.ui.SetButtonImage(ToolbarButton::solid, SolidImage(context.state.solid));
}

void ShowBufferImage(AppContext& context) {
    context.ui.SetButtonImage(ToolbarButton::buffer, BufferImage(context.state.buffer_setting));
}

void OpenArchiveIntoGrid(AppContext& context, const std::string& path) {
    AppState& s = context.state;
    CommandReporter reporter(context, false);
    ArchiveListing listing;
    // The core checks the signature and walks the records; a file that cannot be
    // opened is passed over silently, one that is no archive is reported.
    if (!Listed(open_archive(path, reporter, &listing))) {
        RestoreSavedPath(s);
        return;
    }
    ClearRows(context);
    s.grid.Refresh();
    AdoptHeader(context, listing.header);
    s.grid.SetColumn(1, "Name in Archive", Scaled(s, 494), 1);
    s.grid.SetColumn(2, "Packed Size", Scaled(s, 200), 1);
    s.grid.SetColumn(3, "Size", Scaled(s, 200), 1);
    s.grid.Refresh();
    FillGrid(context, listing);
    context.listing = std::move(listing);
    s.grid.Refresh();
    s.archive_view = 1;
}

void OpenArchivePath(AppContext& context, const std::string& path) {
    AppState& s = context.state;
    CopyText(s.saved_archive_path, s.archive_path);
    if (!StorePath(context, s.archive_path, path)) return;
    OpenArchiveIntoGrid(context, s.archive_path);
    // Not opened from the folder view: the folder view stays, with its archive.
    if (!s.archive_view) CopyText(s.archive_path, s.saved_archive_path);
}

void ShowArchiveInfo(AppContext& context) {
    AppState& s = context.state;
    if (!s.archive_view) {
        Show(context, msg::kInfoNoArchive);
        return;
    }
    ClearRows(context);
    s.grid.SetColumn(0, "  ", Scaled(s, 40), 1);
    s.grid.SetColumn(1, "ARCHIVE FILE", Scaled(s, 494), 1);
    s.grid.SetColumn(2, "COMPRESSED", Scaled(s, 200), 1);
    s.grid.SetColumn(3, "ORIGINAL", Scaled(s, 200), 1);
    s.grid.Refresh();
    CommandReporter reporter(context, false);
    ArchiveListing listing;
    if (Listed(list_archive(s.archive_path, reporter, &listing))) {
        AdoptHeader(context, listing.header);
        FillGrid(context, listing);
    }
    context.listing = std::move(listing);
    s.grid.Refresh();
    Show(context, msg::kInfoCount, entry_count_text(s.entry_count));
}

void DeleteMarkedEntries(AppContext& context) {
    AppState& s = context.state;
    DeleteRequest request;
    request.archive_view = s.archive_view != 0;
    request.archive_path = s.archive_path;
    request.solid = s.solid;
    // By the rows of the listing, whatever order the grid shows them in.
    for (uint32_t r = 0; r < s.listed_rows; ++r)
        if (s.row_marks[r]) request.marked.push_back(s.row_source[r]);
    std::sort(request.marked.begin(), request.marked.end());
    CommandReporter reporter(context, false);
    // The core says "DELETED" itself, once the rebuilt archive stands under the
    // archive's name: one box.
    switch (delete_entries(request, context.listing, reporter)) {
        case DeleteResult::deleted:
            ResetMarks(context);
            OpenArchiveIntoGrid(context, s.archive_path);
            break;
        case DeleteResult::archive_deleted:
            s.archive_view = 0;
            ClearRows(context);
            break;
        case DeleteResult::refused:
        case DeleteResult::failed:
        case DeleteResult::interrupted:
            break;
    }
}

}  // namespace app
}  // namespace vellum
