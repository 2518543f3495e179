#include "archive/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "manage_test_support.h"
#include "platform/platform.h"

namespace vellum {
namespace {

using namespace vellum::test;

const Bytes kHeaderBytes = {0x08, 0x00, 0xB0, 0x56, 0x65, 0x6C, 0x6C, 0x75, 0x6D, 0xB0, 0x00, 0x04};

void append_le(Bytes* out, uint64_t value, int size) {
    for (int k = 0; k < size; ++k) out->push_back(static_cast<uint8_t>(value >> (8 * k)));
}

// A record as raw bytes: head, class 9, `data_bytes` of filler. Length 0 means its own size.
Bytes record_bytes(uint64_t length, const std::string& folder, const std::string& name,
                   uint64_t data_bytes) {
    Bytes out;
    append_le(&out, length != 0 ? length : 24 + folder.size() + name.size() + data_bytes, 8);
    append_le(&out, data_bytes, 8);
    append_le(&out, 0, 2);
    for (const std::string* s : {&folder, &name}) {
        append_le(&out, s->size(), 2);
        out.insert(out.end(), s->begin(), s->end());
    }
    append_le(&out, 9, 2);
    out.insert(out.end(), data_bytes, 0xA5);
    return out;
}

class ArchiveFile : public ::testing::Test {
protected:
    TempFolder tmp;
    fs::path path = tmp / "test.vlm";

    FILE* open(const char* mode) {
        FILE* f = platform::open_file(path.string().c_str(), mode);
        EXPECT_NE(f, nullptr);
        return f;
    }

    struct Walk {
        HeaderResult header = HeaderResult::not_archive;
        std::vector<RecordHead> entries;
        std::vector<uint64_t> offsets;
        WalkStep stop = WalkStep::end;
        uint64_t stop_offset = 0;
        RecordHead stop_head;  // what the damaged record's head held
    };

    // Walks the whole file, and checks that a stopped walk stays where it stopped.
    Walk walk_file() {
        Walk w;
        FILE* f = open("rb");
        ArchiveWalk walk;
        ArchiveHeader header;
        w.header = walk_begin(f, &walk, &header);
        if (w.header == HeaderResult::ok) {
            RecordHead head;
            while ((w.stop = walk_next(&walk, &head)) == WalkStep::entry && w.entries.size() < 10000) {
                w.entries.push_back(head);
                w.offsets.push_back(walk.entry_offset);
            }
            w.stop_offset = walk.offset;
            w.stop_head = head;
            EXPECT_EQ(w.stop, walk_next(&walk, &head));
            EXPECT_EQ(w.stop_offset, walk.offset);
        }
        std::fclose(f);
        return w;
    }
};

TEST(BufferSetting, BlockSizes) {
    EXPECT_EQ(block_size_for_setting(0), 8388608u);
    EXPECT_EQ(block_size_for_setting(kDefaultBufferSetting), 134217728u);
    EXPECT_EQ(block_size_for_setting(6), 536870912u);
    EXPECT_EQ(block_size_for_setting(7), 0u);
    EXPECT_EQ(block_size_for_setting(-1), 0u);
}

// Golden header bytes for every mode and setting, read back as written.
TEST_F(ArchiveFile, HeaderBytesAndRoundTrip) {
    for (uint8_t solid = 0; solid <= 1; ++solid) {
        for (uint8_t setting = 0; setting <= kMaxBufferSetting; ++setting) {
            FILE* f = open("wb");
            ASSERT_TRUE(write_archive_header(f, ArchiveHeader{solid, setting}));
            std::fclose(f);
            Bytes expected = kHeaderBytes;
            expected[10] = solid;
            expected[11] = setting;
            EXPECT_EQ(read_file(path), expected);
            f = open("rb");
            ArchiveHeader header{9, 9};
            EXPECT_EQ(read_archive_header(f, &header), HeaderResult::ok);
            EXPECT_EQ(header.solid, solid);
            EXPECT_EQ(header.buffer_setting, setting);
            EXPECT_EQ(std::ftell(f), 12);
            std::fclose(f);
        }
    }
}

// A wrong header is refused and its settings are never taken over.
TEST_F(ArchiveFile, HeadersThatAreNotArchives) {
    auto with = [](size_t at, uint8_t value) {
        Bytes b = kHeaderBytes;
        b[at] = value;
        return b;
    };
    const struct {
        Bytes bytes;
        HeaderResult expected;
    } cases[] = {
        {Bytes(), HeaderResult::not_archive},
        {slice(kHeaderBytes, 0, 7), HeaderResult::not_archive},
        {slice(kHeaderBytes, 0, 11), HeaderResult::not_archive},
        {with(5, 'L'), HeaderResult::not_archive},
        {{0x07, 0x00, 0xB0, 0x56, 0x65, 0x6C, 0x6C, 0x75, 0x6D, 0x00, 0x04}, HeaderResult::not_archive},
        {with(0, 9), HeaderResult::not_archive},
        {with(1, 8), HeaderResult::not_archive},  // length 0x0808
        {with(11, 7), HeaderResult::bad_settings},
        {with(10, 2), HeaderResult::bad_settings},
    };
    for (const auto& c : cases) {
        write_file(path, c.bytes);
        FILE* f = open("rb");
        ArchiveHeader header{0, 3};
        EXPECT_EQ(read_archive_header(f, &header), c.expected) << c.bytes.size();
        EXPECT_EQ(header.buffer_setting, 3);
        std::fclose(f);
        EXPECT_EQ(walk_file().header, c.expected);
    }
}

TEST_F(ArchiveFile, FieldsAreLittleEndianAndNamesAtMost65535Bytes) {
    FILE* f = open("wb");
    ASSERT_TRUE(write_u16(f, 0x0102));
    ASSERT_TRUE(write_u64(f, 0x0102030405060708ull));
    ASSERT_TRUE(write_name(f, "ab"));
    EXPECT_FALSE(write_name(f, std::string(65536, 'n')));
    std::fclose(f);
    EXPECT_EQ(read_file(path), (Bytes{0x02, 0x01, 8, 7, 6, 5, 4, 3, 2, 1, 2, 0, 'a', 'b'}));

    f = open("rb");
    uint16_t u16 = 0;
    uint64_t u64 = 0;
    std::string name;
    EXPECT_TRUE(read_u16(f, &u16) && read_u64(f, &u64) && read_name(f, &name));
    EXPECT_EQ(u16, 0x0102);
    EXPECT_EQ(u64, 0x0102030405060708ull);
    EXPECT_EQ(name, "ab");
    EXPECT_FALSE(read_u16(f, &u16));
    std::fclose(f);
}

// Golden vector: a.txt holding abc has a 29-byte head, then the coded stream.
TEST_F(ArchiveFile, SingleFileRecordLayout) {
    const Bytes coded = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};  // stands in for a coded stream
    FILE* f = open("wb+");
    ASSERT_TRUE(write_archive_header(f, ArchiveHeader{0, 4}));
    RecordHead head;
    head.original_size = 3;
    head.file_name = "a.txt";
    EXPECT_EQ(record_head_size(head), 29u);
    ASSERT_TRUE(write_record_head(f, head));
    ASSERT_TRUE(write_class_field(f, 9));
    std::fwrite(coded.data(), 1, coded.size(), f);
    ASSERT_TRUE(write_record_length(f, 12, 29 + coded.size()));
    std::fclose(f);

    Bytes expected = kHeaderBytes;
    append_le(&expected, 35, 8);
    append_le(&expected, 3, 8);
    append_le(&expected, 0, 4);  // reserved, folder path length
    append_le(&expected, 5, 2);
    expected.insert(expected.end(), {'a', '.', 't', 'x', 't', 9, 0});
    expected.insert(expected.end(), coded.begin(), coded.end());
    EXPECT_EQ(read_file(path), expected);
}

// An empty archive ends at once; entries come back in file order, duplicates included.
TEST_F(ArchiveFile, WalkReturnsEveryRecordInFileOrder) {
    write_file(path, kHeaderBytes);
    Walk walk = walk_file();
    EXPECT_EQ(walk.header, HeaderResult::ok);
    EXPECT_TRUE(walk.entries.empty());
    EXPECT_EQ(walk.stop, WalkStep::end);
    EXPECT_EQ(walk.stop_offset, 12u);

    Bytes archive = kHeaderBytes;
    const Bytes a = record_bytes(0, "", "same.txt", 10), b = record_bytes(0, "docs\\", "same.txt", 0);
    append(&archive, a);
    append(&archive, b);
    append(&archive, record_bytes(0, "", "same.txt", 300));
    write_file(path, archive);
    walk = walk_file();
    ASSERT_EQ(walk.entries.size(), 3u);
    EXPECT_EQ(walk.stop, WalkStep::end);
    EXPECT_EQ(walk.offsets, (std::vector<uint64_t>{12, 12 + a.size(), 12 + a.size() + b.size()}));
    EXPECT_EQ(walk.entries[1].folder_path, "docs\\");
    EXPECT_EQ(walk.entries[2].original_size, 300u);

    FILE* f = open("rb");
    RecordHead head;
    uint16_t file_class = 0;
    ASSERT_TRUE(read_record_head_at(f, walk.offsets[1], &head) && read_class_field(f, &file_class));
    EXPECT_EQ(head.folder_path + head.file_name, "docs\\same.txt");
    EXPECT_EQ(file_class, 9);
    std::fclose(f);
}

// A damaged record after a good one ends the walk at its start; an add cut short
// (length 0) is found, and cutting the file there leaves a whole archive.
TEST_F(ArchiveFile, DamagedRecordsStopTheWalk) {
    const Bytes whole = record_bytes(0, "", "x.bin", 0);
    Bytes torn_head;
    append_le(&torn_head, 0, 8);
    append_le(&torn_head, 1000, 8);
    torn_head.push_back(0);  // the file ends inside the reserved field
    Bytes torn = record_bytes(0, "", "torn.txt", 50);
    std::fill(torn.begin(), torn.begin() + 8, 0);
    const struct {
        Bytes tail;
        WalkStep expected;
    } cases[] = {
        {record_bytes(29 + 100, "", "x.bin", 99), WalkStep::past_end},
        {record_bytes(~0ull, "", "x.bin", 10), WalkStep::past_end},
        {record_bytes(28, "", "x.bin", 10), WalkStep::length_too_small},
        {record_bytes(1, "", "x.bin", 10), WalkStep::length_too_small},
        {slice(whole, 0, 24), WalkStep::truncated_head},
        {slice(whole, 0, whole.size() - 2), WalkStep::truncated_head},
        {Bytes{1, 2, 3}, WalkStep::truncated_head},
        {torn_head, WalkStep::interrupted_add},
        {torn, WalkStep::interrupted_add},
    };
    Bytes good = kHeaderBytes;
    append(&good, record_bytes(0, "", "good.txt", 5));
    for (const auto& c : cases) {
        Bytes archive = good;
        append(&archive, c.tail);
        write_file(path, archive);
        Walk walk = walk_file();
        ASSERT_EQ(walk.entries.size(), 1u);
        EXPECT_EQ(walk.entries[0].file_name, "good.txt");
        EXPECT_EQ(walk.stop, c.expected) << c.tail.size();
        EXPECT_EQ(walk.stop_offset, good.size());
        EXPECT_TRUE(c.expected != WalkStep::past_end || walk.stop_head.file_name == "x.bin");
        if (c.expected != WalkStep::interrupted_add) continue;
        FILE* f = open("rb+");
        ASSERT_TRUE(platform::truncate_file(f, walk.stop_offset));
        std::fclose(f);
        EXPECT_EQ(walk_file().stop, WalkStep::end);
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
        ASSERT_EQ(walk.header, HeaderResult::ok);
        ASSERT_LT(walk.entries.size(), 10000u);
        for (size_t k = 1; k < walk.offsets.size(); ++k) EXPECT_GT(walk.offsets[k], walk.offsets[k - 1]);
        EXPECT_LE(walk.stop_offset, archive.size());
        EXPECT_TRUE(walk.stop != WalkStep::end || walk.stop_offset == archive.size());
    }
}

}  // namespace
}  // namespace vellum
