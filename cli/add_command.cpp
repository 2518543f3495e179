// vellum add: files and folders into a new or an existing normal archive.
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/entry_path.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "cli/archive_file.h"
#include "cli/commands.h"
#include "cli/summary.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

uint64_t bytes_to_add(const std::vector<std::string>& paths) {
    uint64_t total = 0;
    for (const std::string& path : paths) total += bytes_below(path);
    return total;
}

void add_operand(Session& session, Command& command, const std::string& path,
                 AddSummary& summary) {
    const bool folder = platform::is_folder(path.c_str());
    uint64_t size = 0;
    if (!folder && !platform::file_size(path.c_str(), &size)) {
        print_error(session, path + ": no such file or folder");
        ++summary.skipped;
        return;
    }
    add_path(command, path, summary);
}

bool archive_ready(Session& session, Command& command, const Options& options) {
    switch (open_or_create_archive(command, options.archive)) {
        case OpenResult::created: return true;
        case OpenResult::opened:
            if (options.block_given && command.buffer_setting != options.buffer_setting)
                print_error(session, command.archive_path + ": adding with the archive's own block size " +
                                         std::to_string(8 << command.buffer_setting) + "M");
            return true;
        default:
            print_error(session, resolve_archive_path(options.archive) + ": nothing added");
            return false;
    }
}

}  // namespace

int run_add(Session& session, const Options& options) {
    Command command(codec_state(session), session.reporter);
    command.solid = options.solid ? 1 : 0;
    command.buffer_setting = options.buffer_setting;
    if (!archive_ready(session, command, options)) return kExitFatal;
    if (!prepare_buffers(command)) return kExitFatal;

    session.progress.start(session.live_progress,
                   session.live_progress ? bytes_to_add(options.operands) : 0);
    AddSummary summary;
    for (const std::string& path : options.operands) {
        add_operand(session, command, path, summary);
        if (summary.failed) break;
    }
    const CommandTotals totals = command.totals;
    end_command(command);
    session.progress.finish();
    print_line(session,
               added_summary(summary.added, totals.processed_total, totals.compressed_total,
                             command.archive_path, totals.elapsed_seconds()),
               true);
    if (summary.failed) return kExitFatal;
    return summary.skipped > 0 ? kExitPartial : kExitOk;
}

}  // namespace cli
}  // namespace vellum
