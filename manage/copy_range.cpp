#include "manage/copy_range.h"

#include "platform/platform.h"

namespace vellum {

bool CopyIo::read(FILE* file, void* bytes, size_t count) {
    return count == 0 || std::fread(bytes, 1, count, file) == count;
}

bool CopyIo::write(FILE* file, const void* bytes, size_t count) {
    return count == 0 || std::fwrite(bytes, 1, count, file) == count;
}

bool CopyIo::close(FILE* file) {
    // A full disk often shows only when the buffers are flushed; the file is
    // put on disk before it may replace the archive.
    const bool flushed = platform::sync_file(file);
    return (std::fclose(file) == 0) && flushed;
}

CopyIo& standard_copy_io() {
    static CopyIo io;
    return io;
}

CopyResult copy_range(CopyIo& io, FILE* source, FILE* target, uint64_t start, uint64_t end,
                      unsigned char* buffer, size_t chunk, Reporter* reporter) {
    if (start >= end) return CopyResult::ok;
    if (chunk == 0 || !platform::seek_to(source, start)) return CopyResult::read_failed;
    uint64_t position = start;
    while (position < end) {
        if (reporter && reporter->stop_requested()) return CopyResult::interrupted;
        const uint64_t left = end - position;
        const size_t count = left < chunk ? static_cast<size_t>(left) : chunk;
        if (!io.read(source, buffer, count)) return CopyResult::read_failed;
        if (!io.write(target, buffer, count)) return CopyResult::write_failed;
        position += count;
    }
    return CopyResult::ok;
}

}  // namespace vellum
