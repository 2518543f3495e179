// A new archive written to a stream that cannot seek (standard output). An add
// writes each record's length last, once the record is complete, by seeking
// back to its start; a stream cannot go back. So the command adds to a staging
// file of its own as usual, and as each record is settled there it is copied
// whole to the stream and the staging file is emptied again: the stream gets
// the header and then whole records, one after another, and the staging file
// never holds more than the record in work. Records coded ahead of their turn by
// worker threads wait in memory as in any add (parallel_add.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/command.h"
#include "archive/open_archive.h"

namespace vellum {

class RecordOutlet {
public:
    explicit RecordOutlet(FILE* stream) : stream_(stream) {}
    // The record just settled at [start, start + length) of the staging file
    // goes to the stream, and the staging file is emptied. False (errno telling
    // why) when the stream does not take it all.
    bool pass_on(FILE* staging, uint64_t start, uint64_t length);
    FILE* stream() const { return stream_; }

private:
    FILE* stream_;
};

// Writes the header of a new archive in the command's mode and block size to the
// outlet's stream, and makes the command add through a new staging file in the
// system's temporary folder: command.archive is that file, command.outlet the
// outlet, command.archive_path `name` (for messages). cannot_create (reported)
// when the staging file cannot be made or the stream does not take the header.
OpenResult create_streamed_archive(Command& command, RecordOutlet& outlet, const std::string& name);

}  // namespace vellum
