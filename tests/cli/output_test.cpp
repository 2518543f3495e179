// The texts vellum prints and the way names select entries.
#include <gtest/gtest.h>

#include <set>

#include "cli/progress.h"
#include "cli/select.h"
#include "cli/summary.h"

namespace vellum {
namespace cli {
namespace {

TEST(SummaryTest, AddedTextKeepsItsDoubleBlanks) {
    EXPECT_EQ("Added 3 files  3000 bytes to 600  in archive C:\\out\\a.vlm in 0.125 sec. ",
              added_summary(3, 3000, 600, "C:\\out\\a.vlm", 0.125));
    EXPECT_EQ("Added 0 files  0 bytes to 0  in archive b.vlm in 0.000 sec. ",
              added_summary(0, 0, 0, "b.vlm", 0.0));
}

TEST(SummaryTest, ExtractedTextPutsArchiveBytesFirst) {
    EXPECT_EQ("Extracted 3 files 600 bytes to 3000 bytes from archive a.vlm in 1.500 sec. ",
              extracted_summary(3, 600, 3000, "a.vlm", 1.5));
}

TEST(SummaryTest, TotalsBeyondThirtyTwoBitsPrintInFull) {
    const uint64_t big = (uint64_t{1} << 40) + 5;  // 1099511627781
    EXPECT_EQ("Added 1 files  1099511627781 bytes to 1099511627786  in archive x in 2.000 sec. ",
              added_summary(1, big, big + 5, "x", 2.0));
}

TEST(SummaryTest, RatioAndCounts) {
    EXPECT_EQ("25.0%", ratio_text(250, 1000));
    EXPECT_EQ("-", ratio_text(24, 0));
    EXPECT_EQ("1 entry", counted(1, "entry", "entries"));
    EXPECT_EQ("0 entries", counted(0, "entry", "entries"));
}

TEST(ProgressTextTest, NameBytesPercentRateAndTime) {
    EXPECT_EQ("file.bin  5.0 of 10.0 MB  50%  2.5 MB/s  0:03",
              progress_text("file.bin", 5000000, 10000000, 2.0, 3.5, 79));
    EXPECT_EQ("x  1.0 MB  0.0 MB/s  1:05", progress_text("x", 1000000, 0, 0.0, 65.2, 79));
    // Counts may run past an estimate made before the command; the share stops at 100.
    EXPECT_EQ("y  3.0 of 2.0 MB  100%  3.0 MB/s  0:01", progress_text("y", 3000000, 2000000, 1.0, 1.0, 79));
}

TEST(ProgressTextTest, LongNameLosesItsBeginningToFitTheWidth) {
    const std::string name = std::string(100, 'a') + "/tail-of-the-name.txt";
    const std::string text = progress_text(name, 1, 2, 1.0, 1.0, 60);
    EXPECT_EQ(60u, text.size());
    EXPECT_EQ(0u, text.find("..."));
    EXPECT_NE(std::string::npos, text.find("tail-of-the-name.txt  0.0 of 0.0 MB  50%"));
    // No room for any of the name: only the figures.
    EXPECT_EQ(0u, progress_text(name, 1, 2, 1.0, 1.0, 10).find("  0.0 of"));
}

// a.txt; docs\x.txt and docs\sub\y.txt; a top-level file that is also called
// docs; then docs\z.txt, a second run of the folder.
ArchiveListing sample_listing() {
    ArchiveListing listing;
    const struct {
        uint64_t offset, length;
        const char* folder;
        const char* name;
    } records[] = {{12, 30, "", "a.txt"},
                   {42, 40, "docs\\", "x.txt"},
                   {82, 40, "docs\\sub\\", "y.txt"},
                   {122, 35, "", "docs"},
                   {157, 40, "docs\\", "z.txt"}};
    for (const auto& r : records) {
        ListingEntry e;
        e.offset = r.offset;
        e.record_length = r.length;
        e.folder_path = r.folder;
        e.file_name = r.name;
        listing.entries.push_back(e);
    }
    const struct {
        int kind;
        const char* name;
    } rows[] = {{kRowKindFile, "a.txt"}, {kRowKindFolder, "docs"}, {kRowKindFile, "docs"}, {kRowKindFolder, "docs"}};
    for (const auto& r : rows) {
        ListingRow row;
        row.kind = r.kind;
        row.name = r.name;
        listing.rows.push_back(row);
    }
    listing.row_offsets = {12, 42, 122, 157, 197};
    listing.entry_count = listing.entries.size();
    listing.archive_length = 197;
    listing.status = ListStatus::complete;
    return listing;
}

// Offsets of the entries the names select.
std::set<uint64_t> selected(const std::vector<std::string>& names, std::vector<std::string>* missing = nullptr) {
    const ArchiveListing listing = sample_listing();
    const Selection selection = select_entries(listing, names);
    if (missing) *missing = selection.missing;
    std::set<uint64_t> offsets;
    for (const ListingEntry& e : listing.entries)
        for (const OffsetRange& r : selection.ranges)
            if (e.offset >= r.from && e.offset < r.to) offsets.insert(e.offset);
    return offsets;
}

TEST(SelectTest, RowNamesTakeEveryRowOfThatName) {
    EXPECT_EQ((std::set<uint64_t>{12}), selected({"a.txt"}));
    EXPECT_EQ((std::set<uint64_t>{42, 82, 122, 157}), selected({"docs"}));
    // A trailing separator asks for folders only.
    EXPECT_EQ((std::set<uint64_t>{42, 82, 157}), selected({"docs/"}));
    EXPECT_EQ((std::set<uint64_t>{42, 82, 157}), selected({"docs\\"}));
}

TEST(SelectTest, EntryPathsWithEitherSeparatorAndSubfolders) {
    EXPECT_EQ((std::set<uint64_t>{82}), selected({"docs/sub/y.txt"}));
    EXPECT_EQ((std::set<uint64_t>{82}), selected({"docs\\sub\\y.txt"}));
    EXPECT_EQ((std::set<uint64_t>{82}), selected({"docs/sub"}));
    EXPECT_EQ((std::set<uint64_t>{157}), selected({"docs/z.txt"}));
    EXPECT_EQ((std::set<uint64_t>{12, 157}), selected({"docs/z.txt", "a.txt"}));
}

TEST(SelectTest, NamesThatMatchNothingAreReturnedAsMissing) {
    std::vector<std::string> missing;
    // A folder name must match whole components.
    EXPECT_EQ((std::set<uint64_t>{12}), selected({"docs/su", "a.txt", "x.txt"}, &missing));
    EXPECT_EQ((std::vector<std::string>{"docs/su", "x.txt"}), missing);
}

}  // namespace
}  // namespace cli
}  // namespace vellum
