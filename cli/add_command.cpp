// vellum add: files and folders into a new or an existing normal archive.
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/entry_path.h"
#include "archive/folder_walk.h"
#include "archive/messages.h"
#include "archive/open_archive.h"
#include "archive/parallel_add.h"
#include "archive/streamed_output.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "manage/update.h"
#include "meta/meta_add.h"
#include "cli/pattern.h"
#include "cli/summary.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

uint64_t bytes_to_add(const std::vector<std::string>& paths) {
    uint64_t total = 0;
    for (const std::string& path : paths) total += bytes_below(path);
    return total;
}

// The operands in order, each source once: a file or folder named again under
// another spelling (f, ./f, $PWD/f) is noticed and left out.
std::vector<std::string> distinct_sources(Session& session, const std::vector<std::string>& paths) {
    std::vector<std::string> kept;
    std::vector<platform::FolderId> seen;
    for (const std::string& path : paths) {
        platform::FolderId id;
        bool again = false;
        if (platform::file_id(path.c_str(), &id)) {
            for (size_t i = 0; i < seen.size() && !again; ++i) again = platform::same_folder(seen[i], id);
            seen.push_back(id);
        }
        if (again)
            print_error(session, "Named twice: " + path + " (added once)");
        else
            kept.push_back(path);
    }
    return kept;
}

// A new archive to standard output: never onto a terminal.
bool stream_ready(Session& session, Command& command, RecordOutlet& outlet) {
    session.reporter.archive = kStandardOutputName;
    if (platform::is_terminal(stdout)) {
        print_error(session, "standard output is a terminal: write the archive to a file or a pipe "
                             "(vellum add - FOLDER > backup.vlm)");
        return false;
    }
    platform::use_binary_mode(stdout);
    return create_streamed_archive(command, outlet, kStandardOutputName) == OpenResult::created;
}

bool archive_ready(Session& session, Command& command, const Options& options, bool* created) {
    session.reporter.archive = resolve_archive_path(options.archive);
    if (!archive_is_seekable(session, session.reporter.archive)) return false;
    switch (open_or_create_archive(command, options.archive, options.create_new)) {
        case OpenResult::created:
            *created = true;
            return true;
        case OpenResult::opened:
            if (options.block_given && command.settings.buffer_setting != options.buffer_setting)
                print_error(session, command.archive_path + ": adding with the archive's own block size " +
                                         std::to_string(block_mebibytes(command.settings.buffer_setting)) + "M");
            return true;
        default:
            return false;  // the core's message said what and that nothing was added
    }
}

}  // namespace

int run_add(Session& session, const Options& options) {
    Command command(codec_state(session), session.reporter);
    command.settings.solid = options.solid ? 1 : 0;
    command.settings.buffer_setting = options.buffer_setting;
    command.settings.threads = options.threads;
    command.settings.best_class = options.best;
    command.settings.strong = options.strong;
    if (!options.excludes.empty())
        command.settings.exclude = [&options](const std::string& stored) { return excluded(options.excludes, stored); };
    bool created = false;
    const bool streamed = is_standard_stream(options.archive);
    RecordOutlet outlet(stdout);
    if (streamed ? !stream_ready(session, command, outlet) : !archive_ready(session, command, options, &created))
        return kExitFatal;
    session.reporter.archive = command.archive_path;
    // Paths the archive holds already: left out, or with -u compared and replaced.
    HeldArchive held;
    if (!created && !streamed && !hold_archive_paths(command, options.update, &held)) return kExitFatal;
    if (!prepare_buffers(command)) {
        if (created) platform::remove_file(command.archive_path.c_str());
        return kExitFatal;
    }

    const std::vector<std::string> sources = distinct_sources(session, options.operands);
    session.progress.start(session.live_progress,
                   session.live_progress ? bytes_to_add(sources) : 0);
    // A solid run stores data that will not compress unless another file of the
    // command starts alike (archive/incompressible.h).
    if (command.settings.solid)
        find_shared_starts(sources, options.meta ? meta_walk_options(command) : add_walk_options(command),
                           &command.shared_starts);
    if (held.paths && options.update &&
        !begin_update_copy(command, sources, options.meta ? meta_walk_options(command) : add_walk_options(command),
                           &held)) {
        end_command(command);
        session.progress.finish();
        return session.reporter.stop_requested() ? report_interrupted(session) : kExitFatal;
    }
    AddSummary summary;
    MetaRecorder recorder(command, summary);
    {
        ParallelAdd parallel(command);
        for (const std::string& path : sources) {
            if (options.meta)
                meta_add_path(recorder, command, path);
            else
                add_path(command, path, summary);
            if (summary.failed) break;
        }
        parallel.finish();
    }
    const MetaLines lines = recorder.finish();
    // Links and folders alone are worth a metadata entry too. A command stopped
    // still describes the files it added, so that add -u can take up where it
    // stopped. Not recording what was asked is a failure of the command.
    bool meta_written = false, meta_failed = false;
    const bool record = !summary.failed || (summary.interrupted && summary.added > 0);
    // Nothing stored and every folder and link known already: nothing to record.
    const bool news = summary.added > 0 || !held.paths || describes_new_items(lines, held.meta);
    if (options.meta && record && news && !lines.empty()) {
        meta_written = write_meta_entry(command, lines);
        meta_failed = !meta_written;
    }
    // An update's copy replaces the archive when it changes anything.
    bool update_failed = false;
    if (held.original) {
        const bool changes = summary.added > 0 || held.paths->replaced_files() > 0 || meta_written;
        const bool commit = !summary.failed && !meta_failed && changes;
        update_failed = !end_update_copy(command, commit, &held);
    }
    const CommandTotals totals = command.totals;
    end_command(command);
    session.progress.finish();
    if (created && summary.added == 0 && !meta_written) {
        // A new archive that received nothing is not left behind.
        platform::remove_file(command.archive_path.c_str());
        print_error(session, command.archive_path + ": nothing added, no archive created");
        return summary.failed ? kExitFatal : kExitPartial;
    }
    if (streamed && summary.added == 0 && !meta_written) {
        print_error(session, std::string(kStandardOutputName) + ": nothing added, an empty archive written");
        return summary.failed ? kExitFatal : kExitPartial;
    }
    const std::string line = added_summary(summary.added, totals.processed_total, totals.compressed_total,
                                           command.archive_path, totals.elapsed_seconds(), FileCount::singular_one);
    // Standard output carries the archive: the summary goes to stderr.
    if (!streamed)
        print_line(session, line, true);
    else if (!session.quiet)
        session.progress.write(stderr, line);
    if (held.paths && options.update && (held.paths->unchanged() > 0 || held.paths->replaced_files() > 0))
        print_line(session,
                   "Updated: " + std::to_string(held.paths->replaced_files()) + " changed " +
                       (held.paths->replaced_files() == 1 ? "file" : "files") + " replaced, " +
                       std::to_string(held.paths->unchanged()) + " unchanged left as they are",
                   true);
    else if (summary.held > 0)
        print_line(session,
                   std::to_string(summary.held) + (summary.held == 1 ? " file" : " files") +
                       " already in the archive left as they are (vellum add -u replaces the changed ones)",
                   true);
    if (summary.interrupted) return report_interrupted(session);
    if (summary.failed || meta_failed || update_failed) return kExitFatal;
    return summary.skipped > 0 || summary.changed > 0 ? kExitPartial : kExitOk;
}

}  // namespace cli
}  // namespace vellum
