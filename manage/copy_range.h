// Copying a byte range of one open file to the end of another, chunk by chunk,
// every read and write checked. Records are copied, never decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "archive/report.h"

namespace vellum {

// The reads, writes and closes of a copy. The plain one uses the standard
// streams; a test puts in one that fails where it wants.
class CopyIo {
public:
    virtual ~CopyIo() = default;
    // All `count` bytes, or false.
    virtual bool read(FILE* file, void* bytes, size_t count);
    virtual bool write(FILE* file, const void* bytes, size_t count);
    // Closes the stream; false when its buffered bytes could not be written out.
    virtual bool close(FILE* file);
};

// The plain standard-stream CopyIo.
CopyIo& standard_copy_io();

enum class CopyResult { ok, read_failed, write_failed, interrupted };

// Appends bytes [start, end) of `source` to `target` (which stands at its end),
// through `buffer` in chunks of at most `chunk` bytes: a range larger than the
// chunk goes in full chunks and one final remainder. A `reporter` is asked before
// every chunk whether to stop.
CopyResult copy_range(CopyIo& io, FILE* source, FILE* target, uint64_t start, uint64_t end,
                      unsigned char* buffer, size_t chunk, Reporter* reporter = nullptr);

}  // namespace vellum
