// vellum extract and vellum test: entries decoded, written out or only checked.
#include <algorithm>
#include <functional>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/entry_path.h"
#include "archive/messages.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/select.h"
#include "cli/summary.h"
#include "meta/archive_meta.h"
#include "manage/stream_archive.h"
#include "meta/extract_run.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

// A name on the command line that asks for the metadata entries themselves.
bool names_meta(const std::string& name) { return name.compare(0, 7, ".vellum") == 0; }

// The archive held, listed and its metadata read: what both commands start from.
struct Opened {
    std::string path;
    ArchiveListing listing;
    ArchiveMeta meta;
};

bool open_listed(Session& session, Command& command, const Options& options, Opened* out) {
    out->path = resolve_archive_path(options.archive);
    ArchiveHeader header;
    // One stream under a shared lock for the whole command: the entries chosen
    // by name are the entries read.
    command.archive = open_for_reading(session, out->path, &header);
    if (!command.archive || !list_held(session, out->path, command.archive, &out->listing)) return false;
    read_archive_meta(command.archive, out->path, out->listing.entries, session.reporter, &out->meta);
    command.archive_path = out->path;
    // Decoding must run with the mode and block size the entries were coded with.
    command.settings.solid = out->listing.header.solid;
    command.settings.buffer_setting = out->listing.header.buffer_setting;
    command.settings.threads = options.threads;
    return prepare_buffers(command);
}

// Bytes the command will decode: the wanted entries, and in a solid archive
// every entry before the last wanted one too.
uint64_t bytes_to_decode(const ArchiveListing& listing, const std::vector<bool>& wanted) {
    size_t end = 0;
    for (size_t i = 0; i < listing.entries.size(); ++i)
        if (wanted.empty() || wanted[i]) end = i + 1;
    uint64_t total = 0;
    for (size_t i = 0; i < end; ++i)
        if (listing.header.solid || wanted.empty() || wanted[i])
            total = add_capped(total, listing.entries[i].original_size);
    return total;
}

// The records the names and exclusions choose; empty when they are every record
// but the metadata entries. Names that match nothing are reported. Metadata
// entries are read, not written out, unless named.
std::vector<bool> chosen_records(Session& session, const Opened& opened, const Options& options, bool* missing) {
    *missing = false;
    if (options.operands.empty() && options.excludes.empty()) return {};
    const ArchiveListing& listing = opened.listing;
    std::vector<size_t> chosen;
    if (options.operands.empty()) {
        for (size_t i = 0; i < listing.entries.size(); ++i) chosen.push_back(i);
    } else {
        const Selection selection = select_entries(listing, options.operands);
        for (const std::string& name : selection.missing) {
            // A name of a folder or link of the metadata is found there.
            bool in_meta = false;
            for (const std::vector<MetaRef>* refs :
                 {&opened.meta.folders, &opened.meta.links, &opened.meta.hard_links})
                for (const MetaRef& ref : *refs)
                    in_meta = in_meta || names_take_path({name}, {}, opened.meta.path(ref));
            if (in_meta) continue;
            print_error(session, opened.path + ": no entry or row named " + name);
            *missing = true;
        }
        chosen = selected_entries(listing, selection);
    }
    const bool meta_named = std::any_of(options.operands.begin(), options.operands.end(), names_meta);
    chosen = without_excluded(listing, chosen, options.excludes);
    std::vector<bool> wanted(listing.entries.size(), false);
    for (size_t i : chosen)
        if (meta_named || !opened.meta.reserved[i]) wanted[i] = true;
    return wanted;
}

// What a test found, counted as every listing counts: the entries are the
// files, the metadata entries apart (each read whole when the archive was
// opened or, from a stream, when it came).
struct TestCounts {
    size_t records = 0;           // every whole record listed
    size_t metadata_entries = 0;
    size_t metadata_read = 0;     // of those, the ones whose text could be taken
    bool complete = true;         // the walk reached the end
    bool with_meta = false;
};

TestCounts test_counts(const ArchiveListing& listing, const ArchiveMeta& meta) {
    TestCounts counts;
    counts.records = listing.entries.size();
    for (const ListingEntry& e : listing.entries) counts.metadata_entries += is_meta_entry(e) ? 1 : 0;
    counts.metadata_read = meta.texts.size();
    counts.complete = listing.status == ListStatus::complete;
    counts.with_meta = meta.present;
    return counts;
}

std::string verdict_of(const ExtractReport& r, bool complete, bool with_meta) {
    const uint32_t damaged = r.summary.damaged;
    std::string verdict = damaged == 0 && complete ? "all sound" : std::to_string(damaged) + " damaged";
    if (with_meta) verdict += ", " + counted(r.verified, "checksum", "checksums") + " verified";
    if (r.summary.skipped > 0) verdict += ", " + std::to_string(r.summary.skipped) + " not tested";
    if (!complete) verdict += ", archive damaged after the last entry listed";
    return verdict;
}

// "Tested 2 entries 8000 bytes from archive A in 0.010 sec.: all sound, ...";
// returns the exit status.
int print_test_summary(Session& session, const std::string& archive, const ExtractReport& report,
                       const TestCounts& counts, double seconds) {
    const size_t metadata_unread = counts.metadata_entries - counts.metadata_read;
    ExtractReport counted_report = report;
    // From a stream, an entry cut short is decoded (and found damaged) before the
    // walk knows it is not whole: it is then tested but not listed.
    const size_t files = counts.records - counts.metadata_entries;
    if (files > report.entries) counted_report.summary.skipped += static_cast<uint32_t>(files - report.entries);
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %1.3f sec.", seconds);
    std::string metadata;
    if (counts.metadata_entries > 0)
        metadata = "; metadata: " + counted(counts.metadata_entries, "entry", "entries") +
                   (metadata_unread == 0 ? ", sound" : ", " + std::to_string(metadata_unread) + " unreadable");
    print_line(session,
               "Tested " + counted(report.entries, "entry", "entries") + " " + std::to_string(report.bytes) +
                   " bytes from archive " + archive + timing + ": " +
                   verdict_of(counted_report, counts.complete, counts.with_meta) + metadata,
               true);
    return report.summary.damaged == 0 && counts.complete && counted_report.summary.skipped == 0 &&
                   metadata_unread == 0
               ? kExitOk
               : kExitPartial;
}

// The summary line of an extraction from a file or a stream, and its exit
// status; `whole` is false when the archive ended early or a name was missing.
int finish_extraction(Session& session, const Options& options, const ExtractReport& report,
                      const CommandTotals& totals, const std::string& archive, bool whole) {
    std::string line = extracted_summary(report.summary.written, totals.compressed_total, totals.processed_total,
                                         archive, totals.elapsed_seconds(), FileCount::singular_one);
    // Files and links left alone are counted too, so a run that kept everything
    // still says what it did.
    const uint32_t kept = report.summary.kept + report.restored.kept;
    if (kept > 0) line += "(" + std::to_string(kept) + " kept: they exist already, --keep-old-files)";
    // With --stdout the entries' bytes are all that goes to standard output.
    if (!options.to_stdout)
        print_line(session, line, true);
    else if (!session.quiet)
        session.progress.write(stderr, line);
    if (options.to_stdout && (std::fflush(stdout) != 0 || std::ferror(stdout))) {
        print_error(session, "standard output: write error");
        return kExitFatal;
    }
    if (report.summary.interrupted) return report_interrupted(session);
    return report.ok() && whole ? kExitOk : kExitPartial;
}

// --- an archive read from standard input, front to back ------------------------------

// The names and exclusions as a test of each stored path, for entries that go by
// before their listing is known; empty when every entry is wanted.
std::function<bool(const std::string&)> stream_selection(const Options& options) {
    if (options.operands.empty() && options.excludes.empty()) return {};
    return [&options](const std::string& stored) { return names_take_path(options.operands, options.excludes, stored); };
}

// Names that took in nothing of what the stream held, reported once it has ended.
bool report_missing_names(Session& session, const Options& options, const StreamResult& read) {
    bool missing = false;
    for (const std::string& name : options.operands) {
        bool found = false;
        for (const ListingEntry& e : read.listing.entries)
            found = found || (!is_meta_entry(e) && names_take_path({name}, {}, e.folder_path + e.file_name));
        for (const std::vector<MetaRef>* refs : {&read.meta.folders, &read.meta.links})
            for (const MetaRef& ref : *refs) found = found || names_take_path({name}, {}, read.meta.path(ref));
        if (found) continue;
        print_error(session, std::string(kStandardInputName) + ": no entry or row named " + name);
        missing = true;
    }
    return missing;
}

// Reads the archive on standard input for an extract or a test, one pass.
bool read_standard_input(Session& session, Command& command, StreamRequest& request, StreamResult* read) {
    platform::use_binary_mode(stdin);
    session.reporter.archive = kStandardInputName;
    command.archive_path = kStandardInputName;
    session.progress.start(session.live_progress, 0);
    const bool ok = read_archive_stream(command, stdin, kStandardInputName, request, read);
    end_command(command);
    session.progress.finish();
    if (read->listing.status == ListStatus::not_archive) say_not_an_archive(session, kStandardInputName);
    return ok;
}

int extract_from_stream(Session& session, const Options& options) {
    Command command(codec_state(session), session.reporter);
    StreamRequest request;
    request.extract.target = options.to_stdout ? ExtractTarget::stream : ExtractTarget::files;
    request.extract.destination = options.output_folder;
    request.extract.stream = stdout;
    request.extract.keep_old = options.keep_old;
    request.extract.absolute_links = options.absolute_links;
    const auto selection = stream_selection(options);
    if (selection) {
        request.extract.takes = selection;
        request.wants = [selection](const ListingEntry& e) { return selection(e.folder_path + e.file_name); };
    }
    if (options.to_stdout) platform::use_binary_mode(stdout);
    StreamResult read;
    if (!read_standard_input(session, command, request, &read)) return kExitFatal;
    const ExtractReport& report = read.report;
    if (report.destination_failed) return kExitFatal;
    const bool missing = report_missing_names(session, options, read);
    return finish_extraction(session, options, report, command.totals, kStandardInputName,
                             read.listing.status == ListStatus::complete && !missing);
}

int test_from_stream(Session& session) {
    Command command(codec_state(session), session.reporter);
    StreamRequest request;
    request.extract.target = ExtractTarget::check;
    StreamResult read;
    if (!read_standard_input(session, command, request, &read)) return kExitFatal;
    if (read.report.summary.interrupted) return report_interrupted(session);
    return print_test_summary(session, kStandardInputName, read.report, test_counts(read.listing, read.meta),
                              command.totals.elapsed_seconds());
}

}  // namespace

int run_extract(Session& session, const Options& options) {
    if (is_standard_stream(options.archive)) return extract_from_stream(session, options);
    Command command(codec_state(session), session.reporter);
    Opened opened;
    if (!open_listed(session, command, options, &opened)) return kExitFatal;
    bool missing = false;
    ExtractRequest request;
    request.target = options.to_stdout ? ExtractTarget::stream : ExtractTarget::files;
    request.destination = options.output_folder;
    request.stream = stdout;
    request.keep_old = options.keep_old;
    request.absolute_links = options.absolute_links;
    request.wanted = chosen_records(session, opened, options, &missing);
    if (!request.wanted.empty() || !options.operands.empty())
        request.takes = [&options](const std::string& stored) {
            return names_take_path(options.operands, options.excludes, stored);
        };
    session.progress.start(session.live_progress,
                           session.live_progress ? bytes_to_decode(opened.listing, request.wanted) : 0);
    const ExtractReport report = run_extraction(command, opened.listing.entries, opened.meta, request);
    if (report.summary.archive_failed && options.operands.empty())
        suggest_repair(session, opened.path, command.archive);
    const CommandTotals totals = command.totals;
    end_command(command);
    session.progress.finish();
    if (report.destination_failed) return kExitFatal;
    return finish_extraction(session, options, report, totals, opened.path,
                             opened.listing.status == ListStatus::complete && !missing);
}

int run_test(Session& session, const Options& options) {
    if (is_standard_stream(options.archive)) return test_from_stream(session);
    Command command(codec_state(session), session.reporter);
    Opened opened;
    if (!open_listed(session, command, options, &opened)) return kExitFatal;
    ExtractRequest request;
    request.target = ExtractTarget::check;
    // Every file entry. The metadata entries were read whole when the archive was
    // opened, and each that could not be read was reported then: they are counted
    // apart, as in every listing.
    request.wanted.assign(opened.listing.entries.size(), true);
    for (size_t i = 0; i < request.wanted.size(); ++i)
        if (opened.meta.reserved[i]) request.wanted[i] = false;
    session.progress.start(session.live_progress, bytes_to_decode(opened.listing, request.wanted));
    const ExtractReport report = run_extraction(command, opened.listing.entries, opened.meta, request);
    const double seconds = command.totals.elapsed_seconds();
    end_command(command);
    session.progress.finish();
    if (report.summary.interrupted) return report_interrupted(session);
    if (report.summary.archive_failed) return kExitFatal;
    return print_test_summary(session, opened.path, report, test_counts(opened.listing, opened.meta), seconds);
}

}  // namespace cli
}  // namespace vellum
