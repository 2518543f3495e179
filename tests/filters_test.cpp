#include "codec/filters.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace vellum {
namespace {

using Bytes = std::vector<uint8_t>;

void put_le32(Bytes* region, size_t at, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    for (int k = 0; k < 4; ++k) (*region)[at + k] = static_cast<uint8_t>(u >> (8 * k));
}

// Golden vectors: one opcode at `at` and its operand before and after encoding;
// every other byte stays, and decoding restores the region.
TEST(E8E9Filter, GoldenOperands) {
    const struct { size_t n, at; int32_t operand, encoded; } cases[] = {
        {100, 0, 16, 17},              // in range: a + i
        {100, 4, 98, -2},              // would collide with encoded values: a - n
        {100, 0, -1000, -1000},        // far targets stay
        {100, 0, 100, 100},     {100, 0, INT32_MIN, INT32_MIN}, {100, 0, INT32_MAX, INT32_MAX},
        {100, 0, 0xE8, 0xE8},          // an E8 inside an operand is no opcode
        {9, 4, 0, 5},                  // n - 5 is the last byte examined
    };
    for (uint8_t opcode : {0xE8, 0xE9}) {
        for (const auto& c : cases) {
            Bytes region(c.n, 0);
            region[c.at] = opcode;
            put_le32(&region, c.at + 1, c.operand);
            const Bytes original = region;
            Bytes expected = region;
            put_le32(&expected, c.at + 1, c.encoded);
            e8e9_encode(region.data(), region.size());
            EXPECT_EQ(region, expected) << c.operand;
            e8e9_decode(region.data(), region.size());
            EXPECT_EQ(region, original) << c.operand;
        }
    }
    // Regions of 4 bytes or fewer, and an opcode in a region's last four bytes,
    // stay: the operand would take in the byte after the region.
    const struct { Bytes buffer; size_t n; } short_regions[] = {
        {{0xE8, 1, 0, 0, 0}, 0}, {{0xE8, 1, 0, 0, 0}, 4}, {{0, 0, 0, 0, 0xE8, 1, 0, 0, 0}, 8},
    };
    for (const auto& c : short_regions) {
        Bytes buffer = c.buffer;
        e8e9_encode(buffer.data(), c.n);
        EXPECT_EQ(buffer, c.buffer) << c.n;
        e8e9_decode(buffer.data(), c.n);
        EXPECT_EQ(buffer, c.buffer) << c.n;
    }
}

// Call-heavy data whose operands sit at the bounds where the encoder's three cases
// meet, at an odd address: decoding gives back every byte.
TEST(E8E9Filter, RoundTripAtTheBounds) {
    std::mt19937 rng(12345);
    for (size_t n = 0; n < 600; ++n) {
        Bytes buffer(n + 1);
        for (auto& b : buffer) b = static_cast<uint8_t>(rng());
        const int64_t size = static_cast<int64_t>(n);
        for (size_t k = 0; k + 5 <= n; k += 1 + rng() % 9) {
            buffer[1 + k] = (rng() & 1) ? 0xE8 : 0xE9;
            const int64_t i = static_cast<int64_t>(k) + 1;
            const int64_t bounds[] = {-i, -i - 1, size - i - 1, size - i, size - 1, size, 0};
            put_le32(&buffer, k + 2, static_cast<int32_t>(bounds[rng() % 7] + int64_t(rng() % 3) - 1));
        }
        const Bytes original = buffer;
        e8e9_encode(buffer.data() + 1, n);
        e8e9_decode(buffer.data() + 1, n);
        ASSERT_EQ(buffer, original) << "length " << n;
    }
}

TEST(DeltaFilter, GoldenVectors) {
    const struct { Bytes plain; uint32_t stride; Bytes encoded; } cases[] = {
        {{10, 20, 30, 40}, 2, {10, 20, 20, 20}}, {{0, 255}, 1, {0, 255}}, {{255, 0}, 1, {255, 1}},
        {{}, 3, {}},
    };
    for (const auto& c : cases) {
        Bytes region = c.plain;
        ASSERT_TRUE(delta_encode(region.data(), region.size(), c.stride));
        EXPECT_EQ(region, c.encoded);
        ASSERT_TRUE(delta_decode(region.data(), region.size(), c.stride));
        EXPECT_EQ(region, c.plain);
    }
    Bytes region{1, 2, 3};
    EXPECT_FALSE(delta_encode(region.data(), 3, 0) || delta_encode(region.data(), 3, 17) ||
                 delta_decode(region.data(), 3, 0) || delta_decode(region.data(), 3, 17));
    EXPECT_EQ(region, (Bytes{1, 2, 3}));
}

// Every stride: each byte becomes its difference from the byte one stride back,
// and decoding restores every length.
TEST(DeltaFilter, DifferenceOneStrideBackAndRoundTrip) {
    std::mt19937 rng(7);
    for (uint32_t stride = 1; stride <= kMaxDeltaStride; ++stride) {
        for (size_t n = 0; n < 200; n += 1 + n / 8) {
            Bytes original(n);
            for (auto& b : original) b = static_cast<uint8_t>(rng());
            Bytes region = original;
            ASSERT_TRUE(delta_encode(region.data(), n, stride));
            for (size_t k = 0; k < n; ++k)
                ASSERT_EQ(region[k], uint8_t(original[k] - (k < stride ? 0 : original[k - stride])))
                    << "stride " << stride << " at " << k;
            ASSERT_TRUE(delta_decode(region.data(), n, stride));
            ASSERT_EQ(region, original) << "stride " << stride << " length " << n;
        }
    }
}

// The streaming inverse hands out exactly what undo_prefilter gives, whatever the
// pieces the bytes arrive in, and never changes the region it reads. Catches an
// operand cut at a piece's edge, an opcode taken inside an operand, and delta
// history lost between pieces.
TEST(StreamingUndo, PiecesGiveWhatTheWholeRegionGives) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 400; ++trial) {
        CodecParams params;
        params.prefilter = static_cast<uint32_t>(trial % 3);
        params.delta_stride = 1 + static_cast<uint32_t>(rng() % kMaxDeltaStride);
        const size_t n = trial % 50 == 0 ? rng() % 6 : rng() % 3000;
        Bytes filtered(n);
        for (auto& b : filtered) b = rng() % 4 == 0 ? static_cast<uint8_t>(0xE8 + rng() % 2) : static_cast<uint8_t>(rng());
        Bytes whole = filtered;
        undo_prefilter(params, whole.data(), n);
        const Bytes before = filtered;
        StreamingUndo undo(params, filtered.data(), n);
        Bytes streamed;
        size_t available = 0;
        while (available < n) {
            available = std::min(n, available + 1 + rng() % (trial % 2 ? 7 : 700));
            ASSERT_TRUE(undo.advance(available, [&](const uint8_t* data, size_t size) {
                streamed.insert(streamed.end(), data, data + size);
                return true;
            }));
            ASSERT_LE(undo.handed(), available);
        }
        undo.advance(n, [&](const uint8_t* data, size_t size) {
            streamed.insert(streamed.end(), data, data + size);
            return true;
        });
        ASSERT_EQ(streamed, whole) << "trial " << trial << " filter " << params.prefilter << " length " << n;
        ASSERT_EQ(filtered, before);
    }
}

}  // namespace
}  // namespace vellum
