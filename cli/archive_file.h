// Finding and opening the archive a command reads, with errors that name it.
#pragma once

#include <cstdio>
#include <string>

#include "archive/format.h"
#include "cli/session.h"
#include "manage/listing.h"
#include "meta/archive_meta.h"

namespace vellum {
namespace cli {

// How messages and summaries name an archive read from standard input ("-").
constexpr const char* kStandardInputName = "(standard input)";
// And one written to standard output.
constexpr const char* kStandardOutputName = "(standard output)";

// "(standard input): It is not a Archive" when that is why nothing was read.
void say_not_an_archive(Session& session, const std::string& name);

// The path as given, or with ".vlm" added when only that name exists (the name
// an add would have created).
std::string resolve_archive_path(const std::string& path);

// Opens the archive for a command that only reads it, under a shared lock held
// until the stream is closed, and reads its header. When the file cannot be
// opened, is held by a command that changes it, or is not an archive, says so
// naming the file and returns nullptr.
FILE* open_for_reading(Session& session, const std::string& path, ArchiveHeader* header);

// An archive is read and written with seeks: a name of a pipe, a device or
// standard input is refused here, saying so. A name that does not exist passes.
bool archive_is_seekable(Session& session, const std::string& path);

// Reads the archive's header. When the file cannot be opened or is not an archive,
// says so naming the file and returns false.
bool read_header_checked(Session& session, const std::string& path, ArchiveHeader* header);

// When the archive held open as `file` ends in an unfinished entry, says that
// `vellum repair` cuts it off.
void suggest_repair(Session& session, const std::string& path, FILE* file);

// Lists the archive held open as `file`. False when nothing could be listed; an
// incomplete listing (damage reported, and `vellum repair` named when a cut
// would mend it) is true, with listing->status telling.
bool list_held(Session& session, const std::string& path, FILE* file, ArchiveListing* listing);

// The same, opening the archive for the listing alone; with `meta`, its metadata
// is read too.
bool list_checked(Session& session, const std::string& path, ArchiveListing* listing,
                  ArchiveMeta* meta = nullptr);

}  // namespace cli
}  // namespace vellum
