#include "meta/meta_restore.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <vector>

#include "archive/entry_path.h"
#include "archive/messages.h"

namespace vellum {
namespace {

// Links followed as text from one link's target, at most: a chain longer than
// the systems' own limit resolves nowhere.
constexpr int kMostLinkHops = 40;

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool is_absolute(const std::string& target) {
    return !target.empty() && (is_separator(target[0]) || (target.size() >= 2 && target[1] == ':'));
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (!is_separator(c)) {
            part += c;
            continue;
        }
        parts.push_back(part);
        part.clear();
    }
    parts.push_back(part);
    return parts;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string path;
    for (size_t i = 0; i < parts.size(); ++i) path += (i ? "\\" : "") + parts[i];
    return path;
}

// Walks `target` from the folder `at` (stored parts), following the links met on
// the way as text. False when any step climbs above the destination.
bool resolve(std::vector<std::string>& at, const std::string& target,
             const std::function<const std::string*(const std::string&)>& link_at, bool absolute_allowed,
             int* hops) {
    if (is_absolute(target)) return absolute_allowed;
    for (const std::string& part : split(target)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (at.empty()) return false;
            at.pop_back();
            continue;
        }
        at.push_back(part);
        const std::string* next = link_at ? link_at(joined(at)) : nullptr;
        if (!next) continue;
        if (++*hops > kMostLinkHops) return false;
        at.pop_back();
        if (!resolve(at, *next, link_at, absolute_allowed, hops)) return false;
    }
    return true;
}

struct Restorer {
    ExtractTree& tree;
    const ArchiveMeta& meta;
    const RestoreRequest& request;
    Reporter& reporter;
    RestoreCount count;
    std::unordered_map<std::string, std::string> links;  // stored path -> target, of the links taken

    void fail(const MessageText& m, const std::string& subject, int error = 0) {
        report(reporter, m, subject, error);
        ++count.failures;
    }

    // The stored path split into folder parts and a name; false when unsafe.
    bool place_of(const std::string& stored, std::vector<std::string>* parts, std::string* name) {
        const size_t cut = stored.find_last_of('\\');
        const std::string folder = cut == std::string::npos ? std::string() : stored.substr(0, cut + 1);
        *name = cut == std::string::npos ? stored : stored.substr(cut + 1);
        if (check_entry_path(folder, *name) != PathCheck::safe) return false;
        *parts = folder_parts(folder);
        return true;
    }

    // Opens a folder of the tree, reporting why it cannot be.
    const platform::Folder* open(const std::vector<std::string>& parts, bool create, const std::string& shown) {
        const platform::Folder* folder = nullptr;
        int error = 0;
        switch (tree.folder(parts, create, &folder, &error)) {
            case platform::FolderOpen::ok: return folder;
            case platform::FolderOpen::link: fail(msg::kLinkInPath, shown); break;
            case platform::FolderOpen::not_folder: fail(msg::kOutputNotCreated, shown, ENOTDIR); break;
            case platform::FolderOpen::failed: fail(msg::kOutputNotCreated, shown, error); break;
        }
        return nullptr;
    }

    // Whether the stored path names a link that stands in the destination now.
    bool link_on_disk(const std::string& stored) {
        std::vector<std::string> parts = folder_parts(stored);
        if (parts.empty()) return false;
        const std::string last = parts.back();
        parts.pop_back();
        const platform::Folder* folder = nullptr;
        int error = 0;
        const platform::FolderOpen opened = tree.folder(parts, false, &folder, &error);
        if (opened == platform::FolderOpen::link) return true;
        platform::ItemInfo info;
        return opened == platform::FolderOpen::ok && platform::info_in(*folder, last, &info, &error) &&
               info.kind == platform::InfoKind::link;
    }

    std::vector<MetaRef> taken(const std::vector<MetaRef>& refs) {
        std::vector<MetaRef> out;
        for (const MetaRef& ref : refs)
            if (!request.takes || request.takes(meta.path(ref))) out.push_back(ref);
        return out;
    }

    void make_folders(const std::vector<MetaRef>& folders) {
        for (const MetaRef& ref : folders) {
            const std::string stored = meta.path(ref);
            std::vector<std::string> parts;
            std::string name;
            if (!place_of(stored, &parts, &name)) {
                fail(msg::kUnsafePath, stored);
                continue;
            }
            parts.push_back(name);
            open(parts, true, shown_path(tree, parts, ""));
        }
    }

    void make_link(const MetaRef& ref) {
        const std::string stored = meta.path(ref);
        const std::string target = meta.target(ref);
        std::vector<std::string> parts;
        std::string name;
        // A link already on disk leads where no text says: it counts as leading
        // outside, as an absolute target does.
        static const std::string kUnknown = "/";
        auto link_at = [this](const std::string& path) -> const std::string* {
            const auto at = links.find(path);
            if (at != links.end()) return &at->second;
            return link_on_disk(path) ? &kUnknown : nullptr;
        };
        if (!place_of(stored, &parts, &name) || !link_stays_inside(stored, target, link_at, request.absolute_links)) {
            fail(msg::kUnsafeLink, native_form(stored) + " -> " + target);
            return;
        }
        const std::string shown = shown_path(tree, parts, name);
        const platform::Folder* folder = open(parts, true, shown);
        if (!folder || !may_take(*folder, name, stored, shown)) return;
        const bool made = put_in_place(*folder, "vellum-l-" + std::to_string(count.links) + "-", name, shown,
                                       [&](const std::string& temporary, int* error) {
                                           return platform::make_link_in(*folder, temporary, target, error);
                                       });
        if (!made) return;
        ++count.links;
        const MetaLine& line = meta.line(ref);
        int error = 0;
        if (!platform::set_link_time_in(*folder, name, line.seconds, line.nanoseconds, &error) && error != ENOSYS)
            fail(msg::kAttributesNotSet, shown, error);
    }

    // Whether a link of either kind may take `name` in `folder`: never over the
    // archive being read, a folder, or a file this command wrote; with
    // keep_old, whatever stands there stays. Refusals are reported.
    bool may_take(const platform::Folder& folder, const std::string& name, const std::string& stored,
                  const std::string& shown) {
        platform::ItemInfo there;
        int error = 0;
        if (!platform::info_in(folder, name, &there, &error)) {
            fail(msg::kLinkNotCreated, shown, error);
            return false;
        }
        if (tree.is_archive(there)) {
            fail(msg::kOutputIsArchive, shown);
            return false;
        }
        if (there.kind == platform::InfoKind::missing) return true;
        if (request.keep_old) {
            ++count.kept;
            return false;
        }
        if (there.kind == platform::InfoKind::folder || (request.written && request.written->count(stored) != 0)) {
            fail(msg::kLinkNotCreated, shown, EEXIST);
            return false;
        }
        return true;
    }

    // Makes a link under a temporary name (`prefix` + name) and renames it into
    // place: whatever stood there is replaced in one step, never written through.
    template <class Make>
    bool put_in_place(const platform::Folder& folder, const std::string& prefix, const std::string& name,
                      const std::string& shown, Make make) {
        const std::string temporary = prefix + name;
        int error = 0;
        platform::remove_in(folder, temporary);
        if (!make(temporary, &error)) {
            fail(msg::kLinkNotCreated, shown, error);
            return false;
        }
        if (!platform::rename_in(folder, temporary, folder, name, &error)) {
            platform::remove_in(folder, temporary);
            fail(msg::kLinkNotCreated, shown, error);
            return false;
        }
        return true;
    }

    // The folder of `parts` opened on its own, level by level from the
    // destination, refusing links (the tree keeps one chain open at a time).
    bool open_own(const std::vector<std::string>& parts, platform::Folder* out) {
        platform::Folder at;
        const platform::Folder* from = &tree.root();
        int error = 0;
        for (const std::string& part : parts) {
            platform::Folder next;
            if (platform::open_child(*from, part, false, &next, &error) != platform::FolderOpen::ok) return false;
            at = std::move(next);
            from = &at;
        }
        if (parts.empty()) return false;  // the destination itself: the tree's own root
        *out = std::move(at);
        return true;
    }

    // A second name of a file this command wrote: made under a new name in its
    // folder and renamed into place, never over a folder or another file the
    // command wrote.
    void make_hard_link(const MetaRef& ref) {
        const std::string stored = meta.path(ref);
        const std::string first = meta.target(ref);
        std::vector<std::string> parts, first_parts;
        std::string name, first_name;
        if (!place_of(stored, &parts, &name) || !place_of(first, &first_parts, &first_name)) {
            fail(msg::kUnsafePath, native_form(stored) + " => " + native_form(first));
            return;
        }
        const std::string shown = shown_path(tree, parts, name);
        // Only a file the command wrote whole is given another name.
        if (!request.written || request.written->count(first) == 0)
            return fail(msg::kLinkNotCreated, shown + " => " + native_form(first), ENOENT);
        platform::Folder own;
        const bool first_at_root = first_parts.empty();
        if (!first_at_root && !open_own(first_parts, &own))
            return fail(msg::kLinkNotCreated, shown, ENOENT);
        const platform::Folder* folder = open(parts, true, shown);
        if (!folder || !may_take(*folder, name, stored, shown)) return;
        const platform::Folder& from = first_at_root ? tree.root() : own;
        const bool made = put_in_place(*folder, "vellum-h-" + std::to_string(count.hard_links) + "-", name, shown,
                                       [&](const std::string& temporary, int* error) {
                                           return platform::make_hard_link_in(from, first_name, *folder, temporary,
                                                                              error);
                                       });
        if (made) ++count.hard_links;
    }

    void set_folder_attributes(std::vector<MetaRef> folders) {
        auto depth = [this](const MetaRef& ref) {
            const std::string path = meta.path(ref);
            return std::count(path.begin(), path.end(), '\\');
        };
        // Deepest first: setting a folder's time is the last change inside its parent.
        std::stable_sort(folders.begin(), folders.end(),
                         [&](const MetaRef& a, const MetaRef& b) { return depth(a) > depth(b); });
        for (const MetaRef& ref : folders) {
            std::vector<std::string> parts;
            std::string name;
            if (!place_of(meta.path(ref), &parts, &name)) continue;  // reported when made
            parts.push_back(name);
            const platform::Folder* folder = nullptr;
            int error = 0;
            if (tree.folder(parts, false, &folder, &error) != platform::FolderOpen::ok) continue;  // reported
            const MetaLine& line = meta.line(ref);
            if (platform::set_folder_attributes(*folder, line.mode, line.seconds, line.nanoseconds, &error))
                ++count.folders;
            else
                fail(msg::kAttributesNotSet, shown_path(tree, parts, ""), error);
        }
    }
};

}  // namespace

bool link_stays_inside(const std::string& stored, const std::string& target,
                       const std::function<const std::string*(const std::string& stored)>& link_at,
                       bool absolute_allowed) {
    if (target.empty()) return false;
    for (unsigned char c : target)
        if (c < 0x20 || c == 0x7F) return false;
    std::vector<std::string> at = split(stored);
    at.pop_back();  // the link's own folder
    int hops = 0;
    return resolve(at, target, link_at, absolute_allowed, &hops);
}

RestoreCount restore_folders_and_links(ExtractTree& tree, const ArchiveMeta& meta, const RestoreRequest& request,
                                       Reporter& reporter) {
    Restorer r{tree, meta, request, reporter, {}, {}};
    const std::vector<MetaRef> folders = r.taken(meta.folders);
    const std::vector<MetaRef> links = r.taken(meta.links);
    for (const MetaRef& ref : links) r.links[meta.path(ref)] = meta.target(ref);
    r.make_folders(folders);
    // Second names before links: a name is never reached through a link made here.
    for (const MetaRef& ref : r.taken(meta.hard_links)) r.make_hard_link(ref);
    for (const MetaRef& ref : links) r.make_link(ref);
    r.set_folder_attributes(folders);
    return r.count;
}

}  // namespace vellum
