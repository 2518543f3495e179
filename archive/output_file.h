// An extracted file on its way to disk. It is written under a new temporary name
// in its own folder and takes its real name in one rename, only once the entry
// decoded completely: a damaged entry, a full disk or an interrupt never leaves a
// truncated file under the real name, nor harms a file that was there. Nothing is
// ever written through a link: a link among the folders below the destination
// refuses the entry, and a link at the final name is replaced, not followed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace vellum {

struct OutputFile {
    FILE* file = nullptr;
    std::string path;       // the final name
    std::string temp_path;  // where the bytes go until they are complete
};

enum class OutputOpen {
    ok,
    link_in_path,    // a folder on the way below the destination is a link
    is_the_archive,  // the final name leads to the archive being read
    failed,          // a folder or the temporary could not be created
};

// Creates the folders of `folder` (native form, every level) and a temporary for
// `path` in it. The first `trusted` characters of `folder` are the destination the
// user chose, which may be reached through links; every folder below it must be a
// real folder. `archive`, when given, is the identity of the archive being read.
OutputOpen open_output(const std::string& folder, size_t trusted, const std::string& path,
                       const platform::FolderId* archive, OutputFile* out);

// Closes the temporary. When `whole`, it replaces the final name (a file or a link
// there is replaced, never written through); otherwise, or when that fails, it is
// removed. True when the bytes now stand under the final name.
bool finish_output(OutputFile* out, bool whole);

}  // namespace vellum
