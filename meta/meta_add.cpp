#include "meta/meta_add.h"

#include <algorithm>
#include <cerrno>

#include "archive/file_class.h"
#include "archive/messages.h"
#include "archive/streamed_output.h"
#include "platform/platform.h"

namespace vellum {
namespace {

MetaLine attributes_line(MetaKind kind, const platform::ItemInfo& info) {
    MetaLine line;
    line.kind = kind;
    line.mode = info.mode;
    line.seconds = info.seconds;
    line.nanoseconds = info.nanoseconds;
    return line;
}

}  // namespace

void MetaRecorder::folder(const std::string&, const std::string& stored, const platform::ItemInfo& info) {
    // A root folder has no name to store; its items stand at the top.
    if (!stored.empty()) lines_.add(attributes_line(MetaKind::folder, info), stored);
}

void MetaRecorder::link(const std::string&, const std::string& stored, const std::string& target,
                        const platform::ItemInfo& info) {
    MetaLine line = attributes_line(MetaKind::link, info);
    line.mode = 0;
    lines_.add(line, stored, target);
}

// The line keeps its place in the walk's order; its sizes and checksum come when
// the entry is settled, and a file not added loses its line then.
void MetaRecorder::file(const std::string& path, const std::string& folder_path, const std::string& name,
                        const platform::ItemInfo& info) {
    if (summary_.failed) return;
    if (info.links > 1 && info.id.index != 0) {
        const auto key = std::make_pair(info.id.volume, info.id.index);
        const auto first = first_names_.find(key);
        if (first != first_names_.end()) {
            MetaLine line;
            line.kind = MetaKind::hard_link;
            lines_.add(line, folder_path + name, first->second);
            return;
        }
        first_names_[key] = folder_path + name;
    }
    lines_.add(attributes_line(MetaKind::file, info), folder_path + name);
    const size_t index = lines_.lines().size() - 1;
    pending_.push_back(index);
    add(path, folder_path, name, [this, index](const AddedFile& added) {
        if (added.result != AddResult::added) return;
        added_.push_back(index);
        MetaLine& line = lines_.lines()[index];
        line.size = added.size;
        line.record_length = added.record_length;
        line.checksum = added.checksum;
    });
}

MetaLines MetaRecorder::finish() {
    // Lines of files not added: skipped, or never settled (the command stopped).
    std::sort(added_.begin(), added_.end());
    std::vector<size_t> dropped;
    for (size_t index : pending_)
        if (!std::binary_search(added_.begin(), added_.end(), index)) dropped.push_back(index);
    lines_.remove(dropped);
    pending_.clear();
    added_.clear();
    return lines_;
}

WalkOptions meta_walk_options(const Command& command) {
    WalkOptions options = add_walk_options(command);
    options.record_links = true;
    options.attributes = true;
    return options;
}

void meta_add_path(MetaRecorder& recorder, Command& command, const std::string& path) {
    walk_source(path, meta_walk_options(command), recorder);
}

bool append_meta_record(FILE* file, const MetaLines& lines, bool in_solid, uint64_t* start, uint64_t* length) {
    // Text codes well; the entry stands alone (standalone_entry.h), so it is read
    // without decoding a solid run, in which it goes wrapped in a stored record.
    StandaloneRecord record;
    if (!encode_standalone(encode_meta(lines), kTextClass, in_solid, &record)) {
        errno = ENOMEM;
        return false;
    }
    RecordHead head;
    head.folder_path = kMetaFolder;
    head.file_name = kMetaName;
    head.original_size = record.original_size;
    // The length stays the provisional 0 until the entry is whole: a kill leaves
    // an unfinished last record, which the next add cuts off.
    head.record_length = 0;
    if (!platform::seek_to_end(file) || !platform::tell(file, start)) return false;
    *length = record_head_size(head) + record.data.size();
    return write_record_head(file, head) && write_class_field(file, record.file_class) &&
           std::fwrite(record.data.data(), 1, record.data.size(), file) == record.data.size() && std::fflush(file) == 0 &&
           write_record_length(file, *start, *length) && std::fflush(file) == 0 && platform::seek_to_end(file);
}

bool write_meta_entry(Command& command, const MetaLines& lines) {
    FILE* file = command.archive;
    uint64_t start = UINT64_MAX, length = 0;
    bool ok = file && append_meta_record(file, lines, command.settings.solid != 0, &start, &length);
    // A streamed archive: the record goes on to the stream.
    ok = ok && (!command.outlet || command.outlet->pass_on(file, start, length));
    if (!ok) {
        const int error = errno;
        if (start != UINT64_MAX) platform::truncate_file(file, start);  // the archive ends with its last file
        report(command.reporter, msg::kMetaNotWritten, command.archive_path, error);
    }
    return ok;
}

}  // namespace vellum
