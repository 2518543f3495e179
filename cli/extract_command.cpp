// vellum extract and vellum test: entries decoded, written out or only checked.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/entry_path.h"
#include "archive/extract.h"
#include "archive/messages.h"
#include "archive/parallel_extract.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/meta_apply.h"
#include "cli/meta_read.h"
#include "cli/select.h"
#include "cli/stdout_spool.h"
#include "cli/summary.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

// Bytes the command will decode: the selected entries, and in a solid archive
// every entry before the last selected one too.
uint64_t bytes_to_decode(const ArchiveListing& listing, const std::vector<OffsetRange>& ranges) {
    const uint64_t last_wanted = end_of_ranges(ranges);
    uint64_t total = 0;
    for (const ListingEntry& entry : listing.entries) {
        if (entry.offset >= last_wanted) break;
        if (listing.header.solid || in_ranges(ranges, entry.offset)) total = add_capped(total, entry.original_size);
    }
    return total;
}

bool destination_ready(Session& session, const std::string& folder) {
    if (folder.empty()) return true;
    create_folders(folder);
    if (platform::is_folder(folder.c_str())) return true;
    print_error(session, folder + ": cannot create the destination folder");
    return false;
}

// Everything the command line asks beyond "every entry": names, patterns,
// exclusions, files to keep.
bool needs_listing(const Options& options) {
    return !options.operands.empty() || !options.excludes.empty() || options.keep_old;
}

// Where an entry lands below the destination.
std::string output_path_of(const std::string& destination, const ListingEntry& entry) {
    return with_separator(destination) + native_form(entry.folder_path) + native_form(entry.file_name);
}

// Leaves out the entries whose output already exists, saying so.
std::vector<size_t> without_existing(Session& session, const ArchiveListing& listing,
                                     const std::vector<size_t>& entries, const std::string& destination) {
    std::vector<size_t> kept;
    for (size_t i : entries) {
        const std::string out = output_path_of(destination, listing.entries[i]);
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(out, error)))
            print_error(session, out + ": exists, kept (--keep-old-files)");
        else
            kept.push_back(i);
    }
    return kept;
}

// The ranges the command extracts. Names that match nothing are reported and
// make the result partial. Metadata entries are read, not written out, unless
// named.
std::vector<OffsetRange> choose_ranges(Session& session, const std::string& path, const Options& options,
                                       const std::string& destination, const ArchiveListing& listing,
                                       const ArchiveMeta& meta, bool* missing) {
    *missing = false;
    if (!needs_listing(options) && !meta.present) return {OffsetRange{0, UINT64_MAX}};
    std::vector<size_t> wanted;
    if (options.operands.empty()) {
        for (size_t i = 0; i < listing.entries.size(); ++i) wanted.push_back(i);
    } else {
        const Selection selection = select_entries(listing, options.operands);
        for (const std::string& name : selection.missing)
            print_error(session, path + ": no entry or row named " + name);
        *missing = !selection.missing.empty();
        wanted = selected_entries(listing, selection);
    }
    const bool meta_named = std::any_of(options.operands.begin(), options.operands.end(), names_meta);
    if (meta.present && !meta_named)
        wanted.erase(std::remove_if(wanted.begin(), wanted.end(), [&](size_t i) { return meta.reserved[i]; }),
                     wanted.end());
    wanted = without_excluded(listing, wanted, options.excludes);
    if (options.keep_old) wanted = without_existing(session, listing, wanted, destination);
    return entry_ranges(listing, wanted);
}

void start_progress(Session& session, const ArchiveListing& listing, const std::vector<OffsetRange>& ranges) {
    session.progress.start(session.live_progress, session.live_progress ? bytes_to_decode(listing, ranges) : 0);
}

}  // namespace

int run_extract(Session& session, const Options& options) {
    const std::string path = resolve_archive_path(options.archive);
    ArchiveHeader header;
    // Damage is reported once, where the extraction meets it.
    StdoutSpool spool(session.reporter, options.to_stdout ? SpoolMode::to_stdout : SpoolMode::watch);
    Command command(codec_state(session), spool);
    // One stream under a shared lock for the whole command: the entries chosen by
    // name are the entries read.
    command.archive = open_for_reading(session, path, &header);
    if (!command.archive) return kExitFatal;
    ArchiveListing listing;
    SilentReporter silent;
    list_stream(command.archive, path, silent, &listing);
    ArchiveMeta meta;
    read_archive_meta(session, path, listing, &meta);
    if (options.to_stdout && !spool.open()) {
        print_error(session, "no scratch folder for --stdout in the temporary folder");
        return kExitFatal;
    }
    const std::string destination = options.to_stdout ? spool.folder() : options.output_folder;
    bool missing = false;
    const std::vector<OffsetRange> ranges =
        choose_ranges(session, path, options, destination, listing, meta, &missing);
    if (ranges.empty() && !meta.present) return missing ? kExitPartial : kExitOk;
    if (!destination_ready(session, destination)) return kExitFatal;
    command.archive_path = path;
    // Decoding must run with the mode and block size the entries were coded with.
    command.solid = header.solid;
    command.buffer_setting = header.buffer_setting;
    command.threads = options.threads;
    if (!prepare_buffers(command)) return kExitFatal;

    start_progress(session, listing, ranges);
    const ExtractSummary summary =
        ranges.empty() ? ExtractSummary{} : extract_ranges(command, ranges, destination);
    if (summary.archive_failed && options.operands.empty()) suggest_repair(session, path, command.archive);
    const CommandTotals totals = command.totals;
    end_command(command);
    session.progress.finish();
    bool sound = summary.ok() && !missing;
    if (meta.present) {
        if (verify_checksums(session, listing, meta, destination, spool.written()).mismatched > 0) sound = false;
        if (!options.to_stdout && restore_meta(session, listing, meta, destination, spool.written(), options) > 0)
            sound = false;
    }
    const std::string line = extracted_summary(summary.written, totals.compressed_total,
                                               totals.processed_total, path, totals.elapsed_seconds(),
                                               FileCount::singular_one);
    // With --stdout the entries' bytes are all that goes to standard output.
    if (!options.to_stdout)
        print_line(session, line, true);
    else if (!session.quiet)
        session.progress.write(stderr, line);
    if (spool.failed()) {
        print_error(session, "standard output: write error");
        return kExitFatal;
    }
    if (summary.interrupted) return report_interrupted(session);
    return sound ? kExitOk : kExitPartial;
}

// test of an archive with metadata: every entry is decoded into a scratch
// folder, checked against its checksum there and removed at once.
int test_with_meta(Session& session, const std::string& path, const ArchiveListing& listing,
                   const ArchiveMeta& meta, unsigned threads) {
    StdoutSpool spool(session.reporter, SpoolMode::check);
    if (!spool.open()) {
        print_error(session, "no scratch folder for the checksums in the temporary folder");
        return kExitFatal;
    }
    std::vector<size_t> entries;
    for (size_t i = 0; i < listing.entries.size(); ++i)
        if (!meta.reserved[i]) entries.push_back(i);
    Command command(codec_state(session), spool);
    command.archive_path = path;
    command.solid = listing.header.solid;
    command.buffer_setting = listing.header.buffer_setting;
    command.threads = threads;
    if (!prepare_buffers(command)) return kExitFatal;
    const std::vector<OffsetRange> ranges = entry_ranges(listing, entries);
    session.progress.start(session.live_progress, bytes_to_decode(listing, ranges));
    const ExtractSummary summary = extract_ranges(command, ranges, spool.folder());
    const double seconds = command.totals.elapsed_seconds();
    const uint64_t bytes = command.totals.processed_total;
    end_command(command);
    session.progress.finish();
    const MetaCheck check = verify_checksums(session, listing, meta, spool.folder(), spool.written());
    const uint32_t damaged = summary.damaged + check.mismatched;
    const bool complete = listing.status == ListStatus::complete && !summary.archive_failed;
    std::string verdict = damaged == 0 && complete ? "all sound" : std::to_string(damaged) + " damaged";
    verdict += ", " + counted(check.verified, "checksum", "checksums") + " verified";
    if (summary.skipped > 0) verdict += ", " + std::to_string(summary.skipped) + " not tested";
    if (!complete) verdict += ", archive damaged after the last entry listed";
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %1.3f sec.", seconds);
    print_line(session,
               "Tested " + counted(entries.size(), "entry", "entries") + " " + std::to_string(bytes) +
                   " bytes from archive " + path + timing + ": " + verdict,
               true);
    if (summary.interrupted) return report_interrupted(session);
    return damaged == 0 && complete && summary.skipped == 0 ? kExitOk : kExitPartial;
}

int run_test(Session& session, const Options& options) {
    const std::string path = resolve_archive_path(options.archive);
    ArchiveListing listing;
    ArchiveHeader header;
    Command command(codec_state(session), session.reporter);
    command.archive = open_for_reading(session, path, &header);
    if (!command.archive || !list_held(session, path, command.archive, &listing)) return kExitFatal;
    ArchiveMeta meta;
    read_archive_meta(session, path, listing, &meta);
    if (meta.present) return test_with_meta(session, path, listing, meta, options.threads);

    command.archive_path = path;
    command.solid = listing.header.solid;
    command.buffer_setting = listing.header.buffer_setting;
    command.threads = options.threads;
    if (!prepare_buffers(command)) return kExitFatal;

    session.progress.start(session.live_progress,
                   bytes_to_decode(listing, {OffsetRange{0, UINT64_MAX}}));
    uint32_t tested = 0;
    uint32_t damaged = 0;
    uint64_t bytes = 0;
    bool unreadable = false;
    bool interrupted = false;
    {
        EntryQueue queue(command);
        for (const ListingEntry& entry : listing.entries) {
            if (queue.ended()) break;
            const std::string name = native_form(entry.folder_path + entry.file_name);
            const uint64_t size = entry.original_size;
            queue.extract(entry.offset, "", name, false, std::string::npos, [&, size](ExtractResult result) {
                if (result == ExtractResult::archive_failed) return !(unreadable = true);
                if (result == ExtractResult::interrupted) return !(interrupted = true);
                ++tested;
                bytes = add_capped(bytes, size);
                if (result != ExtractResult::damaged) return true;
                ++damaged;
                if (!command.solid) return true;
                // Every later entry of a solid run depends on this one.
                report(session.reporter, msg::kSolidRunBroken, path);
                return false;
            });
        }
        queue.finish();
    }
    const double seconds = command.totals.elapsed_seconds();
    end_command(command);
    session.progress.finish();
    if (interrupted) return report_interrupted(session);
    if (unreadable) return kExitFatal;

    const bool complete = listing.status == ListStatus::complete;
    const uint64_t untested = listing.entries.size() - tested;
    std::string verdict = damaged == 0 && complete ? "all sound" : std::to_string(damaged) + " damaged";
    if (untested > 0) verdict += ", " + std::to_string(untested) + " not tested";
    if (!complete) verdict += ", archive damaged after the last entry listed";
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %1.3f sec.", seconds);
    print_line(session,
               "Tested " + counted(tested, "entry", "entries") + " " + std::to_string(bytes) +
                   " bytes from archive " + path + timing + ": " + verdict,
               true);
    return damaged == 0 && complete ? kExitOk : kExitPartial;
}

}  // namespace cli
}  // namespace vellum
