#include "archive/open_archive.h"

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "archive/archive_check.h"
#include "archive/archive_lock.h"
#include "archive/leftovers.h"
#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {
namespace {

bool has_archive_extension(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".vlm";
}

// A new archive: created exclusively (a file that appeared under the name in the
// meantime is never truncated) and locked before its header is written.
OpenResult create_archive(Command& command, const std::string& path) {
    FILE* file = platform::create_new_file(path.c_str());
    bool ok = file != nullptr && platform::lock_file(file, true) != platform::LockResult::busy;
    if (ok) {
        ArchiveHeader header;
        header.solid = command.settings.solid;
        header.buffer_setting = static_cast<uint8_t>(command.settings.buffer_setting);
        ok = write_archive_header(file, header) && std::fflush(file) == 0;
    }
    if (!ok) {
        const int error = errno;
        if (file) {
            std::fclose(file);
            platform::remove_file(path.c_str());
        }
        report(command.reporter, msg::kArchiveNotCreated, path, error);
        return OpenResult::cannot_create;
    }
    command.archive = file;
    command.archive_path = path;
    return OpenResult::created;
}

OpenResult open_existing(Command& command, const std::string& path) {
    LockedOpen opened = LockedOpen::ok;
    FILE* file = open_locked(path, "rb+", true, command.reporter, &opened);
    if (opened == LockedOpen::busy) return OpenResult::busy;
    if (file == nullptr) {
        report(command.reporter, msg::kArchiveNotCreated, path, errno);
        return OpenResult::cannot_create;
    }
    ArchiveHeader header;
    if (!platform::seek_to(file, 0) || read_archive_header(file, &header) != HeaderResult::ok) {
        std::fclose(file);
        report(command.reporter, msg::kNotArchive);
        return OpenResult::not_archive;
    }
    if (command.settings.solid || header.solid) {
        std::fclose(file);
        if (command.settings.solid) report(command.reporter, msg::kIncompatibleMode);
        if (header.solid) report(command.reporter, msg::kArchiveClosed);
        return OpenResult::refused;
    }
    const RecordsCheck check = check_records(file);
    bool sound = check.state == RecordsState::sound;
    // Only what an interrupted add leaves is cut here; the rest is for a repair.
    if (check.state == RecordsState::interrupted_add)
        sound = platform::truncate_file(file, check.offset);
    if (!sound) {
        std::fclose(file);
        report(command.reporter, msg::kArchiveDamaged, path);
        return OpenResult::damaged;
    }
    // The lock is ours: no running delete owns a temporary of this archive.
    remove_delete_temps(path, command.reporter);
    // New entries always use the archive's own block size.
    command.settings.buffer_setting = header.buffer_setting;
    command.archive = file;
    command.archive_path = path;
    return OpenResult::opened;
}

bool exists(const std::string& path) {
    if (platform::is_folder(path.c_str())) return false;
    FILE* file = platform::open_file(path.c_str(), "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

}  // namespace

OpenResult open_or_create_archive(Command& command, const std::string& path, bool new_only) {
    if (path.empty()) return OpenResult::cancelled;
    command.close_archive();
    std::string chosen = path;
    bool found = exists(chosen);
    if (!found && !platform::is_folder(chosen.c_str()) && !has_archive_extension(chosen)) {
        chosen += ".vlm";
        found = exists(chosen);
    }
    if (found && new_only) {
        report(command.reporter, msg::kArchiveExists, chosen);
        return OpenResult::exists;
    }
    if (found) return open_existing(command, chosen);
    if (platform::is_folder(chosen.c_str())) {
        report(command.reporter, msg::kArchiveNotCreated, chosen, EISDIR);
        return OpenResult::cannot_create;
    }
    return create_archive(command, chosen);
}

}  // namespace vellum
