#include "archive/extract.h"

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "archive/entry_codec.h"
#include "archive/file_class.h"
#include "archive/standalone_entry.h"
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
    EntryTask& task;
    EntrySink* sink;           // nullptr: decoded only
    RecordHead head;
    uint64_t data_start = 0;   // archive offset of the bytes after the class field
    uint64_t data_length = 0;  // coded (or stored) bytes after the class field
    uint16_t file_class = 0;
    CodecParams params;
    uint32_t unsupported_version = 0;  // the class field names a codec version unknown here
    bool stopped = false;      // the reporter asked to stop

    EntryReader(Command& c, EntryTask& t, EntrySink* s) : command(c), task(t), sink(s) {}
};

// The parameters of an entry of class field `file_class`. False for a field no
// codec writes, and for a codec version unknown here (kept in the reader).
bool params_of(EntryReader& e, uint16_t file_class) {
    const EntryClass kind = entry_class(file_class);
    if (kind.codec == EntryCodec::unsupported) e.unsupported_version = kind.version;
    return entry_params(file_class, e.command.settings.solid != 0, &e.params);
}

// Reads the record and checks that it lies inside the archive and names a
// class this format writes.
bool read_entry_head(EntryReader& e) {
    ArchiveHold hold(e.command);
    FILE* archive = e.command.archive;
    const uint64_t offset = e.task.offset;
    uint64_t archive_length = 0;
    uint16_t file_class = 0;
    if (!stream_length(archive, &archive_length) || offset > archive_length ||
        !read_record_head_at(archive, offset, &e.head, archive_length - offset) ||
        !read_class_field(archive, &file_class))
        return false;
    const uint64_t head_size = record_head_size(e.head);
    if (e.head.record_length < head_size || e.head.record_length > archive_length - offset) return false;
    e.data_start = offset + head_size;
    e.data_length = e.head.record_length - head_size;
    e.file_class = file_class;
    return params_of(e, file_class);
}

bool stop_here(EntryReader& e) {
    if (!e.stopped) e.stopped = e.command.reporter.stop_requested();
    return e.stopped;
}

// Once the output has failed nothing more can be kept, so a normal entry stops
// decoding there; a solid entry goes on, or every later entry would come out wrong.
bool output_gone(const EntryReader& e) { return e.sink && e.command.settings.solid == 0 && e.sink->error() != 0; }

bool go_on(void* context, uint64_t) {
    EntryReader& e = *static_cast<EntryReader*>(context);
    return !stop_here(e) && !output_gone(e);
}

bool tick(void* context, uint64_t done) {
    EntryReader& e = *static_cast<EntryReader*>(context);
    ProgressEvent event{ProgressKind::working, e.task.name, e.command.totals};
    event.entry_done = done;
    event.entry_size = e.head.original_size;
    e.command.reporter.progress(event);
    return !stop_here(e) && !output_gone(e);
}

// Each block of a normal archive is announced; solid runs go without.
void block_done(void* context, uint64_t done) {
    EntryReader& e = *static_cast<EntryReader*>(context);
    Command& c = e.command;
    if (c.settings.solid) return;
    ProgressEvent event{ProgressKind::block_extracted, e.task.name, c.totals};
    event.entry_done = done;
    event.entry_size = e.head.original_size;
    c.reporter.progress(event);
}

// The sink as the codec writes to it.
class SinkOutput : public OutputSink {
public:
    explicit SinkOutput(EntrySink* sink) : sink_(sink) {}
    bool write(const uint8_t* data, size_t size) override { return sink_->write(data, size); }

private:
    EntrySink* sink_;
};

ExtractResult result_of(SinkOutcome outcome) {
    switch (outcome) {
        case SinkOutcome::written: return ExtractResult::written;
        case SinkOutcome::checked: return ExtractResult::checked;
        case SinkOutcome::not_written: return ExtractResult::skipped;
        case SinkOutcome::mismatch: return ExtractResult::mismatch;
    }
    return ExtractResult::skipped;
}

void count(ExtractSummary& summary, ExtractResult result) {
    switch (result) {
        case ExtractResult::written: ++summary.written; break;
        case ExtractResult::checked: ++summary.checked; break;
        case ExtractResult::decoded: break;
        case ExtractResult::skipped: ++summary.skipped; break;
        case ExtractResult::kept: ++summary.kept; break;
        case ExtractResult::damaged:
        case ExtractResult::mismatch: ++summary.damaged; break;
        case ExtractResult::unsupported: ++summary.skipped; break;
        case ExtractResult::archive_failed: summary.archive_failed = true; break;
        case ExtractResult::interrupted: summary.interrupted = true; break;
    }
}

// Decodes the entry whose head `e` holds from `source` into its sink.
void decode_data(EntryReader& e, InputSource& source, DecodedTask* out) {
    Command& command = e.command;
    out->decoded = true;
    out->head = e.head;
    SinkOutput output(e.sink);
    EntryHooks hooks;
    hooks.context = &e;
    hooks.go_on = go_on;
    hooks.tick = tick;
    hooks.block_done = block_done;
    if (stands_alone(e.head.folder_path)) {
        // Tables of its own, the command's run left as it is (standalone_entry.h).
        out->sound = decode_standalone(e.file_class, source, e.data_length, e.head.original_size,
                                       e.sink ? &output : nullptr);
        if (e.sink) e.sink->close();
        return;
    }
    const EntryOutcome outcome = decode_entry(command.codec, command.run, e.params, source, e.data_length,
                                              e.head.original_size, e.sink ? &output : nullptr, hooks);
    // The buffered tail goes out here, so a full disk is known to whoever
    // decoded the entry, not first when it is settled.
    if (e.sink) e.sink->close();
    out->sound = outcome.end == EntryEnd::complete;
    out->no_memory = outcome.end == EntryEnd::no_memory;
    out->stopped = e.stopped;
}

// What both ways of decoding check first: a stop asked for, and a refused entry
// of a normal archive, which needs no decoding at all.
bool decoding_needed(Command& command, const EntryTask& task, DecodedTask* out) {
    *out = DecodedTask();
    if (command.reporter.stop_requested()) {
        out->stopped = true;
        return false;
    }
    return !(task.refusal && command.settings.solid == 0);
}

}  // namespace

void decode_task(Command& command, EntryTask& task, DecodedTask* out) {
    if (!decoding_needed(command, task, out)) return;
    if (!command.archive) {
        out->archive_failed = true;
        return;
    }
    EntryReader e(command, task, task.refusal ? nullptr : task.sink.get());
    if (!read_entry_head(e)) {
        out->head_failed = true;
        out->unsupported_version = e.unsupported_version;
        out->head = e.head;
        return;
    }
    EntrySource source(command, command.archive, e.data_start);
    decode_data(e, source, out);
}

void decode_task_from(Command& command, EntryTask& task, const RecordToDecode& record, InputSource& data,
                      DecodedTask* out) {
    if (!decoding_needed(command, task, out)) return;
    EntryReader e(command, task, task.refusal ? nullptr : task.sink.get());
    e.head = record.head;
    e.data_length = record.data_length;
    e.file_class = record.file_class;
    if (!params_of(e, record.file_class)) {
        out->head_failed = true;
        out->unsupported_version = e.unsupported_version;
        out->head = e.head;
        return;
    }
    decode_data(e, data, out);
}

ExtractResult settle_task(Command& command, EntryTask& task, DecodedTask& d) {
    Reporter& reporter = command.reporter;
    EntrySink* sink = task.refusal ? nullptr : task.sink.get();
    if (d.stopped) {
        if (sink) sink->finish(false, reporter);
        return ExtractResult::interrupted;
    }
    if (d.archive_failed) {
        report(reporter, msg::kExtractRangeFailed, command.archive_path);
        return ExtractResult::archive_failed;
    }
    const std::string stored = d.head.folder_path + d.head.file_name;
    if (d.head_failed && d.unsupported_version != 0) {
        if (sink) sink->finish(false, reporter);
        report(reporter, msg::kUnsupportedCodec,
               stored + ": needs strong codec version " + std::to_string(d.unsupported_version));
        return ExtractResult::unsupported;
    }
    if (d.head_failed) {
        if (sink) sink->finish(false, reporter);
        report(reporter, msg::kDamagedEntry, stored.empty() ? task.name : stored);
        return ExtractResult::damaged;
    }
    if (d.no_memory) {
        if (sink) sink->finish(false, reporter);
        report(reporter, msg::kStrongOutOfMemory, stored);
        return ExtractResult::archive_failed;
    }
    if (task.refusal) report(reporter, *task.refusal, task.refusal_subject);
    // The packed total counts every entry read to its end, kept or not; an entry
    // cut short by a stop is left out.
    if (d.decoded) command.totals.compressed_total += d.head.record_length;
    if (task.refusal && (command.settings.solid == 0 || d.sound)) return task.refused_as;
    const bool output_failed = sink && sink->error() != 0;
    if (!d.sound && !output_failed) {
        if (sink) sink->finish(false, reporter);
        report(reporter, msg::kDamagedEntry, stored);
        return ExtractResult::damaged;
    }
    const ExtractResult result = sink ? result_of(sink->finish(true, reporter)) : ExtractResult::decoded;
    const bool written = result == ExtractResult::written;
    if (written) {
        command.totals.files_processed += 1;
        command.totals.processed_total += d.head.original_size;
    }
    ProgressEvent event{ProgressKind::entry_extracted, task.name, command.totals};
    event.entry_done = event.entry_size = d.head.original_size;
    event.written = written;
    reporter.progress(event);
    return result;
}

void count_extract_result(ExtractSummary& summary, ExtractResult result) { count(summary, result); }

bool is_no_room(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

ExtractSummary extract_entries(Command& command, std::vector<EntryTask>& tasks, const EntrySettled& settled) {
    ExtractSummary summary;
    if (!command.archive) {
        report(command.reporter, msg::kExtractRangeFailed, command.archive_path, ENOENT);
        summary.archive_failed = true;
        return summary;
    }
    EntryQueue queue(command);
    for (size_t i = 0; i < tasks.size() && !queue.ended(); ++i) {
        queue.add(tasks[i], [&command, &summary, &settled, i](ExtractResult result) {
            count(summary, result);
            const bool go_on = !settled || settled(i, result);
            if (result == ExtractResult::archive_failed || result == ExtractResult::interrupted) return false;
            if (result == ExtractResult::damaged && command.settings.solid) {
                // Every later entry of a solid run depends on this one.
                report(command.reporter, msg::kSolidRunBroken, command.archive_path);
                return false;
            }
            if (result == ExtractResult::unsupported && command.settings.solid) {
                report(command.reporter, msg::kSolidRunUnsupported, command.archive_path);
                return false;
            }
            return go_on;
        });
    }
    queue.finish();
    return summary;
}

}  // namespace vellum
