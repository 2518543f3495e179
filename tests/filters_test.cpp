#include "archive/filters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace vellum {
namespace {

using Bytes = std::vector<uint8_t>;

void put_le32(Bytes* region, size_t at, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int k = 0; k < 4; ++k) (*region)[at + k] = static_cast<uint8_t>(u >> (8 * k));
}

int32_t get_le32(const Bytes& region, size_t at) {
    uint32_t u = 0;
    for (int k = 3; k >= 0; --k) u = (u << 8) | region[at + k];
    int32_t value;
    std::memcpy(&value, &u, 4);
    return value;
}

// --- E8/E9 golden vectors ------------------------------------------------------------

TEST(E8E9Filter, InRangeOperandBecomesAbsolute) {
    Bytes region(100, 0);
    region[0] = 0xE8;
    region[1] = 0x10;
    e8e9_encode(region.data(), region.size());
    EXPECT_EQ((Bytes{0xE8, 0x11, 0x00, 0x00, 0x00}), Bytes(region.begin(), region.begin() + 5));
    e8e9_decode(region.data(), region.size());
    EXPECT_EQ((Bytes{0xE8, 0x10, 0x00, 0x00, 0x00}), Bytes(region.begin(), region.begin() + 5));
}

TEST(E8E9Filter, CollidingPositiveOperandMovesBelowZero) {
    Bytes region(100, 0);
    region[4] = 0xE9;
    put_le32(&region, 5, 98);
    e8e9_encode(region.data(), region.size());
    EXPECT_EQ(-2, get_le32(region, 5));
    e8e9_decode(region.data(), region.size());
    EXPECT_EQ(98, get_le32(region, 5));
}

TEST(E8E9Filter, FarOperandsStayUnchanged) {
    for (int32_t operand : {-1000, 100, 1 << 30, INT32_MIN, INT32_MAX}) {
        Bytes region(100, 0);
        region[0] = 0xE8;
        put_le32(&region, 1, operand);
        Bytes encoded = region;
        e8e9_encode(encoded.data(), encoded.size());
        EXPECT_EQ(region, encoded) << operand;
        e8e9_decode(encoded.data(), encoded.size());
        EXPECT_EQ(region, encoded) << operand;
    }
}

TEST(E8E9Filter, OpcodeInsideOperandIsNotAnOpcode) {
    Bytes region(100, 0);
    region[0] = 0xE8;
    region[1] = 0xE8;  // low byte of the first operand: 232, beyond n, stays
    e8e9_encode(region.data(), region.size());
    // Taken as an opcode, the second E8 would have turned bytes 2..5 into 2.
    EXPECT_EQ(232, get_le32(region, 1));
    EXPECT_EQ(0, region[5]);
    e8e9_decode(region.data(), region.size());
    EXPECT_EQ(232, get_le32(region, 1));
}

TEST(E8E9Filter, ShortRegionsStayUnchanged) {
    for (size_t n = 0; n <= 4; ++n) {
        Bytes region(n, 0xE8);
        e8e9_encode(region.data(), region.size());
        EXPECT_EQ(Bytes(n, 0xE8), region);
        e8e9_decode(region.data(), region.size());
        EXPECT_EQ(Bytes(n, 0xE8), region);
    }
}

TEST(E8E9Filter, ScanStopsBeforeTheLastFourBytes) {
    // n = 9: the byte at n - 5 = 4 is the last examined; its operand ends the region.
    Bytes last(9, 0);
    last[4] = 0xE8;
    e8e9_encode(last.data(), last.size());
    EXPECT_EQ(5, get_le32(last, 5));

    Bytes outside(9, 0);
    outside[5] = 0xE8;
    Bytes before = outside;
    e8e9_encode(outside.data(), outside.size());
    EXPECT_EQ(before, outside);
}

TEST(E8E9Filter, RepeatedCallsToOneTargetGiveEqualOperands) {
    // Calls at 10 and 50, both to offset 80: relative 80-15 = 65 and 80-55 = 25.
    Bytes region(100, 0x90);
    region[10] = 0xE8;
    put_le32(&region, 11, 65);
    region[50] = 0xE8;
    put_le32(&region, 51, 25);
    e8e9_encode(region.data(), region.size());
    EXPECT_EQ(get_le32(region, 11), get_le32(region, 51));
}

// --- delta golden vectors ------------------------------------------------------------

TEST(DeltaFilter, GoldenVectors) {
    Bytes region{10, 20, 30, 40};
    ASSERT_TRUE(delta_encode(region.data(), region.size(), 2));
    EXPECT_EQ((Bytes{10, 20, 20, 20}), region);
    ASSERT_TRUE(delta_decode(region.data(), region.size(), 2));
    EXPECT_EQ((Bytes{10, 20, 30, 40}), region);

    Bytes up{0, 255};
    delta_encode(up.data(), up.size(), 1);
    EXPECT_EQ((Bytes{0, 255}), up);

    Bytes down{255, 0};
    delta_encode(down.data(), down.size(), 1);
    EXPECT_EQ((Bytes{255, 1}), down);
}

TEST(DeltaFilter, EmptyRegion) {
    uint8_t sentinel = 0x5A;
    EXPECT_TRUE(delta_encode(&sentinel, 0, 3));
    EXPECT_TRUE(delta_decode(&sentinel, 0, 3));
    e8e9_encode(&sentinel, 0);
    e8e9_decode(&sentinel, 0);
    EXPECT_EQ(0x5A, sentinel);
}

TEST(DeltaFilter, RefusesStrideOutsideRange) {
    Bytes region{1, 2, 3, 4, 5};
    for (uint32_t stride : {0u, 17u, 1000u}) {
        EXPECT_FALSE(delta_encode(region.data(), region.size(), stride));
        EXPECT_FALSE(delta_decode(region.data(), region.size(), stride));
        EXPECT_EQ((Bytes{1, 2, 3, 4, 5}), region);
    }
}

TEST(DeltaFilter, EncodesDifferenceOneStrideBack) {
    std::mt19937 rng(7);
    Bytes original(257);
    for (auto& b : original) b = static_cast<uint8_t>(rng());
    for (uint32_t stride = 1; stride <= kMaxDeltaStride; ++stride) {
        Bytes region = original;
        delta_encode(region.data(), region.size(), stride);
        for (size_t k = 0; k < region.size(); ++k) {
            uint8_t expected = k < stride ? original[k]
                                          : static_cast<uint8_t>(original[k] - original[k - stride]);
            ASSERT_EQ(expected, region[k]) << "stride " << stride << " at " << k;
        }
    }
}

// --- round trips ---------------------------------------------------------------------

// x86-like data: many E8/E9 bytes followed by operands near the region's bounds,
// where the encoder's three cases meet.
Bytes call_heavy_data(size_t n, std::mt19937* rng) {
    Bytes region(n);
    for (auto& b : region) b = static_cast<uint8_t>((*rng)());
    const int64_t size = static_cast<int64_t>(n);
    for (size_t k = 0; k + 5 <= n; k += 1 + (*rng)() % 9) {
        region[k] = ((*rng)() & 1) ? 0xE8 : 0xE9;
        int64_t pick = static_cast<int64_t>((*rng)() % 7);
        int64_t i = static_cast<int64_t>(k) + 1;
        int64_t candidates[7] = {-i, -i - 1, size - i - 1, size - i, size - 1, size, 0};
        int64_t operand = candidates[pick] + static_cast<int64_t>((*rng)() % 3) - 1;
        put_le32(&region, k + 1, static_cast<int32_t>(operand));
    }
    return region;
}

TEST(FilterRoundTrip, E8E9OnManyLengths) {
    std::mt19937 rng(12345);
    for (size_t n = 0; n < 600; ++n) {
        for (int rep = 0; rep < 3; ++rep) {
            Bytes original = call_heavy_data(n, &rng);
            Bytes region = original;
            e8e9_encode(region.data(), region.size());
            e8e9_decode(region.data(), region.size());
            ASSERT_EQ(original, region) << "length " << n;
        }
    }
}

TEST(FilterRoundTrip, E8E9OnLargeRandomRegion) {
    std::mt19937 rng(99);
    Bytes original(1 << 20);
    for (auto& b : original) b = static_cast<uint8_t>(rng() % 7 == 0 ? 0xE8 : rng());
    Bytes region = original;
    e8e9_encode(region.data(), region.size());
    EXPECT_NE(original, region);
    e8e9_decode(region.data(), region.size());
    EXPECT_EQ(original, region);
}

TEST(FilterRoundTrip, E8E9OnUnalignedRegionStart) {
    std::mt19937 rng(3);
    Bytes buffer = call_heavy_data(1001, &rng);
    Bytes original = buffer;
    e8e9_encode(buffer.data() + 1, 997);
    e8e9_decode(buffer.data() + 1, 997);
    EXPECT_EQ(original, buffer);
}

TEST(FilterRoundTrip, DeltaAllStridesManyLengths) {
    std::mt19937 rng(4242);
    for (uint32_t stride = 1; stride <= kMaxDeltaStride; ++stride) {
        for (size_t n = 0; n < 200; ++n) {
            Bytes original(n);
            for (auto& b : original) b = static_cast<uint8_t>(rng());
            Bytes region = original;
            ASSERT_TRUE(delta_encode(region.data(), region.size(), stride));
            ASSERT_TRUE(delta_decode(region.data(), region.size(), stride));
            ASSERT_EQ(original, region) << "stride " << stride << " length " << n;
        }
    }
}

}  // namespace
}  // namespace vellum
