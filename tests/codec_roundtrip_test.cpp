// Round trips through the codec: every parameter shape and file class, spans
// around the context start, many blocks, and damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "archive/file_class.h"
#include "codec/code_span.h"
#include "codec_test_support.h"

namespace vellum {
namespace {

using test::decode_blocks;
using test::encode_blocks;
using test::params_with;
using test::kLength;
using test::kLiterals;
using test::kRuns;
using Bytes = std::vector<uint8_t>;

Bytes random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d(n);
    for (auto& b : d) b = static_cast<uint8_t>(rng());
    return d;
}

// Words, and copies of earlier stretches: something for every model to find.
Bytes text_like(size_t n, uint32_t seed) {
    static const char* words[] = {"the ", "archive ", "entry ", "block ", "of ", "\n", "0x41 "};
    std::mt19937 rng(seed);
    Bytes d;
    while (d.size() < n) {
        if (rng() % 7 == 0 && d.size() > 64) {
            size_t from = rng() % (d.size() - 32), len = 4 + rng() % 28;
            for (size_t i = 0; i < len; ++i) d.push_back(d[from + i]);
        } else {
            const std::string w = words[rng() % 7];
            d.insert(d.end(), w.begin(), w.end());
        }
    }
    d.resize(n);
    return d;
}

// Every parameter shape the file classes use, and the corners of each range.
std::vector<CodecParams> parameter_shapes() {
    std::vector<CodecParams> all;
    for (ContextMode mode : test::kEveryMode)
        for (uint32_t order : {2u, 3u, 4u, 5u, 8u, 12u, 16u})
            for (uint32_t inherit : {0u, 1u}) {
                CodecParams p = params_with(mode, order, 2 + order % 2, 1 + (order / 4) % 2,
                                            inherit, 3 + order % 2);
                p.ctx_distance_2 = std::min(order, 2 * (1 + order / 4));
                p.ctx_distance_1 = std::max(1u, p.ctx_distance_2 / 2);
                all.push_back(p);
            }
    return all;
}

// The bound the class table is checked against at compile time: context bytes
// never before the span. Its edges, and the solid class that reads 16 bytes
// back with a hash order of 4 (a packed file starts its contexts 16 bytes in).
TEST(ContextReach, EdgesOfTheBound) {
    CodecParams p = params_with(kLiterals, 3, 2, 1, 0, 4, 1, 3);
    EXPECT_TRUE(contexts_within_reach(p));
    p.ctx_distance_2 = 4;  // one past hash_order
    EXPECT_FALSE(contexts_within_reach(p));
    p = params_with(kLiterals, 4, 2, 1, 0, 4, 5, 1);  // the first distance too
    EXPECT_FALSE(contexts_within_reach(p));
    CodecParams solid24;
    ASSERT_TRUE(codec_params_for_class(24, true, &solid24));
    EXPECT_EQ(solid24.ctx_distance_2, 16u);
    EXPECT_EQ(solid24.hash_order, 4u);
    EXPECT_TRUE(contexts_within_reach(solid24));
    p = params_with(kLength, 4, 2, 1, 0, 4, 1, 17);
    EXPECT_FALSE(contexts_within_reach(p));
    for (uint32_t order : {1u, 17u}) {
        p = params_with(kRuns, order, 2, 1, 0, 4);
        EXPECT_FALSE(contexts_within_reach(p)) << order;
    }
}

// Entries coded one after another in one operation: in normal mode every slot an
// earlier entry wrote is stale, so each codes as if it were alone.
class CodecRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(state->begin_operation()); }

    void round_trip(const CodecParams& p, const Bytes& data, size_t block) {
        SCOPED_TRACE(test::mode_text(p.context_mode) + " order " +
                     std::to_string(p.hash_order) + " size " + std::to_string(data.size()) +
                     " block " + std::to_string(block));
        Bytes coded = encode_blocks(*state, p, data, block);
        auto back = decode_blocks(*state, p, coded, data.size(), block);
        ASSERT_TRUE(back.ok);
        ASSERT_EQ(back.data, data);
    }

    std::unique_ptr<CodecState> state = std::make_unique<CodecState>();
};

TEST_F(CodecRoundTrip, EveryShapeSpanLengthAndBlockSize) {
    const Bytes text = text_like(70000, 1), rnd = random_bytes(3000, 3);
    for (const CodecParams& p : parameter_shapes()) {
        for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{p.hash_order},
                         size_t{p.hash_order} + 1, size_t{40}}) {
            round_trip(p, Bytes(text.begin(), text.begin() + n), n + 1);
            round_trip(p, Bytes(n, 0x41), n + 1);
        }
        round_trip(p, rnd, 1 << 20);
        // Blocks: trees carry over, base_position grows, earlier slots go stale.
        for (size_t block : {size_t{7}, size_t{4096}, size_t{1} << 20})
            round_trip(p, Bytes(text.begin(), text.begin() + (block == 7 ? 3000 : 70000)), block);
    }
}

TEST_F(CodecRoundTrip, SeveralMebibytesAndTheCorpus) {
    Bytes data = text_like(3 << 20, 5), rnd = random_bytes(1 << 20, 6);
    data.insert(data.end(), rnd.begin(), rnd.end());
    for (ContextMode mode : test::kEveryMode) round_trip(params_with(mode, 5, 2, 1, 1, 3), data, 4 << 20);
    round_trip(params_with(kRuns, 4, 2, 2, 0, 4), data, 1 << 20);
    for (const char* name : {"alice29.txt", "kppkn.gtb", "geo.protodata", "fireworks.jpeg"}) {
        std::ifstream in(std::string(VELLUM_CORPUS_DIR) + "/" + name, std::ios::binary);
        if (!in) GTEST_SKIP() << "corpus not found at " << VELLUM_CORPUS_DIR;
        Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        round_trip(params_with(kRuns, 5, 2, 1, 1, 3), file, 1 << 24);
        round_trip(params_with(kLength, 5, 2, 2, 0, 4), file, 50000);
    }
}

// Solid statistics carry over within an operation, so each side gets its own.
TEST(CodecClasses, EveryClassRoundTripsNormalAndSolid) {
    auto state = std::make_unique<CodecState>();
    const Bytes text = text_like(6000, 31);
    for (uint32_t file_class = 0; file_class <= 27; ++file_class) {
        for (bool solid : {false, true}) {
            CodecParams p;
            if (!codec_params_for_class(file_class, solid, &p) || p.store_raw) continue;
            const RunMode mode = solid ? RunMode::solid : RunMode::normal;
            ASSERT_TRUE(state->begin_operation());
            Bytes coded = encode_blocks(*state, p, text, 2500, mode);
            ASSERT_TRUE(state->begin_operation());
            auto back = decode_blocks(*state, p, coded, text.size(), 2500, mode);
            EXPECT_TRUE(back.ok && back.data == text) << "class " << file_class << " solid " << solid;
        }
    }
}

TEST_F(CodecRoundTrip, NormalModeEntriesAreIndependent) {
    CodecParams p = params_with(kRuns, 5, 2, 1, 1, 3);
    Bytes b = text_like(30000, 9);
    Bytes alone = encode_blocks(*state, p, b, 8192);
    encode_blocks(*state, p, text_like(50000, 9), 8192);  // same words, same hashes
    EXPECT_EQ(encode_blocks(*state, p, b, 8192), alone);
}

// An entry whose source ends early (a file that shrank while it was read) is
// left out of the archive, so the next entry must still code as if it were
// alone: the cut entry ends in the tables as a whole one does.
TEST_F(CodecRoundTrip, AnEntryCutShortLeavesTheNextAsIfAlone) {
    const CodecParams p = params_with(kRuns, 5, 2, 1, 1, 3);
    const Bytes b = text_like(30000, 9);
    const Bytes alone = encode_blocks(*state, p, b, 8192);
    // Claims 50000 bytes and has 20000: two blocks are coded, the third read comes short.
    const Bytes shrunk = text_like(20000, 10);
    EntryRun run = test::run_for(RunMode::normal, 8192, 50000);
    MemorySource source(shrunk.data(), shrunk.size());
    VectorSink sink;
    ByteWriter writer(sink);
    CodecParams q = p;
    const EntryOutcome cut = encode_entry(*state, run, q, source, 50000, writer, EntryHooks{});
    EXPECT_EQ(cut.end, EntryEnd::source_short);
    EXPECT_EQ(cut.done, 16384u);
    EXPECT_EQ(encode_blocks(*state, p, b, 8192), alone);
}

// Every coded byte belongs to the entry: one more, or one fewer, is damage.
TEST_F(CodecRoundTrip, AnEntryEndsExactlyWhereItsDataEnds) {
    for (const CodecParams& p : {params_with(kRuns, 5, 2, 1, 1, 3), params_with(kLength, 4, 2, 2, 0, 4)}) {
        const Bytes data = text_like(20000, 4);
        const Bytes coded = encode_blocks(*state, p, data, 8192);
        Bytes longer = coded;
        longer.push_back(0);
        EXPECT_FALSE(decode_blocks(*state, p, longer, data.size(), 8192).ok);
        EXPECT_FALSE(decode_blocks(*state, p, Bytes(coded.begin(), coded.end() - 1), data.size(), 8192).ok);
        EXPECT_TRUE(decode_blocks(*state, p, coded, data.size(), 8192).ok);
    }
}

// Damaged input: truncations and garbage end in an error or in exactly the
// original bytes, never hand out more than the entry's size, and never read or
// write outside (the sanitizer build).
TEST_F(CodecRoundTrip, DamagedInputFailsCleanly) {
    for (const CodecParams& p : {params_with(kRuns, 5, 2, 1, 1, 3), params_with(kLiterals, 3, 2, 1, 0, 4),
                                 params_with(kLength, 4, 2, 2, 0, 4)}) {
        Bytes data = text_like(3000, 21), coded = encode_blocks(*state, p, data, 1000);
        int failures = 0;
        for (size_t cut = 0; cut < coded.size(); ++cut) {
            auto back = decode_blocks(*state, p, Bytes(coded.begin(), coded.begin() + cut),
                                      data.size(), 1000);
            EXPECT_LE(back.data.size(), data.size());
            if (back.ok) {
                EXPECT_EQ(back.data, data);
            }
            failures += !back.ok;
        }
        // Losing only flush bytes may still decode; any deeper cut must not.
        EXPECT_GE(failures, static_cast<int>(coded.size()) - 4);
    }
    std::mt19937 rng(77);
    const auto shapes = parameter_shapes();
    int detected = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes garbage = random_bytes(rng() % 600, rng());
        const size_t size = 2000 + rng() % 5000;
        auto back = decode_blocks(*state, shapes[rng() % shapes.size()], garbage, size, 1 + rng() % 3000);
        EXPECT_LE(back.data.size(), size);
        detected += !back.ok;
    }
    EXPECT_GT(detected, 250);  // far too few coded bytes: the reader runs dry
}

// A match that reaches past a shorter span (the coded length of a longer one) is
// damage: the decoder stops at the span's end and writes nothing beyond it.
TEST_F(CodecRoundTrip, MatchesNeverRunPastTheSpan) {
    for (ContextMode mode : {test::kRuns, test::kLength}) {
        CodecParams p = params_with(mode, 4, 2, 1, 1, 3);
        Bytes data(3000, 0x41);
        Bytes coded = encode_blocks(*state, p, data, data.size());
        for (size_t shorter = 1; shorter <= 3; ++shorter) {
            Bytes buffer(data.size() + 8, 0xA5);
            MemorySource src(coded.data(), coded.size());
            ByteReader r(src, coded.size());
            ArithmeticCoder<Direction::extract> c;
            state->begin_entry(p);
            c.start_decoding(r);
            const size_t end = data.size() - shorter;
            EXPECT_FALSE(code_span<Direction::extract>(*state, p, c, buffer.data(),
                                                       Span{0, end, SpanKind::block_normal}));
            state->end_entry();
            state->match.base_position += data.size();
            EXPECT_EQ(std::count(buffer.begin() + end, buffer.end(), 0xA5), 8 + static_cast<long>(shorter));
        }
    }
}

// A damaged entry of a solid run leaves slots that point past the fill offset;
// spans after it must not follow them outside decoded data.
TEST_F(CodecRoundTrip, GarbageInPackedSpansStaysInTheBuffer) {
    std::mt19937 rng(5);
    CodecParams p = params_with(kLength, 4, 2, 2, 0, 4);
    Bytes buffer(4096);
    int damaged = 0;
    for (int i = 0; i < 200; ++i) {
        std::fill(buffer.begin(), buffer.end(), 0xA5);
        Bytes garbage = random_bytes(64 + rng() % 400, rng());
        MemorySource src(garbage.data(), garbage.size());
        ByteReader r(src, garbage.size());
        ArithmeticCoder<Direction::extract> c;
        state->begin_entry(p);
        c.start_decoding(r);
        size_t start = rng() % 3000, end = start + rng() % 1000;
        damaged += !code_span<Direction::extract>(*state, p, c, buffer.data(),
                                                  Span{start, end, SpanKind::packed});
        state->end_entry();
        // Nothing is written outside the span.
        EXPECT_EQ(std::count(buffer.begin() + end, buffer.end(), 0xA5), 4096 - static_cast<long>(end));
        EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + start, 0xA5), static_cast<long>(start));
    }
    EXPECT_GT(damaged, 100);
}

}  // namespace
}  // namespace vellum
