// Adding files and whole folders: every file below a folder, at any depth, becomes
// one entry whose folder path is the folder's own name and the subfolders down to
// the file (docs\sub\). Folders themselves leave no entry.
#pragma once

#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/compress.h"
#include "platform/platform.h"

namespace vellum {

struct AddSummary {
    uint32_t added = 0;
    uint32_t skipped = 0;   // reported and left out
    bool failed = false;    // the command had to stop (the archive could not be written,
                            // or it was interrupted)
    bool interrupted = false;  // the reporter asked to stop
};

// Counts the result of one file's add.
void count_result(AddSummary& summary, AddResult result);

// Adds every file below `folder` (native path). `relative` is the folder's path
// in the archive without the trailing backslash, starting as the folder's own
// name (empty for a root folder, whose files then stand at the top). Links to folders are followed; only a
// folder already on the way down from `folder` is not entered again (a cycle).
// Pipes, sockets and devices are skipped, and so are names that would not
// extract as they are; both are reported. The archive being written is never
// added to itself.
void walk_folder(Command& command, const std::string& folder, const std::string& relative,
                 AddSummary& summary);

// Bytes an add of `path` will read: a file's size, or the sizes of every file
// below a folder (links that lead back up stop the scan at a fixed depth), for
// a progress bar's end.
uint64_t bytes_below(const std::string& path);

// Adds a file under its own name, or a folder through walk_folder. While the
// command has a ParallelAdd, files are queued there and the summary counts each
// one once it is settled: call its finish() before reading the summary.
void add_path(Command& command, const std::string& path, AddSummary& summary);

}  // namespace vellum
