// An add to an archive that already holds some of its paths (meta/held_paths.h).
// By default the held files are left out and the add appends as always. An
// update (add -u) decides first, walking the sources once, which held files
// changed; then it writes a new archive beside the old one through the copy a
// delete makes (archive/leftovers.h): the header, every record that stays (a
// metadata entry whose files all go goes with them), then the command's new and
// changed files and its metadata entry, added as in any add. The new archive
// replaces the old one in one step once it is whole: a kill leaves the archive
// as it was or as the update made it, and the next command that changes the
// archive removes a copy left behind. The whole command holds the archive's lock.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/walk.h"
#include "manage/listing.h"
#include "meta/held_paths.h"

namespace vellum {

struct HeldArchive {
    ArchiveListing listing;
    ArchiveMeta meta;
    std::unique_ptr<HeldPaths> paths;
    // An update: the archive held (locked) while its copy is command.archive.
    FILE* original = nullptr;
    std::string original_path;
    uint64_t copied = 0;  // header and kept records, bytes
};

// For an existing normal archive the command holds (open_or_create_archive):
// reads its records and metadata and makes the command leave out or compare the
// paths it holds (command.held). False (reported) when it cannot be read.
bool hold_archive_paths(Command& command, bool update, HeldArchive* held);

// An update: decides every file of `sources` (walked with `options`, as the add
// will walk them), then starts the copy: command.archive becomes the new archive
// with the records that stay; the add goes on into it. False (reported, the
// archive as it was) on failure or a stop.
bool begin_update_copy(Command& command, const std::vector<std::string>& sources, const WalkOptions& options,
                       HeldArchive* held);

// Ends an update: with `commit`, the copy (closed here) replaces the archive;
// otherwise it is removed. command.archive is the archive again, or none once
// replaced. False (reported) when the replacement failed: the archive is as it was.
bool end_update_copy(Command& command, bool commit, HeldArchive* held);

}  // namespace vellum
