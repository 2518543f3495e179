// The metadata checksum: archives keep its values, so they are pinned here, and
// coding in pieces must give what one piece gives.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/checksum.h"

namespace vellum {
namespace {

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

// Values of the published function (seed 0): every branch of the tail and of the
// 32-byte stripes is crossed by one of them.
TEST(ChecksumTest, KnownValues) {
    EXPECT_EQ(checksum_of("", 0), 0xEF46DB3751D8E999ull);
    EXPECT_EQ(checksum_of("abc", 3), 0x44BC2CF5AD770999ull);
    const char* fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(checksum_of(fox, std::strlen(fox)), 0x0B242D361FDA71BCull);
    const std::vector<uint8_t> bytes = pattern(1000);
    EXPECT_EQ(checksum_of(bytes.data(), 31), 0xA2AA5F33CC4A6119ull);
    EXPECT_EQ(checksum_of(bytes.data(), 32), 0x23C3C17EF790FD97ull);
    EXPECT_EQ(checksum_of(bytes.data(), 1000), 0x5F235FA033F1A3FBull);
}

// Catches a stripe lost or repeated where a piece ends inside one.
TEST(ChecksumTest, PiecesGiveTheWholeValue) {
    const std::vector<uint8_t> bytes = pattern(1000);
    const uint64_t whole = checksum_of(bytes.data(), bytes.size());
    for (size_t piece : {1u, 3u, 8u, 31u, 32u, 33u, 64u, 999u}) {
        Checksum sum;
        for (size_t at = 0; at < bytes.size(); at += piece)
            sum.update(bytes.data() + at, std::min(piece, bytes.size() - at));
        EXPECT_EQ(sum.digest(), whole) << piece;
    }
    Checksum partial;
    partial.update(bytes.data(), 40);
    EXPECT_EQ(partial.digest(), checksum_of(bytes.data(), 40));  // digest leaves the state as it was
    partial.update(bytes.data() + 40, 960);
    EXPECT_EQ(partial.digest(), whole);
}

}  // namespace
}  // namespace vellum
