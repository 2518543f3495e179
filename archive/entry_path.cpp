#include "archive/entry_path.h"

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
    return !part.empty() && part != "." && part != ".." && part.find(':') == std::string::npos;
}

}  // namespace

std::string archive_form(const std::string& native) { return replaced(native, '/', '\\'); }

std::string native_form(const std::string& archive) {
    return kNativeSeparator == '\\' ? archive : replaced(archive, '\\', kNativeSeparator);
}

bool is_safe_entry_path(const std::string& folder_path, const std::string& file_name) {
    if (!is_safe_component(file_name)) return false;
    for (char c : file_name)
        if (is_separator(c)) return false;
    // Either separator splits: an entry written elsewhere may carry slashes.
    std::string part;
    for (char c : folder_path) {
        if (!is_separator(c)) {
            part += c;
            continue;
        }
        if (!is_safe_component(part)) return false;
        part.clear();
    }
    // A folder path ends with its separator; anything after the last one is not
    // a folder name this format writes.
    return part.empty();
}

bool create_folders(const std::string& path) {
    std::string prefix;
    for (size_t i = 0; i < path.size(); ++i) {
        if (is_separator(path[i]) && i > 0 && path[i - 1] != ':' && !is_separator(path[i - 1]))
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
