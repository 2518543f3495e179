#include "cli/meta_apply.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "archive/entry_path.h"
#include "cli/file_meta.h"
#include "cli/select.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

std::string output_path(const std::string& destination, const std::string& stored) {
    return with_separator(destination) + native_form(stored);
}

std::string hex(uint64_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

bool failed_to(Session& session, const std::string& what, const std::string& path) {
    print_error(session, what + ": " + path + ": " + std::strerror(errno ? errno : EIO));
    return false;
}

// A stored folder or link path that stays below the destination.
bool safe_stored_path(const std::string& stored) {
    const size_t cut = stored.find_last_of('\\');
    if (cut == std::string::npos) return is_safe_entry_path("", stored);
    return is_safe_entry_path(stored.substr(0, cut + 1), stored.substr(cut + 1));
}

// A link's text that, read from the link's own folder, stays inside the
// destination: relative, and never climbing above the destination's top.
bool target_stays_inside(const std::string& stored, const std::string& target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\' || target.find(':') != std::string::npos)
        return false;
    int depth = static_cast<int>(std::count(stored.begin(), stored.end(), '\\'));  // the link's folder
    std::string part;
    for (size_t i = 0; i <= target.size(); ++i) {
        if (i < target.size() && target[i] != '/' && target[i] != '\\') {
            part += target[i];
            continue;
        }
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        part.clear();
    }
    return true;
}

void restore_link(Session& session, const MetaLine& m, const std::string& destination, const Options& options,
                  uint32_t* failures) {
    if (!safe_stored_path(m.path) || !target_stays_inside(m.path, m.target)) {
        print_error(session, "Unsafe link: " + native_form(m.path) + " -> " + m.target + " (skipped)");
        ++*failures;
        return;
    }
    const std::string path = output_path(destination, m.path);
    const PathStat existing = stat_path(path);
    if (existing.kind != PathKind::missing) {
        if (options.keep_old) {
            print_error(session, path + ": exists, kept (--keep-old-files)");
            return;
        }
        if (existing.kind == PathKind::folder || !platform::remove_file(path.c_str())) {
            errno = EEXIST;
            failed_to(session, "Cannot create link", path);
            ++*failures;
            return;
        }
    }
    const size_t cut = path.find_last_of(kNativeSeparator);
    if (cut != std::string::npos) create_folders(path.substr(0, cut));
    if (!make_link(m.target, path)) {
        failed_to(session, "Cannot create link", path);
        ++*failures;
        return;
    }
    if (!set_time(path, m.seconds, m.nanoseconds, true)) {
        failed_to(session, "Cannot set the time of", path);
        ++*failures;
    }
}

}  // namespace

MetaCheck verify_checksums(Session& session, const ArchiveListing& listing, const ArchiveMeta& meta,
                           const std::string& destination, const std::map<std::string, uint64_t>& written) {
    MetaCheck check;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        const MetaLine* m = meta.of_entry[i];
        if (!m) continue;
        const ListingEntry& e = listing.entries[i];
        const std::string out = output_path(destination, e.folder_path + e.file_name);
        const auto at = written.find(out);
        if (at == written.end()) continue;
        uint64_t sum = at->second;
        if (sum == 0 && !checksum_file(out, &sum)) continue;
        if (sum == m->checksum) {
            ++check.verified;
            continue;
        }
        ++check.mismatched;
        print_error(session, "Damaged entry: " + native_form(e.folder_path + e.file_name) + ": checksum " + hex(sum) +
                                 ", " + hex(m->checksum) + " when added (bytes differ)");
    }
    return check;
}

uint32_t restore_meta(Session& session, const ArchiveListing& listing, const ArchiveMeta& meta,
                      const std::string& destination, const std::map<std::string, uint64_t>& written,
                      const Options& options) {
    uint32_t failures = 0;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        const MetaLine* m = meta.of_entry[i];
        if (!m) continue;
        const std::string out = output_path(destination, m->path);
        if (written.find(out) == written.end()) continue;
        if (!set_mode(out, m->mode) && !failed_to(session, "Cannot set the mode of", out)) ++failures;
        if (!set_time(out, m->seconds, m->nanoseconds, false) && !failed_to(session, "Cannot set the time of", out))
            ++failures;
    }
    std::vector<const MetaLine*> folders;
    for (const MetaLine* m : meta.folders)
        if (safe_stored_path(m->path) && names_take_path(options.operands, options.excludes, m->path)) {
            create_folders(output_path(destination, m->path));
            folders.push_back(m);
        }
    for (const MetaLine* m : meta.links)
        if (names_take_path(options.operands, options.excludes, m->path))
            restore_link(session, *m, destination, options, &failures);
    // Deepest first: setting a folder's time is the last change inside its parent.
    std::stable_sort(folders.begin(), folders.end(), [](const MetaLine* a, const MetaLine* b) {
        return std::count(a->path.begin(), a->path.end(), '\\') > std::count(b->path.begin(), b->path.end(), '\\');
    });
    for (const MetaLine* m : folders) {
        const std::string out = output_path(destination, m->path);
        if (!set_mode(out, m->mode) && !failed_to(session, "Cannot set the mode of", out)) ++failures;
        if (!set_time(out, m->seconds, m->nanoseconds, false) && !failed_to(session, "Cannot set the time of", out))
            ++failures;
    }
    return failures;
}

}  // namespace cli
}  // namespace vellum
