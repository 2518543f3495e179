// Whole compress and extract commands through the drivers, on files on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "archive/compress.h"
#include "archive/extract.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "driver_test_support.h"
#include "platform/platform.h"

namespace vellum {
namespace {

using namespace vellum::test;

class Drivers : public ::testing::Test {
protected:
    struct AddOutcome {
        OpenResult open;
        AddSummary summary;
        CommandTotals totals;
    };

    AddOutcome add(const fs::path& archive, const std::vector<fs::path>& paths, bool solid = false,
                   int setting = kDefaultBufferSetting) {
        Command command(*codec, reporter);
        command.solid = solid;
        command.buffer_setting = setting;
        AddOutcome out{open_or_create_archive(command, archive.string()), {}, {}};
        if (out.open != OpenResult::created && out.open != OpenResult::opened) return out;
        EXPECT_TRUE(prepare_buffers(command));
        for (const fs::path& p : paths) add_path(command, p.string(), out.summary);
        out.totals = command.totals;
        end_command(command);
        return out;
    }

    // Extracts with the archive's own mode and block size, as a reader must.
    ExtractSummary extract(const fs::path& archive, const fs::path& destination,
                           const std::vector<OffsetRange>& ranges = {{0, UINT64_MAX}},
                           CommandTotals* totals = nullptr) {
        Command command(*codec, reporter);
        ArchiveHeader header;
        FILE* f = platform::open_file(archive.string().c_str(), "rb");
        EXPECT_NE(f, nullptr);
        EXPECT_EQ(read_archive_header(f, &header), HeaderResult::ok);
        std::fclose(f);
        command.solid = header.solid;
        command.buffer_setting = header.buffer_setting;
        command.archive_path = archive.string();
        EXPECT_TRUE(prepare_buffers(command));
        ExtractSummary s = extract_ranges(command, ranges, destination.string());
        if (totals) *totals = command.totals;
        end_command(command);
        return s;
    }

    struct Entry {
        uint64_t offset;
        RecordHead head;
        uint16_t file_class;
    };
    static std::vector<Entry> entries(const fs::path& archive) {
        std::vector<Entry> out;
        FILE* f = platform::open_file(archive.string().c_str(), "rb");
        ArchiveWalk walk;
        ArchiveHeader header;
        EXPECT_EQ(walk_begin(f, &walk, &header), HeaderResult::ok);
        RecordHead head;
        while (walk_next(&walk, &head) == WalkStep::entry) {
            uint16_t file_class = 0;
            read_class_field(f, &file_class);
            out.push_back({walk.entry_offset, head, file_class});
        }
        std::fclose(f);
        return out;
    }

    static void expect_same_tree(const fs::path& a, const fs::path& b) {
        for (const auto& item : fs::recursive_directory_iterator(a)) {
            fs::path other = b / fs::relative(item.path(), a);
            if (item.is_directory()) continue;
            ASSERT_TRUE(fs::exists(other)) << other;
            EXPECT_EQ(read_file(item.path()), read_file(other)) << other;
        }
    }

    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();
    RecordingReporter reporter;
    TempFolder tmp;
};

// A tree with something for every path of the drivers.
fs::path make_tree(const fs::path& root) {
    fs::path docs = root / "docs";
    write_file(docs / "a.txt", text_bytes(20000, 1));
    write_file(docs / "empty.txt", {});
    write_file(docs / "archive.tar.gz", random_data(3000, 2));
    write_file(docs / "sub" / "b.txt", text_bytes(5000, 3));
    write_file(docs / "sub" / "deeper" / "setup.dat", x86_like(30000, 4));
    write_file(docs / "sub" / "tone.wav", wave16(6000, 1));
    write_file(docs / "stereo.wav", wave16(4000, 2));
    write_file(docs / "photo.bmp", Bytes{0x50, 0x4B, 0x03, 0x04, 1, 2, 3, 4, 5});
    write_file(docs / "packed.zip", random_data(1000, 5));
    fs::create_directories(docs / "nothing" / "inside");
    return docs;
}

TEST_F(Drivers, FolderRoundTripNormalAndSolid) {
    fs::path docs = make_tree(tmp / "src");
    for (bool solid : {false, true}) {
        for (int setting : {0, 4}) {
            SCOPED_TRACE(std::string(solid ? "solid" : "normal") + " setting " + std::to_string(setting));
            fs::path archive = tmp / ("t" + std::to_string(solid) + std::to_string(setting) + ".vlm");
            auto added = add(archive, {docs}, solid, setting);
            ASSERT_EQ(added.open, OpenResult::created);
            EXPECT_EQ(added.summary.added, 9u);
            EXPECT_EQ(added.totals.files_processed, 9u);
            fs::path out = tmp / ("out" + std::to_string(solid) + std::to_string(setting));
            ExtractSummary s = extract(archive, out);
            EXPECT_TRUE(s.ok());
            EXPECT_EQ(s.written, 9u);
            expect_same_tree(docs, out / "docs");
            EXPECT_FALSE(fs::exists(out / "docs" / "nothing"));  // folders leave no entry
        }
    }
    EXPECT_TRUE(reporter.notes.empty());
}

TEST_F(Drivers, RecordLayoutAndClasses) {
    write_file(tmp / "a.txt", Bytes{'a', 'b', 'c'});
    write_file(tmp / "x.zip", Bytes{1, 2, 3, 4, 5, 6, 7});
    write_file(tmp / "e", {});
    fs::path archive = tmp / "r.vlm";
    add(archive, {tmp / "a.txt", tmp / "x.zip", tmp / "e"});
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].offset, 12u);
    EXPECT_EQ(list[0].file_class, 9);
    EXPECT_GT(list[0].head.record_length, 29u + 4);
    // The stored entry holds the file's bytes right after its class field.
    EXPECT_EQ(list[1].file_class, 17);
    EXPECT_EQ(list[1].head.record_length, 24u + 5 + 7);
    Bytes whole = read_file(archive);
    uint64_t data = list[1].offset + 24 + 5;
    EXPECT_EQ(Bytes(whole.begin() + data, whole.begin() + data + 7), (Bytes{1, 2, 3, 4, 5, 6, 7}));
    // An empty file: head, class field, and the flush FF FF FF FF.
    EXPECT_EQ(list[2].head.record_length, 24u + 1 + 4);
    EXPECT_EQ(Bytes(whole.end() - 4, whole.end()), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(list[2].offset + list[2].head.record_length, whole.size());
}

// A file of exactly one block and one of one block plus one byte, at 8 MiB blocks.
TEST_F(Drivers, BlockBoundaries) {
    const size_t block = 8u << 20;
    Bytes big = text_bytes(block + 1, 9);
    for (size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<uint8_t>(i >> 12);
    write_file(tmp / "one.txt", Bytes(big.begin(), big.begin() + block));
    write_file(tmp / "more.txt", big);
    fs::path archive = tmp / "b.vlm";
    add(archive, {tmp / "one.txt", tmp / "more.txt"}, false, 0);
    fs::path out = tmp / "out";
    EXPECT_TRUE(extract(archive, out).ok());
    EXPECT_EQ(read_file(out / "one.txt"), Bytes(big.begin(), big.begin() + block));
    EXPECT_EQ(read_file(out / "more.txt"), big);
    // Live progress inside the blocks, counted per file both ways.
    EXPECT_GT(reporter.ticks, 30);
    EXPECT_FALSE(reporter.progress_wrong);
}

// In normal mode a file's entry does not depend on what was added before it.
TEST_F(Drivers, NormalEntriesAreIndependent) {
    write_file(tmp / "a.txt", text_bytes(40000, 1));
    write_file(tmp / "b.txt", text_bytes(30000, 1));
    add(tmp / "alone.vlm", {tmp / "b.txt"});
    add(tmp / "both.vlm", {tmp / "a.txt", tmp / "b.txt"});
    Bytes alone = read_file(tmp / "alone.vlm"), both = read_file(tmp / "both.vlm");
    size_t record = alone.size() - 12;
    EXPECT_EQ(Bytes(alone.begin() + 12, alone.end()), Bytes(both.end() - record, both.end()));
}

TEST_F(Drivers, AppendsOverSeveralCommandsAdoptTheBlockSize) {
    write_file(tmp / "a.txt", text_bytes(1000, 1));
    write_file(tmp / "b.txt", text_bytes(2000, 2));
    fs::path archive = tmp / "grow.vlm";
    ASSERT_EQ(add(archive, {tmp / "a.txt"}, false, 0).open, OpenResult::created);
    // The second command asks for 128 MiB blocks but gets the archive's 8 MiB.
    Command probe(*codec, reporter);
    probe.buffer_setting = 4;
    ASSERT_EQ(open_or_create_archive(probe, archive.string()), OpenResult::opened);
    EXPECT_EQ(probe.buffer_setting, 0);
    ASSERT_EQ(add(archive, {tmp / "b.txt"}, false, 4).open, OpenResult::opened);
    EXPECT_EQ(entries(archive).size(), 2u);
    fs::path out = tmp / "out";
    EXPECT_TRUE(extract(archive, out).ok());
    EXPECT_EQ(read_file(out / "b.txt"), text_bytes(2000, 2));
}

TEST_F(Drivers, OpeningChecksModesAndNames) {
    write_file(tmp / "a.txt", text_bytes(100, 1));
    // "backup" becomes backup.vlm; naming it again opens it, never overwrites.
    ASSERT_EQ(add(tmp / "backup", {tmp / "a.txt"}).open, OpenResult::created);
    EXPECT_TRUE(fs::exists(tmp / "backup.vlm"));
    EXPECT_EQ(add(tmp / "backup", {tmp / "a.txt"}).open, OpenResult::opened);
    EXPECT_EQ(add(tmp / "backup.vlm", {tmp / "a.txt"}).open, OpenResult::opened);
    EXPECT_FALSE(fs::exists(tmp / "backup.vlm.vlm"));
    EXPECT_EQ(entries(tmp / "backup.vlm").size(), 3u);

    add(tmp / "solid.vlm", {tmp / "a.txt"}, true);
    reporter.notes.clear();
    EXPECT_EQ(add(tmp / "backup.vlm", {}, true).open, OpenResult::refused);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].text, "Incompatible mode");
    EXPECT_EQ(reporter.notes[0].caption, "Notice");
    reporter.notes.clear();
    EXPECT_EQ(add(tmp / "solid.vlm", {}, false).open, OpenResult::refused);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].text, "Archive Closed");
    reporter.notes.clear();
    EXPECT_EQ(add(tmp / "solid.vlm", {}, true).open, OpenResult::refused);
    ASSERT_EQ(reporter.notes.size(), 2u);
    EXPECT_EQ(reporter.notes[0].text, "Incompatible mode");
    EXPECT_EQ(reporter.notes[1].text, "Archive Closed");

    reporter.notes.clear();
    EXPECT_EQ(add(tmp / "a.txt", {}).open, OpenResult::not_archive);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].text, "Not Archive");
    EXPECT_EQ(reporter.notes[0].caption, "Warning");
    EXPECT_EQ(reporter.notes[0].flags, 0x40u);
}

// Three small files in one solid run; extracting only the third decodes the
// first two without writing them.
TEST_F(Drivers, SolidExtractOfTheLastEntryOnly) {
    Bytes shared = text_bytes(8000, 7);
    write_file(tmp / "1.txt", shared);
    write_file(tmp / "2.dat", x86_like(9000, 8));
    write_file(tmp / "3.txt", Bytes(shared.begin() + 10, shared.end()));
    fs::path archive = tmp / "s.vlm";
    add(archive, {tmp / "1.txt", tmp / "2.dat", tmp / "3.txt"}, true, 0);
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 3u);
    // The third file repeats the first: the shared history makes it cheap.
    EXPECT_LT(list[2].head.record_length * 5, list[0].head.record_length);
    fs::path out = tmp / "out";
    CommandTotals totals;
    ExtractSummary s = extract(archive, out, {{list[2].offset, list[2].offset + 1}}, &totals);
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(s.written, 1u);
    EXPECT_FALSE(fs::exists(out / "1.txt"));
    EXPECT_FALSE(fs::exists(out / "2.dat"));
    EXPECT_EQ(read_file(out / "3.txt"), Bytes(shared.begin() + 10, shared.end()));
    EXPECT_EQ(totals.files_processed, 1u);
    EXPECT_EQ(totals.processed_total, shared.size() - 10);
    EXPECT_EQ(totals.compressed_total, list[0].head.record_length + list[1].head.record_length +
                                           list[2].head.record_length);
}

// A stored file between two coded ones leaves the fill offset alone; a filtered
// file followed by one repeating its bytes needs the extractor to filter again.
TEST_F(Drivers, SolidStoredFilteredAndLargeFiles) {
    // Random bytes behind an executable header: only the earlier copy predicts them.
    Bytes code = x86_like(2000, 3);
    Bytes noise = random_data(18000, 3);
    code.insert(code.end(), noise.begin(), noise.end());
    write_file(tmp / "a.exe", code);
    write_file(tmp / "b.zip", random_data(5000, 4));
    write_file(tmp / "c.exe", code);
    // Larger than what is left of an 8 MiB buffer: coded in blocks from 0.
    Bytes large = text_bytes((8u << 20) + 1000, 5);
    write_file(tmp / "large.txt", large);
    write_file(tmp / "after.txt", text_bytes(3000, 5));
    fs::path archive = tmp / "s.vlm";
    add(archive, {tmp / "a.exe", tmp / "b.zip", tmp / "c.exe", tmp / "large.txt", tmp / "after.txt"},
        true, 0);
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].file_class, 4);
    EXPECT_EQ(list[1].file_class, 17);
    EXPECT_LT(list[2].head.record_length * 10, list[0].head.record_length);
    fs::path out = tmp / "out";
    EXPECT_TRUE(extract(archive, out).ok());
    EXPECT_EQ(read_file(out / "a.exe"), code);
    EXPECT_EQ(read_file(out / "c.exe"), code);
    EXPECT_EQ(read_file(out / "b.zip"), random_data(5000, 4));
    EXPECT_EQ(read_file(out / "large.txt"), large);
    EXPECT_EQ(read_file(out / "after.txt"), text_bytes(3000, 5));
}

// A file of exactly the room left in the solid buffer is large (strictly less
// is small), and goes to the start of a fresh buffer.
TEST_F(Drivers, SolidFileOfExactlyTheRoomLeft) {
    const size_t block = 8u << 20;
    write_file(tmp / "first.txt", text_bytes(1000, 1));
    write_file(tmp / "exact.txt", text_bytes(block - 1000, 2));
    write_file(tmp / "next.txt", text_bytes(1000, 1));
    fs::path archive = tmp / "s.vlm";
    add(archive, {tmp / "first.txt", tmp / "exact.txt", tmp / "next.txt"}, true, 0);
    fs::path out = tmp / "out";
    EXPECT_TRUE(extract(archive, out).ok());
    EXPECT_EQ(read_file(out / "exact.txt"), text_bytes(block - 1000, 2));
    EXPECT_EQ(read_file(out / "next.txt"), text_bytes(1000, 1));
}

TEST_F(Drivers, UnreadableSourceIsReportedAndSkipped) {
    write_file(tmp / "a.txt", text_bytes(100, 1));
    write_file(tmp / "c.txt", text_bytes(100, 3));
    auto added = add(tmp / "k.vlm", {tmp / "a.txt", tmp / "missing.txt", tmp / "c.txt"});
    EXPECT_EQ(added.summary.added, 2u);
    EXPECT_EQ(added.summary.skipped, 1u);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE");
    EXPECT_EQ(reporter.notes[0].text, (tmp / "missing.txt").string());
    EXPECT_EQ(entries(tmp / "k.vlm").size(), 2u);
}

// An add killed midway leaves a record whose length is still 0; the next add
// cuts it off so new entries stay reachable.
TEST_F(Drivers, InterruptedAddIsCutOffByTheNextAdd) {
    write_file(tmp / "a.txt", text_bytes(3000, 1));
    write_file(tmp / "b.txt", text_bytes(3000, 2));
    fs::path archive = tmp / "i.vlm";
    add(archive, {tmp / "a.txt"});
    const uintmax_t sound = fs::file_size(archive);
    {
        std::ofstream tail(archive, std::ios::binary | std::ios::app);
        tail.write("\0\0\0\0\0\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0\x03\0ab", 24);
    }
    EXPECT_EQ(add(archive, {tmp / "b.txt"}).open, OpenResult::opened);
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].offset, sound);
    fs::path out = tmp / "out";
    EXPECT_TRUE(extract(archive, out).ok());
    EXPECT_EQ(read_file(out / "b.txt"), text_bytes(3000, 2));
}

TEST_F(Drivers, OtherDamageRefusesTheAdd) {
    write_file(tmp / "a.txt", text_bytes(3000, 1));
    fs::path archive = tmp / "d.vlm";
    add(archive, {tmp / "a.txt"});
    Bytes whole = read_file(archive);
    whole[12] += 1;  // the record now reaches one byte past the end
    write_file(archive, whole);
    EXPECT_EQ(add(archive, {tmp / "a.txt"}).open, OpenResult::damaged);
    EXPECT_EQ(read_file(archive), whole);
}

TEST_F(Drivers, DamagedEntriesAreReportedAndTheRestExtracted) {
    write_file(tmp / "a.txt", text_bytes(3000, 1));
    write_file(tmp / "b.txt", text_bytes(3000, 2));
    write_file(tmp / "c.txt", text_bytes(3000, 3));
    fs::path archive = tmp / "d.vlm";
    add(archive, {tmp / "a.txt", tmp / "b.txt", tmp / "c.txt"});
    auto list = entries(archive);
    Bytes whole = read_file(archive);
    // b: a class this format never writes; its coded bytes are never used.
    whole[list[1].offset + 24 + 5 - 2] = 6;
    write_file(archive, whole);
    fs::path out = tmp / "out";
    ExtractSummary s = extract(archive, out);
    EXPECT_EQ(s.written, 2u);
    EXPECT_EQ(s.damaged, 1u);
    EXPECT_TRUE(reporter.said("Damaged entry: skipped"));
    EXPECT_FALSE(fs::exists(out / "b.txt"));
    EXPECT_EQ(read_file(out / "c.txt"), text_bytes(3000, 3));

    // Flipped bits inside b's coded data.
    whole[list[1].offset + 24 + 5 - 2] = 9;
    const uint64_t data_start = list[1].offset + 24 + 5;
    const uint64_t data_length = list[1].head.record_length - 24 - 5;
    for (int flip = 0; flip < 40; ++flip) {
        Bytes bad = whole;
        bad[data_start + (flip * 7919) % data_length] ^= 0x5A;
        write_file(archive, bad);
        fs::path o = tmp / ("o" + std::to_string(flip));
        ExtractSummary t = extract(archive, o);
        // Damage that the decoder notices leaves no file; unnoticed damage
        // still gives a file of the right size; the neighbours always come out.
        if (fs::exists(o / "b.txt")) EXPECT_EQ(fs::file_size(o / "b.txt"), 3000u);
        else EXPECT_EQ(t.damaged, 1u);
        EXPECT_EQ(read_file(o / "a.txt"), text_bytes(3000, 1));
        EXPECT_EQ(read_file(o / "c.txt"), text_bytes(3000, 3));
    }
}

// Hand-made records whose paths would leave the destination.
TEST_F(Drivers, PathsOutsideTheDestinationAreRefused) {
    fs::path archive = tmp / "evil.vlm";
    FILE* f = platform::open_file(archive.string().c_str(), "wb");
    write_archive_header(f, ArchiveHeader{});
    const char* folders[] = {"..\\", "..\\..\\x\\", "\\etc\\", "C:\\", "a\\..\\..\\", ""};
    const char* names[] = {"p1", "p2", "p3", "p4", "p5", ".."};
    for (int i = 0; i < 6; ++i) {
        RecordHead head;
        head.folder_path = folders[i];
        head.file_name = names[i];
        head.original_size = 3;
        head.record_length = record_head_size(head) + 3;
        write_record_head(f, head);
        write_class_field(f, 17);
        std::fwrite("abc", 1, 3, f);
    }
    std::fclose(f);
    fs::path out = tmp / "deep" / "out";
    ExtractSummary s = extract(archive, out);
    EXPECT_EQ(s.written, 0u);
    EXPECT_EQ(s.skipped, 6u);
    EXPECT_TRUE(reporter.said("Unsafe path: entry skipped"));
    for (const auto& item : fs::recursive_directory_iterator(tmp.path()))
        EXPECT_TRUE(item.is_directory() || item.path() == archive) << item.path();
}

// A solid entry whose file cannot be created is still decoded, so the entries
// after it come out right.
TEST_F(Drivers, SolidEntryWithoutOutputStillKeepsTheRunInStep) {
    Bytes shared = text_bytes(6000, 4);
    write_file(tmp / "src" / "d" / "one.txt", shared);
    write_file(tmp / "src" / "d" / "two.txt", shared);
    fs::path archive = tmp / "s.vlm";
    add(archive, {tmp / "src" / "d"}, true, 0);
    fs::path out = tmp / "out";
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 2u);
    // A folder where the first output file should go.
    fs::create_directories(out / "d" / list[0].head.file_name);
    ExtractSummary s = extract(archive, out);
    EXPECT_EQ(s.skipped, 1u);
    EXPECT_TRUE(reporter.said("Cannot create file: entry skipped"));
    EXPECT_EQ(read_file(out / "d" / list[1].head.file_name), shared);
}

TEST_F(Drivers, FolderWalkPathsCyclesAndTheArchiveItself) {
    fs::path docs = tmp / "docs";
    write_file(docs / "a.txt", text_bytes(100, 1));
    write_file(docs / "sub" / "b.txt", text_bytes(100, 2));
    // A link back up the tree, where the system can make one.
    std::error_code no_links;
    fs::create_directory_symlink(docs, docs / "sub" / "loop", no_links);
    fs::create_directories(tmp / "empty" / "inner");
    // The archive inside the folder being added is never added to itself.
    fs::path archive = docs / "self.vlm";
    auto added = add(archive, {docs, tmp / "empty"});
    EXPECT_EQ(added.summary.added, 2u);
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 2u);
    for (const Entry& e : list) {
        if (e.head.file_name == "a.txt") EXPECT_EQ(e.head.folder_path, "docs\\");
        else EXPECT_EQ(e.head.folder_path, "docs\\sub\\");
    }
}

// Progress of a packed file counts from the file's start, not the buffer's.
TEST_F(Drivers, SolidProgressCountsWithinEachFile) {
    write_file(tmp / "first.txt", text_bytes(3u << 20, 1));
    write_file(tmp / "second.txt", text_bytes(2u << 20, 2));
    fs::path archive = tmp / "p.vlm";
    add(archive, {tmp / "first.txt", tmp / "second.txt"}, true, 0);
    EXPECT_TRUE(extract(archive, tmp / "out").ok());
    EXPECT_GE(reporter.ticks, 6);
    EXPECT_FALSE(reporter.progress_wrong);
}

// "." names the folder it stands for; its entries must stay extractable.
TEST_F(Drivers, DotFolderIsStoredUnderItsOwnName) {
    write_file(tmp / "proj" / "a.txt", text_bytes(100, 1));
    write_file(tmp / "proj" / "sub" / "b.txt", text_bytes(100, 2));
    fs::path archive = tmp / "dot.vlm";
    fs::path here = fs::current_path();
    fs::current_path(tmp / "proj" / "sub");
    add(archive, {"..", "."});
    fs::current_path(here);
    std::vector<std::string> paths;
    for (const Entry& e : entries(archive)) paths.push_back(e.head.folder_path + e.head.file_name);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"proj\\a.txt", "proj\\sub\\b.txt", "sub\\b.txt"}));
    EXPECT_TRUE(extract(archive, tmp / "out").ok());
    EXPECT_EQ(read_file(tmp / "out" / "sub" / "b.txt"), text_bytes(100, 2));
}

TEST_F(Drivers, ProgressNamesEveryFile) {
    write_file(tmp / "a.txt", text_bytes(100, 1));
    write_file(tmp / "b.zip", random_data(100, 1));
    auto added = add(tmp / "p.vlm", {tmp / "a.txt", tmp / "b.zip"});
    EXPECT_EQ(reporter.finished, (std::vector<std::string>{"a.txt", "b.zip"}));
    EXPECT_EQ(added.totals.processed_total, 200u);
    EXPECT_EQ(added.totals.compressed_total, fs::file_size(tmp / "p.vlm") - 12);
}

}  // namespace
}  // namespace vellum
