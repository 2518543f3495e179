// An add that records what the archive format cannot hold: every file's mode,
// time and checksum (of exactly the bytes stored), every folder (empty ones
// included) and every link as a link, never followed. It takes the one walk of
// every add, and ends the command with one metadata entry (meta_format.h).
#pragma once

#include <map>
#include <utility>

#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/folder_walk.h"
#include "meta/meta_format.h"

namespace vellum {

// Lives until the command's ParallelAdd has finished: settled files fill their lines.
class MetaRecorder : public AddVisitor {
public:
    MetaRecorder(Command& command, AddSummary& summary) : AddVisitor(command, summary) {}
    void file(const std::string& path, const std::string& folder_path, const std::string& name,
              const platform::ItemInfo& info) override;
    void folder(const std::string& path, const std::string& stored, const platform::ItemInfo& info) override;
    void link(const std::string& path, const std::string& stored, const std::string& target,
              const platform::ItemInfo& info) override;

    // The lines gathered, once every queued file has settled: the lines of files
    // that were not added after all, or never settled, are gone.
    MetaLines finish();

private:
    MetaLines lines_;
    // Files with more than one name, by identity: the stored path of the first
    // name met. A later name is an H line, its file stored once.
    std::map<std::pair<uint64_t, uint64_t>, std::string> first_names_;
    std::vector<size_t> pending_;  // lines of files queued
    std::vector<size_t> added_;    // lines of files settled as added
};

// The walk of an add with metadata: links recorded, attributes read.
WalkOptions meta_walk_options(const Command& command);

// Adds one source, a file or a folder, recording its metadata.
void meta_add_path(MetaRecorder& recorder, Command& command, const std::string& path);

// Appends a metadata entry holding `lines` at the end of `file` (a solid
// archive when `in_solid`): *start where it
// begins (UINT64_MAX until known), *length its record length. False (errno
// telling why) when it could not be written whole.
bool append_meta_record(FILE* file, const MetaLines& lines, bool in_solid, uint64_t* start, uint64_t* length);

// Appends the metadata entry for `lines` through the command's archive stream.
// False (reported) when it could not be written: the archive then ends with the
// command's files, and the command has failed to record what was asked.
bool write_meta_entry(Command& command, const MetaLines& lines);

}  // namespace vellum
