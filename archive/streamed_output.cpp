#include "archive/streamed_output.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {

bool RecordOutlet::pass_on(FILE* staging, uint64_t start, uint64_t length) {
    constexpr size_t kChunk = size_t{1} << 20;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kChunk, length)));
    if (!platform::seek_to(staging, start)) return false;
    for (uint64_t left = length; left > 0;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), left));
        if (std::fread(buffer.data(), 1, want, staging) != want) {
            if (errno == 0) errno = EIO;
            return false;
        }
        if (std::fwrite(buffer.data(), 1, want, stream_) != want) {
            if (errno == 0) errno = EIO;
            return false;
        }
        left -= want;
    }
    // Each record is out whole before the next one starts.
    return std::fflush(stream_) == 0 && platform::truncate_file(staging, 0) && platform::seek_to(staging, 0);
}

OpenResult create_streamed_archive(Command& command, RecordOutlet& outlet, const std::string& name) {
    command.close_archive();
    FILE* staging = platform::create_scratch_file();
    ArchiveHeader header;
    header.solid = command.settings.solid;
    header.buffer_setting = static_cast<uint8_t>(command.settings.buffer_setting);
    errno = 0;
    if (staging == nullptr || !write_archive_header(outlet.stream(), header) || std::fflush(outlet.stream()) != 0) {
        const int error = errno ? errno : EIO;
        if (staging) std::fclose(staging);
        report(command.reporter, msg::kArchiveNotCreated, name, error);
        return OpenResult::cannot_create;
    }
    command.archive = staging;
    command.archive_path = name;
    command.outlet = &outlet;
    return OpenResult::created;
}

}  // namespace vellum
