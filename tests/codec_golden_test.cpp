// Golden vectors of the coder, the update table, the hash and whole entries.
#include <gtest/gtest.h>

#include <memory>

#include "codec/arithmetic_coder.h"
#include "codec/match_model.h"
#include "codec/update_table.h"
#include "codec_test_support.h"

namespace vellum {
namespace {

using test::params_with;
using test::kLength;
using test::kLiterals;
using test::kRuns;
using Bytes = std::vector<uint8_t>;

// Entry 2p + bit after a bit coded with p; p = 255 after a 0 follows the formula.
TEST(UpdateTable, GoldenValuesAndLimits) {
    struct Case { unsigned rate; int index, value; };
    const Case cases[] = {{3, 256, 111}, {3, 257, 145}, {3, 1, 34}, {3, 511, 255}, {3, 510, 222},
                          {3, 7, 36},    {4, 256, 119}, {4, 257, 136}, {4, 1, 17}};
    for (const Case& c : cases) {
        ProbabilityUpdateTable t;
        build_update_table(t, c.rate);
        EXPECT_EQ(t.next[c.index], c.value) << "rate " << c.rate << " entry " << c.index;
    }
    // Repeated 0s (1s) from 128 settle where a 0 (1) no longer moves p.
    const int lowest[] = {0, 0, 0, 3, 7}, highest[] = {0, 0, 0, 249, 241};
    for (unsigned rate : {3u, 4u}) {
        ProbabilityUpdateTable t;
        build_update_table(t, rate);
        int down = 128, up = 128;
        for (int i = 0; i < 1000; ++i) down = t.next[2 * down], up = t.next[2 * up + 1];
        EXPECT_EQ(down, lowest[rate]);
        EXPECT_EQ(up, highest[rate]);
        EXPECT_EQ(t.next[2 * down], down);
        EXPECT_EQ(t.next[2 * up + 1], up);
    }
}

Bytes encode_bits(const std::vector<std::pair<int, uint32_t>>& bits) {
    VectorSink sink;
    ByteWriter w(sink);
    ArithmeticCoder<Direction::compress> c;
    c.start_encoding(w);
    for (auto [bit, p] : bits) c.code_bit(bit, p);
    c.flush();
    w.flush();
    return sink.bytes;
}

TEST(ArithmeticCoder, GoldenStreams) {
    EXPECT_EQ(encode_bits({}), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    std::vector<std::pair<int, uint32_t>> byte_41;
    for (int j = 7; j >= 0; --j) byte_41.push_back({(0x41 >> j) & 1, 128});
    EXPECT_EQ(encode_bits(byte_41), (Bytes{0xBE, 0xFF, 0xFF, 0x06}));
}

TEST(ArithmeticCoder, FirstSplitAndOneShiftPerBit) {
    VectorSink sink;
    ByteWriter w(sink);
    ArithmeticCoder<Direction::compress> one, zero;
    one.start_encoding(w);
    zero.start_encoding(w);
    one.code_bit(1, 128);
    zero.code_bit(0, 128);
    EXPECT_EQ(one.x2, 0x7FFFFF80u);
    EXPECT_EQ(zero.x1, 0x7FFFFF81u);
    EXPECT_EQ(w.count(), 0u);
    // x2 becomes 0x00FFFFFF: two top bytes agree, but only one leaves per bit.
    one.start_encoding(w);
    one.code_bit(1, 1);
    EXPECT_EQ(w.count(), 1u);
    EXPECT_EQ(one.x2, 0xFFFFFFFFu);
    one.code_bit(1, 1);
    EXPECT_EQ(w.count(), 2u);
}

TEST(ArithmeticCoder, DecoderMirrorsEncoderAndReadsExactly) {
    uint32_t seed = 12345;
    std::vector<std::pair<int, uint32_t>> bits;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245 + 12345;
        uint32_t p = (seed >> 16) & 255;
        bits.push_back({((seed >> 8) & 255) < p, p});
    }
    Bytes coded = encode_bits(bits);
    MemorySource src(coded.data(), coded.size());
    ByteReader r(src, coded.size());
    ArithmeticCoder<Direction::extract> c;
    c.start_decoding(r);
    for (auto [bit, p] : bits) ASSERT_EQ(c.code_bit(0, p), bit);
    EXPECT_EQ(r.consumed(), coded.size());
    EXPECT_FALSE(r.overrun());
}

TEST(MatchModel, ContextHashGoldenVector) {
    const uint8_t abc[] = {0x61, 0x62, 0x63};
    EXPECT_EQ(context_hash(abc, 3, 3), 0x21A24Eu);
}

// Whole one-block entries: the coded data after the class field, flush included,
// and a fresh operation decodes each back reading exactly every byte.
TEST(WholeEntry, GoldenVectors) {
    Bytes abc;
    for (int i = 0; i < 6; ++i) abc.insert(abc.end(), {0x61, 0x62, 0x63});
    struct Case { CodecParams params; Bytes data, coded; };
    const Case cases[] = {
        {params_with(kRuns, 5, 2, 1, 1, 3), Bytes(300, 0x41),
         {0xBE, 0xBE, 0x5B, 0xEB, 0x43, 0x32, 0x6E, 0xDA, 0x8E, 0x40}},
        {params_with(kRuns, 5, 2, 1, 1, 3), abc, {0x9E, 0x97, 0xEF, 0xB0, 0x1C, 0x53, 0xAD, 0xC1, 0x65, 0x44}},
        {params_with(kLength, 5, 2, 1, 0, 4), abc,
         {0x9E, 0x99, 0xEB, 0x7B, 0x1C, 0x82, 0xF4, 0xB5, 0x52, 0xCD, 0x6E, 0x80}},
        {params_with(kLiterals, 3, 2, 1, 0, 4, 1, 2), abc,
         {0x9E, 0x99, 0xEB, 0x7B, 0x1C, 0x83, 0x0D, 0x90, 0x50, 0x39, 0xB5, 0xD3, 0x33, 0x97, 0x42,
          0x91, 0xD5, 0x6B, 0x4A, 0xFF}},
        {params_with(kRuns, 5, 2, 1, 1, 3), Bytes{}, {0xFF, 0xFF, 0xFF, 0xFF}},
    };
    auto state = std::make_unique<CodecState>();
    for (const Case& c : cases) {
        ASSERT_TRUE(state->begin_operation());
        EXPECT_EQ(test::encode_blocks(*state, c.params, c.data, c.data.size() + 1), c.coded);
        ASSERT_TRUE(state->begin_operation());
        auto back = test::decode_blocks(*state, c.params, c.coded, c.data.size(), c.data.size() + 1);
        EXPECT_TRUE(back.ok);  // every coded byte used, no more
        EXPECT_EQ(back.data, c.data);
    }
}

}  // namespace
}  // namespace vellum
