#include "archive/extract.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "archive/archive_lock.h"
#include "archive/entry_path.h"
#include "archive/file_class.h"
#include "archive/messages.h"
#include "archive/output_file.h"
#include "archive/parallel_extract.h"
#include "codec/entry_coder.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// Holds the command's archive stream while it is read, when worker threads share it.
class ArchiveHold {
public:
    explicit ArchiveHold(const Command& command) : mutex_(command.archive_mutex) {
        if (mutex_) mutex_->lock();
    }
    ~ArchiveHold() {
        if (mutex_) mutex_->unlock();
    }
    ArchiveHold(const ArchiveHold&) = delete;
    ArchiveHold& operator=(const ArchiveHold&) = delete;

private:
    std::mutex* mutex_;
};

// An entry's data, read from its own offset on: the stream may be shared, so
// every read seeks first.
class EntrySource : public InputSource {
public:
    EntrySource(const Command& command, FILE* file, uint64_t at) : command_(command), file_(file), at_(at) {}
    size_t read(uint8_t* data, size_t size) override {
        ArchiveHold hold(command_);
        if (!platform::seek_to(file_, at_)) return 0;
        const size_t got = std::fread(data, 1, size, file_);
        at_ += got;
        return got;
    }

private:
    const Command& command_;
    FILE* file_;
    uint64_t at_;
};

// Everything one entry needs while it is decoded.
struct EntryReader {
    Command& command;
    FILE* archive = nullptr;
    bool owns_archive = false;  // opened for this entry alone
    OutputFile output;
    RecordHead head;
    uint64_t data_start = 0;   // archive offset of the bytes after the class field
    uint64_t data_length = 0;  // coded (or stored) bytes after the class field
    CodecParams params;
    const std::string& output_path;
    bool output_failed = false;
    int output_error = 0;      // errno of the failed write
    bool stopped = false;      // the reporter asked to stop

    EntryReader(Command& c, const std::string& path) : command(c), output_path(path) {}
    ~EntryReader() {
        if (owns_archive) std::fclose(archive);
        finish_output(&output, false);
    }
};

bool stop_here(EntryReader& e) {
    if (!e.stopped) e.stopped = e.command.reporter.stop_requested();
    return e.stopped;
}

// The entry's output file, once it is open. A failed write is kept with its
// errno; the decoding goes on (a solid run must stay in step) and the entry
// does not count as written.
class EntryOutput : public OutputSink {
public:
    explicit EntryOutput(EntryReader& e) : e_(e) {}
    bool write(const uint8_t* data, size_t length) override {
        if (e_.output_failed) return false;
        if (std::fwrite(data, 1, length, e_.output.file) != length) {
            e_.output_failed = true;
            e_.output_error = errno;
        }
        return !e_.output_failed;
    }

private:
    EntryReader& e_;
};

// Reads the record at `offset` and checks that it lies inside the archive and
// names a class this format writes.
bool read_entry_head(EntryReader& e, uint64_t offset) {
    ArchiveHold hold(e.command);
    uint64_t archive_length = 0;
    uint16_t file_class = 0;
    if (!stream_length(e.archive, &archive_length) || offset > archive_length ||
        !read_record_head_at(e.archive, offset, &e.head, archive_length - offset) ||
        !read_class_field(e.archive, &file_class))
        return false;
    const uint64_t head_size = record_head_size(e.head);
    if (e.head.record_length < head_size || e.head.record_length > archive_length - offset)
        return false;
    e.data_start = offset + head_size;
    e.data_length = e.head.record_length - head_size;
    if (!codec_params_for_class(file_class, e.command.solid != 0, &e.params)) return false;
    return entry_sizes_sound(e.params, e.data_length, e.head.original_size);
}

bool go_on(void* context, uint64_t) { return !stop_here(*static_cast<EntryReader*>(context)); }

bool tick(void* context, uint64_t done) {
    EntryReader& e = *static_cast<EntryReader*>(context);
    ProgressEvent event{ProgressKind::working, e.output_path, e.command.totals};
    event.entry_done = done;
    event.entry_size = e.head.original_size;
    e.command.reporter.progress(event);
    return !stop_here(e);
}

// Each block of a normal archive is announced; solid runs go without.
void block_done(void* context, uint64_t done) {
    EntryReader& e = *static_cast<EntryReader*>(context);
    Command& c = e.command;
    if (c.solid) return;
    ProgressEvent event{ProgressKind::block_extracted, e.output_path, c.totals};
    event.entry_done = done;
    event.entry_size = e.head.original_size;
    c.reporter.progress(event);
}

bool decode_entry_data(EntryReader& e) {
    Command& c = e.command;
    EntrySource source(c, e.archive, e.data_start);
    EntryOutput output(e);
    EntryHooks hooks;
    hooks.context = &e;
    hooks.go_on = go_on;
    hooks.tick = tick;
    hooks.block_done = block_done;
    const EntryOutcome outcome = decode_entry(c.codec, c.run, e.params, source, e.data_length,
                                              e.head.original_size, e.output.file ? &output : nullptr, hooks);
    return outcome.end == EntryEnd::complete;
}

// Where the entry goes, when it is written. False when it cannot be (reported).
bool prepare_output(EntryReader& e, const std::string& output_folder, size_t trusted) {
    platform::FolderId archive_id;
    bool known = false;
    {
        ArchiveHold hold(e.command);
        known = platform::stream_id(e.archive, &archive_id);
    }
    const OutputOpen opened = open_output(output_folder, trusted == std::string::npos ? output_folder.size() : trusted,
                                          e.output_path, known ? &archive_id : nullptr, &e.output);
    switch (opened) {
        case OutputOpen::ok: return true;
        case OutputOpen::link_in_path: report(e.command.reporter, msg::kLinkInPath, e.output_path); break;
        case OutputOpen::is_the_archive: report(e.command.reporter, msg::kOutputIsArchive, e.output_path); break;
        case OutputOpen::failed:
            e.output_error = errno;
            report(e.command.reporter, msg::kOutputNotCreated, e.output_path, e.output_error);
            break;
    }
    return false;
}

bool open_archive_for_entry(EntryReader& e) {
    Command& c = e.command;
    if (c.archive) {
        e.archive = c.archive;
        return true;
    }
    LockedOpen opened = LockedOpen::ok;
    e.archive = open_locked(c.archive_path, "rb", false, c.reporter, &opened);
    e.owns_archive = e.archive != nullptr;
    if (opened == LockedOpen::cannot_open) report(c.reporter, msg::kExtractArchiveFailed, c.archive_path, errno);
    return e.archive != nullptr;
}

}  // namespace

void decode_entry_output(Command& command, uint64_t offset, const std::string& output_folder,
                         const std::string& output_path, bool write, size_t trusted, DecodedEntry* out) {
    Reporter& reporter = command.reporter;
    out->output_path = output_path;
    out->settled = true;
    out->result = ExtractResult::interrupted;
    if (reporter.stop_requested()) return;
    EntryReader e(command, out->output_path);
    out->result = ExtractResult::archive_failed;
    if (!open_archive_for_entry(e)) return;
    if (!read_entry_head(e, offset)) {
        report(reporter, msg::kDamagedEntry, e.head.folder_path + e.head.file_name);
        out->result = ExtractResult::damaged;
        return;
    }
    if (write && !prepare_output(e, output_folder, trusted)) {
        // A solid entry is still decoded, or every later entry of the run would
        // come out wrong.
        out->result = ExtractResult::skipped;
        out->output_error = e.output_error;
        if (!command.solid) return;
        out->unwritten = true;
    }
    out->sound = decode_entry_data(e);
    // The buffered tail reaches the temporary here, so a full disk is known to
    // whoever decoded the entry, not first when the file is closed.
    if (e.output.file && !e.output_failed && std::fflush(e.output.file) != 0) {
        e.output_failed = true;
        e.output_error = errno;
    }
    out->stopped = e.stopped;
    out->output_failed = e.output_failed;
    out->output_error = e.output_error;
    out->head = e.head;
    out->output = e.output;
    e.output = OutputFile{};  // the settling step finishes it
    out->settled = false;
}

ExtractResult settle_entry_output(Command& command, DecodedEntry& d) {
    if (d.settled) return d.result;
    d.settled = true;
    Reporter& reporter = command.reporter;
    bool written = false;
    bool unwritten = d.unwritten;
    if (d.output.file) {
        written = finish_output(&d.output, d.sound && !d.stopped && !d.output_failed);
        if (d.sound && !d.stopped && !written) {
            // The reason of a failed write, which may have happened on another thread.
            report(reporter, msg::kOutputWriteFailed, d.output_path, d.output_failed ? d.output_error : errno);
            unwritten = true;
        }
    }
    if (d.stopped) return ExtractResult::interrupted;
    // The packed total counts every entry read to its end, written or not; an
    // entry cut short by a stop is left out, as workers leave it out.
    command.totals.compressed_total += d.head.record_length;
    if (!d.sound) {
        report(reporter, msg::kDamagedEntry, d.head.folder_path + d.head.file_name);
        return ExtractResult::damaged;
    }
    // Only what reached its final name counts.
    if (written) {
        command.totals.files_processed += 1;
        command.totals.processed_total += d.head.original_size;
    }
    ProgressEvent event{ProgressKind::entry_extracted, d.output_path, command.totals};
    event.entry_done = event.entry_size = d.head.original_size;
    event.written = written;
    reporter.progress(event);
    if (unwritten) return ExtractResult::skipped;
    return written ? ExtractResult::extracted : ExtractResult::decoded;
}

bool is_no_room(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

DecodedEntry::~DecodedEntry() { finish_output(&output, false); }

ExtractResult extract_entry(Command& command, uint64_t offset, const std::string& output_folder,
                            const std::string& output_path, bool write, size_t trusted) {
    DecodedEntry decoded;
    decode_entry_output(command, offset, output_folder, output_path, write, trusted, &decoded);
    return settle_entry_output(command, decoded);
}

namespace {

void count(ExtractSummary& summary, ExtractResult result) {
    switch (result) {
        case ExtractResult::extracted: ++summary.written; break;
        case ExtractResult::decoded: break;
        case ExtractResult::skipped: ++summary.skipped; break;
        case ExtractResult::damaged: ++summary.damaged; break;
        case ExtractResult::archive_failed: summary.archive_failed = true; break;
        case ExtractResult::interrupted: summary.interrupted = true; break;
    }
}

}  // namespace

bool in_ranges(const std::vector<OffsetRange>& ranges, uint64_t offset) {
    for (const OffsetRange& r : ranges)
        if (offset >= r.from && offset < r.to) return true;
    return false;
}

uint64_t end_of_ranges(const std::vector<OffsetRange>& ranges) {
    uint64_t end = 0;
    for (const OffsetRange& r : ranges)
        if (r.to > r.from) end = std::max(end, r.to);
    return end;
}

ExtractSummary extract_ranges(Command& command, const std::vector<OffsetRange>& ranges,
                              const std::string& destination) {
    ExtractSummary summary;
    // The whole run reads one stream under one lock: the command's, or its own.
    const bool held = command.archive != nullptr;
    if (!held) {
        LockedOpen opened = LockedOpen::ok;
        command.archive = open_locked(command.archive_path, "rb", false, command.reporter, &opened);
        if (opened == LockedOpen::busy) {
            summary.archive_failed = true;
            return summary;
        }
    }
    struct Release {
        Command& command;
        bool held;
        ~Release() {
            if (!held) command.close_archive();
        }
    } release{command, held};
    FILE* file = command.archive;
    ArchiveWalk walk;
    ArchiveHeader header;
    if (!file || walk_begin(file, &walk, &header) != HeaderResult::ok) {
        report(command.reporter, msg::kExtractRangeFailed, command.archive_path, file ? 0 : errno);
        summary.archive_failed = true;
        return summary;
    }
    // A solid run is decoded from its first entry up to the last one wanted. The
    // heads are read first: the decoders may share the stream afterwards.
    const uint64_t last_wanted = end_of_ranges(ranges);
    struct Wanted {
        uint64_t offset;
        RecordHead head;
    };
    std::vector<Wanted> entries;
    RecordHead head;
    WalkStep step = WalkStep::end;
    while (walk.offset < last_wanted && (step = walk_next(&walk, &head)) == WalkStep::entry)
        if (command.solid || in_ranges(ranges, walk.entry_offset)) entries.push_back({walk.entry_offset, head});

    const std::string base = with_separator(destination);
    auto settle = [&command, &summary](ExtractResult result) {
        count(summary, result);
        if (result == ExtractResult::archive_failed || result == ExtractResult::interrupted) return false;
        if (result == ExtractResult::damaged && command.solid) {
            report(command.reporter, msg::kSolidRunBroken, command.archive_path);
            return false;
        }
        return true;
    };
    {
        EntryQueue queue(command);
        for (const Wanted& entry : entries) {
            if (queue.ended()) break;
            const RecordHead& h = entry.head;
            bool write = in_ranges(ranges, entry.offset);
            const PathCheck check = check_entry_path(h.folder_path, h.file_name);
            if (write && check != PathCheck::safe) {
                const MessageText& why = check == PathCheck::stream_name ? msg::kColonInName : msg::kUnsafePath;
                // A solid entry is decoded all the same, to keep the run in step.
                queue.refuse(why, h.folder_path + h.file_name, ExtractResult::skipped, settle);
                if (!command.solid) continue;
                write = false;
            }
            const std::string folder = base + native_form(h.folder_path);
            queue.extract(entry.offset, folder, folder + native_form(h.file_name), write, base.size(), settle);
        }
        queue.finish();
    }
    if (step != WalkStep::entry && step != WalkStep::end) {
        report(command.reporter, msg::kArchiveWalkStopped,
               command.archive_path + " @ " + std::to_string(walk.offset));
        summary.archive_failed = true;
    }
    return summary;
}

ExtractSummary extract_all(Command& command, const std::string& destination) {
    return extract_ranges(command, {OffsetRange{0, UINT64_MAX}}, destination);
}

}  // namespace vellum
