#include "cli/archive_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive/archive_check.h"
#include "archive/archive_lock.h"
#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {

std::string resolve_archive_path(const std::string& path) {
    uint64_t size = 0;
    if (platform::file_size(path.c_str(), &size) || platform::is_folder(path.c_str())) return path;
    const std::string with_extension = path + ".vlm";
    if (platform::file_size(with_extension.c_str(), &size)) return with_extension;
    return path;
}

bool archive_is_seekable(Session& session, const std::string& path) {
    // A name that does not exist yet is a file to be made.
    if (platform::item_kind(path.c_str()) != platform::ItemKind::special) return true;
    print_error(session, path + ": not a regular file (a pipe or a device); archives are read "
                                "and written with seeks, so name a file on disk");
    return false;
}

FILE* open_for_reading(Session& session, const std::string& path, ArchiveHeader* header) {
    session.reporter.archive = path;
    if (platform::is_folder(path.c_str())) {
        print_error(session, path + ": is a folder, not an archive");
        return nullptr;
    }
    if (!archive_is_seekable(session, path)) return nullptr;
    LockedOpen opened = LockedOpen::ok;
    FILE* file = open_locked(path, "rb", false, session.reporter, &opened);
    if (file == nullptr) {
        if (opened != LockedOpen::busy) print_error(session, path + ": " + std::strerror(errno));
        return nullptr;
    }
    if (platform::seek_to(file, 0) && read_archive_header(file, header) == HeaderResult::ok) return file;
    std::fclose(file);
    say_not_an_archive(session, path);
    return nullptr;
}

void say_not_an_archive(Session& session, const std::string& name) {
    print_error(session, name + ": " + msg::kNotAnArchive.text);
}

bool read_header_checked(Session& session, const std::string& path, ArchiveHeader* header) {
    FILE* file = open_for_reading(session, path, header);
    if (file) std::fclose(file);
    return file != nullptr;
}

void suggest_repair(Session& session, const std::string& path, FILE* file) {
    if (is_incomplete_tail(check_records(file).state))
        print_error(session, path + ": the last entry was never finished; 'vellum repair " + path +
                                 "' cuts it off and keeps every finished entry");
}

bool list_held(Session& session, const std::string& path, FILE* file, ArchiveListing* listing) {
    const ListStatus status = list_stream(file, path, session.reporter, listing);
    if (status == ListStatus::incomplete) suggest_repair(session, path, file);
    return status == ListStatus::complete || status == ListStatus::incomplete;
}

bool list_checked(Session& session, const std::string& path, ArchiveListing* listing, ArchiveMeta* meta) {
    ArchiveHeader header;
    FILE* file = open_for_reading(session, path, &header);
    if (file == nullptr) return false;
    const bool listed = list_held(session, path, file, listing);
    if (listed && meta) read_archive_meta(file, path, listing->entries, session.reporter, meta);
    std::fclose(file);
    return listed;
}

}  // namespace cli
}  // namespace vellum
