#include "archive/folder_walk.h"

#include "archive/entry_path.h"
#include "archive/messages.h"

namespace vellum {
namespace {

// Folders entered so far in one add, and the archive's own identity.
struct WalkState {
    std::vector<platform::FolderId> entered;
    platform::FolderId archive{};
    bool archive_known = false;
};

bool is_archive_itself(const WalkState& walk, const std::string& path) {
    platform::FolderId id;
    return walk.archive_known && platform::file_id(path.c_str(), &id) &&
           platform::same_folder(id, walk.archive);
}

void add_file(Command& command, const WalkState& walk, const std::string& path,
              const std::string& folder_path, const std::string& name, AddSummary& summary) {
    if (summary.failed || is_archive_itself(walk, path)) return;
    command.totals.files_processed += 1;
    switch (compress_file(command, path, folder_path, name)) {
        case AddResult::added: ++summary.added; break;
        case AddResult::skipped: ++summary.skipped; break;
        case AddResult::failed: summary.failed = true; break;
    }
}

void walk(Command& command, WalkState& state, const std::string& folder,
          const std::string& relative, AddSummary& summary) {
    platform::FolderId id;
    if (platform::folder_id(folder.c_str(), &id)) {
        for (const platform::FolderId& seen : state.entered)
            if (platform::same_folder(seen, id)) return;
        state.entered.push_back(id);
    }
    std::vector<platform::FolderItem> items;
    if (!platform::list_folder(folder.c_str(), &items)) {
        report(command.reporter, msg::kSourceNotOpened, folder);
        ++summary.skipped;
        return;
    }
    const std::string base = with_separator(folder);
    // The files of a root folder, which has no name of its own, stand at the top.
    const std::string folder_path = relative.empty() ? relative : relative + '\\';
    for (const platform::FolderItem& item : items) {
        if (summary.failed) return;
        if (item.is_folder)
            walk(command, state, base + item.name, folder_path + item.name, summary);
        else
            add_file(command, state, base + item.name, folder_path, item.name, summary);
    }
}

WalkState start_walk(const Command& command) {
    WalkState state;
    state.archive_known = platform::file_id(command.archive_path.c_str(), &state.archive);
    return state;
}

// The last component of a native path, ignoring trailing separators; empty for
// a root folder.
std::string own_name(std::string path) {
    while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    const size_t cut = path.find_last_of(kNativeSeparator == '\\' ? "\\/:" : "/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

void walk_folder(Command& command, const std::string& folder, const std::string& relative,
                 AddSummary& summary) {
    WalkState state = start_walk(command);
    walk(command, state, folder, relative, summary);
}

void add_path(Command& command, const std::string& path, AddSummary& summary) {
    std::string name = own_name(path);
    // "." and ".." are stored under the name of the folder they lead to.
    if (name == "." || name == "..") name = own_name(platform::full_path(path.c_str()));
    if (platform::is_folder(path.c_str())) {
        walk_folder(command, path, archive_form(name), summary);
        return;
    }
    WalkState state = start_walk(command);
    add_file(command, state, path, "", name, summary);
}

namespace {

// Folder links may lead back up; the scan stops this deep rather than loop (the
// add itself enters no folder twice).
constexpr int kMaxScanDepth = 64;

uint64_t bytes_below_at(const std::string& path, int depth) {
    uint64_t size = 0;
    if (platform::file_size(path.c_str(), &size)) return size;
    std::vector<platform::FolderItem> items;
    if (depth >= kMaxScanDepth || !platform::list_folder(path.c_str(), &items)) return 0;
    uint64_t total = 0;
    const std::string base = with_separator(path);
    for (const platform::FolderItem& item : items) total += bytes_below_at(base + item.name, depth + 1);
    return total;
}

}  // namespace

uint64_t bytes_below(const std::string& path) { return bytes_below_at(path, 0); }

}  // namespace vellum
