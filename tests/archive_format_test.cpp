#include "archive/format.h"

#include <gtest/gtest.h>

#include <random>

#include "manage_test_support.h"
#include "platform/platform.h"

namespace vellum {
namespace {

using namespace vellum::test;

const Bytes kHeaderBytes = {0x08, 0x00, 0xB0, 0x56, 0x65, 0x6C, 0x6C, 0x75, 0x6D, 0xB0, 0x00, 0x04};

class ArchiveFile : public ::testing::Test {
protected:
    TempFolder tmp;
    fs::path path = tmp / "test.vlm";

    FILE* open(const char* mode) { return platform::open_file(path.string().c_str(), mode); }

    struct Walk {
        std::vector<RecordHead> entries;
        std::vector<uint64_t> offsets;
        WalkStep stop = WalkStep::end;
        uint64_t stop_offset = 0;
        RecordHead stop_head;  // what the damaged record's head held
    };

    // Walks the archive file; a stopped walk must stay where it stopped.
    Walk walk_file() {
        Walk w;
        FILE* f = open("rb");
        ArchiveWalk walk;
        ArchiveHeader header;
        EXPECT_EQ(walk_begin(f, &walk, &header), HeaderResult::ok);
        RecordHead head;
        while (w.entries.size() < 10000 && (w.stop = walk_next(&walk, &head)) == WalkStep::entry) {
            w.entries.push_back(head);
            w.offsets.push_back(walk.entry_offset);
        }
        w.stop_offset = walk.offset;
        w.stop_head = head;
        EXPECT_EQ(walk_next(&walk, &head), w.stop);
        EXPECT_EQ(walk.offset, w.stop_offset);
        std::fclose(f);
        return w;
    }
};

TEST(BufferSetting, BlockSizes) {
    EXPECT_EQ(block_size_for_setting(0), 8388608u);
    EXPECT_EQ(block_size_for_setting(6), 536870912u);
    EXPECT_EQ(block_size_for_setting(7), 0u);
}

// Golden header bytes for every mode and setting.
TEST_F(ArchiveFile, HeaderBytes) {
    for (uint8_t solid = 0; solid <= 1; ++solid) {
        for (uint8_t setting = 0; setting <= kMaxBufferSetting; ++setting) {
            { ArchiveWriter w(path, solid, setting); }
            Bytes expected = kHeaderBytes;
            expected[10] = solid;
            expected[11] = setting;
            EXPECT_EQ(read_file(path), expected);
        }
    }
}

// Golden vector: a.txt holding abc has a 29-byte head, then the coded stream; a
// name too long for its 16-bit length is refused.
TEST_F(ArchiveFile, SingleFileRecordLayout) {
    const Bytes coded = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};  // stands in for a coded stream
    FILE* f = open("wb+");
    ASSERT_TRUE(write_archive_header(f, ArchiveHeader{0, 4}));
    RecordHead head;
    head.original_size = 3;
    head.file_name = "a.txt";
    EXPECT_EQ(record_head_size(head), 29u);
    ASSERT_TRUE(write_record_head(f, head) && write_class_field(f, 9));
    std::fwrite(coded.data(), 1, coded.size(), f);
    ASSERT_TRUE(write_record_length(f, 12, 29 + coded.size()));
    EXPECT_FALSE(write_name(f, std::string(65536, 'n')));
    std::fclose(f);
    Bytes expected = kHeaderBytes;
    append(&expected, {35, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0});
    append(&expected, {'a', '.', 't', 'x', 't', 9, 0});
    append(&expected, coded);
    EXPECT_EQ(read_file(path), expected);
}

// A damaged record after a good one ends the walk at its start, so cutting the
// file there (after an add cut short: length 0) leaves a whole archive.
TEST_F(ArchiveFile, DamagedRecordsStopTheWalk) {
    for (const Damage& damage : damages()) {
        uint64_t good_end = 0;
        {
            ArchiveWriter w(path);
            w.add("", "good.txt", 5);
            good_end = w.position();
            damage.write(w);
        }
        Walk walk = walk_file();
        ASSERT_EQ(walk.entries.size(), 1u);
        EXPECT_EQ(walk.stop, damage.step) << fs::file_size(path);
        EXPECT_EQ(walk.stop_offset, good_end);
        EXPECT_TRUE(damage.step != WalkStep::past_end || walk.stop_head.file_name == "c.txt");
    }
}

// Whatever follows the header, the walk moves forward only and ends.
TEST_F(ArchiveFile, WalkOverRandomGarbageAlwaysEnds) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 200; ++round) {
        Bytes archive = kHeaderBytes;
        for (size_t k = rng() % 200; k > 0; --k)  // small values make plausible lengths
            archive.push_back(static_cast<uint8_t>(rng() % 3 == 0 ? rng() % 40 : rng()));
        write_file(path, archive);
        Walk walk = walk_file();
        ASSERT_LT(walk.entries.size(), 10000u);
        for (size_t k = 1; k < walk.offsets.size(); ++k)
            EXPECT_GT(walk.offsets[k], walk.offsets[k - 1]);
        EXPECT_TRUE(walk.stop == WalkStep::end ? walk.stop_offset == archive.size()
                                               : walk.stop_offset < archive.size());
    }
}

}  // namespace
}  // namespace vellum
