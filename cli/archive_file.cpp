#include "cli/archive_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

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
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status) || std::filesystem::is_regular_file(status) ||
        std::filesystem::is_directory(status))
        return true;
    print_error(session, path + ": not a regular file (a pipe or a device); archives are read "
                                "and written with seeks, so name a file on disk");
    return false;
}

bool read_header_checked(Session& session, const std::string& path, ArchiveHeader* header) {
    session.reporter.archive = path;
    if (platform::is_folder(path.c_str())) {
        print_error(session, path + ": is a folder, not an archive");
        return false;
    }
    if (!archive_is_seekable(session, path)) return false;
    FILE* file = platform::open_file(path.c_str(), "rb");
    if (!file) {
        print_error(session, path + ": " + std::strerror(errno));
        return false;
    }
    const HeaderResult result = read_archive_header(file, header);
    std::fclose(file);
    if (result == HeaderResult::ok) return true;
    print_error(session, path + ": " + msg::kNotAnArchive.text);
    return false;
}

bool list_checked(Session& session, const std::string& path, ArchiveListing* listing) {
    ArchiveHeader header;
    if (!read_header_checked(session, path, &header)) return false;
    const ListStatus status = list_archive(path, session.reporter, listing);
    return status == ListStatus::complete || status == ListStatus::incomplete;
}

}  // namespace cli
}  // namespace vellum
