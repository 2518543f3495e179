// Finding and opening the archive a command reads, with errors that name it.
#pragma once

#include <string>

#include "archive/format.h"
#include "cli/session.h"
#include "manage/listing.h"

namespace vellum {
namespace cli {

// The path as given, or with ".vlm" added when only that name exists (the name
// an add would have created).
std::string resolve_archive_path(const std::string& path);

// An archive is read and written with seeks: a name of a pipe, a device or
// standard input is refused here, saying so. A name that does not exist passes.
bool archive_is_seekable(Session& session, const std::string& path);

// Reads the archive's header. When the file cannot be opened or is not an archive,
// says so naming the file and returns false.
bool read_header_checked(Session& session, const std::string& path, ArchiveHeader* header);

// Lists the archive with the core's listing after the header check. False when
// nothing could be listed; an incomplete listing (damage reported) is true, with
// listing->status telling.
bool list_checked(Session& session, const std::string& path, ArchiveListing* listing);

}  // namespace cli
}  // namespace vellum
