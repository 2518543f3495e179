// The one way extraction creates or changes anything on disk. Every folder, file
// and link below the destination is reached from the handle of the folder above
// it, never by a path the system would resolve anew: a name is never followed
// through a link, whether the archive made it, it was there before, or another
// process swaps one in while the extraction runs. Folders are opened one level
// at a time refusing links; files are created under new names and renamed into
// place, so a link or file at the final name is replaced, never written through;
// modes and times are set through the open file or folder, not by name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_info.h"

namespace vellum {
namespace platform {

// An open folder of the output tree. Move-only; closed when destroyed.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    bool open() const;

    // Implementation: a descriptor on POSIX; on Windows a handle held without
    // delete sharing (so the folder cannot be renamed or replaced meanwhile) and
    // its full path.
    intptr_t handle = -1;
    std::string path;
};

enum class FolderOpen {
    ok,
    link,        // the name is a link: never entered
    not_folder,  // a file or something else stands there
    failed,      // *error says why
};

// The destination the user chose, created with every missing level when `create`.
// It may be reached through links: it is the user's own choice.
FolderOpen open_destination(const std::string& path, bool create, Folder* out, int* error);

// The folder `name` inside `parent`, made first when missing and `create`.
FolderOpen open_child(const Folder& parent, const std::string& name, bool create, Folder* out, int* error);

// What `name` inside `folder` is, the name itself (a link is a link).
bool info_in(const Folder& folder, const std::string& name, ItemInfo* info, int* error);

// A new file `name`, opened for reading and writing, readable by its owner
// alone until it takes its place. Fails (EEXIST) when anything of that name
// exists, a link included: it never truncates a file, never writes through a link.
FILE* create_new_file_in(const Folder& folder, const std::string& name, int* error);

// Renames `from` in `from_folder` to `to` in `to_folder`, replacing a file or a
// link of that name (never what it leads to); a folder there is not replaced.
bool rename_in(const Folder& from_folder, const std::string& from, const Folder& to_folder, const std::string& to,
               int* error);

// Removes the file or link `name` (never a folder).
bool remove_in(const Folder& folder, const std::string& name);

// A symbolic link `name` holding `target`, never followed. False with ENOSYS
// where the system has no links for us.
bool make_link_in(const Folder& folder, const std::string& name, const std::string& target, int* error);

// A second name for the file `from` in `from_folder` (a hard link).
bool make_hard_link_in(const Folder& from_folder, const std::string& from, const Folder& to_folder,
                       const std::string& to, int* error);

// Modification time of the link `name` itself.
bool set_link_time_in(const Folder& folder, const std::string& name, int64_t seconds, uint32_t nanoseconds,
                      int* error);

// Permission bits and modification time through the open file or folder.
bool set_file_attributes(FILE* file, uint32_t mode, int64_t seconds, uint32_t nanoseconds, int* error);
bool set_folder_attributes(const Folder& folder, uint32_t mode, int64_t seconds, uint32_t nanoseconds,
                           int* error);
// The same for the file `name` of `folder` once it stands in its place: opened
// without following a link, and only when it is a regular file (EINVAL else).
bool set_file_attributes_in(const Folder& folder, const std::string& name, uint32_t mode, int64_t seconds,
                            uint32_t nanoseconds, int* error);

// Identity of the open folder.
bool folder_identity(const Folder& folder, FolderId* id);

}  // namespace platform
}  // namespace vellum
