#include "meta/meta_add.h"

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
    lines_.add(attributes_line(MetaKind::file, info), folder_path + name);
    const size_t index = lines_.lines().size() - 1;
    add(path, folder_path, name, [this, index](const AddedFile& added) {
        if (added.result != AddResult::added) {
            dropped_.push_back(index);
            return;
        }
        MetaLine& line = lines_.lines()[index];
        line.size = added.size;
        line.record_length = added.record_length;
        line.checksum = added.checksum;
    });
}

MetaLines MetaRecorder::finish() {
    lines_.remove(dropped_);
    dropped_.clear();
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

bool write_meta_entry(Command& command, const MetaLines& lines) {
    const std::string data = encode_meta(lines);
    RecordHead head;
    head.folder_path = kMetaFolder;
    head.file_name = kMetaName;
    head.original_size = data.size();
    head.record_length = record_head_size(head) + data.size();
    FILE* file = command.archive;
    uint64_t start = 0;
    bool ok = file && platform::seek_to_end(file) && platform::tell(file, &start) && write_record_head(file, head) &&
              write_class_field(file, kStoredClass) &&
              std::fwrite(data.data(), 1, data.size(), file) == data.size() && std::fflush(file) == 0;
    // A streamed archive: the record goes on to the stream.
    ok = ok && (!command.outlet || command.outlet->pass_on(file, start, head.record_length));
    if (!ok) {
        const int error = errno;
        if (file) platform::truncate_file(file, start);  // the archive ends with its last file
        report(command.reporter, msg::kMetaNotWritten, command.archive_path, error);
    }
    return ok;
}

}  // namespace vellum
