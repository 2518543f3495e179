// Win32 implementation of the output tree and of file information, in UTF-8
// paths handed to the system as UTF-16 (win32_paths.h). Windows has
// no calls relative to a folder handle, so each folder of the tree is held open
// without delete sharing while it is in use: it cannot be renamed, removed or
// replaced by a link meanwhile, and names below it are reached by full paths
// through it. Reparse points (links, junctions) are never entered.
#include "platform/output_tree.h"
#include "platform/win32_paths.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>

namespace vellum {
namespace platform {
namespace {

constexpr int64_t kEpochDifference = 11644473600;  // 1601 to 1970, in seconds

int error_of(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ENOENT;
        case ERROR_ACCESS_DENIED: return EACCES;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS: return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_DIRECTORY: return ENOTDIR;
        default: return EIO;
    }
}

bool fail(int* error) {
    *error = error_of(GetLastError());
    return false;
}

HANDLE handle_of(const Folder& folder) { return reinterpret_cast<HANDLE>(folder.handle); }

bool plain_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string child_path(const Folder& folder, const std::string& name) {
    if (folder.path.empty() || folder.path.back() == '\\' || folder.path.back() == '/') return folder.path + name;
    return folder.path + '\\' + name;
}

FILETIME file_time(int64_t seconds, uint32_t nanoseconds) {
    const uint64_t ticks = static_cast<uint64_t>(seconds + kEpochDifference) * 10000000u + nanoseconds / 100;
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(ticks);
    t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return t;
}

void fill_info(DWORD attributes, const FILETIME& written, uint64_t size, ItemInfo* info) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        info->kind = InfoKind::link;
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        info->kind = InfoKind::folder;
    else if (attributes & FILE_ATTRIBUTE_DEVICE)
        info->kind = InfoKind::special;
    else
        info->kind = InfoKind::file;
    info->mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) info->mode |= 0111;
    const uint64_t ticks = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    info->seconds = static_cast<int64_t>(ticks / 10000000u) - kEpochDifference;
    info->nanoseconds = static_cast<uint32_t>(ticks % 10000000u) * 100;
    info->size = size;
}

bool handle_info(HANDLE handle, ItemInfo* info) {
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(handle, &data)) return false;
    fill_info(data.dwFileAttributes, data.ftLastWriteTime,
              (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, info);
    info->id.volume = data.dwVolumeSerialNumber;
    info->id.index = (static_cast<uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info->links = data.nNumberOfLinks;
    return true;
}

// A folder held open: shared for reading and writing, never for deleting.
std::wstring sys(const std::string& path) { return system_path(path.c_str()); }

HANDLE open_folder_handle(const std::string& path, bool follow) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileW(sys(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
}


}  // namespace

bool item_info(const std::string& path, bool follow_links, ItemInfo* info, int* error) {
    *info = ItemInfo();
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle = CreateFileW(sys(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
        *error = error_of(code);
        return false;
    }
    const bool ok = handle_info(handle, info);
    CloseHandle(handle);
    return ok || fail(error);
}

bool stream_info(FILE* file, ItemInfo* info) {
    *info = ItemInfo();
    return handle_info(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), info);
}

bool read_link(const std::string&, std::string*, int* error) {
    *error = ENOSYS;
    return false;
}

Folder::~Folder() {
    if (handle != -1) CloseHandle(handle_of(*this));
}

Folder::Folder(Folder&& other) noexcept : handle(other.handle), path(std::move(other.path)) { other.handle = -1; }

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (handle != -1) CloseHandle(handle_of(*this));
        handle = other.handle;
        path = std::move(other.path);
        other.handle = -1;
    }
    return *this;
}

bool Folder::open() const { return handle != -1; }

FolderOpen open_destination(const std::string& path, bool create, Folder* out, int* error) {
    *out = Folder();
    const std::string where = path.empty() ? "." : path;
    if (create) {
        for (size_t at = 1; at <= where.size(); ++at) {
            if (at < where.size() && where[at] != '\\' && where[at] != '/') continue;
            if (at > 0 && where[at - 1] == ':') continue;  // a drive names no folder of its own
            CreateDirectoryW(sys(where.substr(0, at)).c_str(), nullptr);
        }
    }
    const HANDLE handle = open_folder_handle(where, true);
    if (handle == INVALID_HANDLE_VALUE) {
        fail(error);
        return FolderOpen::failed;
    }
    ItemInfo info;
    if (!handle_info(handle, &info) || info.kind != InfoKind::folder) {
        CloseHandle(handle);
        return FolderOpen::not_folder;
    }
    out->handle = reinterpret_cast<intptr_t>(handle);
    out->path = where;
    return FolderOpen::ok;
}

FolderOpen open_child(const Folder& parent, const std::string& name, bool create, Folder* out, int* error) {
    *out = Folder();
    if (!plain_name(name)) {
        *error = EINVAL;
        return FolderOpen::failed;
    }
    const std::string path = child_path(parent, name);
    if (create && !CreateDirectoryW(sys(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fail(error);
        return FolderOpen::failed;
    }
    const HANDLE handle = open_folder_handle(path, false);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        ItemInfo info;
        int ignored = 0;
        if (item_info(path, false, &info, &ignored) && info.kind != InfoKind::missing)
            return info.kind == InfoKind::link ? FolderOpen::link : FolderOpen::not_folder;
        *error = error_of(code);
        return FolderOpen::failed;
    }
    ItemInfo info;
    if (!handle_info(handle, &info) || info.kind != InfoKind::folder) {
        CloseHandle(handle);
        return info.kind == InfoKind::link ? FolderOpen::link : FolderOpen::not_folder;
    }
    out->handle = reinterpret_cast<intptr_t>(handle);
    out->path = path;
    return FolderOpen::ok;
}

bool info_in(const Folder& folder, const std::string& name, ItemInfo* info, int* error) {
    return item_info(child_path(folder, name), false, info, error);
}

FILE* create_new_file_in(const Folder& folder, const std::string& name, int* error) {
    if (!plain_name(name)) {
        *error = EINVAL;
        return nullptr;
    }
    const std::wstring path = sys(child_path(folder, name));
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fail(error);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    FILE* file = fd >= 0 ? _fdopen(fd, "wb+") : nullptr;
    if (file) return file;
    *error = EIO;
    if (fd >= 0)
        _close(fd);
    else
        CloseHandle(handle);
    DeleteFileW(path.c_str());
    return nullptr;
}

bool rename_in(const Folder& from_folder, const std::string& from, const Folder& to_folder, const std::string& to,
               int* error) {
    if (!plain_name(to)) {
        *error = EINVAL;
        return false;
    }
    return MoveFileExW(sys(child_path(from_folder, from)).c_str(), sys(child_path(to_folder, to)).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != 0 ||
           fail(error);
}

bool remove_in(const Folder& folder, const std::string& name) {
    return plain_name(name) && DeleteFileW(sys(child_path(folder, name)).c_str()) != 0;
}

bool make_link_in(const Folder&, const std::string&, const std::string&, int* error) {
    *error = ENOSYS;
    return false;
}

bool make_hard_link_in(const Folder& from_folder, const std::string& from, const Folder& to_folder,
                       const std::string& to, int* error) {
    if (!plain_name(from) || !plain_name(to)) {
        *error = EINVAL;
        return false;
    }
    return CreateHardLinkW(sys(child_path(to_folder, to)).c_str(), sys(child_path(from_folder, from)).c_str(),
                           nullptr) != 0 ||
           fail(error);
}

bool set_link_time_in(const Folder&, const std::string&, int64_t, uint32_t, int* error) {
    *error = ENOSYS;
    return false;
}

// Windows keeps of the mode only whether the file may be written.
bool set_file_attributes(FILE* file, uint32_t mode, int64_t seconds, uint32_t nanoseconds, int* error) {
    if (std::fflush(file) != 0) {
        *error = EIO;
        return false;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return fail(error);
    const FILETIME t = file_time(seconds, nanoseconds);
    basic.LastWriteTime.LowPart = t.dwLowDateTime;
    basic.LastWriteTime.HighPart = static_cast<LONG>(t.dwHighDateTime);
    basic.FileAttributes = (mode & 0200) ? (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY)
                                         : (basic.FileAttributes | FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0 || fail(error);
}

bool set_folder_attributes(const Folder& folder, uint32_t, int64_t seconds, uint32_t nanoseconds, int* error) {
    const FILETIME t = file_time(seconds, nanoseconds);
    return SetFileTime(handle_of(folder), nullptr, nullptr, &t) != 0 || fail(error);
}

bool set_file_attributes_in(const Folder& folder, const std::string& name, uint32_t mode, int64_t seconds,
                            uint32_t nanoseconds, int* error) {
    if (!plain_name(name)) {
        *error = EINVAL;
        return false;
    }
    // The name itself, never what a reparse point leads to.
    const HANDLE handle = CreateFileW(sys(child_path(folder, name)).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return fail(error);
    FILE_BASIC_INFO basic;
    bool ok = GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) != 0;
    if (ok && (basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(handle);
        *error = EINVAL;
        return false;
    }
    if (ok) {
        const FILETIME t = file_time(seconds, nanoseconds);
        basic.LastWriteTime.LowPart = t.dwLowDateTime;
        basic.LastWriteTime.HighPart = static_cast<LONG>(t.dwHighDateTime);
        basic.FileAttributes = (mode & 0200) ? (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY)
                                             : (basic.FileAttributes | FILE_ATTRIBUTE_READONLY);
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ok = SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
    }
    if (!ok) fail(error);
    CloseHandle(handle);
    return ok;
}

bool folder_identity(const Folder& folder, FolderId* id) {
    ItemInfo info;
    if (!handle_info(handle_of(folder), &info)) return false;
    *id = info.id;
    return true;
}

}  // namespace platform
}  // namespace vellum
