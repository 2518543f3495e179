#include "archive/output_file.h"

#include <cerrno>

#include "archive/entry_path.h"
#include "archive/leftovers.h"

namespace vellum {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// One folder on the way. Below the destination a link is refused, checked before
// and after the folder is made, so an existing link is never entered.
OutputOpen make_folder(const std::string& prefix, bool below_destination) {
    if (!below_destination) {
        platform::create_folder(prefix.c_str());  // may exist; failures show later
        return OutputOpen::ok;
    }
    if (platform::is_link(prefix.c_str())) return OutputOpen::link_in_path;
    if (!platform::create_folder(prefix.c_str())) return OutputOpen::failed;
    return platform::is_link(prefix.c_str()) ? OutputOpen::link_in_path : OutputOpen::ok;
}

// Every level of `folder`, as create_folders walks it: a separator right after a
// drive colon, or after another separator, names no folder of its own.
OutputOpen make_folders(const std::string& folder, size_t trusted) {
    std::string prefix;
    for (size_t i = 0; i < folder.size(); ++i) {
        if (is_separator(folder[i]) && i > 0 && folder[i - 1] != ':' && !is_separator(folder[i - 1])) {
            const OutputOpen made = make_folder(prefix, prefix.size() >= trusted);
            if (made != OutputOpen::ok) return made;
        }
        prefix += folder[i];
    }
    if (prefix.empty() || is_separator(prefix.back())) return OutputOpen::ok;
    return make_folder(prefix, prefix.size() >= trusted);
}

}  // namespace

OutputOpen open_output(const std::string& folder, size_t trusted, const std::string& path,
                       const platform::FolderId* archive, OutputFile* out) {
    *out = OutputFile();
    const OutputOpen made = make_folders(folder, trusted);
    if (made != OutputOpen::ok) return made;
    platform::FolderId there;
    if (archive && platform::file_id(path.c_str(), &there) && platform::same_folder(there, *archive))
        return OutputOpen::is_the_archive;
    // A real folder of that name cannot be replaced by a file.
    if (!platform::is_link(path.c_str()) && platform::is_folder(path.c_str())) {
        errno = EISDIR;  // the reason a caller shows
        return OutputOpen::failed;
    }
    const std::string where = with_separator(folder);
    for (int attempt = 0; attempt < 64; ++attempt) {
        out->temp_path = unique_name(where, "vellum-x-", ".tmp");
        out->file = platform::create_new_file(out->temp_path.c_str());
        if (out->file) break;
    }
    if (out->file == nullptr) return OutputOpen::failed;
    out->path = path;
    return OutputOpen::ok;
}

bool finish_output(OutputFile* out, bool whole) {
    if (out->file == nullptr) return false;
    const bool closed = std::fclose(out->file) == 0;
    out->file = nullptr;
    if (whole && closed && platform::replace_file(out->temp_path.c_str(), out->path.c_str()))
        return true;
    platform::remove_file(out->temp_path.c_str());
    return false;
}

}  // namespace vellum
