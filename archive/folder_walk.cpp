#include "archive/folder_walk.h"

#include "archive/parallel_add.h"
#include "archive/streamed_output.h"

namespace vellum {

void count_result(AddSummary& summary, AddResult result) {
    switch (result) {
        case AddResult::added: ++summary.added; break;
        case AddResult::skipped: ++summary.skipped; break;
        case AddResult::failed: summary.failed = true; break;
        case AddResult::interrupted: summary.failed = summary.interrupted = true; break;
    }
}

void AddVisitor::add(const std::string& path, const std::string& folder_path, const std::string& name,
                     std::function<void(const AddedFile&)> then) {
    if (summary_.failed) return;
    if (command_.held && command_.held->keep_held(path, folder_path + name)) {
        ++summary_.held;
        return;
    }
    command_.totals.files_processed += 1;
    auto settled = [&summary = summary_, then = std::move(then)](const AddedFile& added) {
        count_result(summary, added.result);
        if (added.result == AddResult::added && added.changed) ++summary.changed;
        if (then) then(added);
    };
    if (command_.parallel_add) {
        command_.parallel_add->add(path, folder_path, name, std::move(settled));
        return;
    }
    settled(add_file(command_, path, folder_path, name));
}

// Everything left out is skipped, except the archive met in its own folder.
void AddVisitor::left_out(const MessageText& why, const std::string& path, int error) {
    report_in_turn(command_, why, path, error);
    if (why.id != MessageId::archive_itself) ++summary_.skipped;
}

WalkOptions add_walk_options(const Command& command) {
    WalkOptions options;
    options.exclude = command.settings.exclude;
    // A streamed archive is whatever its stream writes to (a file being added, say).
    options.archive_known = command.outlet ? platform::stream_id(command.outlet->stream(), &options.archive)
                                           : platform::file_id(command.archive_path.c_str(), &options.archive);
    options.staging_known =
        !command.staging_path.empty() && platform::file_id(command.staging_path.c_str(), &options.staging);
    return options;
}

void add_path(Command& command, const std::string& path, AddSummary& summary) {
    AddVisitor visitor(command, summary);
    walk_source(path, add_walk_options(command), visitor);
}

}  // namespace vellum
