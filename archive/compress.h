// Adding one file to the archive as one entry record, in normal or solid mode.
#pragma once

#include <cstdio>
#include <string>

#include "archive/command.h"
#include "archive/format.h"
#include "codec/byte_io.h"

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

// How one file's add ended.
struct AddedFile {
    AddResult result = AddResult::skipped;
    uint64_t size = 0;           // the bytes stored
    uint64_t record_length = 0;
    uint64_t checksum = 0;       // of exactly the bytes stored
    bool changed = false;        // the file changed while it was read (reported)
};

// Appends the entry for source_path to command.archive_path. folder_path is "" for
// a file added on its own, or the archive folder path with its trailing backslash
// (docs\sub\); file_name is the name stored. The caller counts files processed;
// the size and record length go into the totals when the entry is complete.
// Writes through command.archive when the command holds it, else opens the
// archive by name for this one entry.
AddResult compress_file(Command& command, const std::string& source_path,
                        const std::string& folder_path, const std::string& file_name);
// The same, with what was stored.
AddedFile add_file(Command& command, const std::string& source_path, const std::string& folder_path,
                   const std::string& file_name);

// The three steps of compress_file, for adds that code files on worker threads.

// Opens the source without blocking on a pipe and fills head's names and size.
// nullptr when the file is skipped (reported).
FILE* open_source(Reporter& reporter, const std::string& source_path, const std::string& folder_path,
                  const std::string& file_name, RecordHead* head);

struct CodedRecord {
    bool ok = false;              // every byte of the record reached the sink
    uint64_t checksum = 0;        // of exactly the file's bytes coded (archive/checksum.h)
    bool changed = false;         // the file's size or time moved while it was read
    bool stopped = false;         // the reporter asked to stop
    bool source_failed = false;   // the source could not be read to its size
    int source_error = 0;         // the system's reason, when it gave one
    bool history_touched = false; // the solid run's shared state has moved
    uint64_t record_length = 0;   // bytes given to the sink
    uint16_t file_class = 0;      // the class written in the entry
};

// Codes the whole record (head with a provisional length of 0, class field, data)
// into `sink`. With command.settings.best_class in normal mode the file is first coded
// with every distinct parameter set, its size counted only, and the smallest
// entry is written (the source is read once per set, and once more).
CodedRecord code_record(Command& command, FILE* source, const RecordHead& head, OutputSink& sink);

// The record's bytes went to `archive` from entry_start on (`write_error` 0: all
// of them; else the system's reason they did not): writes the record length, or
// cuts the record off and reports why, as the result says. A record added
// counts in the totals and is announced.
AddedFile settle_record(Command& command, FILE* archive, uint64_t entry_start, const CodedRecord& coded,
                        int write_error, const std::string& source_path, const RecordHead& head);

}  // namespace vellum
