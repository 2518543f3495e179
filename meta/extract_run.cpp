#include "meta/extract_run.h"

#include <memory>
#include <unordered_set>

#include "archive/entry_path.h"
#include "archive/name_encoding.h"
#include "archive/extract_tree.h"
#include "archive/file_sink.h"
#include "archive/stream_sink.h"
#include "platform/platform.h"

namespace vellum {
namespace {

struct Run {
    Command& command;
    const std::vector<ListingEntry>& entries;
    const ArchiveMeta& meta;
    const ExtractRequest& request;
    ExtractTree tree;
    std::vector<bool> wanted;
    std::vector<size_t> entry_of;                 // per task: its record
    std::vector<ExpectedFile> expected;           // per task
    std::unordered_set<std::string> written;      // stored paths of the files written
    ExtractReport report;
};

std::vector<bool> wanted_records(const Run& run) {
    if (!run.request.wanted.empty()) {
        std::vector<bool> wanted = run.request.wanted;
        wanted.resize(run.entries.size(), false);
        return wanted;
    }
    std::vector<bool> wanted(run.entries.size(), true);
    for (size_t i = 0; i < run.entries.size(); ++i)
        if (i < run.meta.reserved.size() && run.meta.reserved[i]) wanted[i] = false;
    return wanted;
}

ExpectedFile expected_of(const Run& run, size_t entry) {
    ExpectedFile expected;
    const MetaLine* line = run.request.use_meta ? run.meta.file_line(entry) : nullptr;
    if (!line) return expected;
    expected.has_checksum = true;
    expected.checksum = line->checksum;
    expected.has_attributes = run.request.target == ExtractTarget::files;
    expected.mode = line->mode;
    expected.seconds = line->seconds;
    expected.nanoseconds = line->nanoseconds;
    return expected;
}

void refuse(EntryTask& task, const MessageText& why, const std::string& subject, ExtractResult as) {
    task.refusal = &why;
    task.refusal_subject = subject;
    task.refused_as = as;
}

// A file of the destination tree, unless (keeping old files) its name is taken.
void file_task(ExtractTree& tree, const ExtractRequest& request, const ListingEntry& e, const ExpectedFile& expected,
               EntryTask& task) {
    const std::vector<std::string> parts = folder_parts(e.folder_path);
    const std::string name = name_from_archive(e.file_name);
    task.name = shown_path(tree, parts, name);
    if (request.keep_old) {
        const platform::Folder* folder = nullptr;
        platform::ItemInfo there;
        int error = 0;
        if (tree.folder(parts, false, &folder, &error) == platform::FolderOpen::ok &&
            platform::info_in(*folder, name, &there, &error) && there.kind != platform::InfoKind::missing) {
            refuse(task, msg::kKeptExisting, task.name, ExtractResult::kept);
            return;
        }
    }
    task.sink = std::make_unique<TreeFileSink>(tree, parts, name, expected);
}

EntryTask task_for(Run& run, size_t i) {
    return entry_task(run.tree, run.request, run.entries[i], run.wanted[i], run.wanted[i] ? expected_of(run, i) : ExpectedFile());
}

}  // namespace

EntryTask entry_task(ExtractTree& tree, const ExtractRequest& request, const ListingEntry& e, bool wanted,
                     const ExpectedFile& expected) {
    const std::string stored = e.folder_path + e.file_name;
    EntryTask task;
    task.offset = e.offset;
    task.name = native_form(stored);
    if (!wanted) return task;  // decoded only, to keep a solid run in step
    switch (check_entry_path(e.folder_path, e.file_name)) {
        case PathCheck::safe: break;
        case PathCheck::damaged:
            refuse(task, msg::kDamagedEntry, stored, ExtractResult::damaged);
            return task;
        case PathCheck::unsafe:
            if (request.target != ExtractTarget::files) break;
            refuse(task, msg::kUnsafePath, stored, ExtractResult::skipped);
            return task;
        case PathCheck::stream_name:
            if (request.target != ExtractTarget::files) break;
            refuse(task, msg::kColonInName, stored, ExtractResult::skipped);
            return task;
    }
    switch (request.target) {
        case ExtractTarget::files: file_task(tree, request, e, expected, task); break;
        case ExtractTarget::stream: task.sink = std::make_unique<StreamSink>(request.stream, expected, stored); break;
        case ExtractTarget::check: task.sink = std::make_unique<CheckSink>(expected, stored); break;
    }
    return task;
}

bool open_extract_destination(Command& command, ExtractTree& tree, const std::string& destination, FILE* archive) {
    int error = 0;
    if (tree.open(destination, &error) != platform::FolderOpen::ok) {
        report(command.reporter, msg::kDestinationFailed, destination.empty() ? "." : destination,
               error ? error : ENOTDIR);
        return false;
    }
    platform::FolderId id;
    if (archive && platform::stream_id(archive, &id)) tree.set_archive(id);
    return true;
}

RestoreCount restore_what_meta_adds(Command& command, ExtractTree& tree, const ArchiveMeta& meta,
                                    const ExtractRequest& request, const std::unordered_set<std::string>& written) {
    RestoreRequest restore;
    const bool every = request.wanted.empty();
    restore.takes = request.takes ? request.takes
                                  : std::function<bool(const std::string&)>(
                                        [every](const std::string&) { return every; });
    restore.keep_old = request.keep_old;
    restore.absolute_links = request.absolute_links;
    restore.written = &written;
    return restore_folders_and_links(tree, meta, restore, command.reporter);
}

ExtractReport run_extraction(Command& command, const std::vector<ListingEntry>& entries, const ArchiveMeta& meta,
                             const ExtractRequest& request) {
    Run run{command, entries, meta, request, {}, {}, {}, {}, {}, {}};
    run.wanted = wanted_records(run);
    if (request.target == ExtractTarget::files && !open_extract_destination(command, run.tree, request.destination,
                                                                           command.archive)) {
        run.report.destination_failed = true;
        return run.report;
    }
    // A solid run is decoded from its first entry up to the last one wanted.
    size_t end = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (run.wanted[i]) end = i + 1;
    std::vector<EntryTask> tasks;
    for (size_t i = 0; i < end; ++i) {
        if (!command.settings.solid && !run.wanted[i]) continue;
        run.entry_of.push_back(i);
        run.expected.push_back(run.wanted[i] ? expected_of(run, i) : ExpectedFile());
        tasks.push_back(task_for(run, i));
    }
    run.report.summary = extract_entries(command, tasks, [&run](size_t index, ExtractResult result) {
        const size_t i = run.entry_of[index];
        if (!run.wanted[i] || result == ExtractResult::interrupted || result == ExtractResult::archive_failed)
            return true;
        ++run.report.entries;
        run.report.bytes += run.entries[i].original_size;
        const bool sound = result == ExtractResult::written || result == ExtractResult::checked;
        if (sound && run.expected[index].has_checksum) ++run.report.verified;
        if (result == ExtractResult::written) run.written.insert(run.entries[i].folder_path + run.entries[i].file_name);
        return true;
    });
    const ExtractSummary& s = run.report.summary;
    if (request.target == ExtractTarget::files && request.use_meta && meta.present && !s.interrupted)
        run.report.restored = restore_what_meta_adds(command, run.tree, meta, request, run.written);
    return run.report;
}

}  // namespace vellum
