// The file calls the drivers cannot reach with small files. Folders, links,
// renames and removal are exercised by the driver and delete tests.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include "driver_test_support.h"

namespace vellum {
namespace {

using namespace vellum::test;

// Offsets beyond 4 GiB survive seek, tell and size; truncation flushes pending writes first.
TEST(Platform, SeekTellSizeAndTruncate) {
    TempFolder tmp;
    const std::string path = (tmp / "sparse.bin").string();
    const uint64_t far = (uint64_t{5} << 30) + 7;
    FILE* f = platform::open_file(path.c_str(), "wb+");
    ASSERT_NE(f, nullptr);
    uint64_t position = 0, size = 0;
    ASSERT_TRUE(platform::seek_to(f, far) && platform::tell(f, &position));
    EXPECT_EQ(position, far);
    ASSERT_EQ(std::fwrite("z", 1, 1, f), 1u);
    ASSERT_TRUE(platform::seek_to_end(f) && platform::tell(f, &position));
    EXPECT_EQ(position, far + 1);
    ASSERT_TRUE(platform::seek_to(f, far));
    EXPECT_EQ(std::fgetc(f), 'z');
    std::fflush(f);
    EXPECT_TRUE(platform::file_size(path.c_str(), &size));
    EXPECT_EQ(size, far + 1);
    ASSERT_TRUE(platform::seek_to(f, 40));
    ASSERT_EQ(std::fwrite("!", 1, 1, f), 1u);  // still buffered
    EXPECT_TRUE(platform::truncate_file(f, 41));
    std::fclose(f);
    Bytes expected(41, 0);
    expected[40] = '!';
    EXPECT_EQ(read_file(path), expected);
    EXPECT_FALSE(platform::file_size(tmp.path().string().c_str(), &size));  // a folder
}

}  // namespace
}  // namespace vellum
