#include "archive/folder_walk.h"

#include <cerrno>

#include "archive/entry_path.h"
#include "archive/messages.h"
#include "archive/parallel_add.h"

namespace vellum {

void count_result(AddSummary& summary, AddResult result) {
    switch (result) {
        case AddResult::added: ++summary.added; break;
        case AddResult::skipped: ++summary.skipped; break;
        case AddResult::failed: summary.failed = true; break;
        case AddResult::interrupted: summary.failed = summary.interrupted = true; break;
    }
}

namespace {

// The folders on the way from the selected folder down to the one being walked,
// and the archive's own identity. Only a folder already on that way is a cycle:
// a folder reached again along another way (a link met before the folder itself)
// is walked again and stored under that path too.
struct WalkState {
    std::vector<platform::FolderId> way;
    platform::FolderId archive{};
    bool archive_known = false;
};

bool is_archive_itself(const WalkState& walk, const std::string& path) {
    platform::FolderId id;
    return walk.archive_known && platform::file_id(path.c_str(), &id) &&
           platform::same_folder(id, walk.archive);
}

bool on_the_way(const WalkState& state, const platform::FolderId& id) {
    for (const platform::FolderId& above : state.way)
        if (platform::same_folder(above, id)) return true;
    return false;
}


// Pipes, sockets and devices are never opened, and names that extraction would
// not give back as they are never stored: reported by path, and the add goes on.
bool refused(Command& command, const std::string& path, platform::ItemKind kind,
             const std::string& folder_path, const std::string& name, AddSummary& summary) {
    if (kind == platform::ItemKind::special) {
        report_in_turn(command, msg::kNotRegularFile, path);
    } else if (!name_comes_back(folder_path, name, kind == platform::ItemKind::folder)) {
        report_in_turn(command, msg::kNameWouldNotComeBack, path);
    } else {
        return false;
    }
    ++summary.skipped;
    return true;
}

void add_file(Command& command, const WalkState& walk, const std::string& path,
              const std::string& folder_path, const std::string& name, AddSummary& summary) {
    if (summary.failed) return;
    if (is_archive_itself(walk, path)) {
        report_in_turn(command, msg::kArchiveItself, path);
        return;
    }
    command.totals.files_processed += 1;
    if (command.parallel_add) {
        command.parallel_add->add(path, folder_path, name,
                                  [&summary](AddResult result, uint64_t, uint64_t) { count_result(summary, result); });
        return;
    }
    count_result(summary, compress_file(command, path, folder_path, name));
}

void walk(Command& command, WalkState& state, const std::string& folder,
          const std::string& relative, AddSummary& summary) {
    platform::FolderId id;
    const bool known = platform::folder_id(folder.c_str(), &id);
    if (known && on_the_way(state, id)) return;
    std::vector<platform::FolderItem> items;
    if (!platform::list_folder(folder.c_str(), &items)) {
        report_in_turn(command, msg::kSourceNotOpened, folder, errno);
        ++summary.skipped;
        return;
    }
    if (known) state.way.push_back(id);
    const std::string base = with_separator(folder);
    // The files of a root folder, which has no name of its own, stand at the top.
    const std::string folder_path = relative.empty() ? relative : relative + '\\';
    for (const platform::FolderItem& item : items) {
        if (summary.failed) break;
        const std::string path = base + item.name;
        if (command.exclude && command.exclude(folder_path + item.name)) continue;
        if (refused(command, path, item.kind, folder_path, item.name, summary)) continue;
        if (item.kind == platform::ItemKind::folder)
            walk(command, state, path, folder_path + item.name, summary);
        else
            add_file(command, state, path, folder_path, item.name, summary);
    }
    if (known) state.way.pop_back();
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
    if (command.exclude && command.exclude(archive_form(name))) return;
    const platform::ItemKind kind = platform::item_kind(path.c_str());
    if (refused(command, path, kind, "", name, summary)) return;
    if (kind == platform::ItemKind::folder) {
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
