#include "cli/meta_add.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archive/entry_path.h"
#include "archive/messages.h"
#include "archive/parallel_add.h"
#include "cli/file_meta.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {
namespace {

std::string own_name(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == kNativeSeparator)) path.pop_back();
    const size_t cut = path.find_last_of(kNativeSeparator == '\\' ? "\\/:" : "/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A source that cannot be read, reported in its turn with the system's reason.
void skip(Command& command, const std::string& path, int error, AddSummary& summary) {
    report_in_turn(command, msg::kSourceNotOpened, path, error);
    ++summary.skipped;
}

void add_file(Command& command, MetaAdd& meta, const std::string& path,
              const std::string& folder_path, const std::string& name, const PathStat& st,
              AddSummary& summary) {
    platform::FolderId id;
    if (meta.archive_known && platform::file_id(path.c_str(), &id) && platform::same_folder(id, meta.archive)) {
        report_in_turn(command, msg::kArchiveItself, path);
        return;
    }
    MetaLine line;
    line.kind = MetaKind::file;
    if (!checksum_file(path, &line.checksum)) {
        skip(command, path, errno ? errno : EIO, summary);
        return;
    }
    line.mode = st.mode;
    line.seconds = st.seconds;
    line.nanoseconds = st.nanoseconds;
    line.path = folder_path + name;
    command.totals.files_processed += 1;
    if (command.parallel_add) {
        // The line keeps its place in the walk's order; its sizes come when the
        // entry is settled, and a file not added loses its line then.
        const size_t index = meta.lines.size();
        meta.lines.push_back(line);
        command.parallel_add->add(path, folder_path, name,
                                  [&meta, &summary, index](AddResult result, uint64_t size, uint64_t length) {
                                      count_result(summary, result);
                                      if (result != AddResult::added) {
                                          meta.dropped.push_back(index);
                                          return;
                                      }
                                      meta.lines[index].size = size;
                                      meta.lines[index].record_length = length;
                                  });
        return;
    }
    const CommandTotals before = command.totals;
    const AddResult result = compress_file(command, path, folder_path, name);
    count_result(summary, result);
    if (result != AddResult::added) return;
    line.size = command.totals.processed_total - before.processed_total;
    line.record_length = command.totals.compressed_total - before.compressed_total;
    meta.lines.push_back(line);
}

void add_any(Command& command, MetaAdd& meta, const std::string& path,
             const std::string& folder_path, const std::string& name, AddSummary& summary);

void add_folder(Command& command, MetaAdd& meta, const std::string& path,
                const std::string& stored, const PathStat& st, AddSummary& summary) {
    std::vector<platform::FolderItem> items;
    if (!platform::list_folder(path.c_str(), &items)) {
        report_in_turn(command, msg::kSourceNotOpened, path, errno);
        ++summary.skipped;
        return;
    }
    MetaLine line;
    line.kind = MetaKind::folder;
    line.mode = st.mode;
    line.seconds = st.seconds;
    line.nanoseconds = st.nanoseconds;
    line.path = stored;
    meta.lines.push_back(line);
    const std::string base = with_separator(path);
    const std::string prefix = stored.empty() ? stored : stored + '\\';
    for (const platform::FolderItem& item : items) {
        if (summary.failed) return;
        add_any(command, meta, base + item.name, prefix, item.name, summary);
    }
}

// `name` is the item's own name as the system gives it; `folder_path` the stored
// path of its folder (empty, or ending in a backslash). A backslash inside the
// name is refused, never taken for a folder.
void add_any(Command& command, MetaAdd& meta, const std::string& path,
             const std::string& folder_path, const std::string& name, AddSummary& summary) {
    const std::string stored = folder_path + name;
    if (command.exclude && command.exclude(stored)) return;
    const PathStat st = stat_path(path);
    // The same refusal as the plain walk: a name extraction would not give back.
    if (st.kind != PathKind::missing && !name_comes_back(folder_path, name, st.kind == PathKind::folder)) {
        report_in_turn(command, msg::kNameWouldNotComeBack, path);
        ++summary.skipped;
        return;
    }
    switch (st.kind) {
        case PathKind::file:
            add_file(command, meta, path, folder_path, name, st, summary);
            break;
        case PathKind::folder:
            add_folder(command, meta, path, stored, st, summary);
            break;
        case PathKind::link: {
            MetaLine line;
            line.kind = MetaKind::link;
            line.seconds = st.seconds;
            line.nanoseconds = st.nanoseconds;
            line.path = stored;
            if (!read_link(path, &line.target)) {
                skip(command, path, errno ? errno : EIO, summary);
                break;
            }
            meta.lines.push_back(line);
            break;
        }
        case PathKind::missing: skip(command, path, errno ? errno : ENOENT, summary); break;
        case PathKind::other:
            report_in_turn(command, msg::kNotRegularFile, path);
            ++summary.skipped;
            break;
    }
}

}  // namespace

void meta_add_path(Command& command, MetaAdd& meta, const std::string& path,
                   AddSummary& summary) {
    std::string name = own_name(path);
    // "." and ".." are stored under the name of the folder they lead to.
    if (name == "." || name == "..") name = own_name(platform::full_path(path.c_str()));
    add_any(command, meta, path, "", name, summary);
}

void drop_unadded_lines(MetaAdd& meta) {
    std::sort(meta.dropped.begin(), meta.dropped.end());
    for (size_t k = meta.dropped.size(); k-- > 0;)
        meta.lines.erase(meta.lines.begin() + static_cast<std::ptrdiff_t>(meta.dropped[k]));
    meta.dropped.clear();
}

bool write_meta_entry(Session& session, const std::string& archive, const std::vector<MetaLine>& lines) {
    const std::string data = encode_meta(lines);
    RecordHead head;
    head.folder_path = kMetaFolder;
    head.file_name = kMetaName;
    head.original_size = data.size();
    head.record_length = record_head_size(head) + data.size();
    FILE* file = platform::open_file(archive.c_str(), "rb+");
    uint64_t start = 0;
    bool ok = file && platform::seek_to_end(file) && platform::tell(file, &start) &&
              write_record_head(file, head) && write_class_field(file, kStoredClass) &&
              std::fwrite(data.data(), 1, data.size(), file) == data.size() && std::fflush(file) == 0;
    if (file && !ok) platform::truncate_file(file, start);  // the archive ends with its last file
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) print_error(session, archive + ": the metadata entry could not be written (files added without it)");
    return ok;
}

}  // namespace cli
}  // namespace vellum
