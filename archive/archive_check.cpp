#include "archive/archive_check.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace vellum {
namespace {

// True when the bytes from `offset` to the end are all zero: an add killed while
// it was still writing its provisional record length.
bool zero_tail(FILE* file, uint64_t offset, uint64_t length) {
    if (!platform::seek_to(file, offset)) return false;
    for (uint64_t i = offset; i < length; ++i)
        if (std::fgetc(file) != 0) return false;
    return true;
}

bool plausible_record_at(FILE* file, uint64_t at, uint64_t length) {
    RecordHead head;
    return read_record_head_at(file, at, &head) && head.record_length == length - at &&
           record_head_size(head) <= head.record_length;
}

// True when some record after `from` ends exactly at the end of the file: then the
// record at `from` is not the last one, and cutting there would lose whole
// records. One pass over the tail, in chunks.
bool later_record_ends_at_end(FILE* file, uint64_t from, uint64_t length) {
    constexpr size_t kChunk = size_t{1} << 20;
    std::vector<unsigned char> buffer(kChunk + 8);
    uint64_t position = from + 8;  // past the record's own length field
    while (position < length && length - position >= kRecordFixedBytes) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk + 7, length - position));
        if (!platform::seek_to(file, position) || std::fread(buffer.data(), 1, want, file) != want)
            return false;
        for (size_t i = 0; i + 8 <= want; ++i) {
            uint64_t value = 0;
            for (int k = 7; k >= 0; --k) value = (value << 8) | buffer[i + k];
            const uint64_t at = position + i;
            if (value == length - at && value >= kRecordFixedBytes &&
                plausible_record_at(file, at, length))
                return true;
        }
        position += kChunk;
    }
    return false;
}

std::string where(const RecordsCheck& check) {
    return "record " + std::to_string(check.entries + 1) + " at offset " + std::to_string(check.offset);
}

// A record that looks unfinished is a tail only when nothing whole follows it.
void unfinished(FILE* file, RecordsCheck* check, RecordsState state, const std::string& what) {
    if (later_record_ends_at_end(file, check->offset, check->archive_length)) {
        check->state = RecordsState::damaged;
        check->found = where(*check) + ": " + what + ", but whole records follow it";
        return;
    }
    check->state = state;
    check->found = where(*check) + ": " + what;
}

}  // namespace

RecordsCheck check_records(FILE* file) {
    RecordsCheck check;
    ArchiveWalk walk;
    if (walk_begin(file, &walk, &check.header) != HeaderResult::ok) {
        check.state = RecordsState::not_archive;
        check.found = "not an archive";
        return check;
    }
    check.archive_length = walk.archive_length;
    for (;;) {
        const WalkStep step = walk_next(&walk, &check.head);
        if (step == WalkStep::entry) {
            ++check.entries;
            continue;
        }
        check.offset = walk.offset;
        const uint64_t left = walk.archive_length - walk.offset;
        switch (step) {
            case WalkStep::end:
                check.state = RecordsState::sound;
                return check;
            case WalkStep::interrupted_add:
                // The walk stops at the 0 before the names; they may well be whole.
                if (!read_record_head_at(file, check.offset, &check.head)) check.head = RecordHead();
                unfinished(file, &check, RecordsState::interrupted_add,
                           "record length 0 (an add that never finished)");
                return check;
            case WalkStep::past_end:
                unfinished(file, &check, RecordsState::runs_past_end,
                           "its length " + std::to_string(check.head.record_length) +
                               " runs past the end, " + std::to_string(left) + " bytes left");
                return check;
            case WalkStep::truncated_head:
                // Fewer than 8 bytes, all zero: the provisional length, cut short.
                if (left < 8 && zero_tail(file, walk.offset, walk.archive_length)) {
                    check.state = RecordsState::interrupted_add;
                    check.found = where(check) + ": part of a provisional record length";
                } else {
                    check.state = RecordsState::runs_past_end;
                    check.found = where(check) + ": the file ends inside the record's head";
                }
                return check;
            case WalkStep::length_too_small:
                check.state = RecordsState::damaged;
                check.found = where(check) + ": record length " +
                              std::to_string(check.head.record_length) +
                              " is smaller than the record's own head";
                return check;
            default:
                check.state = RecordsState::damaged;
                check.found = where(check) + ": the record cannot be read";
                return check;
        }
    }
}

}  // namespace vellum
