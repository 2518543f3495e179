// The archive view's listing and the entry count, on archives written record by
// record, on damaged ones, and on one made by the compressor.
#include "manage/listing.h"

#include <gtest/gtest.h>

#include "manage/info.h"
#include "manage_test_support.h"

namespace vellum {
namespace {

using namespace vellum::test;

class Listing : public ManageTest {
protected:
    ListStatus list() { return list_archive(archive, reporter, &listing); }

    // Each row as its name, packed size and size, "|" between them.
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        for (const ListingRow& row : listing.rows)
            out.push_back(row.name + "|" + std::to_string(row.packed) + "|" + std::to_string(row.size) +
                          (row.kind == kRowKindFolder ? " folder" : ""));
        return out;
    }

    // Rows cover every entry once, in order, and each row's range is exactly its records.
    void expect_rows_tile_records() {
        ASSERT_EQ(listing.row_offsets.size(), listing.rows.size() + 1);
        size_t entry = 0;
        for (size_t r = 0; r < listing.rows.size(); ++r) {
            ASSERT_EQ(listing.rows[r].first_entry, entry);
            ASSERT_GE(listing.rows[r].entry_count, 1u);
            EXPECT_EQ(row_range(listing, r).from, listing.entries[entry].offset);
            entry += listing.rows[r].entry_count;
            const ListingEntry& last = listing.entries[entry - 1];
            EXPECT_EQ(row_range(listing, r).to, last.offset + last.record_length) << "row " << r;
        }
        EXPECT_EQ(entry, listing.entries.size());
        EXPECT_EQ(listing.entry_count, entry);
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

// Golden rows: " ", name, record length, original size, "" on white; the
// header's mode and setting are taken over.
TEST_F(Listing, TopLevelFilesGetWhiteRows) {
    {
        ArchiveWriter w(archive, 1, 2);
        w.add("", "a.txt", 100, 333);
        w.add("", "a.txt", 0);  // the same name again: both are listed
        w.add("", "c.doc", 4000, 12345678901ull, 17);
    }
    ASSERT_EQ(list(), ListStatus::complete);
    EXPECT_EQ(listing.header.solid * 10 + listing.header.buffer_setting, 12);
    EXPECT_EQ(rows(), (std::vector<std::string>{"a.txt|129|333", "a.txt|29|0", "c.doc|4029|12345678901"}));
    EXPECT_EQ(listing.entries[2].file_class, 17);
    EXPECT_EQ(listing.row_offsets.back(), fs::file_size(archive));
    expect_rows_tile_records();
    EXPECT_TRUE(reporter.notes.empty());
}

// Golden: one pale yellow "[__]" row per run of entries under a top folder; an
// interrupted run gets a second row, and a file named like a folder its own.
TEST_F(Listing, FoldersGetOneYellowRowPerRun) {
    {
        ArchiveWriter w(archive);
        w.add("docs\\", "a", 5);
        w.add("docs\\sub\\", "b", 5);
        w.add("docs\\sub\\deeper\\", "c", 5);
        w.add("", "note.txt", 5);
        w.add("docs\\", "d", 5);
        w.add("pics\\", "p", 5);
        w.add("", "pics", 5);
        w.add("pics\\", "q", 5);
    }
    ASSERT_EQ(list(), ListStatus::complete);
    const std::string docs = "docs|0|0 folder", pics = "pics|0|0 folder";
    EXPECT_EQ(rows(), (std::vector<std::string>{docs, "note.txt|37|5", docs, pics, "pics|33|5", pics}));
    EXPECT_EQ(listing.rows[0].entry_count, 3u);
    expect_rows_tile_records();
    EXPECT_EQ(find_rows(listing, "docs"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(find_rows(listing, "pics/"), (std::vector<size_t>{3, 5}));
    EXPECT_TRUE(find_rows(listing, "a").empty());  // entries inside a folder have no row
}

// A wrong header: "It is not a Archive", and nothing of an earlier listing stays.
TEST_F(Listing, NotAnArchive) {
    const Bytes header = {0x08, 0x00, 0xB0, 'V', 'e', 'l', 'l', 'u', 'm', 0xB0, 0x00, 0x04};
    auto with = [&](size_t at, uint8_t value) {
        Bytes b = header;
        b[at] = value;
        return b;
    };
    const Bytes cases[] = {
        Bytes(), slice(header, 0, 7), slice(header, 0, 11), with(2, 0xB1), with(9, 0),
        with(0, 9), with(1, 8), with(10, 2), with(11, 7),  // solid flag 2, setting 7
        {0x07, 0x00, 0xB0, 'V', 'e', 'l', 'l', 'u', 'm', 0x00, 0x04},
    };
    { ArchiveWriter w(archive); w.add("", "a", 3); }
    ASSERT_EQ(list(), ListStatus::complete);
    for (const Bytes& bytes : cases) {
        write_file(archive, bytes);
        for (bool opening : {false, true}) {
            reporter.notes.clear();
            const ListStatus status = opening ? open_archive(archive, reporter, &listing) : list();
            EXPECT_EQ(status, ListStatus::not_archive);
            EXPECT_TRUE(listing.rows.empty() && listing.entry_count == 0) << bytes.size();
            EXPECT_EQ(reporter.notes, (Notes{{"It is not a Archive", "Warning", 0x30}}));
        }
    }
}

// Listing a missing archive names it; switching the view to it says nothing.
TEST_F(Listing, MissingFile) {
    EXPECT_EQ(list(), ListStatus::cannot_open);
    EXPECT_EQ(reporter.notes, (Notes{{archive, "NON VA BENE ARCHIVIO NON APERTO", 0}}));
    EXPECT_EQ(open_archive(archive, reporter, &listing), ListStatus::cannot_open);
    EXPECT_EQ(reporter.notes.size(), 1u);
}

// Two whole records, then one the walk cannot pass: the two are listed, no row
// takes in the damage, and the report names the archive and the offset.
TEST_F(Listing, DamagedRecordEndsTheListing) {
    for (const Damage& damage : damages()) {
        WrittenRecord first, second;
        uint64_t damaged_at = 0;
        {
            ArchiveWriter w(archive);
            first = w.add("", "a.txt", 50);
            second = w.add("docs\\", "b.txt", 60);
            damaged_at = w.position();
            damage.write(w);
        }
        reporter.notes.clear();
        EXPECT_EQ(list(), ListStatus::incomplete);
        EXPECT_EQ(listing.entry_count, 2u);
        EXPECT_EQ(listing.damaged_offset, damaged_at);
        EXPECT_EQ(listing.row_offsets, (std::vector<uint64_t>{first.offset, second.offset, damaged_at}));
        ASSERT_EQ(reporter.notes.size(), 1u);
        const Note& note = reporter.notes[0];
        EXPECT_EQ(note.caption, "Archive damaged: listing incomplete");
        EXPECT_EQ(note.flags, 0x30u);
        EXPECT_NE(note.text.find(archive + ": damaged record at offset " + std::to_string(damaged_at)),
                  std::string::npos) << note.text;
    }
}

// Golden: a folder of 25 files gives one "[__]" row and "detected 25 files in
// Archive"; outside the archive view only "Open Archive " is said.
TEST_F(Listing, InfoCountsEveryEntry) {
    {
        ArchiveWriter w(archive, 0, 1);
        for (int i = 0; i < 25; ++i)
            w.add(i % 2 ? "docs\\sub\\" : "docs\\", "f" + std::to_string(i), 10);
    }
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::shown);
    EXPECT_EQ(rows(), std::vector<std::string>{"docs|0|0 folder"});
    const ArchiveTotals totals = archive_totals(listing);
    EXPECT_EQ(totals.block_size, 16u << 20);
    EXPECT_EQ(totals.original_total, 250u);
    EXPECT_EQ(totals.packed_total + 12, fs::file_size(archive));
    EXPECT_TRUE(totals.complete);
    EXPECT_EQ(archive_info(false, archive, reporter, &listing), InfoResult::no_archive);
    EXPECT_EQ(reporter.notes,
              (Notes{{"detected 25 files in Archive", "Info", 0}, {"Open Archive ", "Warning", 0}}));
    EXPECT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(entry_count_text(3000000000ull), "detected 3000000000 files in Archive");
}

// A missing archive counts 0 after the listing's own message; a damaged one what precedes the damage.
TEST_F(Listing, InfoOnMissingAndDamagedArchives) {
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::listing_failed);
    EXPECT_EQ(reporter.notes, (Notes{{archive, "NON VA BENE ARCHIVIO NON APERTO", 0},
                                     {"detected 0 files in Archive", "Info", 0}}));
    { ArchiveWriter w(archive); w.add("", "a", 3); w.add("", "b", 3); w.add_head(0, "", "c", 3); }
    reporter.notes.clear();
    EXPECT_EQ(archive_info(true, archive, reporter, &listing), InfoResult::incomplete);
    ASSERT_EQ(reporter.notes.size(), 2u);
    EXPECT_EQ(reporter.notes[1], (Note{"detected 2 files in Archive", "Info", 0}));
    EXPECT_FALSE(archive_totals(listing).complete);
}

// Files and a folder the compressor added list as added, and the folder row's
// range extracts exactly its files.
TEST_F(Listing, CompressedFilesAndFolderListAndExtractByRow) {
    const fs::path corpus = VELLUM_CORPUS_DIR, docs = tmp / "docs";
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no corpus at " << corpus << " (set VELLUM_CORPUS_DIR when configuring)";
    fs::create_directories(docs / "sub");
    fs::copy_file(corpus / "alice29.txt", docs / "alice29.txt");
    fs::copy_file(corpus / "fireworks.jpeg", docs / "sub" / "fireworks.jpeg");
    compress({corpus / "asyoulik.txt", docs, corpus / "kppkn.gtb"}, 4);
    ASSERT_EQ(list(), ListStatus::complete);
    std::vector<std::string> names;
    for (const ListingRow& row : listing.rows) names.push_back(row.name + "|" + std::to_string(row.size));
    auto size = [&](const char* name) { return std::to_string(fs::file_size(corpus / name)); };
    EXPECT_EQ(names, (std::vector<std::string>{"asyoulik.txt|" + size("asyoulik.txt"), "docs|0",
                                               "kppkn.gtb|" + size("kppkn.gtb")}));
    expect_rows_tile_records();
    ExtractSummary s = extract(row_ranges(listing, {1, 7}));
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(s.written, 2u);
    const fs::path out = tmp / "out" / "docs";
    EXPECT_EQ(read_file(out / "alice29.txt"), read_file(corpus / "alice29.txt"));
    EXPECT_EQ(read_file(out / "sub" / "fireworks.jpeg"), read_file(corpus / "fireworks.jpeg"));
    EXPECT_FALSE(fs::exists(tmp / "out" / "asyoulik.txt"));
    EXPECT_TRUE(reporter.notes.empty());
}

}  // namespace
}  // namespace vellum
