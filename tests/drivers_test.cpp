// Whole compress and extract commands through the drivers, on files on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "archive/compress.h"
#include "codec/code_span.h"
#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "driver_test_support.h"
#include "platform/platform.h"

namespace vellum {
namespace {

using namespace vellum::test;
using Texts = std::vector<std::string>;
constexpr size_t kBlock0 = block_size_for_setting(0);

class Drivers : public ::testing::Test {
protected:
    struct Added {
        OpenResult open;
        AddSummary summary;
        CommandTotals totals;
    };

    Added add(const fs::path& archive, const std::vector<fs::path>& paths, bool solid = false,
              int setting = kDefaultBufferSetting) {
        Command command(*codec, reporter);
        command.settings.solid = solid;
        command.settings.buffer_setting = setting;
        Added out{open_or_create_archive(command, archive.string()), {}, {}};
        if (out.open != OpenResult::created && out.open != OpenResult::opened) return out;
        EXPECT_TRUE(prepare_buffers(command));
        for (const fs::path& p : paths) add_path(command, p.string(), out.summary);
        out.totals = command.totals;
        end_command(command);
        return out;
    }

    // Extracts with the archive's own mode and block size, as a reader must.
    ExtractSummary extract(const fs::path& archive, const fs::path& to,
                           const std::vector<OffsetRange>& ranges = {{0, UINT64_MAX}},
                           CommandTotals* totals = nullptr) {
        Command command(*codec, reporter);
        ArchiveHeader header;
        FILE* f = platform::open_file(archive.string().c_str(), "rb");
        EXPECT_EQ(read_archive_header(f, &header), HeaderResult::ok);
        std::fclose(f);
        command.settings.solid = header.solid;
        command.settings.buffer_setting = header.buffer_setting;
        command.archive_path = archive.string();
        EXPECT_TRUE(prepare_buffers(command));
        ExtractSummary s = extract_ranges(command, ranges, to.string());
        if (totals) *totals = command.totals;
        end_command(command);
        return s;
    }


    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();
    RecordingReporter reporter;
    TempFolder tmp;
};

// Something for every path of the drivers: classes, filters, stored and empty
// files, two dots, nested and empty folders.
TEST_F(Drivers, FolderRoundTripNormalAndSolid) {
    fs::path docs = tmp / "src" / "docs";
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"a.txt", text_bytes(20000, 1)},           {"empty.txt", {}},
        {"archive.tar.gz", random_data(3000, 2)},  {"sub/b.txt", text_bytes(5000, 3)},
        {"sub/deeper/setup.dat", x86_like(30000, 4)}, {"sub/tone.wav", wave16(6000, 1)},
        {"stereo.wav", wave16(4000, 2)},           {"photo.bmp", {0x50, 0x4B, 0x03, 0x04, 1, 2, 3}},
    };
    for (const auto& [name, data] : files) write_file(docs / name, data);
    fs::create_directories(docs / "nothing" / "inside");
    for (bool solid : {false, true}) {
        for (int setting : {0, 4}) {
            const std::string tag = std::to_string(solid) + std::to_string(setting);
            fs::path archive = tmp / (tag + ".vlm"), out = tmp / ("out" + tag);
            Added added = add(archive, {docs}, solid, setting);
            ASSERT_EQ(added.open, OpenResult::created);
            EXPECT_EQ(added.totals.files_processed, files.size());
            ExtractSummary s = extract(archive, out);
            EXPECT_TRUE(s.ok());
            EXPECT_EQ(s.written, files.size());
            for (const auto& [name, data] : files) EXPECT_EQ(read_file(out / "docs" / name), data) << name;
            EXPECT_FALSE(fs::exists(out / "docs" / "nothing"));  // folders leave no entry
        }
    }
    EXPECT_TRUE(reporter.notes.empty());
}

TEST_F(Drivers, RecordLayoutClassesAndTotals) {
    write_file(tmp / "a.txt", text_bytes(2000, 3));
    write_file(tmp / "x.zip", {1, 2, 3, 4, 5, 6, 7});
    write_file(tmp / "e", {});
    write_file(tmp / "b.txt", {'a', 'b', 'c'});
    fs::path archive = tmp / "r.vlm";
    Added added = add(archive, {tmp / "a.txt", tmp / "x.zip", tmp / "e", tmp / "b.txt"});
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].offset, 12u);
    EXPECT_EQ(list[0].file_class, 9);
    EXPECT_LT(list[0].head.record_length, 24u + 5 + 2000);
    // A stored entry holds the file's bytes right after its class field.
    EXPECT_EQ(list[1].file_class, 17);
    EXPECT_EQ(list[1].head.record_length, 24u + 5 + 7);
    Bytes whole = read_file(archive);
    EXPECT_EQ(Bytes(whole.begin() + list[1].offset + 29, whole.begin() + list[1].offset + 36),
              (Bytes{1, 2, 3, 4, 5, 6, 7}));
    // Coding would make an empty file 4 bytes (the flush) and three letters more
    // than three bytes: both are stored, their records as long as the file stored.
    EXPECT_EQ(list[2].file_class, 17);
    EXPECT_EQ(list[2].head.record_length, 24u + 1);
    EXPECT_EQ(list[3].file_class, 17);
    EXPECT_EQ(list[3].head.record_length, 24u + 5 + 3);
    EXPECT_EQ(Bytes(whole.end() - 3, whole.end()), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(reporter.finished, (Texts{"a.txt", "x.zip", "e", "b.txt"}));
    EXPECT_EQ(added.totals.processed_total, 2000u + 7 + 3);
    EXPECT_EQ(added.totals.compressed_total, whole.size() - 12);
}

// Exactly one block, and one block plus one byte, at 8 MiB blocks; live progress
// inside the blocks counts within each file.
TEST_F(Drivers, BlockBoundaries) {
    Bytes big = text_bytes(kBlock0 + 1, 9);
    for (size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<uint8_t>(i >> 12);
    write_file(tmp / "one.txt", Bytes(big.begin(), big.end() - 1));
    write_file(tmp / "more.txt", big);
    add(tmp / "b.vlm", {tmp / "one.txt", tmp / "more.txt"}, false, 0);
    EXPECT_TRUE(extract(tmp / "b.vlm", tmp / "out").ok());
    EXPECT_EQ(read_file(tmp / "out" / "one.txt"), Bytes(big.begin(), big.end() - 1));
    EXPECT_EQ(read_file(tmp / "out" / "more.txt"), big);
    EXPECT_GT(reporter.ticks, 30);
    EXPECT_FALSE(reporter.progress_wrong);
}

// In normal mode an entry does not depend on what was added before it, and later
// commands append with the archive's own block size.
TEST_F(Drivers, NormalEntriesAreIndependentAndAppendable) {
    write_file(tmp / "a.txt", text_bytes(40000, 1));
    write_file(tmp / "b.txt", text_bytes(30000, 1));
    add(tmp / "alone.vlm", {tmp / "b.txt"});
    ASSERT_EQ(add(tmp / "both.vlm", {tmp / "a.txt"}, false, 0).open, OpenResult::created);
    Command probe(*codec, reporter);
    ASSERT_EQ(open_or_create_archive(probe, (tmp / "both.vlm").string()), OpenResult::opened);
    EXPECT_EQ(probe.settings.buffer_setting, 0);
    // While one command holds the archive, another is turned away.
    EXPECT_EQ(add(tmp / "both.vlm", {tmp / "b.txt"}, false, 4).open, OpenResult::busy);
    probe.close_archive();
    ASSERT_EQ(add(tmp / "both.vlm", {tmp / "b.txt"}, false, 4).open, OpenResult::opened);
    Bytes alone = read_file(tmp / "alone.vlm"), both = read_file(tmp / "both.vlm");
    EXPECT_EQ(Bytes(alone.begin() + 12, alone.end()), Bytes(both.end() - (alone.size() - 12), both.end()));
    EXPECT_TRUE(extract(tmp / "both.vlm", tmp / "out").ok());
    EXPECT_EQ(read_file(tmp / "out" / "b.txt"), text_bytes(30000, 1));
}

TEST_F(Drivers, OpeningChecksNamesAndModes) {
    write_file(tmp / "a.txt", text_bytes(100, 1));
    // "backup" becomes backup.vlm; naming it again opens it, never overwrites.
    EXPECT_EQ(add(tmp / "backup", {tmp / "a.txt"}).open, OpenResult::created);
    EXPECT_EQ(add(tmp / "backup", {tmp / "a.txt"}).open, OpenResult::opened);
    EXPECT_EQ(add(tmp / "backup.vlm", {tmp / "a.txt"}).open, OpenResult::opened);
    EXPECT_FALSE(fs::exists(tmp / "backup.vlm.vlm"));
    EXPECT_EQ(entries(tmp / "backup.vlm").size(), 3u);
    add(tmp / "solid.vlm", {tmp / "a.txt"}, true);

    struct Case { fs::path archive; bool solid; OpenResult result; Texts said; };
    const Case cases[] = {
        {tmp / "backup.vlm", true, OpenResult::refused, {"Incompatible mode"}},
        {tmp / "solid.vlm", false, OpenResult::refused, {"Archive Closed"}},
        {tmp / "solid.vlm", true, OpenResult::refused, {"Incompatible mode", "Archive Closed"}},
        {tmp / "a.txt", false, OpenResult::not_archive, {"Not Archive"}},
    };
    for (const Case& c : cases) {
        reporter.notes.clear();
        EXPECT_EQ(add(c.archive, {}, c.solid).open, c.result);
        EXPECT_EQ(reporter.texts(), c.said);
    }
    EXPECT_EQ(reporter.notes[0].caption, "Warning");
    EXPECT_EQ(reporter.notes[0].flags, 0x40u);
}

// Three files in one solid run; extracting only the third decodes the first two
// without writing them.
TEST_F(Drivers, SolidExtractOfTheLastEntryOnly) {
    Bytes shared = text_bytes(8000, 7);
    write_file(tmp / "1.txt", shared);
    write_file(tmp / "2.dat", x86_like(9000, 8));
    write_file(tmp / "3.txt", Bytes(shared.begin() + 10, shared.end()));
    add(tmp / "s.vlm", {tmp / "1.txt", tmp / "2.dat", tmp / "3.txt"}, true, 0);
    auto list = entries(tmp / "s.vlm");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_LT(list[2].head.record_length * 5, list[0].head.record_length);  // shared history
    CommandTotals totals;
    ExtractSummary s = extract(tmp / "s.vlm", tmp / "out", {{list[2].offset, list[2].offset + 1}}, &totals);
    EXPECT_TRUE(s.ok());
    EXPECT_FALSE(fs::exists(tmp / "out" / "1.txt") || fs::exists(tmp / "out" / "2.dat"));
    EXPECT_EQ(read_file(tmp / "out" / "3.txt"), Bytes(shared.begin() + 10, shared.end()));
    EXPECT_EQ(totals.files_processed, 1u);
    EXPECT_EQ(totals.processed_total, shared.size() - 10);
    EXPECT_EQ(totals.compressed_total,
              list[0].head.record_length + list[1].head.record_length + list[2].head.record_length);
}

// A stored file between coded ones leaves the fill offset alone; a filtered file
// repeated later needs the extractor to filter again; a file of exactly the room
// left is large and restarts the buffer.
TEST_F(Drivers, SolidStoredFilteredAndLargeFiles) {
    Bytes code = x86_like(2000, 3), noise = random_data(18000, 3);
    code.insert(code.end(), noise.begin(), noise.end());  // only the earlier copy predicts it
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"a.exe", code}, {"b.zip", random_data(5000, 4)}, {"c.exe", code},
        {"exact.txt", text_bytes(kBlock0 - 2 * code.size(), 5)},
        {"large.txt", text_bytes(kBlock0 + 1000, 6)}, {"after.txt", text_bytes(3000, 5)},
    };
    std::vector<fs::path> paths;
    for (const auto& [name, data] : files) write_file(paths.emplace_back(tmp / name), data);
    add(tmp / "s.vlm", paths, true, 0);
    auto list = entries(tmp / "s.vlm");
    ASSERT_EQ(list.size(), files.size());
    EXPECT_EQ(list[0].file_class, 4);
    EXPECT_EQ(list[1].file_class, 17);
    EXPECT_LT(list[2].head.record_length * 10, list[0].head.record_length);
    EXPECT_TRUE(extract(tmp / "s.vlm", tmp / "out").ok());
    for (const auto& [name, data] : files) EXPECT_EQ(read_file(tmp / "out" / name), data) << name;
}

// Progress of a packed file counts from the file's start, not the buffer's.
TEST_F(Drivers, SolidProgressCountsWithinEachFile) {
    write_file(tmp / "first.txt", text_bytes(3u << 20, 1));
    write_file(tmp / "second.txt", text_bytes(2u << 20, 2));
    add(tmp / "p.vlm", {tmp / "first.txt", tmp / "second.txt"}, true, 0);
    EXPECT_TRUE(extract(tmp / "p.vlm", tmp / "out").ok());
    EXPECT_GE(reporter.ticks, 6);
    EXPECT_FALSE(reporter.progress_wrong);
}

TEST_F(Drivers, UnreadableSourceIsReportedAndSkipped) {
    write_file(tmp / "a.txt", text_bytes(100, 1));
    Added added = add(tmp / "k.vlm", {tmp / "a.txt", tmp / "missing.txt", tmp / "a.txt"});
    EXPECT_EQ(added.summary.added, 2u);
    EXPECT_EQ(added.summary.skipped, 1u);
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].caption, "NON VA BENE");
    EXPECT_EQ(reporter.notes[0].text, (tmp / "missing.txt").string());
    EXPECT_EQ(entries(tmp / "k.vlm").size(), 2u);
}

// An add killed midway leaves a record whose length is still 0: the next add cuts
// it off. Any other damage refuses the add and leaves the file as it was.
TEST_F(Drivers, InterruptedTailIsCutOtherDamageRefused) {
    write_file(tmp / "a.txt", text_bytes(3000, 1));
    fs::path archive = tmp / "i.vlm";
    add(archive, {tmp / "a.txt"});
    const uintmax_t sound = fs::file_size(archive);
    std::ofstream(archive, std::ios::binary | std::ios::app).write("\0\0\0\0\0\0\0\0\x05\0\0\0\0", 13);
    EXPECT_EQ(add(archive, {tmp / "a.txt"}).open, OpenResult::opened);
    auto list = entries(archive);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].offset, sound);
    EXPECT_TRUE(extract(archive, tmp / "out").ok());

    Bytes whole = read_file(archive);
    whole[12] += 1;  // the first record now reaches past the second's start
    write_file(archive, whole);
    whole[list[1].offset] += 1;
    write_file(archive, whole);  // and the last one past the end
    EXPECT_EQ(add(archive, {tmp / "a.txt"}).open, OpenResult::damaged);
    EXPECT_EQ(read_file(archive), whole);
}

TEST_F(Drivers, DamagedEntriesAreReportedAndTheRestExtracted) {
    for (int i = 1; i <= 3; ++i) write_file(tmp / ("f" + std::to_string(i)), text_bytes(3000, i));
    fs::path archive = tmp / "d.vlm";
    add(archive, {tmp / "f1", tmp / "f2", tmp / "f3"});
    auto list = entries(archive);
    const Bytes whole = read_file(archive);
    const uint64_t data = list[1].offset + 26, length = list[1].head.record_length - 26;
    // A class this format never writes; then bits flipped in the coded data.
    std::vector<Bytes> damaged(1, whole);
    damaged[0][data - 2] = 6;
    for (int flip = 0; flip < 30; ++flip) {
        damaged.push_back(whole);
        damaged.back()[data + (flip * 7919) % length] ^= 0x5A;
    }
    // Stray bytes inside the record: the coded data no longer ends where it does.
    Bytes padded = whole;
    padded.insert(padded.begin() + static_cast<long>(list[1].offset + list[1].head.record_length), 3, 0);
    padded[list[1].offset] += 3;  // small records: no carry into the next byte
    damaged.insert(damaged.begin(), padded);
    for (size_t i = 0; i < damaged.size(); ++i) {
        write_file(archive, damaged[i]);
        fs::path out = tmp / ("o" + std::to_string(i));
        ExtractSummary s = extract(archive, out);
        // Noticed damage leaves no file; unnoticed damage still gives the right
        // size; the neighbours always come out.
        if (i < 2 || !fs::exists(out / "f2")) {
            EXPECT_EQ(s.damaged, 1u);
            EXPECT_FALSE(fs::exists(out / "f2"));
        } else {
            EXPECT_EQ(fs::file_size(out / "f2"), 3000u);
        }
        EXPECT_EQ(read_file(out / "f1"), text_bytes(3000, 1));
        EXPECT_EQ(read_file(out / "f3"), text_bytes(3000, 3));
    }
    EXPECT_TRUE(reporter.said("Damaged entry: skipped"));
}

// Hand-made records whose paths would leave the destination.
TEST_F(Drivers, PathsOutsideTheDestinationAreRefused) {
    fs::path archive = tmp / "evil.vlm";
    FILE* f = platform::open_file(archive.string().c_str(), "wb");
    write_archive_header(f, ArchiveHeader{});
    const std::pair<const char*, const char*> paths[] = {
        {"..\\", "p1"}, {"..\\..\\x\\", "p2"}, {"\\etc\\", "p3"}, {"C:\\", "p4"}, {"a\\..\\..\\", "p5"},
        {"", ".."}};
    for (const auto& [folder, name] : paths) {
        RecordHead head{0, 3, 0, folder, name};
        head.record_length = record_head_size(head) + 3;
        write_record_head(f, head);
        write_class_field(f, 17);
        std::fwrite("abc", 1, 3, f);
    }
    std::fclose(f);
    ExtractSummary s = extract(archive, tmp / "deep" / "out");
    EXPECT_EQ(s.written, 0u);
    EXPECT_EQ(s.skipped, 6u);
    EXPECT_TRUE(reporter.said("Unsafe path: entry skipped"));
    for (const auto& item : fs::recursive_directory_iterator(tmp.path()))
        EXPECT_TRUE(item.is_directory() || item.path() == archive) << item.path();
}

// A solid entry whose file cannot be created is still decoded, so the entries
// after it come out right.
TEST_F(Drivers, SolidEntryWithoutOutputKeepsTheRunInStep) {
    Bytes shared = text_bytes(6000, 4);
    write_file(tmp / "d" / "one.txt", shared);
    write_file(tmp / "d" / "two.txt", shared);
    add(tmp / "s.vlm", {tmp / "d"}, true, 0);
    auto list = entries(tmp / "s.vlm");
    ASSERT_EQ(list.size(), 2u);
    fs::create_directories(tmp / "out" / "d" / list[0].head.file_name);  // a folder in the way
    EXPECT_EQ(extract(tmp / "s.vlm", tmp / "out").skipped, 1u);
    EXPECT_TRUE(reporter.said("Cannot create file: entry skipped"));
    EXPECT_EQ(read_file(tmp / "out" / "d" / list[1].head.file_name), shared);
}

// Folder paths, "." and ".." under the folder's own name, no cycles through
// links, and never the archive itself.
TEST_F(Drivers, FolderWalk) {
    fs::path proj = tmp / "proj";
    write_file(proj / "a.txt", text_bytes(100, 1));
    write_file(proj / "sub" / "b.txt", text_bytes(100, 2));
    std::error_code no_links;  // where the system can make a link back up the tree
    fs::create_directory_symlink(proj, proj / "sub" / "loop", no_links);
    fs::create_directories(tmp / "empty" / "inner");
    fs::path here = fs::current_path();
    fs::current_path(proj / "sub");
    Added added = add(proj / "self.vlm", {"..", ".", tmp / "empty"});
    fs::current_path(here);
    Texts paths;
    for (const Entry& e : entries(proj / "self.vlm")) paths.push_back(e.head.folder_path + e.head.file_name);
    std::sort(paths.begin(), paths.end());
    // Walking "." follows the link once up to proj, whose sub it has entered already.
    Texts expected = {"proj\\a.txt", "proj\\sub\\b.txt", "sub\\b.txt"};
    if (!no_links) expected.push_back("sub\\loop\\a.txt");
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(added.summary.added, expected.size());
    EXPECT_TRUE(extract(proj / "self.vlm", tmp / "out").ok());
    EXPECT_EQ(read_file(tmp / "out" / "sub" / "b.txt"), text_bytes(100, 2));
}

// A sink that takes `room` bytes and then fails, as a full disk does, counting
// every byte it is offered.
class FullSink : public EntrySink {
public:
    FullSink(uint64_t room, uint64_t* offered) : room_(room), offered_(offered) {}
    bool write(const uint8_t*, size_t size) override {
        *offered_ += size;
        if (size > room_) {
            error_ = ENOSPC;
            return false;
        }
        room_ -= size;
        return true;
    }
    int error() const override { return error_; }
    SinkOutcome finish(bool, Reporter& reporter) override {
        if (error_ != 0) report(reporter, msg::kOutputWriteFailed, "big", error_);
        return error_ != 0 ? SinkOutcome::not_written : SinkOutcome::written;
    }

private:
    uint64_t room_;
    uint64_t* offered_;
    int error_ = 0;
};

// An entry that expands far beyond the room left (24 MiB of zeros in three
// blocks): once its output has failed the decoding stops, with one thread and
// with workers, where the entry runs again alone once before its failure counts.
// Catches decoding to the end of an entry nothing can be kept of.
TEST_F(Drivers, DecodingStopsOnceTheOutputHasFailed) {
    write_file(tmp / "zeros.bin", Bytes(size_t{24} << 20, 0));
    ASSERT_EQ(add(tmp / "z.vlm", {tmp / "zeros.bin"}, false, 0).summary.added, 1u);
    const std::vector<Entry> list = entries(tmp / "z.vlm");
    ASSERT_EQ(list.size(), 1u);
    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        Command command(*codec, reporter);
        command.settings.buffer_setting = 0;
        command.settings.threads = threads;
        command.archive_path = (tmp / "z.vlm").string();
        command.archive = platform::open_file(command.archive_path.c_str(), "rb");
        ASSERT_TRUE(prepare_buffers(command));
        uint64_t offered = 0;
        std::vector<EntryTask> tasks(1);
        tasks[0].offset = list[0].offset;
        tasks[0].name = "big";
        tasks[0].sink = std::make_unique<FullSink>(uint64_t{1} << 20, &offered);
        const ExtractSummary s = extract_entries(command, tasks);
        end_command(command);
        EXPECT_EQ(s.skipped, 1u);
        EXPECT_EQ(s.damaged, 0u);
        // Each run stops at the next tick of the position loop after the
        // failure; a long match is one step, so zeros tick once a block.
        const uint64_t runs = threads == 1 ? 1 : 2;
        EXPECT_LE(offered, runs * (kBlock0 + SpanProgress::kInterval)) << offered;
    }
}

}  // namespace
}  // namespace vellum
