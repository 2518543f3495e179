// Entry paths between the archive and the disk. The archive stores folder paths
// with backslashes (docs\sub\) and names as 8-bit bytes; on systems whose separator
// is the slash, a stored backslash becomes a slash on disk and back.
#pragma once

#include <string>

namespace vellum {

#ifdef _WIN32
constexpr char kNativeSeparator = '\\';
#else
constexpr char kNativeSeparator = '/';
#endif

// The archive form of a native relative path, and the native form of an archive one.
std::string archive_form(const std::string& native);
std::string native_form(const std::string& archive);

// True when an entry may be written below the destination: no absolute folder
// path, no drive, no ".." (or ".") component, no separator inside the file name,
// no empty component, and a non-empty name.
bool is_safe_entry_path(const std::string& folder_path, const std::string& file_name);

// Creates every folder along `path` (native form), ignoring those that exist; a
// separator right after a drive colon names no folder of its own.
bool create_folders(const std::string& path);

// `folder` with a trailing native separator (unchanged when it has one or is empty).
std::string with_separator(const std::string& folder);

}  // namespace vellum
