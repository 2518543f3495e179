// Entries whose heads claim sizes the data cannot back, and the boundaries of the
// solid packing rule: the drivers must report damage, never run past a buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "archive/compress.h"
#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "codec/entry_coder.h"
#include "driver_test_support.h"
#include "manage/info.h"
#include "manage/listing.h"
#include "platform/platform.h"

namespace vellum {
namespace {

using namespace vellum::test;
constexpr size_t kBlock0 = block_size_for_setting(0);

class Crafted : public ::testing::Test {
protected:
    // A new archive at setting 0 holding the given files.
    void add(const fs::path& archive, const std::vector<fs::path>& files, bool solid) {
        Command command(*codec, reporter);
        command.settings.solid = solid;
        command.settings.buffer_setting = 0;
        ASSERT_EQ(open_or_create_archive(command, archive.string()), OpenResult::created);
        ASSERT_TRUE(prepare_buffers(command));
        AddSummary summary;
        for (const fs::path& f : files) add_path(command, f.string(), summary);
        end_command(command);
        ASSERT_EQ(summary.added, files.size());
    }

    // Appends a record by hand: any original size, any class, any data.
    static void append_record(const fs::path& archive, const std::string& name, uint64_t original_size,
                              uint16_t file_class, const Bytes& data) {
        FILE* f = platform::open_file(archive.string().c_str(), "ab");
        ASSERT_NE(f, nullptr);
        RecordHead head{0, original_size, 0, "", name};
        head.record_length = record_head_size(head) + data.size();
        EXPECT_TRUE(write_record_head(f, head) && write_class_field(f, file_class));
        EXPECT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
        std::fclose(f);
    }

    // Every entry of the archive, written below `out` (or only decoded, as the
    // test command does, when `out` is empty), with the archive's own mode.
    ExtractSummary run(const fs::path& archive, const fs::path& out, bool solid) {
        Command command(*codec, reporter);
        command.settings.solid = solid;
        command.settings.buffer_setting = 0;
        command.archive_path = archive.string();
        EXPECT_TRUE(prepare_buffers(command));
        ExtractSummary s;
        if (!out.empty()) {
            s = extract_all(command, out.string());
        } else {
            SilentReporter quiet;
            ArchiveListing listing;
            list_archive(archive.string(), quiet, &listing);
            for (const ListingEntry& e : listing.entries)
                if (check_entry(command, e.offset) == ExtractResult::damaged)
                    ++s.damaged;
        }
        end_command(command);
        return s;
    }

    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();
    RecordingReporter reporter;
    TempFolder tmp;
};

// The packing test both drivers use: strictly less than the room left, and no
// size, however large, wraps around into a fit.
TEST(SolidPacking, RoomLeftNeverWraps) {
    struct Case { size_t fill; uint64_t size; bool packed; };
    const Case cases[] = {
        {0, 0, true},
        {0, kBlock0 - 1, true},
        {0, kBlock0, false},
        {1000, kBlock0 - 1001, true},
        {1000, kBlock0 - 1000, false},     // exactly fills the rest: large
        {1000, ~uint64_t{0}, false},
        {1000, ~uint64_t{0} - 998, false},  // fill + size would wrap to 1
        {kBlock0, 0, false},               // a full buffer has no room at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(fits_after_fill(c.fill, c.size, kBlock0), c.packed) << c.fill << " + " << c.size;
}

// A file that exactly fills the rest of the buffer is coded in blocks and resets
// the fill offset; one byte less is packed behind the files before it.
TEST_F(Crafted, ExactFitIsLargeOneByteLessIsPacked) {
    const Bytes first = text_bytes(5000, 1);
    write_file(tmp / "first.txt", first);
    for (uint64_t less : {0, 1}) {
        write_file(tmp / "rest.txt", text_bytes(kBlock0 - first.size() - less, 2));
        const fs::path archive = tmp / ("s" + std::to_string(less) + ".vlm");
        Command command(*codec, reporter);
        command.settings.solid = 1;
        command.settings.buffer_setting = 0;
        ASSERT_EQ(open_or_create_archive(command, archive.string()), OpenResult::created);
        ASSERT_TRUE(prepare_buffers(command));
        ASSERT_EQ(compress_file(command, (tmp / "first.txt").string(), "", "first.txt"), AddResult::added);
        EXPECT_EQ(command.run.fill, first.size());
        ASSERT_EQ(compress_file(command, (tmp / "rest.txt").string(), "", "rest.txt"), AddResult::added);
        EXPECT_EQ(command.run.fill, less ? kBlock0 - 1 : 0u);
        EXPECT_EQ(command.codec.match.base_position, less ? 0u : kBlock0);
        end_command(command);
        const fs::path out = tmp / ("out" + std::to_string(less));
        EXPECT_TRUE(run(archive, out, true).ok());
        EXPECT_EQ(read_file(out / "rest.txt"), text_bytes(kBlock0 - first.size() - less, 2));
    }
}

// An entry of a solid run whose original size is close to 2^64: added to the fill
// offset it would wrap to a small number, and the delta filter of a class 2 entry
// would then run far past the block buffer.
TEST_F(Crafted, HugeOriginalSizeInASolidRunIsDamageNotOverflow) {
    const Bytes first = text_bytes(3000, 3);
    write_file(tmp / "first.txt", first);
    const fs::path archive = tmp / "huge.vlm";
    add(archive, {tmp / "first.txt"}, true);
    for (uint64_t size : {~uint64_t{0} - first.size() + 2, ~uint64_t{0}, uint64_t{1} << 63})
        append_record(archive, "evil.bmp", size, 2, Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    const ExtractSummary written = run(archive, tmp / "out", true);
    EXPECT_EQ(written.written, 1u);
    EXPECT_EQ(written.damaged, 1u);  // the run stops at its first damaged entry
    EXPECT_EQ(read_file(tmp / "out" / "first.txt"), first);
    EXPECT_FALSE(fs::exists(tmp / "out" / "evil.bmp"));
    // The test command decodes without writing: damaged too, never "sound".
    EXPECT_GE(run(archive, "", true).damaged, 1u);
    EXPECT_TRUE(reporter.said("Damaged entry: skipped"));
}

// The same claim in a normal archive, for every kind of class: a coded entry ends
// at its first overrun of the data, a stored one is refused before any read.
TEST_F(Crafted, HugeOriginalSizesInANormalArchiveAreDamage) {
    const fs::path archive = tmp / "n.vlm";
    write_file(tmp / "a.txt", text_bytes(100, 4));
    add(archive, {tmp / "a.txt"}, false);
    for (uint16_t file_class : {0, 2, 4, 7, 9, 11, 17})
        append_record(archive, "c" + std::to_string(file_class), ~uint64_t{0} - 5, file_class,
                      random_data(64, file_class));
    const ExtractSummary s = run(archive, tmp / "out", false);
    EXPECT_EQ(s.written, 1u);
    EXPECT_EQ(s.damaged, 7u);
    EXPECT_EQ(run(archive, "", false).damaged, 7u);
    // The totals of list and info stop at the largest count instead of wrapping.
    ArchiveListing listing;
    ASSERT_EQ(list_archive(archive.string(), reporter, &listing), ListStatus::complete);
    EXPECT_EQ(archive_totals(listing).original_total, ~uint64_t{0});
}

// Zeroed coded data of a mode 2 entry: the decoder reads an endless run of 1
// bits, and the length guard must call it damaged at the first match instead of
// growing the length class without end. Reported before the first MiB is done.
TEST_F(Crafted, ZeroedModeTwoEntryIsDamagedAtOnce) {
    const fs::path archive = tmp / "z.vlm";
    write_file(tmp / "a.pdf", text_bytes(200000, 5));
    add(archive, {tmp / "a.pdf"}, false);
    Bytes whole = read_file(archive);
    ASSERT_EQ(whole[12 + 8 + 8 + 2 + 2 + 2 + 5], 7);  // class field: PDF, context mode 2
    std::fill(whole.begin() + 12 + 24 + 5, whole.end(), 0);
    write_file(archive, whole);
    const ExtractSummary s = run(archive, tmp / "out", false);
    EXPECT_EQ(s.damaged, 1u);
    EXPECT_EQ(reporter.ticks, 0);
    EXPECT_FALSE(fs::exists(tmp / "out" / "a.pdf"));
}

}  // namespace
}  // namespace vellum
