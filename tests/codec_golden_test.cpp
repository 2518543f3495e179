// Golden vectors of the coder, the update table, the hash and whole entries.
#include <gtest/gtest.h>

#include <memory>

#include "archive/file_class.h"
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

// Three entries of one solid run, packed behind each other with their classes'
// solid parameters: a delta-filtered file, a near copy of it coded mostly as a
// match into the first one's filtered bytes, and a text. The coded data as the
// archive holds it after each class field.
TEST(SolidRun, GoldenPackedEntries) {
    Bytes a = {'B', 'M'};
    for (uint32_t i = 0; i < 78; ++i) a.push_back(static_cast<uint8_t>((i * i * 3 + i) % 256));
    Bytes b = a;
    b[60] = 'X';
    b[61] = 'Y';
    const std::string line = "the entry loop codes the entry; the entry loop decodes the entry.\n";
    Bytes c(line.begin(), line.end());
    c.insert(c.end(), line.begin(), line.end());
    struct Case { const Bytes& data; uint16_t file_class; Bytes coded; };
    const Case cases[] = {
        {a, 2, {0xBD, 0xF4, 0x6E, 0x7B, 0x86, 0x89, 0x5B, 0xEC, 0xA2, 0xB8, 0x79, 0x3D, 0x1C, 0xDA, 0x2E,
                0xA2, 0x20, 0xDD, 0x35, 0xD6, 0xAE, 0x12, 0xFA, 0x3C, 0x9C, 0xBB, 0x91, 0x3B, 0x51, 0xF5,
                0xDB, 0xE5, 0x45, 0xC9, 0xBD, 0xEF, 0x91, 0x4A, 0x1E, 0xD6, 0x35, 0x92, 0x3D, 0x93, 0xC2,
                0xF5, 0xA5, 0xB4, 0x21, 0x5A, 0xFB, 0xCC, 0x3B, 0x0A, 0xA8, 0xFA, 0xA4, 0x17, 0x62, 0x6C,
                0x3E, 0x2A, 0x19, 0x70, 0xAE, 0xEF, 0xDD, 0x33, 0x83, 0x84, 0x84, 0xCB, 0x59, 0x71, 0xDB,
                0xCB, 0x42, 0x46, 0x31, 0x63, 0xAD, 0x8A, 0x14}},
        {b, 2, {0xBD, 0xF4, 0x6E, 0x7B, 0x86, 0x89, 0x5B, 0xEC, 0xA2, 0xB8, 0x79, 0x3D, 0x1C, 0xDA, 0x2E,
                0xA1, 0xF4, 0xDF, 0x37, 0x69, 0x72, 0x67, 0xEE, 0xE5, 0xDC, 0x5B, 0x97, 0x37, 0xD5, 0xFF}},
        {c, 9, {0x8B, 0x92, 0xE7, 0x8F, 0x06, 0x6F, 0x17, 0xF2, 0xA9, 0x79, 0x42, 0xB4, 0x38, 0x7F, 0xD7,
                0x34, 0x31, 0xD9, 0x58, 0xF4, 0xD7, 0xCA, 0x27, 0xC6, 0x51, 0x30, 0xA5, 0xCC, 0x84, 0xEE,
                0xFE, 0x0D, 0x1E, 0x65, 0xE2, 0x0E, 0x05, 0xA5, 0x1A, 0xF5, 0xBE, 0xAB, 0xF0, 0x2C, 0x86,
                0x06, 0x48, 0x36, 0x80}},
    };
    auto state = std::make_unique<CodecState>();
    auto params = [](uint16_t file_class) {
        CodecParams p;
        EXPECT_TRUE(codec_params_for_class(file_class, true, &p));
        return p;
    };
    ASSERT_TRUE(state->begin_operation());
    EntryRun run;
    ASSERT_TRUE(start_run(run, RunMode::solid, 4096));
    size_t fill = 0;
    for (const Case& k : cases) {
        EXPECT_EQ(test::encode_in_run(*state, run, params(k.file_class), k.data), k.coded);
        fill += k.data.size();
        EXPECT_EQ(run.fill, fill);  // all three packed
    }
    // Decoded in a fresh run, the first entry with nowhere to go, as a solid run
    // decodes the entries before the ones it writes: the next one matches into
    // its filtered bytes all the same.
    for (bool hand_out_first : {true, false}) {
        ASSERT_TRUE(state->begin_operation());
        ASSERT_TRUE(start_run(run, RunMode::solid, 4096));
        for (size_t i = 0; i < 3; ++i) {
            const Case& k = cases[i];
            if (i == 0 && !hand_out_first) {
                MemorySource source(k.coded.data(), k.coded.size());
                const EntryOutcome o = decode_entry(*state, run, params(k.file_class), source, k.coded.size(),
                                                    k.data.size(), nullptr, EntryHooks{});
                EXPECT_EQ(o.end, EntryEnd::complete);
                continue;
            }
            const test::Decoded back = test::decode_in_run(*state, run, params(k.file_class), k.coded, k.data.size());
            EXPECT_TRUE(back.ok) << i;
            EXPECT_EQ(back.data, k.data) << i;
        }
    }
    state->end_operation();
}

}  // namespace
}  // namespace vellum
