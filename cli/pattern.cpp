#include "cli/pattern.h"

#include <algorithm>

namespace vellum {
namespace cli {
namespace {

char slashed(char c) { return c == '\\' ? '/' : c; }
bool is_slash(char c) { return c == '/' || c == '\\'; }

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

// The path bytes an element of one byte takes: those whose '/'-for-'\' spelling
// passes the test.
template <typename Test>
std::bitset<256> bytes_where(Test takes) {
    std::bitset<256> bytes;
    for (int b = 0; b < 256; ++b) bytes[static_cast<size_t>(b)] = takes(slashed(static_cast<char>(b)));
    return bytes;
}

// The element at text[*i], moving *i past it.
PatternElement read_element(const std::string& text, size_t* i) {
    PatternElement e;
    const size_t at = *i;
    const char c = slashed(text[at]);
    if (c == '*') {
        const bool twin = at + 1 < text.size() && text[at + 1] == '*';
        e.kind = twin ? PatternElementKind::anything : PatternElementKind::within_part;
        *i = at + (twin ? 2 : 1);
        e.may_skip_folder = twin && *i < text.size() && slashed(text[*i]) == '/';
        return e;
    }
    *i = at + 1;
    if (c == '?') {
        e.bytes = bytes_where([](char b) { return b != '/'; });
        return e;
    }
    size_t end = 0;
    bool well_formed = false;
    if (c == '[') class_matches(text, at + 1, 0, &end, &well_formed);
    if (well_formed) {
        e.bytes = bytes_where([&text, at](char b) {
            size_t unused_end = 0;
            bool unused_form = false;
            return class_matches(text, at + 1, b, &unused_end, &unused_form);
        });
        *i = end;
        return e;
    }
    e.bytes = bytes_where([c](char b) { return b == c; });
    return e;
}

// The states of a run, one per element and one past the last: live[i] when the
// path read so far can stand just before element i; the last when it matches the
// whole pattern. A state is kLive, or kLive | kEntered when reached from another
// state rather than by a star taking one more byte: only an entered "**/" may
// still match nothing, the same "**" cannot take bytes and then skip its '/'.
// `steps` counts the state slots every pass over them touches.
constexpr char kLive = 1;
constexpr char kEntered = 2;

struct Run {
    const Pattern& pattern;
    std::vector<char> live, next;
    uint64_t* steps;
};

void count(const Run& run) {
    if (run.steps != nullptr) *run.steps += run.live.size();
}

// Adds the states reached without reading a byte: past a star, which may match
// nothing, and past a whole "**/". These moves only go forward, so one pass in
// order takes in chains of them.
void close_over_empty(Run& run, std::vector<char>& live) {
    const std::vector<PatternElement>& elements = run.pattern.elements;
    count(run);
    for (size_t i = 0; i < elements.size(); ++i) {
        if (!live[i] || elements[i].kind == PatternElementKind::one) continue;
        live[i + 1] |= kLive | kEntered;
        // The '/' element is i + 1.
        if (elements[i].may_skip_folder && (live[i] & kEntered)) live[i + 2] |= kLive | kEntered;
    }
}

// Back to the states before any byte.
void restart(Run& run) {
    count(run);
    std::fill(run.live.begin(), run.live.end(), 0);
    run.live[0] = kLive | kEntered;
    close_over_empty(run, run.live);
}

// Reads one path byte. False when no state is left: no longer path can match.
bool advance(Run& run, char c) {
    const std::vector<PatternElement>& elements = run.pattern.elements;
    const auto byte = static_cast<unsigned char>(c);
    bool any = false;
    count(run);
    std::fill(run.next.begin(), run.next.end(), 0);
    for (size_t i = 0; i < elements.size(); ++i) {
        if (!run.live[i]) continue;
        const PatternElement& e = elements[i];
        if (e.kind == PatternElementKind::one) {
            if (!e.bytes[byte]) continue;
            run.next[i + 1] |= kLive | kEntered;
        } else if (e.kind == PatternElementKind::anything || !is_slash(c)) {
            run.next[i] |= kLive;  // a star stays where it is
        } else {
            continue;
        }
        any = true;
    }
    close_over_empty(run, run.next);
    run.live.swap(run.next);
    return any;
}

Run start_run(const Pattern& pattern, uint64_t* steps) {
    Run run{pattern, std::vector<char>(pattern.elements.size() + 1), std::vector<char>(pattern.elements.size() + 1),
            steps};
    restart(run);
    return run;
}

bool matched(const Run& run) { return run.live.back() != 0; }

}  // namespace

bool is_pattern(const std::string& name) { return name.find_first_of("*?[") != std::string::npos; }

Pattern parse_pattern(const std::string& text) {
    Pattern pattern;
    pattern.one_part = text.find_first_of("/\\") == std::string::npos;
    for (size_t i = 0; i < text.size();) pattern.elements.push_back(read_element(text, &i));
    return pattern;
}

bool pattern_matches(const std::string& pattern, const std::string& path) {
    const Pattern parsed = parse_pattern(pattern);
    Run whole = start_run(parsed, nullptr);
    for (char c : path)
        if (!advance(whole, c)) return false;
    return matched(whole);
}

// One pass over the path. `whole` reads the path from its start and is asked at
// every '/' (the folder before it) and at the end (the path itself); `part`, for
// a pattern of one part, starts again after every '/' and is asked at the same
// places (the part that ends there).
bool pattern_selects(const Pattern& pattern, const std::string& path, uint64_t* steps) {
    Run whole = start_run(pattern, steps);
    Run part = start_run(pattern, steps);
    bool whole_alive = true;
    for (char c : path) {
        if (is_slash(c)) {
            if (matched(whole)) return true;
            if (pattern.one_part) {
                if (matched(part)) return true;
                restart(part);
            }
        } else if (pattern.one_part) {
            advance(part, c);
        }
        if (whole_alive) whole_alive = advance(whole, c);
        if (!whole_alive && !pattern.one_part) return false;
    }
    return matched(whole) || (pattern.one_part && matched(part));
}

bool pattern_selects(const std::string& pattern, const std::string& path) {
    return pattern_selects(parse_pattern(pattern), path);
}

std::vector<Pattern> parse_patterns(const std::vector<std::string>& texts) {
    std::vector<Pattern> patterns;
    for (const std::string& text : texts) patterns.push_back(parse_pattern(text));
    return patterns;
}

bool any_selects(const std::vector<Pattern>& patterns, const std::string& path) {
    for (const Pattern& pattern : patterns)
        if (pattern_selects(pattern, path)) return true;
    return false;
}

bool excluded(const std::vector<std::string>& patterns, const std::string& path) {
    return any_selects(parse_patterns(patterns), path);
}

}  // namespace cli
}  // namespace vellum
