#include "archive/format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

const Bytes kHeaderBytes = {0x08, 0x00, 0xB0, 0x56, 0x65, 0x6C, 0x6C, 0x75, 0x6D, 0xB0, 0x00, 0x04};

void append_le(Bytes* out, uint64_t value, int size) {
    for (int k = 0; k < size; ++k) out->push_back(static_cast<unsigned char>(value >> (8 * k)));
}

void append_name(Bytes* out, const std::string& name) {
    append_le(out, name.size(), 2);
    out->insert(out->end(), name.begin(), name.end());
}

// A record as raw bytes: head, class field, then `data_bytes` bytes of filler.
Bytes record_bytes(uint64_t record_length, const std::string& folder, const std::string& name,
                   uint64_t data_bytes) {
    Bytes out;
    append_le(&out, record_length, 8);
    append_le(&out, data_bytes, 8);
    append_le(&out, 0, 2);
    append_name(&out, folder);
    append_name(&out, name);
    append_le(&out, 9, 2);
    out.insert(out.end(), data_bytes, 0xA5);
    return out;
}

// A well-formed record: its length is its own size.
Bytes good_record(const std::string& folder, const std::string& name, uint64_t data_bytes) {
    return record_bytes(record_head_size(folder.size(), name.size()) + data_bytes, folder, name,
                        data_bytes);
}

class ArchiveFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() /
               ("vellum_format_" + std::to_string(seed()) + "_" + std::to_string(seed()));
        fs::create_directories(dir_);
        path_ = (dir_ / "test.vlm").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void write_file(const Bytes& bytes) {
        FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        if (!bytes.empty()) {
            ASSERT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), f));
        }
        std::fclose(f);
    }

    Bytes read_file() {
        Bytes bytes;
        FILE* f = std::fopen(path_.c_str(), "rb");
        if (f == nullptr) return bytes;
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(f);
        return bytes;
    }

    struct WalkResult {
        HeaderResult header = HeaderResult::not_archive;
        std::vector<RecordHead> entries;
        std::vector<uint64_t> offsets;
        WalkStep stop = WalkStep::end;
        uint64_t stop_offset = 0;
    };

    // Walks the whole file; fails the test if the walk does not end.
    WalkResult walk_file() {
        WalkResult result;
        FILE* f = std::fopen(path_.c_str(), "rb");
        EXPECT_NE(nullptr, f);
        if (f == nullptr) return result;
        ArchiveWalk walk;
        ArchiveHeader header;
        result.header = walk_begin(f, &walk, &header);
        if (result.header == HeaderResult::ok) {
            RecordHead head;
            WalkStep step;
            int guard = 0;
            while ((step = walk_next(&walk, &head)) == WalkStep::entry && ++guard < 10000) {
                result.entries.push_back(head);
                result.offsets.push_back(walk.entry_offset);
            }
            EXPECT_LT(guard, 10000);
            result.stop = step;
            result.stop_offset = walk.offset;
            // A stopped walk stays stopped where it was.
            EXPECT_EQ(step, walk_next(&walk, &head));
            EXPECT_EQ(result.stop_offset, walk.offset);
        }
        std::fclose(f);
        return result;
    }

    fs::path dir_;
    std::string path_;
};

// --- header ---------------------------------------------------------------------------

TEST(BufferSetting, BlockSizes) {
    EXPECT_EQ(8388608u, block_size_for_setting(0));
    EXPECT_EQ(16777216u, block_size_for_setting(1));
    EXPECT_EQ(134217728u, block_size_for_setting(kDefaultBufferSetting));
    EXPECT_EQ(536870912u, block_size_for_setting(6));
    EXPECT_EQ(0u, block_size_for_setting(7));
    EXPECT_EQ(0u, block_size_for_setting(-1));
}

TEST_F(ArchiveFileTest, HeaderGoldenBytes) {
    FILE* f = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    ASSERT_TRUE(write_archive_header(f, ArchiveHeader{0, 4}));
    std::fclose(f);
    EXPECT_EQ(kHeaderBytes, read_file());

    f = std::fopen(path_.c_str(), "wb");
    ASSERT_TRUE(write_archive_header(f, ArchiveHeader{1, 0}));
    std::fclose(f);
    Bytes solid = kHeaderBytes;
    solid[10] = 1;
    solid[11] = 0;
    EXPECT_EQ(solid, read_file());
}

TEST_F(ArchiveFileTest, HeaderRoundTrip) {
    for (uint8_t solid = 0; solid <= 1; ++solid) {
        for (uint8_t setting = 0; setting <= kMaxBufferSetting; ++setting) {
            FILE* f = std::fopen(path_.c_str(), "wb");
            ASSERT_TRUE(write_archive_header(f, ArchiveHeader{solid, setting}));
            std::fclose(f);
            f = std::fopen(path_.c_str(), "rb");
            ArchiveHeader header{9, 9};
            EXPECT_EQ(HeaderResult::ok, read_archive_header(f, &header));
            EXPECT_EQ(solid, header.solid);
            EXPECT_EQ(setting, header.buffer_setting);
            EXPECT_EQ(12, std::ftell(f));
            std::fclose(f);
        }
    }
}

TEST_F(ArchiveFileTest, HeadersThatAreNotArchives) {
    struct Case {
        const char* what;
        Bytes bytes;
        HeaderResult expected;
    };
    Bytes bad_signature = kHeaderBytes;
    bad_signature[5] = 'L';
    Bytes length7 = {0x07, 0x00, 0xB0, 0x56, 0x65, 0x6C, 0x6C, 0x75, 0x6D, 0x00, 0x04};
    Bytes length9 = kHeaderBytes;
    length9[0] = 9;
    Bytes length_huge = kHeaderBytes;
    length_huge[1] = 0x08;  // 0x0808
    Bytes setting9 = kHeaderBytes;
    setting9[11] = 9;
    Bytes setting7 = kHeaderBytes;
    setting7[11] = 7;
    Bytes solid2 = kHeaderBytes;
    solid2[10] = 2;
    const Case cases[] = {
        {"empty", Bytes(), HeaderResult::not_archive},
        {"one byte", Bytes{0x08}, HeaderResult::not_archive},
        {"ends in signature", Bytes(kHeaderBytes.begin(), kHeaderBytes.begin() + 7),
         HeaderResult::not_archive},
        {"ends before mode bytes", Bytes(kHeaderBytes.begin(), kHeaderBytes.begin() + 11),
         HeaderResult::not_archive},
        {"bad signature", bad_signature, HeaderResult::not_archive},
        {"length 7", length7, HeaderResult::not_archive},
        {"length 9", length9, HeaderResult::not_archive},
        {"length 0x0808", length_huge, HeaderResult::not_archive},
        {"setting 9", setting9, HeaderResult::bad_settings},
        {"setting 7", setting7, HeaderResult::bad_settings},
        {"solid flag 2", solid2, HeaderResult::bad_settings},
    };
    for (const Case& c : cases) {
        write_file(c.bytes);
        FILE* f = std::fopen(path_.c_str(), "rb");
        ArchiveHeader header{0, 3};
        EXPECT_EQ(c.expected, read_archive_header(f, &header)) << c.what;
        EXPECT_EQ(3, header.buffer_setting) << c.what;  // never taken over
        std::fclose(f);
        EXPECT_EQ(c.expected, walk_file().header) << c.what;
    }
}

// --- fields and records ---------------------------------------------------------------

TEST_F(ArchiveFileTest, FieldsAreLittleEndian) {
    FILE* f = std::fopen(path_.c_str(), "wb");
    ASSERT_TRUE(write_u16(f, 0x0102));
    ASSERT_TRUE(write_u64(f, 0x0102030405060708ull));
    ASSERT_TRUE(write_name(f, "ab"));
    ASSERT_TRUE(write_name(f, ""));
    std::fclose(f);
    EXPECT_EQ((Bytes{0x02, 0x01, 8, 7, 6, 5, 4, 3, 2, 1, 2, 0, 'a', 'b', 0, 0}), read_file());

    f = std::fopen(path_.c_str(), "rb");
    uint16_t u16 = 0;
    uint64_t u64 = 0;
    std::string name = "x";
    EXPECT_TRUE(read_u16(f, &u16));
    EXPECT_TRUE(read_u64(f, &u64));
    EXPECT_EQ(0x0102, u16);
    EXPECT_EQ(0x0102030405060708ull, u64);
    EXPECT_TRUE(read_name(f, &name));
    EXPECT_EQ("ab", name);
    EXPECT_TRUE(read_name(f, &name));
    EXPECT_EQ("", name);
    EXPECT_FALSE(read_u16(f, &u16));
    std::fclose(f);
}

TEST_F(ArchiveFileTest, NamesLongerThan65535BytesAreRefused) {
    FILE* f = std::fopen(path_.c_str(), "wb");
    EXPECT_TRUE(write_name(f, std::string(65535, 'n')));
    EXPECT_FALSE(write_name(f, std::string(65536, 'n')));
    std::fclose(f);
    EXPECT_EQ(65537u, read_file().size());
}

TEST(RecordHeadSize, SingleFileExample) {
    // a.txt holding abc: 24 + 0 + 5 bytes before the coded stream.
    EXPECT_EQ(29u, record_head_size(0, 5));
    RecordHead head;
    head.folder_path = "docs\\sub\\";
    head.file_name = "b.txt";
    EXPECT_EQ(24u + 9 + 5, record_head_size(head));
}

TEST_F(ArchiveFileTest, SingleFileRecordLayout) {
    const Bytes coded = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};  // stands in for a coded stream
    FILE* f = std::fopen(path_.c_str(), "wb+");
    ASSERT_TRUE(write_archive_header(f, ArchiveHeader{0, 4}));
    RecordHead head;
    head.original_size = 3;
    head.file_name = "a.txt";
    ASSERT_TRUE(write_record_head(f, head));
    ASSERT_TRUE(write_class_field(f, 9));
    uint64_t data_start = 0;
    ASSERT_TRUE(platform::tell(f, &data_start));
    EXPECT_EQ(12u + 29u, data_start);
    std::fwrite(coded.data(), 1, coded.size(), f);
    ASSERT_TRUE(write_record_length(f, 12, 29 + coded.size()));
    std::fclose(f);

    Bytes expected = kHeaderBytes;
    append_le(&expected, 35, 8);
    append_le(&expected, 3, 8);
    append_le(&expected, 0, 2);
    append_le(&expected, 0, 2);
    append_name(&expected, "a.txt");
    append_le(&expected, 9, 2);
    expected.insert(expected.end(), coded.begin(), coded.end());
    EXPECT_EQ(expected, read_file());

    WalkResult walk = walk_file();
    ASSERT_EQ(1u, walk.entries.size());
    EXPECT_EQ(WalkStep::end, walk.stop);
    EXPECT_EQ(35u, walk.entries[0].record_length);
    EXPECT_EQ(3u, walk.entries[0].original_size);
    EXPECT_EQ("", walk.entries[0].folder_path);
    EXPECT_EQ("a.txt", walk.entries[0].file_name);
}

TEST_F(ArchiveFileTest, RecordRoundTripAndEntryAtOffset) {
    FILE* f = std::fopen(path_.c_str(), "wb+");
    ASSERT_TRUE(write_archive_header(f, ArchiveHeader{0, 2}));
    RecordHead first;
    first.original_size = 0x1122334455667788ull;  // only the field; no data follows
    first.reserved = 0xBEEF;
    first.folder_path = "docs\\sub\\";
    first.file_name = "report.txt";
    ASSERT_TRUE(write_record_head(f, first));
    ASSERT_TRUE(write_class_field(f, 27));
    const uint64_t first_length = record_head_size(first);
    ASSERT_TRUE(write_record_length(f, 12, first_length));
    ASSERT_TRUE(platform::seek_to_end(f));
    RecordHead second;
    second.file_name = std::string("\xE0\xE8\xEC.bin");  // 8-bit names pass unchanged
    ASSERT_TRUE(write_record_head(f, second));
    ASSERT_TRUE(write_class_field(f, 17));
    ASSERT_TRUE(write_record_length(f, 12 + first_length, record_head_size(second)));
    std::fclose(f);

    f = std::fopen(path_.c_str(), "rb");
    RecordHead head;
    ASSERT_TRUE(read_record_head_at(f, 12, &head));
    EXPECT_EQ(first_length, head.record_length);
    EXPECT_EQ(first.original_size, head.original_size);
    EXPECT_EQ(0xBEEF, head.reserved);
    EXPECT_EQ(first.folder_path, head.folder_path);
    EXPECT_EQ(first.file_name, head.file_name);
    uint16_t file_class = 0;
    ASSERT_TRUE(read_class_field(f, &file_class));
    EXPECT_EQ(27, file_class);

    ASSERT_TRUE(read_record_head_at(f, 12 + first_length, &head));
    EXPECT_EQ(second.file_name, head.file_name);
    ASSERT_TRUE(read_class_field(f, &file_class));
    EXPECT_EQ(17, file_class);
    std::fclose(f);
}

// --- walk -----------------------------------------------------------------------------

TEST_F(ArchiveFileTest, EmptyArchiveWalksToTheEndAtOnce) {
    write_file(kHeaderBytes);
    WalkResult walk = walk_file();
    EXPECT_EQ(HeaderResult::ok, walk.header);
    EXPECT_TRUE(walk.entries.empty());
    EXPECT_EQ(WalkStep::end, walk.stop);
    EXPECT_EQ(12u, walk.stop_offset);
}

TEST_F(ArchiveFileTest, WalkReturnsEveryRecordInFileOrder) {
    Bytes archive = kHeaderBytes;
    const Bytes a = good_record("", "same.txt", 10);
    const Bytes b = good_record("docs\\", "same.txt", 0);
    const Bytes c = good_record("", "same.txt", 300);
    for (const Bytes* r : {&a, &b, &c}) archive.insert(archive.end(), r->begin(), r->end());
    write_file(archive);

    WalkResult walk = walk_file();
    ASSERT_EQ(3u, walk.entries.size());
    EXPECT_EQ(WalkStep::end, walk.stop);
    EXPECT_EQ((std::vector<uint64_t>{12, 12 + a.size(), 12 + a.size() + b.size()}), walk.offsets);
    EXPECT_EQ("", walk.entries[0].folder_path);
    EXPECT_EQ("docs\\", walk.entries[1].folder_path);
    EXPECT_EQ(300u, walk.entries[2].original_size);
    EXPECT_EQ(archive.size(), walk.stop_offset);
}

TEST_F(ArchiveFileTest, InterruptedAddIsFoundAndCanBeCutOff) {
    Bytes archive = kHeaderBytes;
    const Bytes good = good_record("", "kept.txt", 20);
    archive.insert(archive.end(), good.begin(), good.end());
    const uint64_t cut = archive.size();
    const Bytes torn = record_bytes(0, "", "torn.txt", 50);
    archive.insert(archive.end(), torn.begin(), torn.end());
    write_file(archive);

    WalkResult walk = walk_file();
    ASSERT_EQ(1u, walk.entries.size());
    EXPECT_EQ(WalkStep::interrupted_add, walk.stop);
    EXPECT_EQ(cut, walk.stop_offset);

    FILE* f = std::fopen(path_.c_str(), "rb+");
    ASSERT_TRUE(platform::truncate_file(f, walk.stop_offset));
    std::fclose(f);
    walk = walk_file();
    EXPECT_EQ(1u, walk.entries.size());
    EXPECT_EQ(WalkStep::end, walk.stop);
}

TEST_F(ArchiveFileTest, InterruptedAddCutInsideItsHead) {
    Bytes archive = kHeaderBytes;
    append_le(&archive, 0, 8);
    append_le(&archive, 1000, 8);
    archive.push_back(0);  // the file ends inside the reserved field
    write_file(archive);
    WalkResult walk = walk_file();
    EXPECT_TRUE(walk.entries.empty());
    EXPECT_EQ(WalkStep::interrupted_add, walk.stop);
    EXPECT_EQ(12u, walk.stop_offset);
}

TEST_F(ArchiveFileTest, DamagedRecordsStopTheWalk) {
    struct Case {
        const char* what;
        Bytes tail;  // after one good record
        WalkStep expected;
    };
    const uint64_t head = record_head_size(0, 5);
    const Bytes whole = record_bytes(head, "", "x.bin", 0);
    const Case cases[] = {
        {"length past the end", record_bytes(head + 100, "", "x.bin", 99), WalkStep::past_end},
        {"length of all ones", record_bytes(~0ull, "", "x.bin", 10), WalkStep::past_end},
        {"length below the head", record_bytes(head - 1, "", "x.bin", 10),
         WalkStep::length_too_small},
        {"length 1", record_bytes(1, "", "x.bin", 10), WalkStep::length_too_small},
        {"name past the end", Bytes(whole.begin(), whole.begin() + 24), WalkStep::truncated_head},
        {"no class field", Bytes(whole.begin(), whole.end() - 2), WalkStep::truncated_head},
        {"three stray bytes", Bytes{1, 2, 3}, WalkStep::truncated_head},
    };
    for (const Case& c : cases) {
        Bytes archive = kHeaderBytes;
        const Bytes good = good_record("", "good.txt", 5);
        archive.insert(archive.end(), good.begin(), good.end());
        archive.insert(archive.end(), c.tail.begin(), c.tail.end());
        write_file(archive);
        WalkResult walk = walk_file();
        ASSERT_EQ(1u, walk.entries.size()) << c.what;
        EXPECT_EQ("good.txt", walk.entries[0].file_name) << c.what;
        EXPECT_EQ(c.expected, walk.stop) << c.what;
        EXPECT_EQ(12 + good.size(), walk.stop_offset) << c.what;
    }
}

TEST_F(ArchiveFileTest, DamagedRecordHeadIsStillReported) {
    Bytes archive = kHeaderBytes;
    const Bytes damaged = record_bytes(1000, "docs\\", "big.dat", 10);
    archive.insert(archive.end(), damaged.begin(), damaged.end());
    write_file(archive);
    FILE* f = std::fopen(path_.c_str(), "rb");
    ArchiveWalk walk;
    ArchiveHeader header;
    ASSERT_EQ(HeaderResult::ok, walk_begin(f, &walk, &header));
    RecordHead head;
    EXPECT_EQ(WalkStep::past_end, walk_next(&walk, &head));
    EXPECT_EQ(1000u, head.record_length);
    EXPECT_EQ("big.dat", head.file_name);
    std::fclose(f);
}

TEST_F(ArchiveFileTest, WalkOverRandomGarbageAlwaysEnds) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 200; ++round) {
        Bytes archive = kHeaderBytes;
        const size_t extra = rng() % 200;
        for (size_t k = 0; k < extra; ++k) {
            // Small values make plausible lengths; the rest is noise.
            archive.push_back(static_cast<unsigned char>(rng() % 3 == 0 ? rng() % 40 : rng()));
        }
        write_file(archive);
        WalkResult walk = walk_file();
        ASSERT_EQ(HeaderResult::ok, walk.header);
        uint64_t previous = 0;
        for (uint64_t offset : walk.offsets) {
            EXPECT_GT(offset, previous);
            previous = offset;
        }
        EXPECT_LE(walk.stop_offset, archive.size());
        if (walk.stop == WalkStep::end) {
            EXPECT_EQ(archive.size(), walk.stop_offset);
        }
    }
}

}  // namespace
}  // namespace vellum
