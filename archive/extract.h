// Turning entries back into bytes, in normal and solid archives. Each entry is
// decoded into its sink (entry_sink.h): a file of the destination tree, standard
// output, a checksum check, or nothing. Entries of a normal archive are decoded
// on the command's workers; each is settled on the command's thread in archive
// order, where its bytes take their place, the totals move and the front end
// hears of it, so what is written, said and counted is what one thread gives.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/entry_sink.h"
#include "archive/messages.h"

namespace vellum {

enum class ExtractResult {
    written,         // its sink kept it: a file stands in its place, bytes went out
    checked,         // decoded and sound, and nothing to keep (a test)
    decoded,         // decoded without a sink (a solid entry before the ones wanted)
    skipped,         // refused, or its output failed: reported, nothing kept
    kept,            // left alone: its name exists and the command keeps old files
    damaged,         // its data does not hold: reported, nothing kept
    mismatch,        // its bytes differ from their checksum: reported as damage, nothing kept
    archive_failed,  // the archive could not be read: reported
    interrupted,     // the reporter asked to stop: nothing of the entry kept
};

// One entry to decode. A solid run lists every entry from the first up to the
// last one wanted, those not wanted without a sink.
struct EntryTask {
    uint64_t offset = 0;        // where its record starts
    std::string name;           // shown in progress events
    std::unique_ptr<EntrySink> sink;  // nullptr: decoded only
    // Refused before decoding: the message is reported in the entry's turn and
    // nothing is kept. A solid entry is still decoded, without a sink, to keep
    // the run in step.
    const MessageText* refusal = nullptr;
    std::string refusal_subject;
    ExtractResult refused_as = ExtractResult::skipped;  // the result a refusal gives
};

struct ExtractSummary {
    uint32_t written = 0;
    uint32_t checked = 0;
    uint32_t damaged = 0;     // mismatched checksums included
    uint32_t skipped = 0;
    uint32_t kept = 0;
    bool archive_failed = false;  // the archive could not be read to the end
    bool interrupted = false;     // the reporter asked to stop
    bool ok() const { return damaged == 0 && skipped == 0 && !archive_failed && !interrupted; }
};

// Called on the command's thread as each entry is settled, in order: its index
// among the tasks and its result. False ends the run: nothing later is decoded.
using EntrySettled = std::function<bool(size_t index, ExtractResult result)>;

// Decodes the tasks in order through the archive the command holds
// (command.archive), with the mode and block size of that archive. A damaged
// entry of a solid run ends the run (reported); entries are read only up to the
// last task.
ExtractSummary extract_entries(Command& command, std::vector<EntryTask>& tasks, const EntrySettled& settled = {});

// Adds one settled entry's result to the summary, as extract_entries counts.
void count_extract_result(ExtractSummary& summary, ExtractResult result);

// True for the errors of a disk (or a quota) that is full.
bool is_no_room(int error);

// --- one task, in two steps, for the workers (parallel_extract.cpp) -------------------

// What decoding one task gave, kept until it is settled.
struct DecodedTask {
    bool decoded = false;     // the decoding ran (the head was read)
    bool head_failed = false; // the record's head does not hold: damaged
    bool archive_failed = false;
    RecordHead head;
    bool sound = false;       // decoded completely and sound
    bool stopped = false;     // the reporter asked to stop
};

// On whichever thread decodes: reads the head and decodes into the task's sink.
void decode_task(Command& command, EntryTask& task, DecodedTask* out);

// A record whose head the caller has read (an archive read front to back from a
// stream): its data comes from `data`, in order, and is decoded into the task's
// sink as decode_task would. A class this format does not write is damage.
struct RecordToDecode {
    RecordHead head;
    uint16_t file_class = 0;
    uint64_t data_length = 0;  // bytes after the class field
};
void decode_task_from(Command& command, EntryTask& task, const RecordToDecode& record, InputSource& data,
                      DecodedTask* out);
// On the command's thread, in order: gives the bytes their place and counts.
ExtractResult settle_task(Command& command, EntryTask& task, DecodedTask& decoded);

}  // namespace vellum
