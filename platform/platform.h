// Files and folders: the one seam between the core and the operating system.
// Every function returns a plain result; none of them prints or throws.
// Paths are 8-bit texts: UTF-8 on Windows, whatever the code page of the process
// (the Win32 side speaks UTF-16 to the system, and paths of any length work
// there); the bytes the file system uses elsewhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vellum {
namespace platform {

// fopen with 64-bit offsets enabled where the C library needs it.
FILE* open_file(const char* path, const char* mode);

// Opens a regular file for reading ("rb") without ever blocking on what is
// there: nullptr, with *special set, when the name leads to anything else.
FILE* open_regular_file(const char* path, bool* special);

// Absolute 64-bit seek from the start of the stream.
bool seek_to(FILE* file, uint64_t offset);
bool seek_to_end(FILE* file);
// Current 64-bit position; false when it cannot be read.
bool tell(FILE* file, uint64_t* position);

// Size of the named file; false when it does not exist or is not a regular file.
bool file_size(const char* path, uint64_t* size);

bool is_folder(const char* path);

// The absolute form of a path, with "." and ".." resolved; empty on failure.
std::string full_path(const char* path);

// True when the folder exists afterwards, whether made here or already there.
bool create_folder(const char* path);

// What a name leads to, links followed. Only files and folders are ever added:
// a pipe, socket or device would block a read or give no stable content.
enum class ItemKind {
    file,     // a regular file, or a name whose kind cannot be read (the open then fails)
    folder,
    special,  // a named pipe, socket, device or anything else
};

ItemKind item_kind(const char* path);

struct FolderItem {
    std::string name;
    bool is_folder = false;
    ItemKind kind = ItemKind::file;
};

// Names in one folder, in the order the file system returns them, without "." and "..".
// False (and no items) when the folder cannot be enumerated.
bool list_folder(const char* path, std::vector<FolderItem>* items);

// Renames from over to in one step, replacing an existing file of that name.
bool replace_file(const char* from, const char* to);

bool remove_file(const char* path);

// A large table of zero bytes straight from the system: its pages cost memory
// only once touched, and on systems that offer them it asks for 2 MiB pages, as
// the codec's tables are read at random and would otherwise miss the address
// cache at almost every lookup. nullptr when memory runs out.
void* allocate_table(size_t bytes);
void release_table(void* table, size_t bytes);

// Flushes the stream and asks the system to put its file on disk, so a file
// about to replace another is whole even after a crash.
bool sync_file(FILE* file);

// Flushes the stream and cuts its file to length bytes.
bool truncate_file(FILE* file, uint64_t length);

// Identity of a folder, equal for every path that leads to it (links included).
struct FolderId {
    uint64_t volume = 0;
    uint64_t index = 0;
};

bool folder_id(const char* path, FolderId* id);
// The same identity for any file or folder (links followed).
bool file_id(const char* path, FolderId* id);

inline bool same_folder(const FolderId& a, const FolderId& b) {
    return a.volume == b.volume && a.index == b.index;
}

// The identity of the file an open stream reads, whatever its name is now.
bool stream_id(FILE* file, FolderId* id);

// True when the path itself is a symbolic link (a reparse point on Windows),
// whatever it leads to; false when it is anything else or nothing.
bool is_link(const char* path);

// Creates a new, empty file for reading and writing ("wb+"). Fails when anything
// of that name exists, a link included: it never truncates an existing file and
// never writes through a link.
FILE* create_new_file(const char* path);

// A new, empty file for reading and writing in the system's folder for
// temporary files, removed once it is closed or the process ends. nullptr on
// failure, errno telling why.
FILE* create_scratch_file();

// Makes a standard stream carry bytes as they are, with no newline translation
// (a no-op where streams never translate).
void use_binary_mode(FILE* stream);

// The running process's number, to tell the names two processes make apart.
uint64_t process_number();

// text, read in the system's legacy 8-bit code page (the one programs used for
// names before UTF-8), as UTF-8. False where the system has no such code page;
// the caller then chooses one.
bool legacy_to_utf8(const std::string& text, std::string* utf8);

// --- locks between commands ----------------------------------------------------

enum class LockResult {
    locked,
    busy,    // another holder has it; nothing waited for
    failed,  // the system could not lock this file
};

// Locks an open file without waiting: shared locks go together, an exclusive one
// stands alone. The lock lasts until the stream is closed. It is advisory: it
// keeps out only those who ask for it, and never blocks a plain read or write.
LockResult lock_file(FILE* file, bool exclusive);

// replace_file for a `to` held open (and locked) through `held`: the lock is kept
// up to the replacement where the system can rename over an open file, and
// dropped just before it where it cannot. `held` is closed in every case.
bool replace_held_file(FILE* held, const char* from, const char* to);

// remove_file for a file held open through `held`, which is closed in every case.
bool remove_held_file(FILE* held, const char* path);

}  // namespace platform
}  // namespace vellum
