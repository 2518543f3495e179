#include "archive/compress.h"

#include <cerrno>
#include <cstdio>

#include "archive/file_class.h"
#include "archive/messages.h"
#include "archive/checksum.h"
#include "archive/streamed_output.h"
#include "codec/entry_coder.h"
#include "platform/file_info.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// The source as the codec reads it: the checksum of exactly the bytes read, and
// the system's reason when a read fails.
struct SourceReader : public InputSource {
    explicit SourceReader(FILE* f) : file(f) {}
    size_t read(uint8_t* data, size_t size) override {
        const size_t got = std::fread(data, 1, size, file);
        sum.update(data, got);
        if (got < size && std::ferror(file) && error == 0) error = errno ? errno : EIO;
        return got;
    }
    FILE* file;
    Checksum sum;
    int error = 0;
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

    EntryWriter(Command& c, OutputSink& sink, const std::string& name)
        : command(c), file_name(name), out(sink) {}
};

bool stop_here(EntryWriter& e) {
    if (!e.stopped) e.stopped = e.command.reporter.stop_requested();
    return e.stopped;
}

bool go_on(void* context, uint64_t) { return !stop_here(*static_cast<EntryWriter*>(context)); }

bool tick(void* context, uint64_t done) {
    EntryWriter& e = *static_cast<EntryWriter*>(context);
    ProgressEvent event{ProgressKind::working, e.file_name, e.command.totals};
    event.entry_done = e.original_size / e.passes * e.pass + done / e.passes;
    event.entry_size = e.original_size;
    event.entry_packed = e.out.count();
    event.folder = e.folder_path;
    e.command.reporter.progress(event);
    return !stop_here(e);
}

// Chooses the class from the name and the first bytes, and writes the class
// field: the codec codes the entry with the class's parameters.
void choose_class(void* context, const uint8_t* first, size_t available, CodecParams* params) {
    EntryWriter& e = *static_cast<EntryWriter*>(context);
    const uint16_t file_class = e.forced_class >= 0
                                    ? static_cast<uint16_t>(e.forced_class)
                                    : choose_file_class(file_extension(e.file_name), first, available);
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

// One coding of the whole record with `forced_class` (-1: the class rule's).
CodedRecord code_pass(Command& command, FILE* source, const RecordHead& head, OutputSink& sink,
                      int forced_class, uint32_t pass, uint32_t passes) {
    EntryWriter entry(command, sink, head.file_name);
    entry.original_size = head.original_size;
    entry.folder_path = &head.folder_path;
    entry.forced_class = forced_class;
    entry.pass = pass;
    entry.passes = passes;
    std::vector<uint8_t> head_bytes;
    CodedRecord coded;
    SourceReader input(source);
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
        coded.ok = outcome.end == EntryEnd::complete && entry.out.flush();
        coded.source_failed = outcome.end == EntryEnd::source_short;
        coded.history_touched = outcome.history_moved;
    }
    coded.ok = coded.ok && !entry.out.failed();
    coded.stopped = entry.stopped;
    coded.source_error = input.error;
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
CodedRecord code_best_record(Command& command, FILE* source, const RecordHead& head, OutputSink& sink) {
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
        if (platform::seek_to(source, 0)) return true;
        best.ok = false;
        best.source_failed = true;
        best.source_error = errno;
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

}  // namespace

bool same_file_state(const platform::ItemInfo& a, const platform::ItemInfo& b) {
    return a.size == b.size && a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
}

CodedRecord code_record(Command& command, FILE* source, const RecordHead& head, OutputSink& sink) {
    // A file that moves while it is read (a log being written) is stored as read,
    // at the size first seen, and said to have changed.
    platform::ItemInfo before, after;
    const bool known = platform::stream_info(source, &before);
    CodedRecord coded = command.settings.best_class && !command.settings.solid ? code_best_record(command, source, head, sink)
                                                             : code_pass(command, source, head, sink, -1, 0, 1);
    coded.changed = known && platform::stream_info(source, &after) &&
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
    FileSink sink(archive);
    const CodedRecord coded = code_record(command, source, head, sink);
    std::fclose(source);
    added = settle_record(command, archive, entry_start, coded, sink.error(), source_path, head);
    if (!held && std::fclose(archive) != 0 && added.result == AddResult::added) {
        report(reporter, msg::kArchiveWriteFailed, command.archive_path, errno);
        added.result = AddResult::failed;
    }
    return added;
}

}  // namespace vellum
