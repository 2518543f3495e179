// Win32 implementation of the platform seam. Paths come in and names go out as
// UTF-8; the system is asked through its wide (UTF-16) entry points, so every
// name a user can have works whatever the process's code page, and a path of
// MAX_PATH characters or more is handed over in the \\?\ form, which has no such
// limit.
#include "platform/platform.h"
#include "platform/win32_paths.h"

#include <windows.h>

#include "platform/wide_text.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vellum {
namespace platform {
namespace {

std::wstring wide(const char* text) { return utf8_to_wide(text); }
std::string narrow(const wchar_t* text) { return wide_to_utf8(text); }

// The absolute form of a wide path: "." and ".." resolved, slashes made
// backslashes, against the current folder when relative. Empty on failure.
std::wstring full_wide(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::wstring out(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, &out[0], nullptr);
    if (length == 0 || length >= needed) return std::wstring();
    out.resize(length);
    return out;
}

// CreateDirectoryW takes at most MAX_PATH - 12 characters in the plain form, the
// other calls MAX_PATH - 1; from there on the \\?\ form is used. That form is
// taken literally by the system, so it is made from the full path.
constexpr size_t kPlainPathLimit = MAX_PATH - 12;

bool is_absolute(const std::wstring& path) {
    return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
           path.compare(0, 2, L"\\\\") == 0;
}

}  // namespace

std::wstring system_path(const char* path) {
    std::wstring w = wide(path);
    if (w.compare(0, 4, L"\\\\?\\") == 0 || (is_absolute(w) && w.size() < kPlainPathLimit)) return w;
    // A relative path counts with the current folder in front of it.
    std::wstring full = full_wide(w);
    if (full.size() < kPlainPathLimit) return w;
    if (full.compare(0, 4, L"\\\\?\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
    return L"\\\\?\\" + full;
}

namespace {

DWORD attributes_of(const char* path) { return GetFileAttributesW(system_path(path).c_str()); }

}  // namespace

FILE* open_file(const char* path, const char* mode) {
    return _wfopen(system_path(path).c_str(), wide(mode).c_str());
}

// Only disk files: a name such as CON or a pipe would block a read.
FILE* open_regular_file(const char* path, bool* special) {
    *special = false;
    if (item_kind(path) != ItemKind::file) {
        *special = !is_folder(path);
        return nullptr;
    }
    FILE* file = open_file(path, "rb");
    if (file == nullptr) return nullptr;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(file);
        *special = true;
        return nullptr;
    }
    return file;
}

bool seek_to(FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool seek_to_end(FILE* file) {
    return _fseeki64(file, 0, SEEK_END) == 0;
}

bool tell(FILE* file, uint64_t* position) {
    __int64 p = _ftelli64(file);
    if (p < 0) return false;
    *position = static_cast<uint64_t>(p);
    return true;
}

bool file_size(const char* path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(system_path(path).c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool is_folder(const char* path) {
    DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string full_path(const char* path) {
    const std::wstring full = full_wide(wide(path));
    return full.empty() ? std::string() : narrow(full.c_str());
}

ItemKind item_kind(const char* path) {
    const DWORD attributes = attributes_of(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return ItemKind::file;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ItemKind::folder;
    return (attributes & FILE_ATTRIBUTE_DEVICE) ? ItemKind::special : ItemKind::file;
}

bool create_folder(const char* path) {
    if (CreateDirectoryW(system_path(path).c_str(), nullptr)) return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && is_folder(path);
}

bool list_folder(const char* path, std::vector<FolderItem>* items) {
    items->clear();
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += "*";
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(system_path(pattern.c_str()).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) continue;
        FolderItem item;
        item.name = narrow(found.cFileName);
        item.is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.kind = item.is_folder ? ItemKind::folder
                    : (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) ? ItemKind::special
                                                                         : ItemKind::file;
        items->push_back(item);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return true;
}

bool replace_file(const char* from, const char* to) {
    return MoveFileExW(system_path(from).c_str(), system_path(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool remove_file(const char* path) {
    return DeleteFileW(system_path(path).c_str()) != 0;
}

// Committed pages read as zero and take memory only once touched.
void* allocate_table(size_t bytes) {
    return VirtualAlloc(nullptr, bytes == 0 ? 1 : bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void release_table(void* table, size_t) {
    if (table) VirtualFree(table, 0, MEM_RELEASE);
}

bool sync_file(FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool truncate_file(FILE* file, uint64_t length) {
    if (length > static_cast<uint64_t>(INT64_MAX)) return false;
    if (std::fflush(file) != 0) return false;
    return _chsize_s(_fileno(file), static_cast<__int64>(length)) == 0;
}

// Identity of any file or folder; `want_folder` restricts it to folders.
static bool identify(const char* path, FolderId* id, bool want_folder) {
    // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFile open a folder.
    HANDLE handle = CreateFileW(system_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(handle, &info) != 0 &&
              (!want_folder || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    CloseHandle(handle);
    if (!ok) return false;
    id->volume = info.dwVolumeSerialNumber;
    id->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool folder_id(const char* path, FolderId* id) { return identify(path, id, true); }

bool file_id(const char* path, FolderId* id) { return identify(path, id, false); }

static HANDLE handle_of(FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

bool stream_id(FILE* file, FolderId* id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_of(file), &info)) return false;
    id->volume = info.dwVolumeSerialNumber;
    id->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool is_link(const char* path) {
    const DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

FILE* create_new_file(const char* path) {
    // CREATE_NEW fails on any existing name, a link included.
    const std::wstring name = system_path(path);
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(name.c_str());
        return nullptr;
    }
    FILE* file = _fdopen(fd, "w+b");
    if (file == nullptr) {
        _close(fd);
        DeleteFileW(name.c_str());
    }
    return file;
}

FILE* create_scratch_file() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"vlm", 0, name) == 0) {
        errno = EACCES;
        return nullptr;
    }
    // The name exists now, empty; it goes when the last handle closes.
    HANDLE handle = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        errno = EACCES;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "w+b");
    if (file == nullptr) _close(fd);
    return file;
}

void use_binary_mode(FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

uint64_t process_number() { return GetCurrentProcessId(); }

// The code page of the system's locale for 8-bit text, whatever code page this
// process was given (a program that declares UTF-8 gets 65001 from GetACP).
bool legacy_to_utf8(const std::string& text, std::string* utf8) {
    UINT code_page = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&code_page), sizeof code_page / sizeof(WCHAR)) == 0 ||
        code_page == 0 || code_page == CP_UTF8)
        code_page = 1252;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return text.empty() ? (utf8->clear(), true) : false;
    std::wstring converted(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), size, &converted[0], length);
    *utf8 = narrow(converted.c_str());
    return true;
}

// Byte-range locks are mandatory here, so the lock sits on one byte far beyond
// any data: it keeps out other lockers and never a read or write of the file.
LockResult lock_file(FILE* file, bool exclusive) {
    OVERLAPPED where = {};
    where.OffsetHigh = 0x40000000;  // byte 2^62
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(handle_of(file), flags, 0, 1, 0, &where)) return LockResult::locked;
    const DWORD error = GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockResult::busy
                                                                     : LockResult::failed;
}

// An open file cannot be renamed over or deleted here, so it is closed first.
bool replace_held_file(FILE* held, const char* from, const char* to) {
    std::fclose(held);
    return replace_file(from, to);
}

bool remove_held_file(FILE* held, const char* path) {
    std::fclose(held);
    return remove_file(path);
}

}  // namespace platform
}  // namespace vellum
