// POSIX implementation of the output tree and of file information: descriptors
// of open folders and the *at calls relative to them, never following a link.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "platform/output_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vellum {
namespace platform {
namespace {

void fill_info(const struct stat& st, ItemInfo* info) {
    if (S_ISLNK(st.st_mode))
        info->kind = InfoKind::link;
    else if (S_ISDIR(st.st_mode))
        info->kind = InfoKind::folder;
    else if (S_ISREG(st.st_mode))
        info->kind = InfoKind::file;
    else
        info->kind = InfoKind::special;
    info->mode = static_cast<uint32_t>(st.st_mode & 07777);
    info->seconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    info->nanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    info->size = static_cast<uint64_t>(st.st_size);
    info->id.volume = static_cast<uint64_t>(st.st_dev);
    info->id.index = static_cast<uint64_t>(st.st_ino);
    info->links = static_cast<uint64_t>(st.st_nlink);
}

bool fail(int* error) {
    *error = errno ? errno : EIO;
    return false;
}

int fd_of(const Folder& folder) { return static_cast<int>(folder.handle); }

// One name of one level: no separator, not "." or "..", not empty.
bool plain_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool set_times(int fd, const char* name, int64_t seconds, uint32_t nanoseconds, int flags) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(nanoseconds);
    return name ? utimensat(fd, name, times, flags) == 0 : futimens(fd, times) == 0;
}


}  // namespace

bool item_info(const std::string& path, bool follow_links, ItemInfo* info, int* error) {
    *info = ItemInfo();
    struct stat st;
    if ((follow_links ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return true;
        return fail(error);
    }
    fill_info(st, info);
    return true;
}

bool stream_info(FILE* file, ItemInfo* info) {
    *info = ItemInfo();
    struct stat st;
    if (fstat(fileno(file), &st) != 0) return false;
    fill_info(st, info);
    return true;
}

bool read_link(const std::string& path, std::string* target, int* error) {
    std::string buffer(4096, '\0');
    for (;;) {
        const ssize_t length = readlink(path.c_str(), &buffer[0], buffer.size());
        if (length < 0) return fail(error);
        if (static_cast<size_t>(length) < buffer.size()) {
            target->assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        if (buffer.size() >= (size_t{1} << 20)) {
            *error = ENAMETOOLONG;
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
}

Folder::~Folder() {
    if (handle >= 0) close(fd_of(*this));
}

Folder::Folder(Folder&& other) noexcept : handle(other.handle), path(std::move(other.path)) { other.handle = -1; }

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (handle >= 0) close(fd_of(*this));
        handle = other.handle;
        path = std::move(other.path);
        other.handle = -1;
    }
    return *this;
}

bool Folder::open() const { return handle >= 0; }

FolderOpen open_destination(const std::string& path, bool create, Folder* out, int* error) {
    *out = Folder();
    if (create) {
        // Every missing level, as the user named it (links on the way are theirs).
        for (size_t at = 1; at <= path.size(); ++at) {
            if (at < path.size() && path[at] != '/') continue;
            const std::string level = path.substr(0, at);
            if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) break;
        }
    }
    const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOTDIR) return FolderOpen::not_folder;
        fail(error);
        return FolderOpen::failed;
    }
    out->handle = fd;
    out->path = path;
    return FolderOpen::ok;
}

FolderOpen open_child(const Folder& parent, const std::string& name, bool create, Folder* out, int* error) {
    *out = Folder();
    if (!plain_name(name)) {
        *error = EINVAL;
        return FolderOpen::failed;
    }
    if (create && mkdirat(fd_of(parent), name.c_str(), 0777) != 0 && errno != EEXIST) {
        fail(error);
        return FolderOpen::failed;
    }
    const int fd = openat(fd_of(parent), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int why = errno;
        struct stat st;
        if (fstatat(fd_of(parent), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode)) return FolderOpen::link;
            if (!S_ISDIR(st.st_mode)) return FolderOpen::not_folder;
        }
        *error = why ? why : EIO;
        return FolderOpen::failed;
    }
    out->handle = fd;
    out->path = parent.path + (parent.path.empty() || parent.path.back() == '/' ? "" : "/") + name;
    return FolderOpen::ok;
}

bool info_in(const Folder& folder, const std::string& name, ItemInfo* info, int* error) {
    *info = ItemInfo();
    struct stat st;
    if (fstatat(fd_of(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return true;
        return fail(error);
    }
    fill_info(st, info);
    return true;
}

FILE* create_new_file_in(const Folder& folder, const std::string& name, int* error) {
    if (!plain_name(name)) {
        *error = EINVAL;
        return nullptr;
    }
    const int fd = openat(fd_of(folder), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        fail(error);
        return nullptr;
    }
    FILE* file = fdopen(fd, "wb+");
    if (file) return file;
    fail(error);
    close(fd);
    unlinkat(fd_of(folder), name.c_str(), 0);
    return nullptr;
}

bool rename_in(const Folder& from_folder, const std::string& from, const Folder& to_folder, const std::string& to,
               int* error) {
    if (!plain_name(to)) {
        *error = EINVAL;
        return false;
    }
    return renameat(fd_of(from_folder), from.c_str(), fd_of(to_folder), to.c_str()) == 0 || fail(error);
}

bool remove_in(const Folder& folder, const std::string& name) {
    return plain_name(name) && unlinkat(fd_of(folder), name.c_str(), 0) == 0;
}

bool make_link_in(const Folder& folder, const std::string& name, const std::string& target, int* error) {
    if (!plain_name(name) || target.find('\0') != std::string::npos) {
        *error = EINVAL;
        return false;
    }
    return symlinkat(target.c_str(), fd_of(folder), name.c_str()) == 0 || fail(error);
}

bool make_hard_link_in(const Folder& from_folder, const std::string& from, const Folder& to_folder,
                       const std::string& to, int* error) {
    if (!plain_name(from) || !plain_name(to)) {
        *error = EINVAL;
        return false;
    }
    // Flags 0: a link at `from` is linked itself, never what it leads to.
    return linkat(fd_of(from_folder), from.c_str(), fd_of(to_folder), to.c_str(), 0) == 0 || fail(error);
}

bool set_link_time_in(const Folder& folder, const std::string& name, int64_t seconds, uint32_t nanoseconds,
                      int* error) {
    return set_times(fd_of(folder), name.c_str(), seconds, nanoseconds, AT_SYMLINK_NOFOLLOW) || fail(error);
}

bool set_file_attributes(FILE* file, uint32_t mode, int64_t seconds, uint32_t nanoseconds, int* error) {
    if (std::fflush(file) != 0) return fail(error);
    const int fd = fileno(file);
    return (fchmod(fd, static_cast<mode_t>(mode & 07777)) == 0 && set_times(fd, nullptr, seconds, nanoseconds, 0)) ||
           fail(error);
}

bool set_folder_attributes(const Folder& folder, uint32_t mode, int64_t seconds, uint32_t nanoseconds,
                           int* error) {
    const int fd = fd_of(folder);
    return (fchmod(fd, static_cast<mode_t>(mode & 07777)) == 0 && set_times(fd, nullptr, seconds, nanoseconds, 0)) ||
           fail(error);
}

bool set_file_attributes_in(const Folder& folder, const std::string& name, uint32_t mode, int64_t seconds,
                            uint32_t nanoseconds, int* error) {
    if (!plain_name(name)) {
        *error = EINVAL;
        return false;
    }
    // O_NONBLOCK: a pipe swapped in meanwhile must not hold the open.
    const int fd = openat(fd_of(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(error);
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        ok = false;
    }
    ok = ok && fchmod(fd, static_cast<mode_t>(mode & 07777)) == 0 && set_times(fd, nullptr, seconds, nanoseconds, 0);
    if (!ok) fail(error);
    close(fd);
    return ok;
}

bool folder_identity(const Folder& folder, FolderId* id) {
    struct stat st;
    if (fstat(fd_of(folder), &st) != 0) return false;
    id->volume = static_cast<uint64_t>(st.st_dev);
    id->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

}  // namespace platform
}  // namespace vellum
