#include "manage/delete.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "archive/archive_lock.h"
#include "archive/format.h"
#include "archive/leftovers.h"
#include "archive/messages.h"
#include "meta/archive_meta.h"
#include "meta/meta_delete.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// The refusals that need nothing but the program's state, in the order the
// user meets them.
bool refused_by_state(const DeleteRequest& request, bool any_marked, Reporter& reporter) {
    if (request.archive_view && !request.archive_path.empty()) {
        if (!any_marked) {
            report(reporter, msg::kDeleteNoSelection);
            return true;
        }
        if (request.solid != 0) {
            report(reporter, msg::kDeleteSolid);
            return true;
        }
        return false;
    }
    if (!any_marked && !request.archive_path.empty())
        report(reporter, msg::kDeleteNoSelection);
    else if (request.solid != 0)
        report(reporter, msg::kDeleteSolid);
    else
        report(reporter, msg::kDeleteNoArchive);
    return true;
}

bool same_rows(const ArchiveListing& a, const ArchiveListing& b) {
    if (a.archive_length != b.archive_length || a.row_offsets != b.row_offsets) return false;
    for (size_t r = 0; r < a.rows.size(); ++r)
        if (a.rows[r].kind != b.rows[r].kind || a.rows[r].name != b.rows[r].name) return false;
    if (a.entries.size() != b.entries.size()) return false;
    for (size_t e = 0; e < a.entries.size(); ++e)
        if (a.entries[e].offset != b.entries[e].offset) return false;
    return true;
}

// Walks the archive again: the marks are only meaningful for the rows the user
// saw, and a damaged archive must not be rewritten, since the copy would drop
// its unreadable tail without a word.
bool archive_still_fits(FILE* archive, const std::string& path, const ArchiveListing& shown,
                        ArchiveListing* fresh, Reporter& reporter) {
    SilentReporter quiet;
    switch (list_stream(archive, path, quiet, fresh)) {
        case ListStatus::cannot_open:
        case ListStatus::busy:
            report(reporter, msg::kDeleteSourceNotOpened, path);
            return false;
        case ListStatus::not_archive:
            report(reporter, msg::kDeleteStale, path);
            return false;
        case ListStatus::incomplete:
            report(reporter, msg::kDeleteDamaged,
                   path + ": damaged record at offset " + std::to_string(fresh->damaged_offset));
            return false;
        case ListStatus::complete:
            break;
    }
    if (fresh->header.solid != 0) {
        report(reporter, msg::kDeleteSolid);
        return false;
    }
    if (!same_rows(*fresh, shown)) {
        report(reporter, msg::kDeleteStale, path);
        return false;
    }
    return true;
}

void keep_range(std::vector<RowRange>& kept, const RowRange& range) {
    if (!kept.empty() && kept.back().to == range.from)
        kept.back().to = range.to;
    else
        kept.push_back(range);
}

// Per record, whether it goes: the records of the marked rows (those whose
// offsets lie in a row's range) and the marked records. Metadata entries go with
// the last of their files, and only as marked when the request says so.
std::vector<bool> records_going(const ArchiveListing& listing, const ArchiveMeta& meta,
                                const std::vector<bool>& marked, const std::vector<bool>& marked_entries,
                                bool metadata_as_marked) {
    std::vector<bool> gone(listing.entries.size(), false);
    size_t e = 0;
    for (size_t r = 0; r < listing.rows.size(); ++r) {
        const RowRange range = row_range(listing, r);
        while (e < listing.entries.size() && listing.entries[e].offset < range.from) ++e;
        for (size_t i = e; i < listing.entries.size() && listing.entries[i].offset < range.to; ++i)
            if (marked[r]) gone[i] = true;
    }
    for (size_t i = 0; i < gone.size(); ++i) {
        if (marked_entries[i]) gone[i] = true;
        if (!metadata_as_marked && i < meta.reserved.size() && meta.reserved[i]) gone[i] = false;
    }
    metadata_goes_with_its_files(listing.entries, meta, &gone);
    return gone;
}

// The byte ranges of the records that stay, in order, neighbours joined.
std::vector<RowRange> kept_ranges(const ArchiveListing& listing, const std::vector<bool>& gone) {
    std::vector<RowRange> kept;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        if (gone[i]) continue;
        const ListingEntry& entry = listing.entries[i];
        keep_range(kept, RowRange{entry.offset, entry.offset + entry.record_length});
    }
    return kept;
}

DeleteResult remove_whole_archive(FILE* archive, const std::string& path, Reporter& reporter) {
    if (!platform::remove_held_file(archive, path.c_str())) {
        report(reporter, msg::kDeleteRemoveFailed, path, errno);
        return DeleteResult::failed;
    }
    report(reporter, msg::kArchiveDeleted);
    return DeleteResult::archive_deleted;
}

// The temporary archive under construction; removed unless it was handed over.
struct TempArchive {
    std::string path;
    FILE* file = nullptr;
    bool handed_over = false;

    ~TempArchive() {
        if (file != nullptr) std::fclose(file);
        if (!handed_over) platform::remove_file(path.c_str());
    }
};

enum class Filled { ok, failed, interrupted };

// Copies the kept ranges of `source` after a fresh header. Failures are reported.
Filled fill_temp(TempArchive& temp, FILE* source, const std::string& path,
                 const ArchiveListing& fresh, const std::vector<RowRange>& kept, size_t chunk,
                 CopyIo& io, Reporter& reporter) {
    ArchiveHeader header;
    header.solid = 0;
    header.buffer_setting = fresh.header.buffer_setting;
    if (!write_archive_header(temp.file, header)) {
        report(reporter, msg::kDeleteWriteFailed, temp.path, errno);
        return Filled::failed;
    }
    uint64_t largest = 0;
    for (const RowRange& range : kept) largest = std::max(largest, range.to - range.from);
    // The buffer never needs to be larger than the longest range it carries.
    const size_t buffer_size = largest < chunk ? static_cast<size_t>(largest) : chunk;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[buffer_size]);
    if (!buffer) {
        report(reporter, msg::kOutOfMemory, path);
        return Filled::failed;
    }
    CopyResult result = CopyResult::ok;
    for (const RowRange& range : kept) {
        result = copy_range(io, source, temp.file, range.from, range.to, buffer.get(), buffer_size,
                            &reporter);
        if (result != CopyResult::ok) break;
    }
    switch (result) {
        case CopyResult::ok: return Filled::ok;
        case CopyResult::interrupted: return Filled::interrupted;
        case CopyResult::read_failed: report(reporter, msg::kDeleteReadFailed, path, errno); break;
        case CopyResult::write_failed: report(reporter, msg::kDeleteWriteFailed, temp.path, errno); break;
    }
    return Filled::failed;
}

uint64_t expected_length(const std::vector<RowRange>& kept) {
    uint64_t length = kArchiveHeaderSize;
    for (const RowRange& range : kept) length += range.to - range.from;
    return length;
}

// Consumes `archive` (the held, locked stream) in every case.
DeleteResult rebuild_archive(const DeleteRequest& request, FILE* archive,
                             const ArchiveListing& fresh, const std::vector<RowRange>& kept,
                             Reporter& reporter) {
    struct Held {
        FILE* file;
        ~Held() {
            if (file) std::fclose(file);
        }
    } held{archive};
    const std::string& path = request.archive_path;
    CopyIo& io = request.io != nullptr ? *request.io : standard_copy_io();
    size_t chunk = request.chunk_size;
    if (chunk == 0) chunk = static_cast<size_t>(block_size_for_setting(fresh.header.buffer_setting));

    TempArchive temp;
    // A new file of a name no one else has: never an existing file, never a link.
    temp.file = create_delete_temp(path, &temp.path);
    if (temp.file == nullptr) {
        temp.handed_over = true;  // nothing of ours to remove
        report(reporter, msg::kDeleteTempNotCreated, path, errno);
        return DeleteResult::failed;
    }
    switch (fill_temp(temp, archive, path, fresh, kept, chunk, io, reporter)) {
        case Filled::ok: break;
        case Filled::failed: return DeleteResult::failed;
        case Filled::interrupted: return DeleteResult::interrupted;
    }

    FILE* written = temp.file;
    temp.file = nullptr;
    uint64_t length = 0;
    if (!io.close(written) || !platform::file_size(temp.path.c_str(), &length) ||
        length != expected_length(kept)) {
        report(reporter, msg::kDeleteWriteFailed, temp.path, errno);
        return DeleteResult::failed;
    }
    if (reporter.stop_requested()) return DeleteResult::interrupted;
    // The one step that changes the archive: the old one stays whole until the
    // new one is complete.
    held.file = nullptr;
    if (!platform::replace_held_file(archive, temp.path.c_str(), path.c_str())) {
        report(reporter, msg::kDeleteReplaceFailed, path, errno);
        return DeleteResult::failed;
    }
    temp.handed_over = true;
    report(reporter, msg::kDeleted);
    return DeleteResult::deleted;
}

}  // namespace

DeleteResult delete_entries(const DeleteRequest& request, const ArchiveListing& listing,
                            Reporter& reporter) {
    std::vector<bool> marked(listing.rows.size(), false);
    bool any_marked = false;
    for (size_t r : request.marked) {
        if (r >= marked.size()) continue;
        marked[r] = true;
        any_marked = true;
    }
    std::vector<bool> marked_entries(listing.entries.size(), false);
    for (size_t e : request.marked_entries) {
        if (e >= marked_entries.size()) continue;
        marked_entries[e] = true;
        any_marked = true;
    }
    if (refused_by_state(request, any_marked, reporter)) return DeleteResult::refused;

    const std::string& path = request.archive_path;
    LockedOpen opened = LockedOpen::ok;
    FILE* archive = open_locked(path, "rb", true, reporter, &opened);
    if (archive == nullptr) {
        if (opened == LockedOpen::busy) return DeleteResult::refused;
        report(reporter, msg::kDeleteSourceNotOpened, path, errno);
        return DeleteResult::failed;
    }
    // The lock is ours: no running delete owns a temporary of this archive.
    remove_delete_temps(path, reporter);

    ArchiveListing fresh;
    if (!archive_still_fits(archive, path, listing, &fresh, reporter)) {
        std::fclose(archive);
        return DeleteResult::refused;
    }
    ArchiveMeta meta;
    SilentReporter quiet;
    read_archive_meta(archive, path, fresh.entries, quiet, &meta);
    const std::vector<bool> gone =
        records_going(fresh, meta, marked, marked_entries, request.metadata_as_marked);
    const std::vector<RowRange> kept = kept_ranges(fresh, gone);
    if (kept.empty()) return remove_whole_archive(archive, path, reporter);
    return rebuild_archive(request, archive, fresh, kept, reporter);
}

}  // namespace vellum
