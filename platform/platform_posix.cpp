// POSIX implementation of the platform seam.
// 64-bit offsets on 32-bit systems too; must come before any system header.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace vellum {
namespace platform {

FILE* open_file(const char* path, const char* mode) {
    return std::fopen(path, mode);
}

FILE* open_regular_file(const char* path, bool* special) {
    *special = false;
    // O_NONBLOCK: a pipe with no writer would otherwise hold the open forever.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *special = !S_ISDIR(st.st_mode);
        close(fd);
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) close(fd);
    return file;
}

bool seek_to(FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool seek_to_end(FILE* file) {
    return fseeko(file, 0, SEEK_END) == 0;
}

bool tell(FILE* file, uint64_t* position) {
    off_t p = ftello(file);
    if (p < 0) return false;
    *position = static_cast<uint64_t>(p);
    return true;
}

bool file_size(const char* path, uint64_t* size) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool is_folder(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string full_path(const char* path) {
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) return std::string();
    std::string result = resolved;
    std::free(resolved);
    return result;
}

bool create_folder(const char* path) {
    if (mkdir(path, 0777) == 0) return true;
    return errno == EEXIST && is_folder(path);
}

ItemKind item_kind(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return ItemKind::file;
    if (S_ISDIR(st.st_mode)) return ItemKind::folder;
    return S_ISREG(st.st_mode) ? ItemKind::file : ItemKind::special;
}

// d_type is not filled by every file system, and a link must count as what it
// leads to, so unknown and link entries are asked with stat.
static ItemKind entry_kind(const std::string& folder, const struct dirent* entry) {
#ifdef DT_DIR
    if (entry->d_type == DT_DIR) return ItemKind::folder;
    if (entry->d_type == DT_REG) return ItemKind::file;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return ItemKind::special;
#endif
    std::string full = folder;
    if (full.empty() || full.back() != '/') full += '/';
    full += entry->d_name;
    return item_kind(full.c_str());
}

bool list_folder(const char* path, std::vector<FolderItem>* items) {
    items->clear();
    DIR* dir = opendir(path);
    if (dir == nullptr) return false;
    const std::string folder = path;
    while (const struct dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        FolderItem item;
        item.name = entry->d_name;
        item.kind = entry_kind(folder, entry);
        item.is_folder = item.kind == ItemKind::folder;
        items->push_back(item);
    }
    closedir(dir);
    return true;
}

bool replace_file(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}

bool remove_file(const char* path) {
    return unlink(path) == 0;
}

// Address sanitizer builds keep the heap, so the sanitizer sees table bounds.
#if defined(__SANITIZE_ADDRESS__)
void* allocate_table(size_t bytes) { return std::calloc(bytes, 1); }
void release_table(void* table, size_t) { std::free(table); }
#else
constexpr size_t kLargePage = size_t{1} << 21;

// Over-maps by one large page and trims, so the table starts on a large-page
// boundary where the system can back it with whole large pages.
void* allocate_table(size_t bytes) {
    if (bytes == 0) bytes = 1;
    const size_t mapped = bytes + kLargePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kLargePage - 1) & ~(uintptr_t{kLargePage} - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const size_t tail = mapped - (aligned - start) - bytes;
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
#ifdef MADV_HUGEPAGE
    if (bytes >= kLargePage) madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void release_table(void* table, size_t bytes) {
    if (table) munmap(table, bytes == 0 ? 1 : bytes);
}
#endif

bool sync_file(FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool truncate_file(FILE* file, uint64_t length) {
    if (length > static_cast<uint64_t>(INT64_MAX)) return false;
    if (std::fflush(file) != 0) return false;
    return ftruncate(fileno(file), static_cast<off_t>(length)) == 0;
}

static bool identify(const char* path, FolderId* id, bool want_folder) {
    struct stat st;
    if (stat(path, &st) != 0 || (want_folder && !S_ISDIR(st.st_mode))) return false;
    id->volume = static_cast<uint64_t>(st.st_dev);
    id->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool folder_id(const char* path, FolderId* id) { return identify(path, id, true); }

bool file_id(const char* path, FolderId* id) { return identify(path, id, false); }

bool stream_id(FILE* file, FolderId* id) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0) return false;
    id->volume = static_cast<uint64_t>(st.st_dev);
    id->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool is_link(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
}

FILE* create_new_file(const char* path) {
    // O_EXCL also refuses a link of that name, even a dangling one.
    const int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb+");
    if (file == nullptr) {
        close(fd);
        unlink(path);
    }
    return file;
}

FILE* create_scratch_file() { return std::tmpfile(); }

void use_binary_mode(FILE*) {}

uint64_t process_number() { return static_cast<uint64_t>(getpid()); }

// Names here are the file system's bytes; no code page belongs to the system.
bool legacy_to_utf8(const std::string&, std::string*) { return false; }

// flock, not fcntl: its lock belongs to the open file, so closing some other
// stream of the same file in this process does not drop it.
LockResult lock_file(FILE* file, bool exclusive) {
    if (flock(fileno(file), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return LockResult::locked;
    return errno == EWOULDBLOCK || errno == EAGAIN ? LockResult::busy : LockResult::failed;
}

// A rename over an open file is allowed here, so the lock covers the change.
bool replace_held_file(FILE* held, const char* from, const char* to) {
    const bool replaced = replace_file(from, to);
    std::fclose(held);
    return replaced;
}

bool remove_held_file(FILE* held, const char* path) {
    const bool removed = remove_file(path);
    std::fclose(held);
    return removed;
}

}  // namespace platform
}  // namespace vellum
