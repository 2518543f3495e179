// The temporary copy a delete writes beside the archive, named so that what a
// killed delete leaves behind can be recognised and removed later:
// "NAME.del-XXXXXXXXXXXXXXXX.tmp" in the archive's folder, NAME being the
// archive's own file name and the X sixteen hexadecimal digits that make it unique.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "archive/report.h"

namespace vellum {

// Creates a new temporary for a delete of `archive_path`, exclusively (never an
// existing file, never through a link), and gives its path. nullptr on failure.
FILE* create_delete_temp(const std::string& archive_path, std::string* temp_path);

// True when `name` (a bare file name) has the form of a delete temporary of the
// archive named `archive_name`.
bool is_delete_temp_name(const std::string& name, const std::string& archive_name);

// Paths of every delete temporary of `archive_path` in its folder.
std::vector<std::string> find_delete_temps(const std::string& archive_path);

// Removes them, reporting each. Only a command that holds the archive's exclusive
// lock may call this: no running delete then owns any of them. Returns how many.
size_t remove_delete_temps(const std::string& archive_path, Reporter& reporter);

// A name for a new file in `folder` (with its separator, or empty) that no
// running command is likely to choose too: `prefix`, sixteen hexadecimal digits
// from the clock, the process and a counter, and `suffix`.
std::string unique_name(const std::string& folder, const std::string& prefix,
                        const std::string& suffix);

}  // namespace vellum
