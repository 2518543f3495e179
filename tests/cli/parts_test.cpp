// The command line, the texts vellum prints and the way names select entries.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cli/args.h"
#include "cli/pattern.h"
#include "cli/progress.h"
#include "cli/select.h"
#include "cli/summary.h"

namespace vellum {
namespace cli {
namespace {

std::string parsed(const std::vector<std::string>& args) {
    const ParseResult r = parse_args(args);
    std::string text = r.error + r.options.archive + " [";
    for (const std::string& operand : r.options.operands) text += operand + ";";
    return text + "] -o " + r.options.output_folder + " setting " + std::to_string(r.options.buffer_setting) +
           (r.options.block_given ? " given" : "") + (r.options.solid ? " solid" : "") + (r.options.quiet ? " quiet" : "");
}

// Catches an option form read as something else, or options that stay options
// after "--".
TEST(ArgsTest, OptionForms) {
    EXPECT_EQ("arc [f1;f2;] -o  setting 0 given solid", parsed({"add", "arc", "--solid", "f1", "--block", "8M", "f2"}));
    EXPECT_EQ("arc [f;] -o  setting 6 given quiet", parsed({"-q", "a", "--block=512m", "arc", "f"}));
    EXPECT_EQ("arc [--solid;-q;] -o  setting 4", parsed({"add", "arc", "--", "--solid", "-q"}));
    EXPECT_EQ("arc [n;] -o dest setting 4", parsed({"x", "-odest", "arc", "n"}));
    EXPECT_EQ("arc [] -o dest setting 4", parsed({"x", "arc", "--output", "dest"}));
    EXPECT_EQ("arc [] -o dest setting 4", parsed({"x", "arc", "--output=dest"}));
}

// Catches bad usage that is accepted or reported without its reason.
TEST(ArgsTest, BadUsageIsAnErrorWithItsReason) {
    const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
        {{"info", "arc", "extra"}, "unexpected operand"},  {{"add"}, "missing archive"},
        {{"list", "--solid", "arc"}, "does not apply"},   {{"x", "--entries", "arc"}, "does not apply"},
        {{"add", "arc", "f", "--block"}, "needs a size"},  {{"add", "--solid=1", "arc", "f"}, "no value"},
        {{"list", "-z", "arc"}, "unknown option '-z'"},    {{"list", "-qz", "arc"}, "unknown option"},
        {{"x", "arc", "-o"}, "needs a folder"},            {{"x", "arc", "--output="}, "needs a folder"},
        {{"--solid", "add", "arc", "f"}, "after the command"}, {{"add", "", "f"}, "missing archive"},
        {{"x", "arc", ""}, "empty name"},                  {{}, "no command"},
        {{"delete", "arc"}, "entries to delete"},          {{"add", "arc"}, "nothing to add"},
        {{"list", "--exclude", "x", "arc"}, "does not apply"}, {{"x", "arc", "--exclude"}, "needs a pattern"},
        {{"x", "--stdout", "-o", "d", "arc"}, "exclude each other"}, {{"delete", "-", "a"}, "'-' is no archive for delete"},
        {{"repair", "-"}, "'-' is no archive for repair"}, {{"l", "--rows", "-v", "arc"}, "give one"},
        {{"l", "--json", "--entries", "arc"}, "give one"}, {{"x", "arc", "-C"}, "needs a folder"},
        {{"x", "-C", "a", "--output=b", "arc"}, "two destinations"},
        {{"add", "--stdout", "arc", "f"}, "does not apply"},
    };
    for (const auto& [args, reason] : cases)
        EXPECT_NE(std::string::npos, parse_args(args).error.find(reason)) << parse_args(args).error;
}

// Catches a block size mapped to the wrong setting, or a malformed one accepted.
TEST(ArgsTest, BlockSizesMapToTheSevenSettings) {
    const char* sizes[] = {"8M", "16M", "32M", "64M", "128M", "256M", "512M"};
    for (int setting = 0; setting < 7; ++setting) EXPECT_EQ(setting, parse_block_size(sizes[setting]));
    EXPECT_EQ(4, parse_block_size("128MiB"));
    EXPECT_EQ(1, parse_block_size("16mb"));
    for (const char* bad : {"", "M", "4M", "1024M", "128", "128K", "128MM", "-8M", "0008M", "8 M"})
        EXPECT_EQ(-1, parse_block_size(bad)) << bad;
}

// Golden vectors of the summaries: blanks, field order and 64-bit totals; and
// the progress line's figures, its share capped at 100% and its width.
TEST(TextsTest, SummariesAndProgressKeepTheirExactForm) {
    EXPECT_EQ("Added 3 files  3000 bytes to 600  in archive C:\\out\\a.vlm in 0.125 sec. ",
              added_summary(3, 3000, 600, "C:\\out\\a.vlm", 0.125));
    EXPECT_EQ("Extracted 3 files 600 bytes to 3000 bytes from archive a.vlm in 1.500 sec. ",
              extracted_summary(3, 600, 3000, "a.vlm", 1.5));
    const uint64_t big = (uint64_t{1} << 40) + 5;
    EXPECT_EQ("Added 1 file  1099511627781 bytes to 1099511627786  in archive x in 2.000 sec. ",
              added_summary(1, big, big + 5, "x", 2.0, FileCount::singular_one));
    // The window keeps the described wording whatever the count.
    EXPECT_EQ("Added 1 files  5 bytes to 10  in archive x in 2.000 sec. ", added_summary(1, 5, 10, "x", 2.0));
    EXPECT_EQ("Extracted 1 file 10 bytes to 5 bytes from archive x in 2.000 sec. ",
              extracted_summary(1, 10, 5, "x", 2.0, FileCount::singular_one));
    EXPECT_EQ("25.0%", ratio_text(250, 1000));
    EXPECT_EQ("-", ratio_text(24, 0));
    EXPECT_EQ("file.bin  5.0 of 10.0 MB  50%  2.5 MB/s  0:03  0:02 left",
              progress_text("file.bin", 5000000, 10000000, 2.0, 3.5, 79));
    EXPECT_EQ("d/f  1.0 of 601.0 MB  0%  0.5 MB/s  0:02  20:00 left",
              progress_text("d/f", 1000000, 601000000, 2.0, 2.0, 79));
    EXPECT_EQ("x  1.0 MB  0.0 MB/s  1:05", progress_text("x", 1000000, 0, 0.0, 65.2, 79));
    EXPECT_EQ("y  3.0 of 2.0 MB  100%  3.0 MB/s  0:01", progress_text("y", 3000000, 2000000, 1.0, 1.0, 79));
    const std::string name = std::string(100, 'a') + "/tail-of-the-name.txt";
    EXPECT_EQ(".../tail-of-the-name.txt  0.0 of 0.0 MB  50%  0.0 MB/s  0:01  0:01 left",
              progress_text(name, 1, 2, 1.0, 1.0, 71));
    EXPECT_EQ(0u, progress_text(name, 1, 2, 1.0, 1.0, 10).find("  0.0 of"));
}

// Catches names that select too much or too little: a.txt; docs\x.txt and
// docs\sub\y.txt; a top-level file called docs; then docs\z.txt, a second run.
TEST(SelectTest, NamesSelectRowsEntriesAndFolders) {
    ArchiveListing listing;
    const char* paths[][2] = {{"", "a.txt"}, {"docs\\", "x.txt"}, {"docs\\sub\\", "y.txt"}, {"", "docs"},
                              {"docs\\", "z.txt"}};
    for (uint64_t i = 0; i < 5; ++i)
        listing.entries.push_back(ListingEntry{12 + 40 * i, 40, 0, paths[i][0], paths[i][1], 0});
    for (int r = 0; r < 4; ++r) {  // a.txt, then docs as folder, file and folder again
        listing.rows.emplace_back();
        listing.rows.back().kind = r % 2 ? kRowKindFolder : kRowKindFile;
        listing.rows.back().name = r ? "docs" : "a.txt";
    }
    listing.row_offsets = {12, 52, 132, 172, 212};
    const std::vector<std::pair<std::vector<std::string>, std::set<uint64_t>>> cases = {
        {{"a.txt"}, {12}},           {{"docs"}, {52, 92, 132, 172}},  {{"docs/"}, {52, 92, 172}},
        {{"docs\\"}, {52, 92, 172}}, {{"docs/sub/y.txt"}, {92}},      {{"docs\\sub\\y.txt"}, {92}},
        {{"docs/sub"}, {92}},        {{"docs/z.txt", "a.txt"}, {12, 172}}, {{"docs/su", "a.txt", "x.txt"}, {12}},
    };
    for (const auto& [names, offsets] : cases) {
        const Selection selection = select_entries(listing, names);
        std::set<uint64_t> chosen;
        for (const ListingEntry& e : listing.entries)
            for (const OffsetRange& r : selection.ranges)
                if (e.offset >= r.from && e.offset < r.to) chosen.insert(e.offset);
        EXPECT_EQ(offsets, chosen) << names[0];
    }
    EXPECT_EQ((std::vector<std::string>{"docs/su", "x.txt"}),
              select_entries(listing, {"docs/su", "a.txt", "x.txt"}).missing);
}

// Catches wildcards that cross folders where they must not, classes read wrong,
// "**/" that demands a folder, and exclusions that miss a name at depth.
TEST(PatternTest, ShellStyleMatchingOverEntryPaths) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches, selects;
    } cases[] = {
        {"*.txt", "a.txt", true, true},           {"*.txt", "docs/a.txt", false, true},
        {"docs/*", "docs/sub/b.txt", false, true}, {"docs/**/*.html", "docs/x/y/i.html", true, true},
        {"docs/**/*.html", "docs/i.html", true, true}, {"docs/**/*.html", "docs/i.htm", false, false},
        {"**", "a/b/c", true, true},              {"?.txt", "ab.txt", false, false},        {"docs/*.txt", "docs/sub/a.txt", false, false},
        {"?.txt", "a.txt", true, true},           {"[ab].txt", "b.txt", true, true},
        {"[!ab].txt", "b.txt", false, false},     {"[a-c]*", "cat", true, true},
        {"[", "[", true, true},                   {"docs\\*.txt", "docs/a.txt", true, true},
        {"d*", "docs/a.txt", false, true},        {"*", "", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.matches, pattern_matches(c.pattern, c.path)) << c.pattern << " " << c.path;
        EXPECT_EQ(c.selects, pattern_selects(c.pattern, c.path)) << c.pattern << " " << c.path;
    }
    EXPECT_TRUE(excluded({"*.o"}, "src/deep/x.o"));
    EXPECT_TRUE(excluded({"build"}, "proj/build/out.txt"));
    EXPECT_FALSE(excluded({"src/*.o"}, "lib/src/x.o"));
    EXPECT_FALSE(excluded({"*.o", "*.a"}, "src/x.c"));
}

// Catches the edges of the rules: "**/" that matches no folder but cannot take
// bytes and then skip its '/', runs of stars, classes (a leading ']', a trailing
// '-', an empty range, a '[' without its ']', never a '/'), '\' read as '/' on
// either side, and selection by folder prefix (from the path's start only) and
// by single part (patterns without '/' only, never a run of parts).
TEST(PatternTest, EdgesOfTheRules) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches, selects;
    } cases[] = {
        {"**/a.txt", "a.txt", true, true},      {"**/a.txt", "x/y/a.txt", true, true},
        {"x**/y", "xy", true, true},            {"x**/y", "xay", false, false},
        {"x**/y", "xa/b/y", true, true},        {"**/", "abc", false, false},
        {"**/", "a/", true, true},              {"a/**", "a", false, false},
        {"a/**", "a/", true, true},             {"***/x", "x", false, false},
        {"***/x", "a/b/x", true, true},         {"****", "a/b", true, true},
        {"*a*a*a*a*a*b", "aaaaaaaaaaaaab", true, true}, {"*a*a*a*a*a*b", "aaaaaaaaaaaaaa", false, false},
        {"[]a]", "]", true, true},              {"[!]a]", "]", false, false},
        {"[!]a]", "b", true, true},             {"[a-]", "-", true, true},
        {"[^a]", "b", true, true},              {"[z-a]", "m", false, false},
        {"[ab", "[ab", true, true},             {"[ab", "a", false, false},
        {"[!a]", "/", false, false},            {"[!a]", "\\", false, false},
        {"a[/]b", "a/b", false, false},         {"[\\]", "\\", false, false},
        {"docs/*.txt", "docs\\a.txt", true, true}, {"*", "a\\b", false, true},
        {"a/**/b", "a\\x\\b", true, true},      {"?", "\\", false, false},
        {"*/sub", "docs/sub/b.txt", false, true}, {"sub/b.txt", "docs/sub/b.txt", false, false},
        {"ocs", "docs/a", false, false},        {"s?b", "docs/sub/b.txt", false, true},
        {"d**x", "docs/x/a.txt", false, true},  {"o**x", "docs/x/y", false, false},
        {"*", "/a", false, true},               {"b", "a//b/", false, true},
        {"x", "a//b/", false, false},           {"", "a/b", false, false},
        {"?", "a\\b", false, true},            {"", "/a", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.matches, pattern_matches(c.pattern, c.path)) << c.pattern << " " << c.path;
        EXPECT_EQ(c.selects, pattern_selects(c.pattern, c.path)) << c.pattern << " " << c.path;
    }
}

// The rules read literally, by backtracking over every way a star can end:
// exponential on purpose-built patterns, fine on the short ones below.
bool literal_match(const std::string& p, size_t i, const std::string& s, size_t k) {
    const auto slash = [](char c) { return c == '\\' ? '/' : c; };
    if (i == p.size()) return k == s.size();
    if (p[i] == '*' && i + 1 < p.size() && p[i + 1] == '*') {
        if (i + 2 < p.size() && slash(p[i + 2]) == '/' && literal_match(p, i + 3, s, k)) return true;
        for (size_t at = k; at <= s.size(); ++at)
            if (literal_match(p, i + 2, s, at)) return true;
        return false;
    }
    if (p[i] == '*') {
        for (size_t at = k; at <= s.size() && (at == k || slash(s[at - 1]) != '/'); ++at)
            if (literal_match(p, i + 1, s, at)) return true;
        return false;
    }
    if (k == s.size()) return false;
    const char c = slash(s[k]);
    if (p[i] == '[') {  // a class runs to the first ']' after its first member
        size_t j = i + 1 + (i + 1 < p.size() && (p[i + 1] == '!' || p[i + 1] == '^'));
        const bool negated = j > i + 1;
        bool in = false;
        for (const size_t first = j; j < p.size() && (p[j] != ']' || j == first); ++j) {
            const bool range = j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']';
            in = in || (range ? c >= p[j] && c <= p[j + 2] : c == p[j]);
            if (range) j += 2;
        }
        if (j < p.size()) return c != '/' && in != negated && literal_match(p, j + 1, s, k + 1);
    }
    const bool one = p[i] == '?' ? c != '/' : slash(p[i]) == c;
    return one && literal_match(p, i + 1, s, k + 1);
}

bool literal_selects(const std::string& p, const std::string& s) {
    const auto slash = [](char c) { return c == '/' || c == '\\'; };
    const bool one_part = p.find_first_of("/\\") == std::string::npos;
    size_t part = 0;
    for (size_t at = 0; at <= s.size(); ++at) {
        if (at < s.size() && !slash(s[at])) continue;
        if (literal_match(p, 0, s.substr(0, at), 0)) return true;
        if (one_part && literal_match(p, 0, s.substr(part, at - part), 0)) return true;
        part = at + 1;
    }
    return false;
}

// Catches the one-pass run parting from the rules read literally, on random short
// patterns and paths over the characters that mean something.
TEST(PatternTest, OnePassRunAgreesWithTheRulesReadLiterally) {
    std::mt19937 rng(7);
    const std::string pattern_chars = "ab/\\*?[]!^-*a\xe9z";
    const std::string path_chars = "ab/\\-][!\xe9" "c";
    int selected = 0;
    for (int trial = 0; trial < 200000; ++trial) {
        std::string pattern, path;
        for (size_t n = rng() % 11; n > 0; --n) pattern += pattern_chars[rng() % pattern_chars.size()];
        for (size_t n = rng() % 12; n > 0; --n) path += path_chars[rng() % path_chars.size()];
        const bool selects = literal_selects(pattern, path);
        selected += selects;
        ASSERT_EQ(literal_match(pattern, 0, path, 0), pattern_matches(pattern, path)) << pattern << " " << path;
        ASSERT_EQ(selects, pattern_selects(pattern, path)) << pattern << " " << path;
    }
    EXPECT_GT(selected, 5000);  // the draw reaches both answers
}

// Catches a selection whose work grows faster than the path: the steps of a run
// over a 64,000-byte path may be at most 64 times those over 1,000 bytes (every
// prefix run anew would be 4,096 times, a backtracking star far more), for
// patterns that try every folder, a run of stars against a long part, and many
// "**"; and a 65,534-byte folder path selected right by names and patterns.
TEST(PatternTest, WorkGrowsLinearlyWithThePath) {
    // Exactly `bytes` long: the units, the first one stretched by 'a's before its
    // last character, then the tail.
    const auto path_of = [](const std::string& unit, const std::string& tail, size_t bytes) {
        std::string path;
        while (path.size() + unit.size() + tail.size() <= bytes) path += unit;
        path.insert(unit.size() - 1, bytes - path.size() - tail.size(), 'a');
        return path + tail;
    };
    const struct {
        const char* pattern;
        const char* unit;  // the path repeats it, then ends in the tail
        const char* tail;
        bool selects;
    } cases[] = {
        {"**/zz", "a/", "", false},           {"**z", "ab/", "", false},
        {"**/**/**/zz", "a/", "", false},     {"*a*a*a*a*a*b", "a", "", false},
        {"*a*a*a*a*a*b", "a/", "", false},    {"[!b]*x?", "ab/", "axy", true},
        {"**/**/a.txt", "b/", "a.txt", true}, {"*.txt", "d123456789/", "f.txt", true},
        {"d1*/**/f.txt", "d123456789/", "f.txt", true},
    };
    for (const auto& c : cases) {
        const Pattern pattern = parse_pattern(c.pattern);
        uint64_t small = 0, big = 0;
        EXPECT_EQ(c.selects, pattern_selects(pattern, path_of(c.unit, c.tail, 1000), &small)) << c.pattern;
        EXPECT_EQ(c.selects, pattern_selects(pattern, path_of(c.unit, c.tail, 64000), &big)) << c.pattern;
        EXPECT_GE(small, 1000u);  // the run reads the whole path
        EXPECT_LE(big, 64 * small + 64) << c.pattern << " " << c.unit;
    }
    // The longest folder path a record holds, below it one file.
    std::string folder = std::string(32000, 'a') + "\\";
    while (folder.size() + 11 <= 65534) folder += "d123456789\\";
    folder.insert(folder.size() - 1, std::string(65534 - folder.size(), 'x'));
    ASSERT_EQ(65534u, folder.size());
    ArchiveListing listing;
    listing.entries.push_back(ListingEntry{12, 40, 0, folder, "f.txt", 0});
    listing.entries.push_back(ListingEntry{52, 40, 0, "", "top.txt", 0});
    const std::string path = entry_display_path(listing.entries[0]);
    const std::vector<std::pair<std::string, std::set<size_t>>> selections = {
        {"*.txt", {0, 1}},      {"f.txt", {}},          {"d12345678?", {0}},       {"**/zz", {}},
        {"*a*a*a*a*a*b", {}},   {"**/**/**/f.txt", {0}}, {"a*/d1*/**/*x/f.txt", {0}}, {"*/*/zz*", {}},
        {folder.substr(0, 32001), {0}}, {folder.substr(0, 32000), {0}}, {folder.substr(0, 31999), {}},
    };
    for (const auto& [name, entries] : selections) {
        const Selection selection = select_entries(listing, {name});
        EXPECT_EQ(entries, std::set<size_t>(selection.entries.begin(), selection.entries.end())) << name.substr(0, 40);
    }
    const std::string stored = folder + "f.txt";
    EXPECT_TRUE(names_take_path({folder.substr(0, 32000)}, {}, stored));
    EXPECT_TRUE(names_take_path({"**/d123456789"}, {}, stored));
    EXPECT_FALSE(names_take_path({"**/zz", "zz"}, {}, stored));
    EXPECT_FALSE(names_take_path({}, {"**/**/*.txt"}, stored));
    EXPECT_TRUE(names_take_path({}, {"**/**/zz", "*a*a*a*a*a*b"}, stored));
    EXPECT_TRUE(excluded({"d123456789"}, path));
}

}  // namespace
}  // namespace cli
}  // namespace vellum
