#include "manage/delete.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <unordered_set>

#include "archive/archive_lock.h"
#include "archive/format.h"
#include "archive/leftovers.h"
#include "archive/messages.h"
#include "meta/archive_meta.h"
#include "meta/meta_add.h"
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

// The byte ranges of the records that stay, in order, neighbours joined; a
// metadata entry written anew is a range of its own (the caller skips it).
std::vector<RowRange> kept_ranges(const ArchiveListing& listing, const std::vector<bool>& gone,
                                  const std::vector<size_t>& anew) {
    std::vector<RowRange> kept;
    bool alone = false;  // the last range is a metadata entry written anew
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        if (gone[i]) continue;
        const ListingEntry& entry = listing.entries[i];
        const RowRange range{entry.offset, entry.offset + entry.record_length};
        const bool rewritten = std::find(anew.begin(), anew.end(), i) != anew.end();
        if (rewritten || alone)
            kept.push_back(range);
        else
            keep_range(kept, range);
        alone = rewritten;
    }
    return kept;
}

// The metadata entries that hold lines of the items deleted, and their lines
// without them: by record index. A metadata entry left with no line goes.
struct Rewrites {
    std::vector<size_t> records;
    std::vector<MetaLines> lines;
};

Rewrites items_going(const ArchiveListing& listing, const ArchiveMeta& meta, const DeleteRequest& request,
                     std::vector<bool>* gone) {
    Rewrites out;
    // A hard link whose file goes cannot stand: its line goes with the file.
    std::unordered_set<std::string> files_kept;
    bool file_going = false;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        if (i < meta.reserved.size() && meta.reserved[i]) continue;
        if ((*gone)[i])
            file_going = true;
        else
            files_kept.insert(listing.entries[i].folder_path + listing.entries[i].file_name);
    }
    if (!request.items && !(file_going && !meta.hard_links.empty())) return out;
    for (uint32_t t = 0; t < meta.texts.size(); ++t) {
        const size_t record = meta.text_entry[t];
        if ((*gone)[record]) continue;
        const MetaLines& text = meta.texts[t];
        std::vector<size_t> drop;
        for (size_t k = 0; k < text.lines().size(); ++k) {
            const MetaLine& line = text.lines()[k];
            if (line.kind == MetaKind::file) continue;
            if ((request.items && request.items(text.path(line))) ||
                (line.kind == MetaKind::hard_link && files_kept.count(text.target(line)) == 0))
                drop.push_back(k);
        }
        if (drop.empty()) continue;
        MetaLines kept = text;
        kept.remove(drop);
        if (kept.empty()) {
            (*gone)[record] = true;
            continue;
        }
        out.records.push_back(record);
        out.lines.push_back(std::move(kept));
    }
    return out;
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
                 const ArchiveListing& fresh, const std::vector<RowRange>& kept, const Rewrites& rewrites,
                 size_t chunk, CopyIo& io, Reporter& reporter, uint64_t* length) {
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
    *length = kArchiveHeaderSize;
    for (const RowRange& range : kept) {
        // A metadata entry written anew without the lines of the items deleted.
        size_t anew = rewrites.records.size();
        for (size_t k = 0; k < rewrites.records.size(); ++k)
            if (fresh.entries[rewrites.records[k]].offset == range.from) anew = k;
        if (anew < rewrites.records.size()) {
            uint64_t start = 0, written = 0;
            if (std::fflush(temp.file) != 0 || !append_meta_record(temp.file, rewrites.lines[anew], false, &start, &written)) {
                result = CopyResult::write_failed;
                break;
            }
            *length += written;
            continue;
        }
        result = copy_range(io, source, temp.file, range.from, range.to, buffer.get(), buffer_size,
                            &reporter);
        if (result != CopyResult::ok) break;
        *length += range.to - range.from;
    }
    switch (result) {
        case CopyResult::ok: return Filled::ok;
        case CopyResult::interrupted: return Filled::interrupted;
        case CopyResult::read_failed: report(reporter, msg::kDeleteReadFailed, path, errno); break;
        case CopyResult::write_failed: report(reporter, msg::kDeleteWriteFailed, temp.path, errno); break;
    }
    return Filled::failed;
}

// Consumes `archive` (the held, locked stream) in every case.
DeleteResult rebuild_archive(const DeleteRequest& request, FILE* archive,
                             const ArchiveListing& fresh, const std::vector<RowRange>& kept,
                             const Rewrites& rewrites, Reporter& reporter) {
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
    uint64_t expected = 0;
    switch (fill_temp(temp, archive, path, fresh, kept, rewrites, chunk, io, reporter, &expected)) {
        case Filled::ok: break;
        case Filled::failed: return DeleteResult::failed;
        case Filled::interrupted: return DeleteResult::interrupted;
    }

    FILE* written = temp.file;
    temp.file = nullptr;
    uint64_t length = 0;
    if (!io.close(written) || !platform::file_size(temp.path.c_str(), &length) ||
        length != expected) {
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
    if (request.items) any_marked = true;  // the caller found items of the metadata by name
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
    std::vector<bool> gone = records_going(fresh, meta, marked, marked_entries, request.metadata_as_marked);
    const Rewrites rewrites = items_going(fresh, meta, request, &gone);
    const std::vector<RowRange> kept = kept_ranges(fresh, gone, rewrites.records);
    if (kept.empty()) return remove_whole_archive(archive, path, reporter);
    return rebuild_archive(request, archive, fresh, kept, rewrites, reporter);
}

}  // namespace vellum
