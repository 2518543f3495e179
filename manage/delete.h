// Deleting entries from a normal archive by rows of its listing. Records are
// self-contained, so the kept rows' records are copied byte for byte, in order,
// into a temporary archive beside the archive, which then replaces it in one
// step. Until that step the archive is never touched; on any failure or
// interrupt it stays as it was and the temporary archive is removed. The whole
// operation holds the archive under an exclusive lock. The temporary is a new
// file with a unique name that marks it as a delete's of this archive
// (archive/leftovers.h), so what a killed delete leaves is removed by the next
// command that changes the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/report.h"
#include "manage/copy_range.h"
#include "manage/listing.h"

namespace vellum {

struct DeleteRequest {
    bool archive_view = false;  // an archive is open in the view
    std::string archive_path;
    uint8_t solid = 0;          // the program's mode: 1 refuses, as does a solid archive
    std::vector<size_t> marked; // marked rows of the listing the caller shows
    // Single records to leave out as well, by index into the listing's entries:
    // records inside a folder row's run go as whole rows do.
    std::vector<size_t> marked_entries;
    // Metadata entries go with the last of the files they describe (meta/meta_delete.h),
    // whatever the marks say; true: a marked metadata entry goes as marked too.
    bool metadata_as_marked = false;
    // True for the stored paths of folders, links and hard links of the metadata
    // to delete as well: each metadata entry holding such lines is written anew
    // without them, in its place. Empty: none.
    std::function<bool(const std::string& stored)> items;
    // Copy chunk; 0 means the block size of the archive's buffer setting.
    size_t chunk_size = 0;
    CopyIo* io = nullptr;       // nullptr: the standard streams
};

enum class DeleteResult {
    deleted,          // the rebuilt archive replaced the old one: "DELETED"
    archive_deleted,  // every row was marked: the archive file is gone, "ACHIVE DELETED"
    refused,          // nothing to do, not allowed, or the archive is in use: reported,
                      // nothing changed
    failed,           // reported; the archive is as it was and no temporary archive is left
    interrupted,      // the reporter asked to stop: the archive is as it was, no
                      // temporary archive is left
};

// Removes the marked rows' records. `listing` is the listing the marks refer to;
// the archive is walked again first, and an archive that changed since, is
// damaged, or is solid is left alone. The caller lists the archive again
// afterwards (open_archive) to show the rebuilt one.
DeleteResult delete_entries(const DeleteRequest& request, const ArchiveListing& listing,
                            Reporter& reporter);

}  // namespace vellum
