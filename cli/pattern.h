// Shell-style patterns over entry paths, written with '/' between the parts
// (a '\' in a pattern or path counts as '/', as in the archive's own spelling).
//   *      any characters within one part       ?      one character, not '/'
//   [abc]  one of the characters, [a-z] ranges, [!abc] or [^abc] any other
//   **     any characters, '/' included; "**/" also matches no folder at all
#pragma once

#include <string>
#include <vector>

namespace vellum {
namespace cli {

// True when the name holds a wildcard character and is read as a pattern.
bool is_pattern(const std::string& name);

// The whole path matches the pattern.
bool pattern_matches(const std::string& pattern, const std::string& path);

// A pattern selects an entry when it matches the entry's path, or one of the
// folders the entry lies in (docs/s* takes in docs/sub/b.txt); a pattern without
// '/' also matches any single part of the path, so "*.txt" takes every text file
// at any depth and "build" every entry below a folder of that name.
bool pattern_selects(const std::string& pattern, const std::string& path);

// --exclude: true when one of the patterns selects the path.
bool excluded(const std::vector<std::string>& patterns, const std::string& path);

}  // namespace cli
}  // namespace vellum
