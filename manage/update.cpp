#include "manage/update.h"

#include <cerrno>

#include "archive/leftovers.h"
#include "archive/messages.h"
#include "manage/copy_range.h"
#include "meta/meta_delete.h"
#include "platform/platform.h"

namespace vellum {
namespace {

// The first walk of an update: only the decisions.
class Decide : public WalkVisitor {
public:
    explicit Decide(HeldPaths& paths, Reporter& reporter) : paths_(paths), reporter_(reporter) {}
    void file(const std::string& path, const std::string& folder_path, const std::string& name,
              const platform::ItemInfo&) override {
        paths_.keep_held(path, folder_path + name);
    }
    // Reported by the add's own walk.
    void left_out(const MessageText&, const std::string&, int) override {}
    bool ended() override { return reporter_.stop_requested(); }

private:
    HeldPaths& paths_;
    Reporter& reporter_;
};

// Copies the records that stay after the header of the new archive.
bool copy_kept(Command& command, HeldArchive* held, FILE* copy) {
    const std::vector<ListingEntry>& entries = held->listing.entries;
    std::vector<bool> gone = held->paths->replaced();
    metadata_goes_with_its_files(entries, held->meta, &gone);
    ArchiveHeader header;
    header.solid = 0;
    header.buffer_setting = held->listing.header.buffer_setting;
    if (!write_archive_header(copy, header)) return false;
    held->copied = kArchiveHeaderSize;
    const size_t chunk = size_t{1} << 20;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[chunk]);
    if (!buffer) return false;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (gone[i]) continue;
        const ListingEntry& e = entries[i];
        if (copy_range(standard_copy_io(), held->original, copy, e.offset, e.offset + e.record_length, buffer.get(),
                       chunk, &command.reporter) != CopyResult::ok)
            return false;
        held->copied += e.record_length;
    }
    return std::fflush(copy) == 0;
}

}  // namespace

bool hold_archive_paths(Command& command, bool update, HeldArchive* held) {
    SilentReporter quiet;
    if (list_stream(command.archive, command.archive_path, quiet, &held->listing) != ListStatus::complete) {
        report(command.reporter, msg::kArchiveDamaged, command.archive_path);
        return false;
    }
    read_archive_meta(command.archive, command.archive_path, held->listing.entries, quiet, &held->meta);
    held->paths = std::make_unique<HeldPaths>(held->listing.entries, held->meta, update);
    command.held = held->paths.get();
    return true;
}

bool begin_update_copy(Command& command, const std::vector<std::string>& sources, const WalkOptions& options,
                       HeldArchive* held) {
    Decide decide(*held->paths, command.reporter);
    for (const std::string& source : sources) walk_source(source, options, decide);
    if (command.reporter.stop_requested()) return false;
    held->paths->follow_decisions();
    std::string temp_path;
    FILE* copy = create_delete_temp(command.archive_path, &temp_path);
    if (!copy) {
        report(command.reporter, msg::kDeleteTempNotCreated, command.archive_path, errno);
        return false;
    }
    held->original = command.archive;
    held->original_path = command.archive_path;
    command.archive = copy;
    command.staging_path = temp_path;
    if (!copy_kept(command, held, copy)) {
        const int error = errno;
        const bool stopped = command.reporter.stop_requested();
        end_update_copy(command, false, held);
        if (!stopped) report(command.reporter, msg::kDeleteWriteFailed, temp_path, error);
        return false;
    }
    return true;
}

bool end_update_copy(Command& command, bool commit, HeldArchive* held) {
    if (!held->original) return true;
    FILE* copy = command.archive;
    const std::string temp_path = command.staging_path;
    command.archive = nullptr;
    command.staging_path.clear();
    bool closed = copy && std::fflush(copy) == 0;
    if (copy) closed = std::fclose(copy) == 0 && closed;
    if (commit && closed && !command.reporter.stop_requested()) {
        FILE* original = held->original;
        held->original = nullptr;
        // The one step that changes the archive.
        if (platform::replace_held_file(original, temp_path.c_str(), held->original_path.c_str())) return true;
        report(command.reporter, msg::kDeleteReplaceFailed, held->original_path, errno);
        platform::remove_file(temp_path.c_str());
        return false;
    }
    platform::remove_file(temp_path.c_str());
    command.archive = held->original;
    held->original = nullptr;
    return !commit;
}

}  // namespace vellum
