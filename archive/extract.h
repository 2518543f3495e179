// Turning entries back into files, in normal and solid archives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/output_file.h"

namespace vellum {

enum class ExtractResult {
    extracted,       // decoded and written
    decoded,         // decoded only (write flag 0)
    skipped,         // not written: the output could not be created (a solid entry
                     // is decoded all the same, to keep the run in step); reported
    damaged,         // the entry's data is damaged: reported, no partial file left
    archive_failed,  // the archive could not be opened or read: reported
    interrupted,     // the reporter asked to stop: nothing of the entry left on disk
};

// Decodes the entry at `offset` of command.archive_path, an entry of a normal or,
// with command.solid, a solid archive (then every earlier entry of the run must
// have been decoded in this command, in order). Reads through command.archive when
// the command holds it, else opens the archive for this entry. With `write` it
// creates output_folder (native form, every level) and writes output_path, under
// a temporary name until the entry is complete (see output_file.h). The first
// `trusted` characters of output_folder are the destination the user chose; every
// folder below it must be a real folder, not a link. The archive being read is
// never replaced. Only an entry that reached its final name counts as written.
ExtractResult extract_entry(Command& command, uint64_t offset, const std::string& output_folder,
                            const std::string& output_path, bool write,
                            size_t trusted = std::string::npos);

// extract_entry in two steps, for entries decoded on worker threads: the first
// decodes into the output's temporary; the second, on the command's thread and
// in archive order, gives the output its final name (so of two entries of the
// same name the later one stands, as with one thread), counts the entry in the
// command's totals and reports it.
struct DecodedEntry {
    DecodedEntry() = default;
    DecodedEntry(const DecodedEntry&) = delete;
    DecodedEntry& operator=(const DecodedEntry&) = delete;
    ~DecodedEntry();  // a temporary never settled is removed

    bool settled = true;   // the result is final: the entry ended before decoding
    ExtractResult result = ExtractResult::interrupted;
    std::string output_path;
    RecordHead head;
    OutputFile output;
    bool sound = false;          // decoded completely and sound
    bool stopped = false;        // the reporter asked to stop
    bool output_failed = false;  // writing the temporary failed
    int output_error = 0;        // errno of that write, or of creating the output
    bool unwritten = false;      // a solid entry whose output could not be created
};

// True for the errors of a disk (or a quota) that is full.
bool is_no_room(int error);

void decode_entry_output(Command& command, uint64_t offset, const std::string& output_folder,
                         const std::string& output_path, bool write, size_t trusted, DecodedEntry* out);
ExtractResult settle_entry_output(Command& command, DecodedEntry& decoded);

struct OffsetRange {
    uint64_t from;  // an entry's offset
    uint64_t to;    // the offset after the last entry meant (exclusive)
};

// True when `offset` lies in one of the ranges.
bool in_ranges(const std::vector<OffsetRange>& ranges, uint64_t offset);
// Where decoding may stop: the end of the last non-empty range (0 when none).
uint64_t end_of_ranges(const std::vector<OffsetRange>& ranges);

struct ExtractSummary {
    uint32_t written = 0;
    uint32_t damaged = 0;
    uint32_t skipped = 0;
    bool archive_failed = false;  // the archive could not be read to the end
    bool interrupted = false;     // the reporter asked to stop
    bool ok() const { return damaged == 0 && skipped == 0 && !archive_failed && !interrupted; }
};

// Extracts below `destination` (native form) every entry whose offset lies in one
// of the ranges, in archive order. In a solid archive every entry before the last
// selected one is decoded too and written only when selected. When the command
// does not hold the archive yet, it is opened under a shared lock for the whole
// run.
ExtractSummary extract_ranges(Command& command, const std::vector<OffsetRange>& ranges,
                              const std::string& destination);

// Every entry of the archive.
ExtractSummary extract_all(Command& command, const std::string& destination);

}  // namespace vellum
