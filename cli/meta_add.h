// vellum add --meta: the command's own walk, which records what the archive
// format cannot hold (modes, times, checksums, links, folders) and ends the
// command with one metadata entry (meta_format.h). Links are recorded as
// links, never followed, so the walk cannot loop.
#pragma once

#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/folder_walk.h"
#include "cli/meta_format.h"
#include "cli/session.h"

namespace vellum {
namespace cli {

struct MetaAdd {
    std::vector<MetaLine> lines;
    // Lines of files queued on worker threads that were not added after all.
    std::vector<size_t> dropped;
    platform::FolderId archive{};
    bool archive_known = false;
};

// Adds one operand (a file, a folder, or a link), recording its lines.
void meta_add_path(Command& command, MetaAdd& meta, const std::string& path,
                   AddSummary& summary);

// Removes the lines of the files that were not added; after every queued file
// was settled.
void drop_unadded_lines(MetaAdd& meta);

// Appends the metadata entry for the lines gathered: a stored record. False
// (said) when it could not be written; the archive then ends with the files.
bool write_meta_entry(Session& session, const std::string& archive, const std::vector<MetaLine>& lines);

}  // namespace cli
}  // namespace vellum
