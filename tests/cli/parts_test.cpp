// The command line, the texts vellum prints and the way names select entries.
#include <gtest/gtest.h>

#include <set>

#include "cli/args.h"
#include "cli/meta_format.h"
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
        {{"x", "--stdout", "-o", "d", "arc"}, "exclude each other"}, {{"x", "-"}, "'-' is no archive"},
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
    EXPECT_EQ("file.bin  5.0 of 10.0 MB  50%  2.5 MB/s  0:03",
              progress_text("file.bin", 5000000, 10000000, 2.0, 3.5, 79));
    EXPECT_EQ("x  1.0 MB  0.0 MB/s  1:05", progress_text("x", 1000000, 0, 0.0, 65.2, 79));
    EXPECT_EQ("y  3.0 of 2.0 MB  100%  3.0 MB/s  0:01", progress_text("y", 3000000, 2000000, 1.0, 1.0, 79));
    const std::string name = std::string(100, 'a') + "/tail-of-the-name.txt";
    EXPECT_EQ(".../tail-of-the-name.txt  0.0 of 0.0 MB  50%  0.0 MB/s  0:01",
              progress_text(name, 1, 2, 1.0, 1.0, 60));
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

// Catches a metadata line that does not read back as written (names with blanks,
// '%', newlines and 8-bit bytes, negative times, empty link texts), and a newer
// version or a foreign file read as ours.
TEST(MetaFormatTest, LinesReadBackAsWritten) {
    std::vector<MetaLine> lines(4);
    lines[0] = {MetaKind::file, 0644, 981173106, 123456789, 5000, 0x0123456789abcdefULL, 5031,
                "docs\\a b%c\n\xE9.txt", ""};
    lines[1] = {MetaKind::folder, 0700, -86400, 0, 0, 0, 0, "empty", ""};
    lines[2] = {MetaKind::link, 0, 1009843200, 5, 0, 0, 0, "docs\\to a", "../a b.txt"};
    lines[3] = {MetaKind::link, 0, 1, 2, 0, 0, 0, "l", ""};
    std::vector<MetaLine> back;
    const std::string text = encode_meta(lines);
    EXPECT_EQ(0u, text.find("vellum-meta 1\nF 644 981173106 123456789 5000 0123456789abcdef 5031 docs\\a%20b%25c%0A\xE9.txt\n"));
    ASSERT_EQ(MetaParse::ok, decode_meta(text + "Z future kind\n", &back));
    ASSERT_EQ(4u, back.size());
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].kind, back[i].kind);
        EXPECT_EQ(lines[i].mode, back[i].mode);
        EXPECT_EQ(lines[i].seconds, back[i].seconds);
        EXPECT_EQ(lines[i].nanoseconds, back[i].nanoseconds);
        EXPECT_EQ(lines[i].checksum, back[i].checksum);
        EXPECT_EQ(lines[i].path, back[i].path);
        EXPECT_EQ(lines[i].target, back[i].target);
    }
    EXPECT_EQ(MetaParse::newer_version, decode_meta("vellum-meta 2\n", &back));
    EXPECT_EQ(MetaParse::not_meta, decode_meta("hello\n", &back));
    ASSERT_EQ(MetaParse::ok, decode_meta("vellum-meta 1\nF 644 1 2 3 zz 4 bad-hex\nD 7 1 2 %4\n", &back));
    EXPECT_TRUE(back.empty());
}

}  // namespace
}  // namespace cli
}  // namespace vellum
