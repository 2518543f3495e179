#include "cli/pattern.h"

namespace vellum {
namespace cli {
namespace {

char slashed(char c) { return c == '\\' ? '/' : c; }

// Matches the class at p[i] (just after '[') against c; sets *end past the ']'.
// A '[' without its ']' is an ordinary character.
bool class_matches(const std::string& p, size_t i, char c, size_t* end, bool* well_formed) {
    size_t j = i;
    bool negated = j < p.size() && (p[j] == '!' || p[j] == '^');
    if (negated) ++j;
    bool found = false;
    size_t start = j;
    for (; j < p.size() && (p[j] != ']' || j == start); ++j) {
        if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
            if (c >= p[j] && c <= p[j + 2]) found = true;
            j += 2;
        } else if (p[j] == c) {
            found = true;
        }
    }
    *well_formed = j < p.size();
    *end = j + 1;
    return found != negated && c != '/';
}

bool match_from(const std::string& p, size_t i, const std::string& s, size_t k) {
    while (i < p.size()) {
        const char pc = slashed(p[i]);
        if (pc == '*') {
            const bool twin = i + 1 < p.size() && p[i + 1] == '*';
            if (twin) {
                size_t rest = i + 2;
                // "**/" may also stand for no folder at all.
                if (rest < p.size() && slashed(p[rest]) == '/' && match_from(p, rest + 1, s, k)) return true;
                for (size_t at = k; at <= s.size(); ++at)
                    if (match_from(p, rest, s, at)) return true;
                return false;
            }
            for (size_t at = k; at <= s.size(); ++at) {
                if (match_from(p, i + 1, s, at)) return true;
                if (at < s.size() && slashed(s[at]) == '/') break;
            }
            return false;
        }
        if (k >= s.size()) return false;
        const char sc = slashed(s[k]);
        if (pc == '?') {
            if (sc == '/') return false;
        } else if (pc == '[') {
            size_t end = 0;
            bool well_formed = false;
            const bool hit = class_matches(p, i + 1, sc, &end, &well_formed);
            if (well_formed) {
                if (!hit) return false;
                i = end;
                ++k;
                continue;
            }
            if (sc != '[') return false;
        } else if (pc != sc) {
            return false;
        }
        ++i;
        ++k;
    }
    return k == s.size();
}

}  // namespace

bool is_pattern(const std::string& name) { return name.find_first_of("*?[") != std::string::npos; }

bool pattern_matches(const std::string& pattern, const std::string& path) {
    return match_from(pattern, 0, path, 0);
}

bool pattern_selects(const std::string& pattern, const std::string& path) {
    if (pattern_matches(pattern, path)) return true;
    for (size_t at = 0; at < path.size(); ++at)
        if (slashed(path[at]) == '/' && pattern_matches(pattern, path.substr(0, at))) return true;
    if (pattern.find_first_of("/\\") != std::string::npos) return false;
    // A pattern of one part matches any part: a file's name, or a folder's.
    size_t start = 0;
    for (size_t at = 0; at <= path.size(); ++at) {
        if (at < path.size() && slashed(path[at]) != '/') continue;
        if (pattern_matches(pattern, path.substr(start, at - start))) return true;
        start = at + 1;
    }
    return false;
}

bool excluded(const std::vector<std::string>& patterns, const std::string& path) {
    for (const std::string& pattern : patterns)
        if (pattern_selects(pattern, path)) return true;
    return false;
}

}  // namespace cli
}  // namespace vellum
