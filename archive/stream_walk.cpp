#include "archive/stream_walk.h"

#include <algorithm>

namespace vellum {
namespace {

// Bytes of `room` left after `used` of them, 0 when none.
uint64_t room_after(uint64_t room, uint64_t used) { return room > used ? room - used : 0; }

// The fields after the record length, in order; each name must fit in the
// record as its length claims it.
bool read_head_rest(FILE* file, RecordHead* head) {
    constexpr uint64_t kBeforeFolder = 8 + 8 + 2 + 2;  // up to the folder path's bytes
    if (!read_u64(file, &head->original_size) || !read_u16(file, &head->reserved) ||
        !read_name(file, &head->folder_path, room_after(head->record_length, kBeforeFolder)))
        return false;
    const uint64_t before_name = kBeforeFolder + head->folder_path.size() + 2;
    return read_name(file, &head->file_name, room_after(head->record_length, before_name));
}

}  // namespace

HeaderResult stream_walk_begin(FILE* file, StreamWalk* walk, ArchiveHeader* header) {
    *walk = StreamWalk();
    walk->file = file;
    return read_archive_header(file, header);
}

bool stream_skip_data(StreamWalk* walk) {
    uint8_t buffer[1 << 16];
    while (walk->data_left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, walk->data_left));
        const size_t got = std::fread(buffer, 1, want, walk->file);
        walk->data_left -= got;
        walk->offset += got;
        if (got < want) {
            walk->failed = std::ferror(walk->file) != 0;
            return false;
        }
    }
    return true;
}

StreamStep stream_walk_next(StreamWalk* walk, RecordHead* head, uint16_t* file_class) {
    *head = RecordHead();
    if (!stream_skip_data(walk)) return walk->failed ? StreamStep::io_error : StreamStep::past_end;
    walk->entry_offset = walk->offset;
    // The end of the stream between two records is the archive's end.
    const int first = std::fgetc(walk->file);
    if (first == EOF) {
        walk->failed = std::ferror(walk->file) != 0;
        return walk->failed ? StreamStep::io_error : StreamStep::end;
    }
    std::ungetc(first, walk->file);
    if (!read_u64(walk->file, &head->record_length)) return StreamStep::truncated_head;
    // An add writes 0 first and the real length last: 0 marks an add cut short.
    if (head->record_length == 0) return StreamStep::interrupted_add;
    if (!read_head_rest(walk->file, head)) return StreamStep::truncated_head;
    const uint64_t head_size = record_head_size(*head);
    if (head->record_length < head_size) return StreamStep::length_too_small;
    if (!read_class_field(walk->file, file_class)) return StreamStep::truncated_head;
    walk->offset += head_size;
    walk->data_left = head->record_length - head_size;
    return StreamStep::entry;
}

size_t StreamData::read(uint8_t* data, size_t size) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, walk_.data_left));
    const size_t got = want == 0 ? 0 : std::fread(data, 1, want, walk_.file);
    walk_.data_left -= got;
    walk_.offset += got;
    if (got < want && std::ferror(walk_.file)) walk_.failed = true;
    return got;
}

}  // namespace vellum
