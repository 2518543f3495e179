// Golden vectors of the coder, the update table, the hash and whole entries.
#include <gtest/gtest.h>

#include <memory>

#include "codec_test_support.h"

namespace vellum {
namespace {

using test::decode_blocks;
using test::encode_blocks;
using test::params_with;
using Bytes = std::vector<uint8_t>;

TEST(UpdateTable, RateThreeValues) {
    ProbabilityUpdateTable t;
    build_update_table(t, 3);
    EXPECT_EQ(t.next[256], 111);
    EXPECT_EQ(t.next[257], 145);
    EXPECT_EQ(t.next[1], 34);
    EXPECT_EQ(t.next[511], 255);
    // p = 255 after a 0 follows the formula: ((255 - 63) + (255 - 3)) >> 1.
    EXPECT_EQ(t.next[510], 222);
    EXPECT_EQ(t.next[7], 36);  // 3 after a 1
    for (int p = 0; p <= 3; ++p) EXPECT_EQ(t.next[2 * p], p);
    for (int p = 249; p <= 255; ++p) EXPECT_EQ(t.next[2 * p + 1], p);
}

TEST(UpdateTable, RateFourValues) {
    ProbabilityUpdateTable t;
    build_update_table(t, 4);
    EXPECT_EQ(t.next[256], 119);
    EXPECT_EQ(t.next[257], 136);
    EXPECT_EQ(t.next[1], 17);
    for (int p = 0; p <= 7; ++p) EXPECT_EQ(t.next[2 * p], p);
    for (int p = 241; p <= 255; ++p) EXPECT_EQ(t.next[2 * p + 1], p);
}

// Repeated 0s from 128 settle at the lowest value, repeated 1s at the highest.
TEST(UpdateTable, LimitsReachedFromTheMiddle) {
    const int lowest[] = {0, 0, 0, 3, 7}, highest[] = {0, 0, 0, 249, 241};
    for (unsigned rate : {3u, 4u}) {
        ProbabilityUpdateTable t;
        build_update_table(t, rate);
        int down = 128, up = 128;
        for (int i = 0; i < 1000; ++i) {
            down = t.next[2 * down];
            up = t.next[2 * up + 1];
        }
        EXPECT_EQ(down, lowest[rate]);
        EXPECT_EQ(up, highest[rate]);
    }
}

Bytes encode_bits(const std::vector<std::pair<int, uint32_t>>& bits) {
    VectorSink sink;
    {
        ByteWriter w(sink);
        ArithmeticCoder c;
        c.start_encoding(w);
        for (auto [bit, p] : bits) c.encode_bit(bit, p);
        c.flush();
        w.flush();
    }
    return sink.bytes;
}

TEST(ArithmeticCoder, EmptyEntryIsTheFlushAlone) {
    EXPECT_EQ(encode_bits({}), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ArithmeticCoder, FirstSplitAtOneHalf) {
    ArithmeticCoder one, zero;
    VectorSink sink;
    ByteWriter w(sink);
    one.start_encoding(w);
    zero.start_encoding(w);
    one.encode_bit(1, 128);
    zero.encode_bit(0, 128);
    EXPECT_EQ(one.x1, 0u);
    EXPECT_EQ(one.x2, 0x7FFFFF80u);
    EXPECT_EQ(zero.x1, 0x7FFFFF81u);
    EXPECT_EQ(zero.x2, 0xFFFFFFFFu);
    EXPECT_EQ(w.count(), 0u);
}

TEST(ArithmeticCoder, ByteThroughFreshTree) {
    std::vector<std::pair<int, uint32_t>> bits;
    for (int j = 7; j >= 0; --j) bits.push_back({(0x41 >> j) & 1, 128});
    EXPECT_EQ(encode_bits(bits), (Bytes{0xBE, 0xFF, 0xFF, 0x06}));
}

// After a bit that settles two top bytes, only one leaves; the next bit's
// normalisation shifts out the second.
TEST(ArithmeticCoder, OneShiftPerBit) {
    VectorSink sink;
    ByteWriter w(sink);
    ArithmeticCoder c;
    c.start_encoding(w);
    c.encode_bit(1, 1);  // x2 = 0x00FFFFFF: top two bytes of x1 and x2 now agree
    EXPECT_EQ(w.count(), 1u);
    EXPECT_EQ(c.x2, 0xFFFFFFFFu);
    EXPECT_EQ(c.x1, 0u);
    c.encode_bit(1, 1);
    EXPECT_EQ(w.count(), 2u);
}

TEST(ArithmeticCoder, DecoderMirrorsEncoderAndReadsExactly) {
    uint32_t seed = 12345;
    std::vector<std::pair<int, uint32_t>> bits;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245 + 12345;
        uint32_t p = (seed >> 16) & 255;
        int bit = ((seed >> 8) & 255) < p;  // bits roughly follow p
        bits.push_back({bit, p});
    }
    Bytes coded = encode_bits(bits);
    MemorySource src(coded.data(), coded.size());
    ByteReader r(src, coded.size());
    ArithmeticCoder c;
    c.start_decoding(r);
    for (auto [bit, p] : bits) ASSERT_EQ(c.decode_bit(p), bit);
    EXPECT_EQ(r.consumed(), coded.size());
    EXPECT_FALSE(r.overrun());
}

TEST(MatchModel, ContextHashGoldenVector) {
    const uint8_t abc[] = {0x61, 0x62, 0x63};
    EXPECT_EQ(context_hash(abc, 3, 3), 0x21A24Eu);
}

class WholeEntry : public ::testing::Test {
protected:
    void SetUp() override { state->begin_operation(); }
    void TearDown() override { state->end_operation(); }

    Bytes code_and_check(const CodecParams& params, const Bytes& data) {
        Bytes coded = encode_blocks(*state, params, data, data.size() + 1);
        // A fresh operation decodes it back, reading exactly every coded byte.
        state->end_operation();
        state->begin_operation();
        auto back = decode_blocks(*state, params, coded, data.size(), data.size() + 1);
        EXPECT_TRUE(back.ok);
        EXPECT_EQ(back.data, data);
        EXPECT_EQ(back.consumed, coded.size());
        return coded;
    }

    std::unique_ptr<CodecState> state = std::make_unique<CodecState>();
};

Bytes abc_six_times() {
    Bytes d;
    for (int i = 0; i < 6; ++i) d.insert(d.end(), {0x61, 0x62, 0x63});
    return d;
}

TEST_F(WholeEntry, RunOfOneByteModeZero) {
    EXPECT_EQ(code_and_check(params_with(0, 5, 2, 1, 1, 3), Bytes(300, 0x41)),
              (Bytes{0xBE, 0xBE, 0x5B, 0xEB, 0x43, 0x32, 0x6E, 0xDA, 0x8E, 0x40}));
}

TEST_F(WholeEntry, RepeatedTripletModeZero) {
    EXPECT_EQ(code_and_check(params_with(0, 5, 2, 1, 1, 3), abc_six_times()),
              (Bytes{0x9E, 0x97, 0xEF, 0xB0, 0x1C, 0x53, 0xAD, 0xC1, 0x65, 0x44}));
}

TEST_F(WholeEntry, RepeatedTripletModeTwo) {
    EXPECT_EQ(code_and_check(params_with(2, 5, 2, 1, 0, 4), abc_six_times()),
              (Bytes{0x9E, 0x99, 0xEB, 0x7B, 0x1C, 0x82, 0xF4, 0xB5, 0x52, 0xCD, 0x6E, 0x80}));
}

TEST_F(WholeEntry, RepeatedTripletModeOne) {
    EXPECT_EQ(code_and_check(params_with(1, 3, 2, 1, 0, 4, 1, 2), abc_six_times()),
              (Bytes{0x9E, 0x99, 0xEB, 0x7B, 0x1C, 0x83, 0x0D, 0x90, 0x50, 0x39, 0xB5, 0xD3,
                     0x33, 0x97, 0x42, 0x91, 0xD5, 0x6B, 0x4A, 0xFF}));
}

TEST_F(WholeEntry, EmptyEntry) {
    EXPECT_EQ(code_and_check(params_with(0, 5, 2, 1, 1, 3), Bytes{}),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace vellum
