#include "archive/entry_path.h"

#include "archive/name_encoding.h"
#include "platform/platform.h"

namespace vellum {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::string replaced(std::string text, char from, char to) {
    for (char& c : text)
        if (c == from) c = to;
    return text;
}

bool is_safe_component(const std::string& part) {
    return !part.empty() && part != "." && part != "..";
}

bool is_drive_start(const std::string& text) {
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

}  // namespace

std::string archive_form(const std::string& native) { return replaced(native, '/', '\\'); }

std::string native_form(const std::string& archive) {
    // Each name between backslashes on its own: a folder written as UTF-8 keeps its
    // bytes even when a file below it carries a legacy name.
    std::string native;
    native.reserve(archive.size());
    size_t start = 0;
    for (;;) {
        const size_t end = archive.find('\\', start);
        native += name_from_archive(archive.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return native;
        native += kNativeSeparator;
        start = end + 1;
    }
}

PathCheck check_entry_path(const std::string& folder_path, const std::string& file_name) {
    if (folder_path.find('\0') != std::string::npos || file_name.find('\0') != std::string::npos)
        return PathCheck::damaged;
    if (!is_safe_component(file_name)) return PathCheck::unsafe;
    for (char c : file_name)
        if (is_separator(c)) return PathCheck::unsafe;
    if (folder_path.empty() ? file_name.size() == 2 && is_drive_start(file_name)
                            : is_drive_start(folder_path))
        return PathCheck::unsafe;
    // Either separator splits: an entry written elsewhere may carry slashes.
    std::string part;
    for (char c : folder_path) {
        if (!is_separator(c)) {
            part += c;
            continue;
        }
        if (!is_safe_component(part)) return PathCheck::unsafe;
        part.clear();
    }
    // A folder path ends with its separator; anything after the last one is not
    // a folder name this format writes.
    if (!part.empty()) return PathCheck::unsafe;
    if (kNativeSeparator == '\\' &&
        (folder_path.find(':') != std::string::npos || file_name.find(':') != std::string::npos))
        return PathCheck::stream_name;
    return PathCheck::safe;
}

std::vector<std::string> folder_parts(const std::string& folder_path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : folder_path) {
        if (!is_separator(c)) {
            part += c;
            continue;
        }
        if (!part.empty()) parts.push_back(name_from_archive(part));
        part.clear();
    }
    if (!part.empty()) parts.push_back(name_from_archive(part));
    return parts;
}

bool name_comes_back(const std::string& folder_path, const std::string& name, bool folder) {
    if (name.find('\\') != std::string::npos) return false;
    // A folder's name is checked where its files will carry it: in their folder path.
    if (folder) return check_entry_path(folder_path + name + '\\', "f") == PathCheck::safe;
    return check_entry_path(folder_path, name) == PathCheck::safe;
}

bool create_folders(const std::string& path) {
    std::string prefix;
    for (size_t i = 0; i < path.size(); ++i) {
        // A separator right after a leading drive names no folder of its own; a
        // ':' anywhere else is part of a name.
        const bool bare_drive = prefix.size() == 2 && is_drive_start(prefix);
        if (is_separator(path[i]) && i > 0 && !bare_drive && !is_separator(path[i - 1]))
            platform::create_folder(prefix.c_str());
        prefix += path[i];
    }
    return path.empty() || platform::create_folder(path.c_str());
}

std::string with_separator(const std::string& folder) {
    if (folder.empty() || is_separator(folder.back())) return folder;
    return folder + kNativeSeparator;
}

}  // namespace vellum
