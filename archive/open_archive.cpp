#include "archive/open_archive.h"

#include <cctype>
#include <cstdio>

#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {
namespace {

bool has_archive_extension(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".vlm";
}

OpenResult create_archive(Command& command, const std::string& path) {
    FILE* file = platform::open_file(path.c_str(), "wb");
    bool ok = file != nullptr;
    if (ok) {
        ArchiveHeader header;
        header.solid = command.solid;
        header.buffer_setting = static_cast<uint8_t>(command.buffer_setting);
        ok = write_archive_header(file, header);
        ok = (std::fclose(file) == 0) && ok;
        if (!ok) platform::remove_file(path.c_str());
    }
    if (!ok) {
        report(command.reporter, msg::kArchiveNotCreated, path);
        return OpenResult::cannot_create;
    }
    command.archive_path = path;
    return OpenResult::created;
}

// True when the bytes from `offset` to the end are all zero: an add killed while
// it was still writing its provisional record length.
bool zero_tail(FILE* file, uint64_t offset, uint64_t length) {
    if (!platform::seek_to(file, offset)) return false;
    for (uint64_t i = offset; i < length; ++i)
        if (std::fgetc(file) != 0) return false;
    return true;
}

// Walks every record. Cuts an interrupted add's tail; false on other damage.
bool check_records(FILE* file, uint64_t* cut_at) {
    ArchiveWalk walk;
    ArchiveHeader header;
    if (walk_begin(file, &walk, &header) != HeaderResult::ok) return false;
    RecordHead head;
    for (;;) {
        switch (walk_next(&walk, &head)) {
            case WalkStep::entry: continue;
            case WalkStep::end: return true;
            case WalkStep::interrupted_add:
                *cut_at = walk.offset;
                return true;
            case WalkStep::truncated_head:
                if (walk.archive_length - walk.offset < 8 &&
                    zero_tail(file, walk.offset, walk.archive_length)) {
                    *cut_at = walk.offset;
                    return true;
                }
                return false;
            default: return false;
        }
    }
}

OpenResult open_existing(Command& command, FILE* file, const std::string& path) {
    ArchiveHeader header;
    if (read_archive_header(file, &header) != HeaderResult::ok) {
        std::fclose(file);
        report(command.reporter, msg::kNotArchive);
        return OpenResult::not_archive;
    }
    if (command.solid || header.solid) {
        std::fclose(file);
        if (command.solid) report(command.reporter, msg::kIncompatibleMode);
        if (header.solid) report(command.reporter, msg::kArchiveClosed);
        return OpenResult::refused;
    }
    uint64_t cut_at = 0;
    bool sound = check_records(file, &cut_at);
    std::fclose(file);
    if (!sound) {
        report(command.reporter, msg::kArchiveDamaged, path);
        return OpenResult::damaged;
    }
    if (cut_at != 0) {
        FILE* rw = platform::open_file(path.c_str(), "rb+");
        bool cut = rw && platform::truncate_file(rw, cut_at);
        if (rw) std::fclose(rw);
        if (!cut) {
            report(command.reporter, msg::kArchiveDamaged, path);
            return OpenResult::damaged;
        }
    }
    // New entries always use the archive's own block size.
    command.buffer_setting = header.buffer_setting;
    command.archive_path = path;
    return OpenResult::opened;
}

}  // namespace

OpenResult open_or_create_archive(Command& command, const std::string& path) {
    if (path.empty()) return OpenResult::cancelled;
    std::string chosen = path;
    FILE* file = platform::open_file(chosen.c_str(), "rb");
    if (!file && !platform::is_folder(chosen.c_str()) && !has_archive_extension(chosen)) {
        chosen += ".vlm";
        file = platform::open_file(chosen.c_str(), "rb");
    }
    if (file) return open_existing(command, file, chosen);
    if (platform::is_folder(chosen.c_str())) {
        report(command.reporter, msg::kArchiveNotCreated, chosen);
        return OpenResult::cannot_create;
    }
    return create_archive(command, chosen);
}

}  // namespace vellum
