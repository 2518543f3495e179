#include "archive/compress.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive/file_class.h"
#include "archive/messages.h"
#include "archive/checksum.h"
#include "archive/incompressible.h"
#include "archive/streamed_output.h"
#include "codec/entry_coder.h"
#include "platform/file_info.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// The source as the codec reads it: the checksum of exactly the bytes read.
struct SummingInput : public InputSource {
    explicit SummingInput(RecordInput& in) : input(in) {}
    size_t read(uint8_t* data, size_t size) override {
        const size_t got = input.read(data, size);
        sum.update(data, got);
        return got;
    }
    RecordInput& input;
    Checksum sum;
};

// Everything one add needs while it writes one record.
struct EntryWriter {
    Command& command;
    const std::string& file_name;
    const std::string* folder_path = nullptr;  // shown beside the name in progress events
    uint64_t original_size = 0;
    ByteWriter out;                   // the whole record: head, class field, data
    int forced_class = -1;            // the class to code with; -1: the class rule's
    uint16_t file_class = 0;          // the class written, once chosen
    // A file coded several times (a best-class search) shows one progress bar:
    // this is pass `pass` of `passes`.
    uint32_t pass = 0;
    uint32_t passes = 1;
    bool stopped = false;             // the reporter asked to stop
    // The most bytes the record may take before it is given up as one that
    // grows (normal mode: the record of the file stored); `grew` once it has.
    uint64_t most = UINT64_MAX;
    bool grew = false;

    EntryWriter(Command& c, OutputSink& sink, const std::string& name)
        : command(c), file_name(name), out(sink) {}
};

bool stop_here(EntryWriter& e) {
    if (!e.stopped) e.stopped = e.command.reporter.stop_requested();
    return e.stopped;
}

// Checked before every block and at every tick: a record past its limit is
// given up at once, whatever is left of the file.
bool grown(EntryWriter& e) {
    if (!e.grew) e.grew = e.out.count() > e.most;
    return e.grew;
}

bool go_on(void* context, uint64_t) {
    EntryWriter& e = *static_cast<EntryWriter*>(context);
    return !stop_here(e) && !grown(e);
}

bool tick(void* context, uint64_t done) {
    EntryWriter& e = *static_cast<EntryWriter*>(context);
    ProgressEvent event{ProgressKind::working, e.file_name, e.command.totals};
    event.entry_done = e.original_size / e.passes * e.pass + done / e.passes;
    event.entry_size = e.original_size;
    event.entry_packed = e.out.count();
    event.folder = e.folder_path;
    e.command.reporter.progress(event);
    return !stop_here(e) && !grown(e);
}

// Chooses the class from the name and the first bytes, and writes the class
// field: the codec codes the entry with the class's parameters.
void choose_class(void* context, const uint8_t* first, size_t available, CodecParams* params) {
    EntryWriter& e = *static_cast<EntryWriter*>(context);
    uint16_t file_class = e.forced_class >= 0 ? static_cast<uint16_t>(e.forced_class)
                                              : choose_file_class(file_extension(e.file_name), first, available);
    const Command& c = e.command;
    if (c.settings.solid && e.forced_class < 0 && file_class != kStoredClass &&
        store_in_solid_run(first, available, e.original_size, c.shared_starts))
        file_class = kStoredClass;
    codec_params_for_class(file_class, e.command.settings.solid != 0, params);
    e.file_class = file_class;
    const std::vector<uint8_t> field = class_field_bytes(file_class);
    e.out.write(field.data(), field.size());
}

bool source_size(FILE* source, uint64_t* size) {
    return platform::seek_to_end(source) && platform::tell(source, size) &&
           platform::seek_to(source, 0);
}

}  // namespace

FILE* open_source(Reporter& reporter, const std::string& source_path, const std::string& folder_path,
                  const std::string& file_name, RecordHead* head) {
    head->folder_path = folder_path;
    head->file_name = file_name;
    if (folder_path.size() > 0xFFFF || file_name.size() > 0xFFFF) {
        report(reporter, msg::kNameTooLong, source_path);
        return nullptr;
    }
    // Never opened as a plain stream: a pipe put here would block the add.
    bool special = false;
    FILE* source = platform::open_regular_file(source_path.c_str(), &special);
    if (!source || !source_size(source, &head->original_size)) {
        const int error = errno;
        if (source) std::fclose(source);
        if (special)
            report(reporter, msg::kNotRegularFile, source_path);
        else
            report(reporter, msg::kSourceNotOpened, source_path, error);
        return nullptr;
    }
    return source;
}

namespace {

// One coding of the whole record with `forced_class` (-1: the class rule's),
// given up once it takes more than `most` bytes.
CodedRecord code_pass(Command& command, RecordInput& source, const RecordHead& head, OutputSink& sink,
                      int forced_class, uint32_t pass, uint32_t passes, uint64_t most = UINT64_MAX) {
    EntryWriter entry(command, sink, head.file_name);
    entry.original_size = head.original_size;
    entry.folder_path = &head.folder_path;
    entry.forced_class = forced_class;
    entry.pass = pass;
    entry.passes = passes;
    entry.most = most;
    std::vector<uint8_t> head_bytes;
    CodedRecord coded;
    SummingInput input(source);
    if (record_head_bytes(head, &head_bytes)) {
        entry.out.write(head_bytes.data(), head_bytes.size());
        CodecParams params;
        EntryHooks hooks;
        hooks.context = &entry;
        hooks.choose = choose_class;
        hooks.go_on = go_on;
        hooks.tick = tick;
        const EntryOutcome outcome = encode_entry(command.codec, command.run, params, input,
                                                  head.original_size, entry.out, hooks);
        // A source that grew while it was read is stored at the size first seen.
        coded.ok = outcome.end == EntryEnd::complete && !grown(entry) && entry.out.flush();
        coded.source_failed = outcome.end == EntryEnd::source_short;
        coded.history_touched = outcome.history_moved;
    }
    coded.ok = coded.ok && !entry.out.failed();
    coded.stopped = entry.stopped;
    coded.grew = entry.grew && !entry.stopped;
    coded.source_error = source.failure();
    coded.record_length = entry.out.count();
    coded.checksum = input.sum.digest();
    coded.file_class = entry.file_class;
    return coded;
}

// Counts what it is given and keeps nothing: a trial coding only needs the size.
class CountingSink : public OutputSink {
public:
    bool write(const uint8_t*, size_t) override { return true; }
};

// Codes the file once with the class rule's choice and once with every other
// distinct parameter set, counting bytes only, then a last time for real with
// the smallest. The rule's class wins ties, so the entry is never larger than
// the rule's own.
CodedRecord code_best_record(Command& command, RecordInput& source, const RecordHead& head, RecordSink& sink) {
    static const std::vector<uint16_t> classes = distinct_parameter_classes();
    const uint32_t passes = static_cast<uint32_t>(classes.size()) + 1;
    uint32_t pass = 0;
    CountingSink counter;
    CodedRecord best = code_pass(command, source, head, counter, -1, pass++, passes);
    if (!best.ok) return best;
    const uint16_t rule_class = best.file_class;
    // Every coding reads the source from its start; a source that cannot go back
    // there is one that cannot be read.
    auto rewind = [&]() {
        if (source.rewind()) return true;
        best.ok = false;
        best.source_failed = true;
        best.source_error = source.failure();
        return false;
    };
    for (uint16_t candidate : classes) {
        if (same_parameters(candidate, rule_class)) continue;
        if (!rewind()) return best;
        const CodedRecord trial = code_pass(command, source, head, counter, candidate, pass++, passes);
        if (!trial.ok) return trial;
        if (trial.record_length < best.record_length) best = trial;
    }
    if (!rewind()) return best;
    return code_pass(command, source, head, sink, best.file_class, passes - 1, passes);
}

bool same_file_state(const platform::ItemInfo& a, const platform::ItemInfo& b) {
    return a.size == b.size && a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
}

// Normal mode: the file coded, and when the record would be larger than the
// file stored, the same record started again with the stored class. The bytes
// of the coded attempt are taken back from the sink, so the archive is the same
// whether the record was written while it was coded or afterwards.
CodedRecord code_never_larger(Command& command, RecordInput& source, const RecordHead& head, RecordSink& sink,
                              int forced_class) {
    const uint64_t stored = record_head_size(head) + head.original_size;
    CodedRecord coded = code_pass(command, source, head, sink, forced_class, 0, 1, stored);
    if (!coded.grew) return coded;
    if (!sink.restart()) {
        coded.ok = false;
        return coded;
    }
    if (!source.rewind()) {
        coded.ok = false;
        coded.source_failed = true;
        coded.source_error = source.failure();
        return coded;
    }
    coded = code_pass(command, source, head, sink, kStoredClass, 0, 1);
    coded.grew = true;
    return coded;
}

}  // namespace

size_t FileInput::read(uint8_t* data, size_t size) {
    const size_t got = std::fread(data, 1, size, file_);
    if (got < size && std::ferror(file_) && error_ == 0) error_ = errno ? errno : EIO;
    return got;
}

bool FileInput::rewind() {
    if (platform::seek_to(file_, 0)) return true;
    if (error_ == 0) error_ = errno ? errno : EIO;
    return false;
}

bool FileInput::state(platform::ItemInfo* info) { return platform::stream_info(file_, info); }

size_t MemoryInput::read(uint8_t* data, size_t size) {
    const size_t left = size_ - at_;
    const size_t count = size < left ? size : left;
    if (count > 0) std::memcpy(data, data_ + at_, count);
    at_ += count;
    return count;
}

bool ArchiveRecordSink::write(const uint8_t* data, size_t size) {
    if (error_ != 0) return false;
    if (std::fwrite(data, 1, size, archive_) == size) return true;
    error_ = errno ? errno : EIO;
    return false;
}

bool ArchiveRecordSink::restart() {
    if (error_ != 0) return false;
    if (platform::truncate_file(archive_, start_) && platform::seek_to(archive_, start_)) return true;
    error_ = errno ? errno : EIO;
    return false;
}

CodedRecord code_record(Command& command, RecordInput& source, const RecordHead& head, RecordSink& sink,
                        int forced_class) {
    // A file that moves while it is read (a log being written) is stored as read,
    // at the size first seen, and said to have changed.
    platform::ItemInfo before, after;
    const bool known = source.state(&before);
    CodedRecord coded;
    if (command.settings.solid)
        coded = code_pass(command, source, head, sink, forced_class, 0, 1);
    else if (command.settings.best_class && forced_class < 0)
        coded = code_best_record(command, source, head, sink);
    else
        coded = code_never_larger(command, source, head, sink, forced_class);
    coded.changed = known && source.state(&after) &&
                    (!same_file_state(before, after) || before.size != head.original_size);
    return coded;
}

AddedFile settle_record(Command& command, FILE* archive, uint64_t entry_start, const CodedRecord& coded,
                        int write_error, const std::string& source_path, const RecordHead& head) {
    AddedFile added;
    Reporter& reporter = command.reporter;
    bool ok = coded.ok && write_error == 0;
    if (ok && !(std::fflush(archive) == 0 && write_record_length(archive, entry_start, coded.record_length) &&
                std::fflush(archive) == 0)) {
        ok = false;
        write_error = errno;
    }
    // A streamed archive: the whole record goes on to the stream now.
    if (ok && command.outlet && !command.outlet->pass_on(archive, entry_start, coded.record_length)) {
        ok = false;
        write_error = errno;
    }
    if (!ok) {
        // Cut the partial record off, so the archive ends with its last whole entry.
        platform::truncate_file(archive, entry_start);
        std::fflush(archive);
        if (coded.stopped) {
            added.result = AddResult::interrupted;
            return added;
        }
        if (coded.source_failed) {
            report(reporter, msg::kSourceReadFailed, source_path, coded.source_error);
            // Normal entries are independent, so the command can go on; a solid
            // run cannot once the lost file has entered its shared history.
            added.result = command.settings.solid && coded.history_touched ? AddResult::failed : AddResult::skipped;
            return added;
        }
        report(reporter, msg::kArchiveWriteFailed, command.archive_path, write_error);
        added.result = AddResult::failed;
        return added;
    }
    if (coded.changed) report(reporter, msg::kSourceChanged, source_path);
    command.totals.processed_total += head.original_size;
    command.totals.compressed_total += coded.record_length;
    ProgressEvent event{ProgressKind::file_compressed, head.file_name, command.totals};
    event.entry_done = event.entry_size = head.original_size;
    event.folder = &head.folder_path;
    reporter.progress(event);
    added.result = AddResult::added;
    added.size = head.original_size;
    added.record_length = coded.record_length;
    added.checksum = coded.checksum;
    added.changed = coded.changed;
    return added;
}

AddResult compress_file(Command& command, const std::string& source_path,
                        const std::string& folder_path, const std::string& file_name) {
    return add_file(command, source_path, folder_path, file_name).result;
}

AddedFile add_file(Command& command, const std::string& source_path, const std::string& folder_path,
                   const std::string& file_name) {
    Reporter& reporter = command.reporter;
    RecordHead head;
    AddedFile added;
    FILE* source = open_source(reporter, source_path, folder_path, file_name, &head);
    if (!source) return added;
    if (reporter.stop_requested()) {
        std::fclose(source);
        added.result = AddResult::interrupted;
        return added;
    }
    // The command's own stream when it holds the archive; else one for this entry.
    const bool held = command.archive != nullptr;
    FILE* archive = held ? command.archive : platform::open_file(command.archive_path.c_str(), "rb+");
    uint64_t entry_start = 0;
    if (!archive || !platform::seek_to_end(archive) || !platform::tell(archive, &entry_start)) {
        const int error = errno;
        if (archive && !held) std::fclose(archive);
        std::fclose(source);
        report(reporter, msg::kArchiveNotCreated, command.archive_path, error);
        added.result = AddResult::failed;
        return added;
    }
    ArchiveRecordSink sink(archive, entry_start);
    FileInput input(source);
    const CodedRecord coded = code_record(command, input, head, sink);
    std::fclose(source);
    added = settle_record(command, archive, entry_start, coded, sink.error(), source_path, head);
    if (!held && std::fclose(archive) != 0 && added.result == AddResult::added) {
        report(reporter, msg::kArchiveWriteFailed, command.archive_path, errno);
        added.result = AddResult::failed;
    }
    return added;
}

}  // namespace vellum
