// Entry paths between the archive and the disk. The archive stores folder paths
// with backslashes (docs\sub\) and names as 8-bit bytes; on systems whose separator
// is the slash, a stored backslash becomes a slash on disk and back.
#pragma once

#include <string>
#include <vector>

namespace vellum {

#ifdef _WIN32
constexpr char kNativeSeparator = '\\';
#else
constexpr char kNativeSeparator = '/';
#endif

// The archive form of a native relative path, and the native form of an archive
// one: its separators the system's, each name UTF-8 (name_encoding.h).
std::string archive_form(const std::string& native);
std::string native_form(const std::string& archive);

enum class PathCheck {
    safe,
    unsafe,       // absolute, a leading drive, "." or "..", an empty component
    stream_name,  // a ':' inside a name, which Windows reads as a stream name
    damaged,      // a NUL byte: no writer stores one, and a system call would cut the name there
};

// Whether an entry may be written below the destination: no absolute folder
// path, no leading drive ("C:\" or the drive-relative "C:docs\"; a file name
// "C:" alone counts too), no ".." (or ".") component, no separator inside the
// file name, no empty component, and a non-empty name. A ':' anywhere else is
// only a character on systems whose separator is the slash.
PathCheck check_entry_path(const std::string& folder_path, const std::string& file_name);

// The folder names of a stored folder path (docs\sub\ gives docs, sub), each in
// the form this system writes it (name_encoding.h). Only for paths
// check_entry_path finds safe.
std::vector<std::string> folder_parts(const std::string& folder_path);

// Adding: true when a name found on disk, stored under `folder_path` (archive
// form), extracts again as the same name: it holds no backslash (which reads back
// as a folder) and its path passes check_entry_path. `folder`: the name is a
// folder's, so it will stand in the folder paths of the files below it.
bool name_comes_back(const std::string& folder_path, const std::string& name, bool folder);

// Creates every folder along `path` (native form), ignoring those that exist; a
// separator right after a drive colon names no folder of its own.
bool create_folders(const std::string& path);

// `folder` with a trailing native separator (unchanged when it has one or is empty).
std::string with_separator(const std::string& folder);

}  // namespace vellum
