// Adding one file to the archive as one entry record, in normal or solid mode.
#pragma once

#include <string>

#include "archive/command.h"

namespace vellum {

enum class AddResult {
    added,
    skipped,  // the source could not be opened or its name not stored: reported,
              // nothing written, the command goes on
    failed,   // the archive could not be written (or, in solid mode, the run can no
              // longer continue): reported, the partial record cut off, every
              // earlier entry intact; the command ends
    interrupted,  // the reporter asked to stop: the partial record cut off, every
                  // earlier entry intact; the command ends
};

// Appends the entry for source_path to command.archive_path. folder_path is "" for
// a file added on its own, or the archive folder path with its trailing backslash
// (docs\sub\); file_name is the name stored. The caller counts files processed;
// the size and record length go into the totals when the entry is complete.
// Writes through command.archive when the command holds it, else opens the
// archive by name for this one entry.
AddResult compress_file(Command& command, const std::string& source_path,
                        const std::string& folder_path, const std::string& file_name);

}  // namespace vellum
