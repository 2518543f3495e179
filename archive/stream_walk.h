// Reading an archive front to back from a stream that cannot seek (a pipe,
// standard input): the header, then each record's head in turn, its data read
// by whoever decodes it or read over, never a seek. Every record's length comes
// first, so a record is known whole only once its last byte has been read: a
// stream that ends inside a record is found when its data runs out.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/format.h"
#include "codec/byte_io.h"

namespace vellum {

enum class StreamStep {
    entry,             // a record's head and class field read; its data follows
    end,               // the stream ended exactly after the last record
    interrupted_add,   // record length 0: an add that never wrote its final length
    length_too_small,  // record length below the record's own head size
    truncated_head,    // the stream ends inside a record's head
    past_end,          // the stream ended inside the previous record's data
    io_error,          // the stream could not be read
};

struct StreamWalk {
    FILE* file = nullptr;
    uint64_t offset = kArchiveHeaderSize;  // bytes of the archive read so far
    uint64_t entry_offset = 0;             // where the record just read starts
    uint64_t data_left = 0;                // its data not read yet
    bool failed = false;                   // a read failed (not the stream's end)
};

// Reads and checks the header from the stream's current position.
HeaderResult stream_walk_begin(FILE* file, StreamWalk* walk, ArchiveHeader* header);

// Reads over what is left of the current record's data, then reads the next
// record's head and class field. On length_too_small and truncated_head, `head`
// holds what was read.
StreamStep stream_walk_next(StreamWalk* walk, RecordHead* head, uint16_t* file_class);

// Reads over the rest of the current record's data. False when the stream ends
// (or fails) first.
bool stream_skip_data(StreamWalk* walk);

// The current record's data as a decoder reads it: never beyond the record.
class StreamData : public InputSource {
public:
    explicit StreamData(StreamWalk& walk) : walk_(walk) {}
    size_t read(uint8_t* data, size_t size) override;

private:
    StreamWalk& walk_;
};

}  // namespace vellum
