#include "archive/archive_lock.h"

#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {

FILE* open_locked(const std::string& path, const char* mode, bool exclusive, Reporter& reporter,
                  LockedOpen* result) {
    // Each retry follows a replacement that finished; a handful is plenty.
    for (int attempt = 0; attempt < 16; ++attempt) {
        FILE* file = platform::open_file(path.c_str(), mode);
        if (file == nullptr) break;
        const platform::LockResult lock = platform::lock_file(file, exclusive);
        if (lock == platform::LockResult::busy) {
            std::fclose(file);
            report(reporter, msg::kArchiveBusy, path);
            *result = LockedOpen::busy;
            return nullptr;
        }
        // A file system without locks still gets the command; only the guard is lost.
        platform::FolderId held, named;
        if (!platform::stream_id(file, &held) || !platform::file_id(path.c_str(), &named) ||
            platform::same_folder(held, named)) {
            *result = LockedOpen::ok;
            return file;
        }
        std::fclose(file);
    }
    *result = LockedOpen::cannot_open;
    return nullptr;
}

}  // namespace vellum
