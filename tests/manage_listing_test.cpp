// The archive view's listing and the entry count, on archives written record by
// record, on damaged ones, and on one made by the compressor.
#include "manage/listing.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

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

    void expect_note(size_t at, const std::string& text, const std::string& caption, unsigned flags) {
        ASSERT_GT(reporter.notes.size(), at);
        EXPECT_EQ(reporter.notes[at].text, text);
        EXPECT_EQ(reporter.notes[at].caption, caption);
        EXPECT_EQ(reporter.notes[at].flags, flags);
    }

    // Rows cover every entry once, in order, and each row's range is exactly its records.
    void expect_rows_tile_records() {
        ASSERT_EQ(listing.row_offsets.size(), listing.rows.size() + 1);
        size_t entry = 0;
        for (size_t r = 0; r < listing.rows.size(); ++r) {
            const ListingRow& row = listing.rows[r];
            ASSERT_EQ(row.first_entry, entry) << "row " << r;
            ASSERT_GE(row.entry_count, 1u);
            EXPECT_EQ(row_range(listing, r).from, row.offset);
            EXPECT_EQ(row.offset, listing.entries[entry].offset);
            entry += row.entry_count;
            const ListingEntry& last = listing.entries[entry - 1];
            EXPECT_EQ(row_range(listing, r).to, last.offset + last.record_length) << "row " << r;
        }
        EXPECT_EQ(entry, listing.entries.size());
    }
};

TEST_F(Listing, HeaderOnlyArchiveIsEmpty) {
    { ArchiveWriter w(archive); }
    EXPECT_EQ(list(), ListStatus::complete);
    EXPECT_TRUE(listing.rows.empty());
    EXPECT_EQ(listing.entry_count, 0u);
    EXPECT_EQ(listing.row_offsets, std::vector<uint64_t>{12});
    EXPECT_TRUE(reporter.notes.empty());
}

// Golden rows: " ", name, record length, original size, "", white; the header's mode taken over.
TEST_F(Listing, TopLevelFilesGetWhiteRows) {
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
    const char* packed[] = {"129", "29", "4029"};
    const char* originals[] = {"333", "0", "12345678901"};
    for (size_t r = 0; r < 3; ++r) {
        const ListingRow& row = listing.rows[r];
        std::vector<std::string> cells;
        for (int column = 0; column < 5; ++column) cells.push_back(listing_cell(row, column));
        EXPECT_EQ(cells, (std::vector<std::string>{" ", names[r], packed[r], originals[r], ""}));
        EXPECT_EQ(row.kind, kRowKindFile);
        EXPECT_EQ(row.colour, 0xFFFFFFu);
        EXPECT_EQ(row.offset, rec[r].offset);
    }
    EXPECT_EQ(listing.entries[2].file_class, 17);
    EXPECT_EQ(listing.row_offsets.back(), fs::file_size(archive));
    expect_rows_tile_records();
    EXPECT_TRUE(reporter.notes.empty());
}

// Golden: one pale yellow "[__]" row with "0" sizes for a folder and its subfolders.
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
    EXPECT_EQ(row.marker + row.name + "|" + row.packed_size + "|" + row.size, "[__]docs|0|0");
    EXPECT_EQ(row.colour, 0xBEFFFFu);
    EXPECT_EQ(listing.entry_count, 4u);
    expect_rows_tile_records();
}

// An interrupted run gets a second row; a file named like a folder is its own row.
TEST_F(Listing, RowsFollowTheRunsOfTopNames) {
    {
        ArchiveWriter w(archive);
        w.add("docs\\", "a", 5);
        w.add("docs\\x\\", "b", 5);
        w.add("", "note.txt", 5);
        w.add("docs\\", "c", 5);
        w.add("pics\\", "p", 5);
        w.add("", "pics", 5);
        w.add("pics\\", "q", 5);
    }
    ASSERT_EQ(list(), ListStatus::complete);
    std::vector<std::string> rows;
    for (const ListingRow& row : listing.rows) rows.push_back(row.marker + row.name);
    EXPECT_EQ(rows, (std::vector<std::string>{"[__]docs", " note.txt", "[__]docs", "[__]pics", " pics",
                                              "[__]pics"}));
    EXPECT_EQ(listing.entry_count, 7u);
    expect_rows_tile_records();
    EXPECT_EQ(find_rows(listing, "docs"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(find_rows(listing, "pics"), (std::vector<size_t>{3, 4, 5}));
    EXPECT_EQ(find_rows(listing, "pics/"), (std::vector<size_t>{3, 5}));
    EXPECT_TRUE(find_rows(listing, "a").empty());  // entries inside a folder have no row
}

// A wrong signature or setting: "It is not a Archive", and nothing of an earlier listing stays.
TEST_F(Listing, NotAnArchive) {
    const Bytes bad_signature = {0x08, 0x00, 0xB1, 'V', 'e', 'l', 'l', 'u', 'm', 0xB0, 0x00, 0x04};
    const Bytes short_signature = {0x07, 0x00, 0xB0, 'V', 'e', 'l', 'l', 'u', 'm', 0x00, 0x04};
    const Bytes setting_nine = {0x08, 0x00, 0xB0, 'V', 'e', 'l', 'l', 'u', 'm', 0xB0, 0x00, 0x09};
    for (const Bytes& bytes : {bad_signature, short_signature, setting_nine}) {
        for (bool opening : {false, true}) {
            { ArchiveWriter w(archive); w.add("", "a", 3); }
            ASSERT_EQ(list(), ListStatus::complete);
            write_file(archive, bytes);
            reporter.notes.clear();
            EXPECT_EQ(opening ? open_archive(archive, reporter, &listing) : list(), ListStatus::not_archive);
            EXPECT_TRUE(listing.rows.empty());
            EXPECT_EQ(listing.entry_count, 0u);
            EXPECT_EQ(reporter.notes.size(), 1u);
            expect_note(0, "It is not a Archive", "Warning", 0x30);
        }
    }
}

// Listing a missing archive names it; switching the view to it says nothing.
TEST_F(Listing, MissingFile) {
    EXPECT_EQ(list(), ListStatus::cannot_open);
    EXPECT_EQ(reporter.notes.size(), 1u);
    expect_note(0, archive, "NON VA BENE ARCHIVIO NON APERTO", 0);
    reporter.notes.clear();
    EXPECT_EQ(open_archive(archive, reporter, &listing), ListStatus::cannot_open);
    EXPECT_TRUE(reporter.notes.empty());
}

// Two whole records, then one the walk cannot pass: the two are listed, no row
// takes in the damage, and the report names the archive and the offset.
TEST_F(Listing, DamagedRecordEndsTheListing) {
    const std::function<void(ArchiveWriter&)> damages[] = {
        [](ArchiveWriter& w) { w.add_head(0, "", "c.txt", 40); },
        [](ArchiveWriter& w) { w.add_head(5000, "", "c.txt", 40); },
        [](ArchiveWriter& w) { w.add_head(24, "", "c.txt", 40); },
        [](ArchiveWriter& w) { w.add_head(1, "d\\", "e", 40); },
        [](ArchiveWriter& w) { w.raw(Bytes{40, 0, 0, 0, 0}); },
    };
    for (const auto& damage : damages) {
        WrittenRecord first, second;
        uint64_t damaged_at = 0;
        {
            ArchiveWriter w(archive);
            first = w.add("", "a.txt", 50);
            second = w.add("docs\\", "b.txt", 60);
            damaged_at = w.position();
            damage(w);
        }
        reporter.notes.clear();
        EXPECT_EQ(list(), ListStatus::incomplete);
        ASSERT_EQ(listing.rows.size(), 2u);
        EXPECT_EQ(listing.rows[1].name, "docs");
        EXPECT_EQ(listing.entry_count, 2u);
        EXPECT_EQ(listing.damaged_offset, damaged_at);
        EXPECT_EQ(listing.row_offsets, (std::vector<uint64_t>{first.offset, second.offset, damaged_at}));
        ASSERT_EQ(reporter.notes.size(), 1u);
        const Note& note = reporter.notes[0];
        EXPECT_EQ(note.caption, "Archive damaged: listing incomplete");
        EXPECT_EQ(note.flags, 0x30u);
        EXPECT_NE(note.text.find(archive), std::string::npos) << note.text;
        EXPECT_NE(note.text.find("offset " + std::to_string(damaged_at)), std::string::npos) << note.text;
    }
}

// Golden: a folder of 25 files gives one "[__]" row and "detected 25 files in Archive".
TEST_F(Listing, InfoCountsEveryEntry) {
    {
        ArchiveWriter w(archive);
        for (int i = 0; i < 25; ++i) w.add(i % 2 ? "docs\\sub\\" : "docs\\", "f" + std::to_string(i), 10 + i);
    }
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::shown);
    ASSERT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(listing.rows[0].marker + listing.rows[0].name, "[__]docs");
    EXPECT_EQ(reporter.notes.size(), 1u);
    expect_note(0, "detected 25 files in Archive", "Info", 0);
    EXPECT_EQ(entry_count_text(3000000000ull), "detected 3000000000 files in Archive");

    reporter.notes.clear();  // outside the archive view nothing is listed
    listing.rows.resize(2);
    EXPECT_EQ(archive_info(false, archive, reporter, &listing), InfoResult::no_archive);
    EXPECT_EQ(listing.rows.size(), 2u);
    EXPECT_EQ(reporter.notes.size(), 1u);
    expect_note(0, "Open Archive ", "Warning", 0);
}

TEST_F(Listing, InfoOnMissingAndDamagedArchives) {
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::listing_failed);
    ASSERT_EQ(reporter.notes.size(), 2u);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE ARCHIVIO NON APERTO");
    EXPECT_EQ(reporter.notes[1].text, "detected 0 files in Archive");

    { ArchiveWriter w(archive); w.add("", "a", 3); w.add("", "b", 3); w.add_head(0, "", "c", 3); }
    reporter.notes.clear();
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::incomplete);
    ASSERT_EQ(reporter.notes.size(), 2u);
    EXPECT_EQ(reporter.notes[0].caption, "Archive damaged: listing incomplete");
    EXPECT_EQ(reporter.notes[1].text, "detected 2 files in Archive");
    EXPECT_FALSE(archive_totals(listing).complete);
}

TEST_F(Listing, TotalsSumTheEntries) {
    uint64_t packed = 0;
    {
        ArchiveWriter w(archive, 0, 1);
        packed += w.add("", "a", 100, 1000).length;
        packed += w.add("d\\", "b", 200, 5000000000ull).length;
    }
    ASSERT_EQ(list(), ListStatus::complete);
    const ArchiveTotals totals = archive_totals(listing);
    EXPECT_EQ(totals.block_size, 16u << 20);
    EXPECT_EQ(totals.entry_count, 2u);
    EXPECT_EQ(totals.original_total, 5000001000ull);
    EXPECT_EQ(totals.packed_total, packed);
    EXPECT_EQ(totals.archive_length, 12 + packed);
    EXPECT_TRUE(totals.complete);
}

// Files and a folder the compressor added list as added; the folder row's range
// extracts exactly its files.
TEST_F(Listing, CompressedFilesAndFolderListAndExtractByRow) {
    const fs::path corpus = VELLUM_CORPUS_DIR, docs = tmp / "docs";
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
        for (const fs::path& p : {corpus / "asyoulik.txt", docs, corpus / "kppkn.gtb"})
            add_path(command, p.string(), summary);
        end_command(command);
        ASSERT_EQ(summary.added, 4u);
    }
    ASSERT_EQ(list(), ListStatus::complete);
    std::vector<std::string> rows;
    for (const ListingRow& row : listing.rows) rows.push_back(row.name + "|" + row.size);
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "asyoulik.txt|" + std::to_string(fs::file_size(corpus / "asyoulik.txt")), "docs|0",
                        "kppkn.gtb|" + std::to_string(fs::file_size(corpus / "kppkn.gtb"))}));
    expect_rows_tile_records();

    Command command(*codec, reporter);
    command.buffer_setting = listing.header.buffer_setting;
    command.archive_path = archive;
    ASSERT_TRUE(prepare_buffers(command));
    ExtractSummary s = extract_ranges(command, row_ranges(listing, {1, 7}), (tmp / "out").string() + "/");
    end_command(command);
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(s.written, 2u);
    EXPECT_EQ(read_file(tmp / "out" / "docs" / "alice29.txt"), read_file(corpus / "alice29.txt"));
    EXPECT_EQ(read_file(tmp / "out" / "docs" / "sub" / "fireworks.jpeg"), read_file(corpus / "fireworks.jpeg"));
    EXPECT_FALSE(fs::exists(tmp / "out" / "asyoulik.txt"));
    EXPECT_TRUE(reporter.notes.empty());
}

}  // namespace
}  // namespace vellum
