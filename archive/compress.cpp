#include "archive/compress.h"

#include <cstdio>

#include "archive/file_class.h"
#include "archive/messages.h"
#include "codec/entry_coder.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// Everything one add needs while it writes one record.
struct EntryWriter {
    Command& command;
    const std::string& file_name;
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
    codec_params_for_class(file_class, e.command.solid != 0, params);
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
        if (source) std::fclose(source);
        report(reporter, special ? msg::kNotRegularFile : msg::kSourceNotOpened, source_path);
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
    entry.forced_class = forced_class;
    entry.pass = pass;
    entry.passes = passes;
    std::vector<uint8_t> head_bytes;
    CodedRecord coded;
    if (record_head_bytes(head, &head_bytes)) {
        entry.out.write(head_bytes.data(), head_bytes.size());
        FileSource input(source);
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
    coded.record_length = entry.out.count();
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

CodedRecord code_record(Command& command, FILE* source, const RecordHead& head, OutputSink& sink) {
    if (command.best_class && !command.solid) return code_best_record(command, source, head, sink);
    return code_pass(command, source, head, sink, -1, 0, 1);
}

AddResult settle_record(Command& command, FILE* archive, uint64_t entry_start, const CodedRecord& coded,
                        bool written, const std::string& source_path, const RecordHead& head) {
    Reporter& reporter = command.reporter;
    const bool ok = coded.ok && written && std::fflush(archive) == 0 &&
                    write_record_length(archive, entry_start, coded.record_length) &&
                    std::fflush(archive) == 0;
    if (!ok) {
        // Cut the partial record off, so the archive ends with its last whole entry.
        platform::truncate_file(archive, entry_start);
        std::fflush(archive);
        if (coded.stopped) return AddResult::interrupted;
        if (coded.source_failed) {
            report(reporter, msg::kSourceReadFailed, source_path);
            // Normal entries are independent, so the command can go on; a solid
            // run cannot once the lost file has entered its shared history.
            return command.solid && coded.history_touched ? AddResult::failed : AddResult::skipped;
        }
        report(reporter, msg::kArchiveWriteFailed, command.archive_path);
        return AddResult::failed;
    }
    command.totals.processed_total += head.original_size;
    command.totals.compressed_total += coded.record_length;
    ProgressEvent event{ProgressKind::file_compressed, head.file_name, command.totals};
    event.entry_done = event.entry_size = head.original_size;
    reporter.progress(event);
    return AddResult::added;
}

AddResult compress_file(Command& command, const std::string& source_path,
                        const std::string& folder_path, const std::string& file_name) {
    Reporter& reporter = command.reporter;
    RecordHead head;
    FILE* source = open_source(reporter, source_path, folder_path, file_name, &head);
    if (!source) return AddResult::skipped;
    if (reporter.stop_requested()) {
        std::fclose(source);
        return AddResult::interrupted;
    }
    // The command's own stream when it holds the archive; else one for this entry.
    const bool held = command.archive != nullptr;
    FILE* archive = held ? command.archive : platform::open_file(command.archive_path.c_str(), "rb+");
    uint64_t entry_start = 0;
    if (!archive || !platform::seek_to_end(archive) || !platform::tell(archive, &entry_start)) {
        if (archive && !held) std::fclose(archive);
        std::fclose(source);
        report(reporter, msg::kArchiveNotCreated, command.archive_path);
        return AddResult::failed;
    }
    FileSink sink(archive);
    const CodedRecord coded = code_record(command, source, head, sink);
    std::fclose(source);
    AddResult result = settle_record(command, archive, entry_start, coded, true, source_path, head);
    if (!held && std::fclose(archive) != 0 && result == AddResult::added) {
        report(reporter, msg::kArchiveWriteFailed, command.archive_path);
        result = AddResult::failed;
    }
    return result;
}

}  // namespace vellum
