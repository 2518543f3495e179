// What the walk of an archive's records finds at its end, and which of it may be
// cut off. An add writes its record's length last, so a command killed in the
// middle of an add leaves exactly one unfinished record at the end: its length
// still the provisional 0. A copy cut short leaves a last record that runs past
// the end. Both are incomplete tails: cutting the file at the record's start
// leaves every finished entry as it was. Anything else is damage that no cut
// mends, and a record that looks unfinished but has whole records after it is
// damage in the middle, never a tail.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/format.h"

namespace vellum {

enum class RecordsState {
    sound,            // every record whole, up to the end of the file
    interrupted_add,  // the last record's length is still 0 (or the file ends
                      // inside its provisional length, all zero)
    runs_past_end,    // the last record (or its head) runs past the end of the file
    damaged,          // anything else: `found` says what
    not_archive,      // the header is wrong
};

struct RecordsCheck {
    RecordsState state = RecordsState::sound;
    ArchiveHeader header;
    uint64_t archive_length = 0;
    uint64_t entries = 0;     // whole records before `offset`
    uint64_t offset = 0;      // start of the unfinished or damaged record (the
                              // archive's length when sound)
    RecordHead head;          // what could be read of that record
    std::string found;        // a sentence on the damage, for the user
};

inline bool is_incomplete_tail(RecordsState state) {
    return state == RecordsState::interrupted_add || state == RecordsState::runs_past_end;
}

// Walks every record of the open archive from its header. Reads only heads, plus
// one pass over the tail when it looks unfinished.
RecordsCheck check_records(FILE* file);

}  // namespace vellum
