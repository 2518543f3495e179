#include "archive/walk.h"

#include <cerrno>
#include <vector>

#include "archive/entry_path.h"
#include "platform/platform.h"

namespace vellum {
namespace {

struct Walk {
    const WalkOptions& options;
    WalkVisitor& visitor;
    // The folders on the way from the source down to the one being walked. Only
    // a folder already on that way is a cycle: a folder reached again along
    // another way (a link met before the folder itself) is walked again and
    // stored under that path too.
    std::vector<platform::FolderId> way;
};

bool on_the_way(const Walk& walk, const platform::FolderId& id) {
    for (const platform::FolderId& above : walk.way)
        if (platform::same_folder(above, id)) return true;
    return false;
}

// What an item is: its kind from the folder listing when that is all the walk
// needs, else read from the item itself.
bool read_item(const Walk& walk, const std::string& path, const platform::ItemKind* listed,
               platform::ItemInfo* info, int* error) {
    if (!walk.options.attributes && !walk.options.record_links && listed) {
        *info = platform::ItemInfo();
        info->kind = *listed == platform::ItemKind::folder  ? platform::InfoKind::folder
                     : *listed == platform::ItemKind::file ? platform::InfoKind::file
                                                           : platform::InfoKind::special;
        return true;
    }
    return platform::item_info(path, !walk.options.record_links, info, error);
}

bool is_archive_itself(const Walk& walk, const std::string& path, const platform::ItemInfo& info) {
    if (!walk.options.archive_known && !walk.options.staging_known) return false;
    platform::FolderId id = info.id;
    if (info.id.index == 0 && !platform::file_id(path.c_str(), &id)) return false;
    return (walk.options.archive_known && platform::same_folder(id, walk.options.archive)) ||
           (walk.options.staging_known && platform::same_folder(id, walk.options.staging));
}

void visit(Walk& walk, const std::string& path, const std::string& folder_path, const std::string& name,
           const platform::ItemKind* listed);

void visit_folder(Walk& walk, const std::string& path, const std::string& stored, const platform::ItemInfo& info) {
    platform::FolderId id;
    const bool known = platform::folder_id(path.c_str(), &id);
    if (known && on_the_way(walk, id)) return;
    std::vector<platform::FolderItem> items;
    if (!platform::list_folder(path.c_str(), &items)) {
        walk.visitor.left_out(msg::kSourceNotOpened, path, errno);
        return;
    }
    walk.visitor.folder(path, stored, info);
    if (known) walk.way.push_back(id);
    const std::string base = with_separator(path);
    const std::string folder_path = stored.empty() ? stored : stored + '\\';
    for (const platform::FolderItem& item : items) {
        if (walk.visitor.ended()) break;
        if (walk.options.exclude && walk.options.exclude(folder_path + item.name)) continue;
        visit(walk, base + item.name, folder_path, item.name, &item.kind);
    }
    if (known) walk.way.pop_back();
}

void visit(Walk& walk, const std::string& path, const std::string& folder_path, const std::string& name,
           const platform::ItemKind* listed) {
    platform::ItemInfo info;
    int error = 0;
    if (!read_item(walk, path, listed, &info, &error)) {
        walk.visitor.left_out(msg::kSourceNotOpened, path, error);
        return;
    }
    using K = platform::InfoKind;
    if (info.kind == K::missing) {
        walk.visitor.left_out(msg::kSourceNotOpened, path, ENOENT);
        return;
    }
    if (info.kind == K::special) {
        walk.visitor.left_out(msg::kNotRegularFile, path, 0);
        return;
    }
    // A name that extraction would not give back as it is never goes in. A root
    // folder has no name of its own to check.
    if (!(name.empty() && folder_path.empty()) && !name_comes_back(folder_path, name, info.kind == K::folder)) {
        walk.visitor.left_out(msg::kNameWouldNotComeBack, path, 0);
        return;
    }
    const std::string stored = folder_path + name;
    switch (info.kind) {
        case K::folder:
            visit_folder(walk, path, stored, info);
            return;
        case K::link: {
            std::string target;
            if (!platform::read_link(path, &target, &error)) {
                walk.visitor.left_out(msg::kSourceNotOpened, path, error);
                return;
            }
            walk.visitor.link(path, stored, target, info);
            return;
        }
        default:
            if (is_archive_itself(walk, path, info)) {
                walk.visitor.left_out(msg::kArchiveItself, path, 0);
                return;
            }
            walk.visitor.file(path, folder_path, name, info);
            return;
    }
}

// Counts the bytes of every file the walk would hand over.
class ByteCount : public WalkVisitor {
public:
    void file(const std::string&, const std::string&, const std::string&, const platform::ItemInfo& info) override {
        total = add_capped(total, info.size);
    }
    void left_out(const MessageText&, const std::string&, int) override {}
    uint64_t total = 0;

private:
    static uint64_t add_capped(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }
};

}  // namespace

std::string own_name(const std::string& path) {
    std::string trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == kNativeSeparator)) trimmed.pop_back();
    const size_t cut = trimmed.find_last_of(kNativeSeparator == '\\' ? "\\/:" : "/");
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

void walk_source(const std::string& path, const WalkOptions& options, WalkVisitor& visitor) {
    std::string name = own_name(path);
    // "." and ".." are stored under the name of the folder they lead to.
    if (name == "." || name == "..") name = own_name(platform::full_path(path.c_str()));
    if (options.exclude && !name.empty() && options.exclude(archive_form(name))) return;
    Walk walk{options, visitor, {}};
    visit(walk, path, "", name, nullptr);
}

uint64_t bytes_below(const std::string& path) {
    WalkOptions options;
    options.attributes = true;
    ByteCount count;
    walk_source(path, options, count);
    return count.total;
}

}  // namespace vellum
