// Shell-style patterns over entry paths, written with '/' between the parts
// (a '\' in a pattern or path counts as '/', as in the archive's own spelling).
//   *      any characters within one part       ?      one character, not '/'
//   [abc]  one of the characters, [a-z] ranges, [!abc] or [^abc] any other
//   **     any characters, '/' included; "**/" also matches no folder at all
//
// A pattern is read once into a row of elements and run over a path as a set of
// states (one per element, plus the end), all advanced together by each byte of
// the path; nothing is ever tried again. Each byte costs a fixed number of passes
// over the elements + 1 states, so a selection is linear in the path for a given
// pattern, whatever its stars, and the same pass reports a match at every folder
// boundary and every part of the path.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace vellum {
namespace cli {

enum class PatternElementKind : uint8_t {
    one,          // one byte of `bytes`: a literal, '?', or a class
    within_part,  // *: any bytes but '/' and '\'
    anything,     // **: any bytes
};

struct PatternElement {
    PatternElementKind kind = PatternElementKind::one;
    std::bitset<256> bytes;     // one: the path bytes it takes (by unsigned value)
    bool may_skip_folder = false;  // anything followed by '/': "**/" may match nothing
};

struct Pattern {
    std::vector<PatternElement> elements;
    bool one_part = false;  // no '/' or '\': also matched against every single part
};

// True when the name holds a wildcard character and is read as a pattern.
bool is_pattern(const std::string& name);

// Any text reads as a pattern: a '[' without its ']' is an ordinary character.
Pattern parse_pattern(const std::string& text);

// The whole path matches the pattern.
bool pattern_matches(const std::string& pattern, const std::string& path);

// A pattern selects an entry when it matches the entry's path, or one of the
// folders the entry lies in (docs/s* takes in docs/sub/b.txt); a pattern without
// '/' also matches any single part of the path, so "*.txt" takes every text file
// at any depth and "build" every entry below a folder of that name.
// `steps`, when given, grows by the number of state visits the run made.
bool pattern_selects(const Pattern& pattern, const std::string& path, uint64_t* steps = nullptr);
bool pattern_selects(const std::string& pattern, const std::string& path);

// --exclude: true when one of the patterns selects the path. A caller that asks
// about many paths reads the patterns once (parse_patterns) and asks any_selects.
bool excluded(const std::vector<std::string>& patterns, const std::string& path);
std::vector<Pattern> parse_patterns(const std::vector<std::string>& texts);
bool any_selects(const std::vector<Pattern>& patterns, const std::string& path);

}  // namespace cli
}  // namespace vellum
