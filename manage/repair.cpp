#include "manage/repair.h"

#include <cerrno>
#include <cstdio>

#include "archive/archive_lock.h"
#include "archive/leftovers.h"
#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {

RepairResult repair_archive(const std::string& path, Reporter& reporter, RepairReport* out) {
    *out = RepairReport();
    LockedOpen opened = LockedOpen::ok;
    FILE* file = open_locked(path, "rb+", true, reporter, &opened);
    if (file == nullptr) {
        if (opened == LockedOpen::busy) return RepairResult::busy;
        report(reporter, msg::kRepairNotOpened, path, errno);
        return RepairResult::cannot_open;
    }
    struct Close {
        FILE* file;
        ~Close() { std::fclose(file); }
    } close{file};

    out->check = check_records(file);
    const RecordsCheck& check = out->check;
    if (check.state == RecordsState::not_archive) {
        report(reporter, msg::kNotAnArchive);
        return RepairResult::not_archive;
    }
    // The lock is ours: no running delete owns a temporary of this archive.
    out->leftovers_removed = remove_delete_temps(path, reporter);
    if (check.state == RecordsState::sound) return RepairResult::nothing_to_do;
    if (check.state == RecordsState::damaged) {
        report(reporter, msg::kRepairRefused, path + ": " + check.found);
        return RepairResult::damaged;
    }
    if (!platform::truncate_file(file, check.offset) || !platform::sync_file(file)) {
        report(reporter, msg::kRepairFailed, path, errno);
        return RepairResult::failed;
    }
    out->removed_bytes = check.archive_length - check.offset;
    return RepairResult::repaired;
}

}  // namespace vellum
