#include "manage/stream_archive.h"

#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "archive/checksum.h"
#include "archive/entry_path.h"
#include "archive/extract.h"
#include "archive/extract_tree.h"
#include "archive/file_class.h"
#include "archive/messages.h"
#include "archive/name_encoding.h"
#include "archive/standalone_entry.h"
#include "archive/stream_walk.h"
#include "platform/output_tree.h"

namespace vellum {
namespace {

// Hands every byte on to the entry's own sink and keeps their checksum, to be
// compared once the metadata that holds the right one has come.
class SummingSink : public EntrySink {
public:
    explicit SummingSink(std::unique_ptr<EntrySink> inner) : inner_(std::move(inner)) {}
    bool write(const uint8_t* data, size_t size) override {
        sum_.update(data, size);
        return inner_->write(data, size);
    }
    bool close() override { return inner_->close(); }
    int error() const override { return inner_->error(); }
    SinkOutcome finish(bool whole, Reporter& reporter) override { return inner_->finish(whole, reporter); }
    void reset() override {
        sum_ = Checksum();
        inner_->reset();
    }
    bool can_run_again() const override { return inner_->can_run_again(); }
    uint64_t digest() const { return sum_.digest(); }

private:
    std::unique_ptr<EntrySink> inner_;
    Checksum sum_;
};

// What became of a record this run decoded for the request.
struct Passed {
    bool sound = false;      // written out (or checked) whole, its checksum not yet compared
    uint64_t checksum = 0;   // of the bytes that went out
};

struct Run {
    Command& command;
    const std::string& name;
    const StreamRequest& request;
    StreamResult& out;
    StreamWalk walk;
    ExtractTree tree;
    std::vector<Passed> passed;                           // per record
    std::unordered_set<std::string> written;              // stored paths of the files written
    std::unordered_map<std::string, size_t> last_written; // stored path -> the record written last there
    bool run_broken = false;                              // a solid run that can no longer be decoded
    bool stopped = false;
};

std::string damage_reason(StreamStep step, const RecordHead& head) {
    switch (step) {
        case StreamStep::interrupted_add: return "record length 0 (an add that never finished)";
        case StreamStep::length_too_small:
            return "record length " + std::to_string(head.record_length) + " is smaller than the record's own head";
        case StreamStep::truncated_head: return "the stream ends inside a record head";
        case StreamStep::past_end: return "the stream ends inside the record before";
        default: return "the stream cannot be read";
    }
}

void report_damage(Run& run, StreamStep step, const RecordHead& head) {
    const ArchiveListing& listing = run.out.listing;
    report(run.command.reporter, msg::kListingDamaged,
           run.name + ": damaged record at offset " + std::to_string(run.walk.entry_offset) + ": " +
               damage_reason(step, head) + "; " + std::to_string(listing.entry_count) + " entries listed before it");
}

// Decodes the record in turn from the stream into the task's sink and settles it.
ExtractResult decode_in_turn(Run& run, EntryTask& task, const RecordToDecode& record) {
    StreamData data(run.walk);
    DecodedTask decoded;
    decode_task_from(run.command, task, record, data, &decoded);
    return settle_task(run.command, task, decoded);
}

// A metadata entry: its text read whole into memory (it stands alone, stored,
// coded or wrapped: standalone_entry.h), then taken like any metadata entry.
void take_metadata(Run& run, size_t index, const RecordToDecode& record) {
    const std::vector<ListingEntry>& entries = run.out.listing.entries;
    std::string text;
    StreamData data(run.walk);
    const bool read = read_standalone_text(record.file_class, data, record.data_length, record.head.original_size,
                                           kMaxMetaBytes, &text);
    take_meta_text(run.name, entries, index, read, text, run.command.reporter, &run.out.meta);
}

// The file of record `i` as it stands in the destination: removed after a
// checksum that differs, given its mode and time after one that matches.
void settle_file_late(Run& run, size_t i, const MetaLine& line, bool sound) {
    const ListingEntry& e = run.out.listing.entries[i];
    const std::vector<std::string> parts = folder_parts(e.folder_path);
    const std::string name = name_from_archive(e.file_name);
    const std::string shown = shown_path(run.tree, parts, name);
    const platform::Folder* folder = nullptr;
    int error = 0;
    const bool found = run.tree.folder(parts, false, &folder, &error) == platform::FolderOpen::ok;
    // A later record of the same path has replaced this file already.
    const auto last = run.last_written.find(e.folder_path + e.file_name);
    const bool standing = found && last != run.last_written.end() && last->second == i;
    if (!sound && standing) {
        platform::remove_in(*folder, name);
        run.written.erase(e.folder_path + e.file_name);
        report(run.command.reporter, msg::kLateChecksumMismatch, shown);
        return;
    }
    if (!sound) {
        // Another file of that name has taken its place since.
        report(run.command.reporter, msg::kChecksumMismatch, e.folder_path + e.file_name);
        return;
    }
    if (standing &&
        !platform::set_file_attributes_in(*folder, name, line.mode, line.seconds, line.nanoseconds, &error))
        report(run.command.reporter, msg::kAttributesNotSet, shown, error);
}

// Once metadata entry `text` has come: every record it describes that went out
// is compared with its checksum, after the fact.
void settle_described(Run& run, uint32_t text) {
    const ArchiveMeta& meta = run.out.meta;
    ExtractReport& counts = run.out.report;
    const ExtractTarget target = run.request.extract.target;
    for (size_t i = 0; i < run.passed.size() && i < meta.of_entry.size(); ++i) {
        if (!run.passed[i].sound || !meta.of_entry[i].valid() || meta.of_entry[i].text != text) continue;
        run.passed[i].sound = false;
        const MetaLine& line = meta.line(meta.of_entry[i]);
        const bool sound = run.passed[i].checksum == line.checksum;
        if (sound)
            ++counts.verified;
        else
            ++counts.summary.damaged;
        if (target == ExtractTarget::files) {
            if (!sound) --counts.summary.written;
            settle_file_late(run, i, line, sound);
        } else if (!sound) {
            if (target == ExtractTarget::check) --counts.summary.checked;
            if (target == ExtractTarget::stream) --counts.summary.written;
            const ListingEntry& e = run.out.listing.entries[i];
            report(run.command.reporter, msg::kChecksumMismatch, e.folder_path + e.file_name);
        }
    }
}

bool wanted(const Run& run, const ListingEntry& entry) {
    return !run.request.list_only && (!run.request.wants || run.request.wants(entry));
}

// One whole record of the stream: a metadata entry, a wanted entry decoded into
// its sink, or one read over (decoded without a sink in a solid run).
void pass_record(Run& run, const RecordToDecode& record) {
    const size_t index = run.out.listing.entries.size() - 1;
    const ListingEntry& entry = run.out.listing.entries[index];
    run.passed.resize(index + 1);
    if (is_meta_entry(entry)) {
        take_metadata(run, index, record);
        const ArchiveMeta& meta = run.out.meta;
        if (!meta.text_entry.empty() && meta.text_entry.back() == index)
            settle_described(run, static_cast<uint32_t>(meta.text_entry.size() - 1));
        return;
    }
    const bool want = wanted(run, entry);
    const bool solid = run.command.settings.solid != 0;
    if (run.request.list_only || run.run_broken || (!want && !solid)) return;
    EntryTask task = entry_task(run.tree, run.request.extract, entry, want, ExpectedFile());
    SummingSink* summing = nullptr;
    if (task.sink) {
        auto sink = std::make_unique<SummingSink>(std::move(task.sink));
        summing = sink.get();
        task.sink = std::move(sink);
    }
    const ExtractResult result = decode_in_turn(run, task, record);
    ExtractReport& counts = run.out.report;
    count_extract_result(counts.summary, result);
    if (result == ExtractResult::interrupted || result == ExtractResult::archive_failed) {
        run.stopped = true;
        return;
    }
    if ((result == ExtractResult::damaged || result == ExtractResult::unsupported) && solid) {
        // Every later entry of a solid run depends on this one.
        report(run.command.reporter,
               result == ExtractResult::damaged ? msg::kSolidRunBroken : msg::kSolidRunUnsupported, run.name);
        run.run_broken = true;
    }
    if (!want) return;
    ++counts.entries;
    counts.bytes += entry.original_size;
    const bool out = result == ExtractResult::written || result == ExtractResult::checked;
    if (out && summing) run.passed[index] = Passed{true, summing->digest()};
    if (result == ExtractResult::written && run.request.extract.target == ExtractTarget::files) {
        run.written.insert(entry.folder_path + entry.file_name);
        run.last_written[entry.folder_path + entry.file_name] = index;
    }
}

ListingEntry listed(const StreamWalk& walk, const RecordHead& head, uint16_t file_class) {
    ListingEntry entry;
    entry.offset = walk.entry_offset;
    entry.record_length = head.record_length;
    entry.original_size = head.original_size;
    entry.folder_path = head.folder_path;
    entry.file_name = head.file_name;
    entry.file_class = file_class;
    return entry;
}

void walk_records(Run& run) {
    ArchiveListing& listing = run.out.listing;
    RecordHead head;
    uint16_t file_class = 0;
    while (!run.stopped) {
        const StreamStep step = stream_walk_next(&run.walk, &head, &file_class);
        if (step == StreamStep::end) {
            listing.status = ListStatus::complete;
            break;
        }
        if (step != StreamStep::entry) {
            // A record whose data ran out was listed already: it is not whole.
            if (step == StreamStep::past_end && !listing.entries.empty()) {
                listing.entries.pop_back();
                listing.entry_count = listing.entries.size();
                ListingRow& row = listing.rows.back();
                if (--row.entry_count == 0) {
                    listing.rows.pop_back();
                    listing.row_offsets.pop_back();
                }
            }
            listing.status = ListStatus::incomplete;
            listing.damaged_offset = run.walk.entry_offset;
            report_damage(run, step, head);
            break;
        }
        append_to_listing(&listing, listed(run.walk, head, file_class));
        RecordToDecode record;
        record.head = head;
        record.file_class = file_class;
        record.data_length = run.walk.data_left;
        pass_record(run, record);
    }
    // Where the walk stopped: the end, or the start of the record that failed.
    listing.row_offsets.push_back(listing.status == ListStatus::complete ? run.walk.offset : run.walk.entry_offset);
    listing.archive_length = run.walk.offset;
}

}  // namespace

bool read_archive_stream(Command& command, FILE* in, const std::string& name, const StreamRequest& request,
                         StreamResult* out) {
    *out = StreamResult();
    Run run{command, name, request, *out, {}, {}, {}, {}, {}, false, false};
    ArchiveHeader header;
    if (stream_walk_begin(in, &run.walk, &header) != HeaderResult::ok) {
        out->listing.status = ListStatus::not_archive;
        return false;
    }
    out->listing.header = header;
    command.settings.solid = header.solid;
    command.settings.buffer_setting = header.buffer_setting;
    command.settings.threads = 1;
    if (!prepare_buffers(command)) return false;
    const bool files = request.extract.target == ExtractTarget::files && !request.list_only;
    if (files && !open_extract_destination(command, run.tree, request.extract.destination, in)) {
        out->report.destination_failed = true;
        return true;
    }
    walk_records(run);
    const ExtractSummary& s = out->report.summary;
    if (files && out->meta.present && !s.interrupted && !run.stopped)
        out->report.restored = restore_what_meta_adds(command, run.tree, out->meta, request.extract, run.written);
    return true;
}

}  // namespace vellum
