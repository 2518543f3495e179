// The archive view's listing and the entry count, on archives written record by
// record, on damaged ones, and on one made by the compressor.
#include "manage/listing.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "archive/compress.h"
#include "archive/extract.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "manage/info.h"
#include "manage_test_support.h"

namespace vellum {
namespace {

using namespace vellum::test;

class Listing : public ::testing::Test {
protected:
    TempFolder tmp;  // before the path made from it
    std::string archive = (tmp / "test.vlm").string();
    RecordingReporter reporter;
    ArchiveListing listing;

    ListStatus list() { return list_archive(archive, reporter, &listing); }

    void expect_rows_tile_records() {
        ASSERT_EQ(listing.row_offsets.size(), listing.rows.size() + 1);
        size_t entry = 0;
        for (size_t r = 0; r < listing.rows.size(); ++r) {
            const ListingRow& row = listing.rows[r];
            EXPECT_EQ(row.first_entry, entry) << "row " << r;
            EXPECT_EQ(row.offset, listing.row_offsets[r]);
            ASSERT_GE(row.entry_count, 1u);
            EXPECT_EQ(listing.entries[entry].offset, row_range(listing, r).from);
            entry += row.entry_count;
            const ListingEntry& last = listing.entries[entry - 1];
            EXPECT_EQ(last.offset + last.record_length, row_range(listing, r).to) << "row " << r;
        }
        EXPECT_EQ(entry, listing.entries.size());
    }
};

TEST_F(Listing, HeaderOnlyArchiveIsEmpty) {
    { ArchiveWriter w(archive); }
    ASSERT_EQ(fs::file_size(archive), 12u);
    EXPECT_EQ(list(), ListStatus::complete);
    EXPECT_TRUE(listing.rows.empty());
    EXPECT_EQ(listing.entry_count, 0u);
    EXPECT_EQ(listing.row_offsets, std::vector<uint64_t>{12});
    EXPECT_EQ(listing.archive_length, 12u);
    EXPECT_TRUE(reporter.notes.empty());
}

TEST_F(Listing, TopLevelFilesGetWhiteRowsWithTheirSizes) {
    std::vector<WrittenRecord> rec;
    {
        ArchiveWriter w(archive, 1, 2);
        rec.push_back(w.add("", "a.txt", 100, 333));
        rec.push_back(w.add("", "b.bin", 0, 0));
        rec.push_back(w.add("", "c.doc", 4000, 12345678901ull, 17));
    }
    ASSERT_EQ(list(), ListStatus::complete);
    EXPECT_EQ(listing.header.solid, 1);
    EXPECT_EQ(listing.header.buffer_setting, 2);
    ASSERT_EQ(listing.rows.size(), 3u);
    const char* names[] = {"a.txt", "b.bin", "c.doc"};
    const char* originals[] = {"333", "0", "12345678901"};
    for (size_t r = 0; r < 3; ++r) {
        const ListingRow& row = listing.rows[r];
        EXPECT_EQ(row.kind, kRowKindFile);
        EXPECT_EQ(listing_cell(row, 0), " ");
        EXPECT_EQ(listing_cell(row, 1), names[r]);
        EXPECT_EQ(listing_cell(row, 2), std::to_string(rec[r].length));
        EXPECT_EQ(listing_cell(row, 3), originals[r]);
        EXPECT_EQ(listing_cell(row, 4), "");
        EXPECT_EQ(row.colour, 0xFFFFFFu);
        EXPECT_EQ(row.offset, rec[r].offset);
        EXPECT_EQ(row.entry_count, 1u);
    }
    EXPECT_EQ(listing.rows[0].packed_size, "129");  // 24 + 5 + 100
    EXPECT_EQ(listing.entries[2].file_class, 17);
    EXPECT_EQ(listing.entry_count, 3u);
    EXPECT_EQ(listing.row_offsets,
              (std::vector<uint64_t>{rec[0].offset, rec[1].offset, rec[2].offset,
                                     fs::file_size(archive)}));
    expect_rows_tile_records();
    EXPECT_TRUE(reporter.notes.empty());
}

TEST_F(Listing, FolderEntriesShareOneYellowRow) {
    {
        ArchiveWriter w(archive);
        w.add("docs\\", "a.txt", 10);
        w.add("docs\\sub\\", "b.txt", 20);
        w.add("docs\\sub\\deeper\\", "c.txt", 30);
        w.add("docs\\", "d.txt", 40);
    }
    ASSERT_EQ(list(), ListStatus::complete);
    ASSERT_EQ(listing.rows.size(), 1u);
    const ListingRow& row = listing.rows[0];
    EXPECT_EQ(row.kind, kRowKindFolder);
    EXPECT_EQ(row.marker, "[__]");
    EXPECT_EQ(row.name, "docs");
    EXPECT_EQ(row.packed_size, "0");
    EXPECT_EQ(row.size, "0");
    EXPECT_EQ(row.colour, 0xBEFFFFu);
    EXPECT_EQ(row.offset, 12u);
    EXPECT_EQ(listing.entry_count, 4u);
    EXPECT_EQ(row.entry_count, 4u);
    EXPECT_EQ(listing.entries[2].folder_path, "docs\\sub\\deeper\\");
    EXPECT_EQ(listing.entries[2].file_name, "c.txt");
    EXPECT_EQ(listing.row_offsets, (std::vector<uint64_t>{12, fs::file_size(archive)}));
}

TEST_F(Listing, RowsFollowTheRunsOfTopNames) {
    {
        ArchiveWriter w(archive);
        w.add("docs\\", "a", 5);
        w.add("docs\\x\\", "b", 5);
        w.add("", "note.txt", 5);   // interrupts the docs run
        w.add("docs\\", "c", 5);
        w.add("pics\\", "p", 5);    // a different top folder straight after
        w.add("", "pics", 5);       // a file named like the folder before it
        w.add("pics\\", "q", 5);    // still a row of its own: a file row is one record
    }
    ASSERT_EQ(list(), ListStatus::complete);
    std::vector<std::string> names;
    std::vector<int> kinds;
    for (const ListingRow& row : listing.rows) {
        names.push_back(row.name);
        kinds.push_back(row.kind);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"docs", "note.txt", "docs", "pics", "pics", "pics"}));
    EXPECT_EQ(kinds, (std::vector<int>{1, 0, 1, 1, 0, 1}));
    EXPECT_EQ(listing.rows[0].entry_count, 2u);
    EXPECT_EQ(listing.entry_count, 7u);
    expect_rows_tile_records();

    EXPECT_EQ(find_rows(listing, "docs"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(find_rows(listing, "docs\\"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(find_rows(listing, "pics"), (std::vector<size_t>{3, 4, 5}));
    EXPECT_EQ(find_rows(listing, "pics/"), (std::vector<size_t>{3, 5}));
    EXPECT_EQ(find_rows(listing, "note.txt"), (std::vector<size_t>{1}));
    EXPECT_TRUE(find_rows(listing, "note.txt/").empty());
    EXPECT_TRUE(find_rows(listing, "a").empty());  // entries inside a folder have no row
}

TEST_F(Listing, NotAnArchive) {
    // The signature's first byte changed; and one with a setting no block size has.
    Bytes bad_signature = {0x08, 0x00, 0xB1, 'V', 'e', 'l', 'l', 'u', 'm', 0xB0, 0x00, 0x04};
    Bytes short_signature = {0x07, 0x00, 0xB0, 'V', 'e', 'l', 'l', 'u', 'm', 0x00, 0x04};
    Bytes setting_nine = {0x08, 0x00, 0xB0, 'V', 'e', 'l', 'l', 'u', 'm', 0xB0, 0x00, 0x09};
    Bytes tiny = {0x08};
    for (const Bytes& bytes : {bad_signature, short_signature, setting_nine, tiny}) {
        write_file(archive, bytes);
        for (bool opening : {false, true}) {
            reporter.notes.clear();
            ListStatus status = opening ? open_archive(archive, reporter, &listing) : list();
            EXPECT_EQ(status, ListStatus::not_archive);
            EXPECT_TRUE(listing.rows.empty());
            EXPECT_EQ(listing.entry_count, 0u);
            ASSERT_EQ(reporter.notes.size(), 1u);
            EXPECT_EQ(reporter.notes[0].text, "It is not a Archive");
            EXPECT_EQ(reporter.notes[0].caption, "Warning");
            EXPECT_EQ(reporter.notes[0].flags, 0x30u);
        }
    }
}

TEST_F(Listing, MissingFile) {
    const std::string missing = (tmp / "nowhere.vlm").string();
    EXPECT_EQ(list_archive(missing, reporter, &listing), ListStatus::cannot_open);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].text, missing);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE ARCHIVIO NON APERTO");
    EXPECT_EQ(reporter.notes[0].flags, 0u);
    // Switching the view to it fails quietly: the caller keeps what it showed.
    reporter.notes.clear();
    EXPECT_EQ(open_archive(missing, reporter, &listing), ListStatus::cannot_open);
    EXPECT_TRUE(reporter.notes.empty());
    EXPECT_TRUE(listing.rows.empty());
}

TEST_F(Listing, ListingAgainStartsAfresh) {
    { ArchiveWriter w(archive); w.add("", "a", 3); w.add("", "b", 3); }
    ASSERT_EQ(list(), ListStatus::complete);
    { ArchiveWriter w(archive); w.add("", "c", 3); }
    ASSERT_EQ(list(), ListStatus::complete);
    ASSERT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(listing.rows[0].name, "c");
    EXPECT_EQ(listing.row_offsets.size(), 2u);
}

// Damaged archives: two whole records, then something the walk cannot pass.
struct Damage {
    const char* what;
    void (*write)(ArchiveWriter& w);
};

std::ostream& operator<<(std::ostream& out, const Damage& p) { return out << p.what; }

class DamagedListing : public Listing, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedListing, ListsWhatComesBeforeAndStops) {
    WrittenRecord first, second;
    uint64_t damaged_at = 0;
    {
        ArchiveWriter w(archive);
        first = w.add("", "a.txt", 50);
        second = w.add("docs\\", "b.txt", 60);
        damaged_at = w.position();
        GetParam().write(w);
    }
    EXPECT_EQ(list(), ListStatus::incomplete);
    EXPECT_EQ(listing.status, ListStatus::incomplete);
    ASSERT_EQ(listing.rows.size(), 2u);
    EXPECT_EQ(listing.rows[0].name, "a.txt");
    EXPECT_EQ(listing.rows[1].name, "docs");
    EXPECT_EQ(listing.entry_count, 2u);
    EXPECT_EQ(listing.damaged_offset, damaged_at);
    // No row's range takes in the damaged record.
    EXPECT_EQ(listing.row_offsets, (std::vector<uint64_t>{first.offset, second.offset, damaged_at}));
    EXPECT_EQ(listing.archive_length, fs::file_size(archive));
    ASSERT_EQ(reporter.notes.size(), 1u);
    const Note& note = reporter.notes[0];
    EXPECT_EQ(note.caption, "Archive damaged: listing incomplete");
    EXPECT_EQ(note.flags, 0x30u);
    EXPECT_NE(note.text.find(archive), std::string::npos) << note.text;
    EXPECT_NE(note.text.find("offset " + std::to_string(damaged_at)), std::string::npos) << note.text;
}

INSTANTIATE_TEST_SUITE_P(
    Records, DamagedListing,
    ::testing::Values(
        Damage{"length_zero", [](ArchiveWriter& w) { w.add_head(0, "", "c.txt", 40); }},
        Damage{"past_end", [](ArchiveWriter& w) { w.add_head(5000, "", "c.txt", 40); }},
        Damage{"too_small", [](ArchiveWriter& w) { w.add_head(24, "", "c.txt", 40); }},
        Damage{"points_back_to_itself",
               [](ArchiveWriter& w) { w.add_head(1, "d\\", "e", 40); }},
        Damage{"truncated_head", [](ArchiveWriter& w) { w.raw(Bytes{40, 0, 0, 0, 0}); }},
        Damage{"names_cut_off",
               [](ArchiveWriter& w) {
                   w.raw(Bytes{60, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 200, 0, 'x'});
               }},
        Damage{"no_class_field",
               [](ArchiveWriter& w) {
                   w.raw(Bytes{30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'z'});
               }}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.what); });

TEST_F(Listing, DamagedFirstRecordListsNothing) {
    { ArchiveWriter w(archive); w.add_head(0, "", "a", 10); }
    EXPECT_EQ(list(), ListStatus::incomplete);
    EXPECT_TRUE(listing.rows.empty());
    EXPECT_EQ(listing.row_offsets, std::vector<uint64_t>{12});
    EXPECT_EQ(reporter.notes.size(), 1u);
}

// --- the entry count ------------------------------------------------------------------

TEST_F(Listing, InfoCountsEveryEntryOfAFolder) {
    {
        ArchiveWriter w(archive);
        for (int i = 0; i < 25; ++i)
            w.add(i % 2 ? "docs\\sub\\" : "docs\\", "f" + std::to_string(i) + ".txt", 10 + i);
    }
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::shown);
    ASSERT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(listing.rows[0].marker, "[__]");
    EXPECT_EQ(listing.rows[0].name, "docs");
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].text, "detected 25 files in Archive");
    EXPECT_EQ(reporter.notes[0].caption, "Info");
    EXPECT_EQ(reporter.notes[0].flags, 0u);
}

TEST_F(Listing, InfoOutsideTheArchiveView) {
    { ArchiveWriter w(archive); w.add("", "a", 3); }
    listing.rows.resize(2);  // whatever the caller shows stays
    EXPECT_EQ(archive_info(false, archive, reporter, &listing), InfoResult::no_archive);
    EXPECT_EQ(listing.rows.size(), 2u);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].text, "Open Archive ");
    EXPECT_EQ(reporter.notes[0].caption, "Warning");
    EXPECT_EQ(reporter.notes[0].flags, 0u);
}

TEST_F(Listing, InfoOnAnArchiveThatIsGone) {
    const std::string missing = (tmp / "gone.vlm").string();
    EXPECT_EQ(archive_info(true, missing, reporter, &listing), InfoResult::listing_failed);
    ASSERT_EQ(reporter.notes.size(), 2u);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE ARCHIVIO NON APERTO");
    EXPECT_EQ(reporter.notes[1].text, "detected 0 files in Archive");
    EXPECT_TRUE(listing.rows.empty());
}

TEST_F(Listing, InfoOnADamagedArchiveCountsWhatIsReadable) {
    { ArchiveWriter w(archive); w.add("", "a", 3); w.add("", "b", 3); w.add_head(0, "", "c", 3); }
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::incomplete);
    ASSERT_EQ(reporter.notes.size(), 2u);
    EXPECT_EQ(reporter.notes[0].caption, "Archive damaged: listing incomplete");
    EXPECT_EQ(reporter.notes[1].text, "detected 2 files in Archive");
}

TEST(EntryCountText, PrintsTheFullCount) {
    EXPECT_EQ(entry_count_text(0), "detected 0 files in Archive");
    EXPECT_EQ(entry_count_text(3000000000ull), "detected 3000000000 files in Archive");
    EXPECT_EQ(entry_count_text(0x100000001ull), "detected 4294967297 files in Archive");
}

TEST_F(Listing, TotalsSumTheEntries) {
    uint64_t packed = 0;
    {
        ArchiveWriter w(archive, 0, 1);
        packed += w.add("", "a", 100, 1000).length;
        packed += w.add("d\\", "b", 200, 5000000000ull).length;
        packed += w.add("d\\", "c", 0, 0).length;
    }
    ASSERT_EQ(list(), ListStatus::complete);
    ArchiveTotals totals = archive_totals(listing);
    EXPECT_EQ(totals.solid, 0);
    EXPECT_EQ(totals.buffer_setting, 1);
    EXPECT_EQ(totals.block_size, 16u << 20);
    EXPECT_EQ(totals.entry_count, 3u);
    EXPECT_EQ(totals.original_total, 5000001000ull);
    EXPECT_EQ(totals.packed_total, packed);
    EXPECT_EQ(totals.archive_length, 12 + packed);
    EXPECT_TRUE(totals.complete);
}

// --- an archive the compressor made ------------------------------------------------

TEST_F(Listing, CompressedFilesAndFolderListAsTheyWereAdded) {
    fs::path corpus = VELLUM_CORPUS_DIR;
    fs::path docs = tmp / "docs";
    fs::create_directories(docs / "sub");
    fs::copy_file(corpus / "alice29.txt", docs / "alice29.txt");
    fs::copy_file(corpus / "fireworks.jpeg", docs / "sub" / "fireworks.jpeg");
    auto codec = std::make_unique<CodecState>();
    {
        Command command(*codec, reporter);
        command.buffer_setting = 0;
        ASSERT_EQ(open_or_create_archive(command, archive), OpenResult::created);
        ASSERT_TRUE(prepare_buffers(command));
        AddSummary summary;
        add_path(command, (corpus / "asyoulik.txt").string(), summary);
        add_path(command, docs.string(), summary);
        add_path(command, (corpus / "kppkn.gtb").string(), summary);
        end_command(command);
        ASSERT_EQ(summary.added, 4u);
    }
    ASSERT_EQ(list(), ListStatus::complete);
    EXPECT_EQ(listing.header.buffer_setting, 0);
    ASSERT_EQ(listing.rows.size(), 3u);
    EXPECT_EQ(listing.rows[0].name, "asyoulik.txt");
    EXPECT_EQ(listing.rows[0].size, std::to_string(fs::file_size(corpus / "asyoulik.txt")));
    EXPECT_EQ(listing.rows[1].name, "docs");
    EXPECT_EQ(listing.rows[1].entry_count, 2u);
    EXPECT_EQ(listing.rows[2].name, "kppkn.gtb");
    EXPECT_EQ(listing.rows[2].size, std::to_string(fs::file_size(corpus / "kppkn.gtb")));
    EXPECT_EQ(listing.entry_count, 4u);
    expect_rows_tile_records();
    EXPECT_EQ(listing.row_offsets.back(), fs::file_size(archive));

    // Extracting by the folder row brings out exactly its two files.
    Command command(*codec, reporter);
    command.buffer_setting = listing.header.buffer_setting;
    command.archive_path = archive;
    ASSERT_TRUE(prepare_buffers(command));
    ExtractSummary s = extract_ranges(command, row_ranges(listing, {1, 7}), (tmp / "out").string() + "/");
    end_command(command);
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(s.written, 2u);
    EXPECT_EQ(read_file(tmp / "out" / "docs" / "alice29.txt"), read_file(corpus / "alice29.txt"));
    EXPECT_EQ(read_file(tmp / "out" / "docs" / "sub" / "fireworks.jpeg"),
              read_file(corpus / "fireworks.jpeg"));
    EXPECT_FALSE(fs::exists(tmp / "out" / "asyoulik.txt"));
    EXPECT_TRUE(reporter.notes.empty());
}

}  // namespace
}  // namespace vellum
