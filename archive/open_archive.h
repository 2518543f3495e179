// Opening or creating the archive a compress command adds to.
#pragma once

#include <string>

#include "archive/command.h"

namespace vellum {

enum class OpenResult {
    created,        // a new archive holding only its header
    opened,         // an existing normal archive; its buffer setting was adopted
    cancelled,      // no path given
    not_archive,    // reported ("Not Archive"); the caller may ask again
    refused,        // a mode conflict, reported; the caller may ask again
    damaged,        // reported; nothing may be added until it is repaired
    cannot_create,  // reported
    busy,           // another command holds the archive: reported, nothing changed
    exists,         // a new archive was asked for and one exists: reported, nothing changed
};

// On success command.archive_path names the archive and command.archive holds it
// open under an exclusive lock until the command ends. A path that does not exist
// and lacks the ".vlm" extension gets it; when that name exists it is opened for
// adding with the usual checks, never overwritten. An existing archive is walked
// first: a tail left by an interrupted add (its record length still the
// provisional 0) is cut off; any other damage refuses the add, so nothing a repair
// could still recover is destroyed. What an interrupted delete of the archive
// left beside it is removed, and reported.
// With `new_only` an existing archive (the path, or the path with ".vlm") is
// refused: the command makes a new archive or nothing.
OpenResult open_or_create_archive(Command& command, const std::string& path, bool new_only = false);

}  // namespace vellum
