// Repairing an archive after a kill: an add (normal or solid) that never
// finished leaves one unfinished record at the end, and a copy cut short leaves
// a last record that runs past the end. Under the archive's exclusive lock the
// repair cuts such a tail off, so the archive holds exactly its finished
// entries, and removes what interrupted deletes of the archive left beside it.
// It reads record heads only; it never decodes, and it changes nothing when the
// archive holds damage of another kind (a damaged record in the middle is never
// cut).
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_check.h"
#include "archive/report.h"

namespace vellum {

enum class RepairResult {
    nothing_to_do,  // every record whole; leftovers may still have been removed
    repaired,       // the incomplete tail was cut off
    damaged,        // damage no cut mends: reported, nothing changed
    not_archive,    // reported, nothing changed
    cannot_open,    // reported, nothing changed
    busy,           // another command holds the archive: reported, nothing changed
    failed,         // the cut itself failed: reported
};

struct RepairReport {
    RecordsCheck check;         // what the walk found
    uint64_t removed_bytes = 0; // cut off the end
    size_t leftovers_removed = 0;
};

RepairResult repair_archive(const std::string& path, Reporter& reporter, RepairReport* out);

}  // namespace vellum
