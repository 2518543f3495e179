// Round trips through the codec: every context mode and parameter shape, spans at
// the context boundaries, many blocks, packed solid spans, and damaged input.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "archive/file_class.h"
#include "codec_test_support.h"

namespace vellum {
namespace {

using test::decode_blocks;
using test::encode_blocks;
using test::params_with;
using Bytes = std::vector<uint8_t>;

Bytes random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d(n);
    for (auto& b : d) b = static_cast<uint8_t>(rng());
    return d;
}

// Words, numbers and repeated phrases: gives every model something to find.
Bytes text_like(size_t n, uint32_t seed) {
    static const char* words[] = {"the ", "archive ", "entry ", "block ", "of ", "and ",
                                  "codec ", "context ", "\n", "match ", "1234 ", "0x41 "};
    std::mt19937 rng(seed);
    Bytes d;
    while (d.size() < n) {
        if (rng() % 7 == 0 && d.size() > 64) {
            size_t from = rng() % (d.size() - 32), len = 4 + rng() % 28;
            for (size_t i = 0; i < len; ++i) d.push_back(d[from + i]);
        } else {
            const char* w = words[rng() % 12];
            d.insert(d.end(), w, w + std::char_traits<char>::length(w));
        }
    }
    d.resize(n);
    return d;
}

// Sampled-looking data with a stride, plus runs of one byte.
Bytes mixed(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d(n);
    for (size_t i = 0; i < n; ++i) {
        size_t zone = (i / 997) % 3;
        d[i] = zone == 0 ? static_cast<uint8_t>(i * 3 + (i % 4) * 40)
             : zone == 1 ? 0x41
                         : static_cast<uint8_t>(rng() % 5);
    }
    return d;
}

// Every parameter shape the file classes produce, and the corners of each range.
std::vector<CodecParams> parameter_shapes() {
    std::vector<CodecParams> all;
    for (uint32_t mode : {0u, 1u, 2u})
        for (uint32_t order : {2u, 3u, 4u, 5u, 8u, 12u, 16u})
            for (uint32_t inherit : {0u, 1u}) {
                CodecParams p = params_with(mode, order, 2 + (order % 2), 1 + (order / 4) % 2,
                                            inherit, 3 + (order % 2));
                p.ctx_distance_2 = std::min(order, 2 * (1 + order / 4));
                p.ctx_distance_1 = std::max(1u, p.ctx_distance_2 / 2);
                all.push_back(p);
            }
    return all;
}

std::string describe(const CodecParams& p) {
    char s[120];
    std::snprintf(s, sizeof s, "mode %u order %u runs %u+%u inherit %u rate %u d %u/%u",
                  p.context_mode, p.hash_order, p.match_first_run, p.match_run_step,
                  p.inherit_order1, p.adapt_rate, p.ctx_distance_1, p.ctx_distance_2);
    return s;
}

class CodecRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { state->begin_operation(); }
    void TearDown() override { state->end_operation(); }

    void round_trip(const CodecParams& params, const Bytes& data, size_t block,
                    const std::string& what) {
        SCOPED_TRACE(what + " / " + describe(params) + " / size " +
                     std::to_string(data.size()) + " block " + std::to_string(block));
        // No fresh operation in between: in normal mode every slot an earlier
        // entry wrote is stale, so each entry codes as if it were alone.
        Bytes coded = encode_blocks(*state, params, data, block);
        auto back = decode_blocks(*state, params, coded, data.size(), block);
        ASSERT_TRUE(back.ok);
        ASSERT_EQ(back.data, data);
        EXPECT_EQ(back.consumed, coded.size());
    }

    std::unique_ptr<CodecState> state = std::make_unique<CodecState>();
};

TEST_F(CodecRoundTrip, EveryShapeOnSpansAroundTheContextStart) {
    Bytes source = text_like(64, 7);
    for (const CodecParams& p : parameter_shapes()) {
        for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{p.hash_order},
                         size_t{p.hash_order} + 1, size_t{p.hash_order} + 2, size_t{40}}) {
            round_trip(p, Bytes(source.begin(), source.begin() + n), n + 1, "short text");
            round_trip(p, Bytes(n, 0x41), n + 1, "one byte repeated");
        }
    }
}

TEST_F(CodecRoundTrip, EveryShapeOnVariedData) {
    for (const CodecParams& p : parameter_shapes()) {
        round_trip(p, text_like(20000, 1), 1 << 20, "text");
        round_trip(p, mixed(9000, 2), 1 << 20, "mixed");
        round_trip(p, random_bytes(3000, 3), 1 << 20, "random");
    }
}

// Several blocks through one coder: trees carry over, base_position grows and
// the slots of earlier blocks are stale, and matches never reach back into them.
TEST_F(CodecRoundTrip, ManyBlocksOfOneFile) {
    Bytes data = text_like(70000, 4);
    for (const CodecParams& p : parameter_shapes()) {
        for (size_t block : {size_t{1}, size_t{7}, size_t{4096}, size_t{65536}}) {
            if (block == 1 && p.hash_order > 3) continue;  // slow and adds nothing
            round_trip(p, Bytes(data.begin(), data.begin() + (block == 1 ? 3000 : 70000)), block,
                       "blocks");
        }
    }
}

TEST_F(CodecRoundTrip, SeveralMebibytes) {
    Bytes data = text_like(3 << 20, 5);
    Bytes rnd = random_bytes(1 << 20, 6);
    data.insert(data.end(), rnd.begin(), rnd.end());
    for (uint32_t mode : {0u, 1u, 2u}) {
        round_trip(params_with(mode, 5, 2, 1, 1, 3, 1, 2), data, 4 << 20, "multi-MiB");
    }
    round_trip(params_with(0, 4, 2, 2, 0, 4), data, 1 << 20, "multi-MiB, four blocks");
}

TEST_F(CodecRoundTrip, CorpusFiles) {
    const std::string dir = VELLUM_CORPUS_DIR;
    const char* names[] = {"alice29.txt", "kppkn.gtb", "geo.protodata", "fireworks.jpeg"};
    int found = 0;
    for (const char* name : names) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        if (!in) continue;
        ++found;
        Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        round_trip(params_with(0, 5, 2, 1, 1, 3), data, 1 << 24, name);
        round_trip(params_with(2, 5, 2, 2, 0, 4), data, 50000, name);
    }
    if (found == 0) GTEST_SKIP() << "corpus not found at " << dir;
}

// In normal mode a file's coded data does not depend on what the operation coded
// before it.
TEST_F(CodecRoundTrip, NormalModeEntriesAreIndependent) {
    CodecParams p = params_with(0, 5, 2, 1, 1, 3);
    Bytes b = text_like(30000, 9);
    state->begin_operation();
    Bytes alone = encode_blocks(*state, p, b, 8192);
    state->begin_operation();
    encode_blocks(*state, p, text_like(50000, 9), 8192);  // same vocabulary, shared hashes
    encode_blocks(*state, params_with(2, 8, 2, 2, 0, 4), mixed(20000, 1), 8192);
    EXPECT_EQ(encode_blocks(*state, p, b, 8192), alone);
}

// A solid run: small files packed one after another into one shared buffer, each
// its own coded stream, later files matching into earlier ones; then a file too
// large for the rest of the buffer, coded in blocks from offset 0.
struct SolidFile {
    Bytes data;
    CodecParams params;
};

std::vector<Bytes> solid_run(CodecState& state, const std::vector<SolidFile>& files,
                             size_t buffer_size) {
    std::vector<Bytes> out;
    Bytes buffer(buffer_size);
    size_t fill = 0;
    for (const SolidFile& f : files) {
        VectorSink sink;
        {
            ByteWriter w(sink);
            ArithmeticCoder c;
            state.begin_entry(f.params);
            c.start_encoding(w);
            if (fill + f.data.size() < buffer_size) {
                std::copy(f.data.begin(), f.data.end(), buffer.begin() + fill);
                code_span<Direction::compress>(state, f.params, c, buffer.data(),
                                               Span{fill, fill + f.data.size(), SpanKind::packed});
                fill += f.data.size();
            } else {
                state.match.base_position += fill;
                fill = 0;
                for (size_t pos = 0; pos < f.data.size(); pos += buffer_size) {
                    size_t len = std::min(buffer_size, f.data.size() - pos);
                    std::copy(f.data.begin() + pos, f.data.begin() + pos + len, buffer.begin());
                    code_span<Direction::compress>(state, f.params, c, buffer.data(),
                                                   Span{0, len, SpanKind::block_solid});
                    state.match.base_position += len;
                }
            }
            c.flush();
            state.end_entry();
            w.flush();
        }
        out.push_back(sink.bytes);
    }
    return out;
}

// Decodes the run in order, with the same buffer layout as when it was written.
std::vector<Bytes> solid_extract(CodecState& state, const std::vector<SolidFile>& files,
                                 const std::vector<Bytes>& coded, size_t buffer_size) {
    std::vector<Bytes> out;
    Bytes buffer(buffer_size);
    size_t fill = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const CodecParams& p = files[i].params;
        size_t size = files[i].data.size();
        MemorySource src(coded[i].data(), coded[i].size());
        ByteReader r(src, coded[i].size());
        ArithmeticCoder c;
        state.begin_entry(p);
        c.start_decoding(r);
        Bytes got;
        bool ok = true;
        if (fill + size < buffer_size) {
            ok = code_span<Direction::extract>(state, p, c, buffer.data(),
                                               Span{fill, fill + size, SpanKind::packed});
            got.assign(buffer.begin() + fill, buffer.begin() + fill + size);
            fill += size;
        } else {
            state.match.base_position += fill;
            fill = 0;
            for (size_t pos = 0; pos < size; pos += buffer_size) {
                size_t len = std::min(buffer_size, size - pos);
                ok = ok && code_span<Direction::extract>(state, p, c, buffer.data(),
                                                         Span{0, len, SpanKind::block_solid});
                got.insert(got.end(), buffer.begin(), buffer.begin() + len);
                state.match.base_position += len;
            }
        }
        state.end_entry();
        EXPECT_TRUE(ok && !r.overrun()) << "entry " << i;
        EXPECT_EQ(r.consumed(), coded[i].size()) << "entry " << i;
        out.push_back(got);
    }
    return out;
}

TEST_F(CodecRoundTrip, SolidRunWithPackedAndLargeFiles) {
    CodecParams text = params_with(0, 4, 2, 1, 1, 3, 1, 2);
    CodecParams sampled = params_with(2, 4, 2, 2, 0, 4, 4, 8);
    CodecParams other = params_with(2, 4, 3, 2, 1, 3, 3, 6);
    Bytes shared = text_like(5000, 11);
    std::vector<SolidFile> files = {
        {shared, text},
        {Bytes{}, text},                                    // empty file at a fill offset
        {Bytes(shared.begin() + 100, shared.end()), text},  // repeats the first file
        {mixed(3000, 3), sampled},
        {Bytes(5, 0x41), other},                            // shorter than the context start
        {text_like(40000, 12), text},                       // does not fit: blocks from 0
        {Bytes(shared.begin(), shared.begin() + 3000), other},
        {random_bytes(2000, 8), sampled},
    };
    const size_t buffer_size = 16384;
    state->begin_operation();
    auto coded = solid_run(*state, files, buffer_size);
    // The repeated file is far cheaper than the first: it matched into it.
    EXPECT_LT(coded[2].size() * 4, coded[0].size());
    state->begin_operation();
    auto back = solid_extract(*state, files, coded, buffer_size);
    for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(back[i], files[i].data) << "entry " << i;
}

// Damaged input: every truncation and random garbage end in an error or in
// exactly original-size bytes, never out of bounds (the sanitizer run checks).
TEST_F(CodecRoundTrip, TruncatedEntriesFailCleanly) {
    for (const CodecParams& p : {params_with(0, 5, 2, 1, 1, 3), params_with(1, 3, 2, 1, 0, 4),
                                 params_with(2, 4, 2, 2, 0, 4)}) {
        Bytes data = text_like(3000, 21);
        Bytes coded = encode_blocks(*state, p, data, 1000);
        int failures = 0;
        for (size_t cut = 0; cut < coded.size(); ++cut) {
            Bytes part(coded.begin(), coded.begin() + cut);
            auto back = decode_blocks(*state, p, part, data.size(), 1000);
            EXPECT_EQ(back.data.size(), data.size());
            EXPECT_LE(back.consumed, cut);
            failures += !back.ok;
        }
        // Losing the flush bytes may still decode, but a cut deep inside may not.
        EXPECT_GE(failures, static_cast<int>(coded.size()) - 4) << describe(p);
    }
}

TEST_F(CodecRoundTrip, GarbageNeverEscapesTheSpan) {
    std::mt19937 rng(77);
    const auto shapes = parameter_shapes();
    int detected = 0;
    for (int round = 0; round < 300; ++round) {
        CodecParams p = shapes[rng() % shapes.size()];
        Bytes garbage = random_bytes(rng() % 600, rng());
        size_t size = 2000 + rng() % 5000;
        auto back = decode_blocks(*state, p, garbage, size, 1 + rng() % 3000);
        EXPECT_EQ(back.data.size(), size);
        EXPECT_LE(back.consumed, garbage.size());
        detected += !back.ok;
    }
    // Too few coded bytes for thousands of positions: the reader runs dry.
    EXPECT_GT(detected, 250);
}

// A solid run whose earlier entry was damaged leaves slots that point past the
// fill offset; later entries must not follow them outside decoded data.
TEST_F(CodecRoundTrip, GarbageInSolidRunStaysInBuffer) {
    std::mt19937 rng(5);
    CodecParams p = params_with(2, 4, 2, 2, 0, 4);
    Bytes buffer(4096);
    int damaged = 0;
    for (int i = 0; i < 200; ++i) {
        Bytes garbage = random_bytes(64 + rng() % 400, rng());
        MemorySource src(garbage.data(), garbage.size());
        ByteReader r(src, garbage.size());
        ArithmeticCoder c;
        state->begin_entry(p);
        c.start_decoding(r);
        size_t start = rng() % 3000, end = start + rng() % 1000;
        damaged += !code_span<Direction::extract>(*state, p, c, buffer.data(),
                                                  Span{start, end, SpanKind::packed});
        state->end_entry();
    }
    // Most spans outrun their garbage; none may touch memory outside the buffer
    // (the sanitizer build checks that).
    EXPECT_GT(damaged, 100);
}

}  // namespace
}  // namespace vellum

namespace vellum {
namespace {

// The parameters of every file class, in both modes, through block and packed spans.
TEST(CodecClasses, EveryClassRoundTrips) {
    auto state = std::make_unique<CodecState>();
    Bytes text = text_like(6000, 31), sampled = mixed(6000, 32);
    for (uint32_t file_class = 0; file_class <= 27; ++file_class) {
        for (bool solid : {false, true}) {
            CodecParams p;
            if (!codec_params_for_class(file_class, solid, &p)) {
                EXPECT_EQ(file_class, 6u);
                continue;
            }
            if (p.store_raw) continue;
            SCOPED_TRACE("class " + std::to_string(file_class) + (solid ? " solid" : " normal"));
            for (const Bytes* data : {&text, &sampled}) {
                // Solid statistics carry over within an operation: each side
                // starts one of its own.
                state->begin_operation();
                Bytes coded = encode_blocks(*state, p, *data, 2500,
                                            solid ? SpanKind::block_solid : SpanKind::block_normal);
                state->begin_operation();
                auto back = decode_blocks(*state, p, coded, data->size(), 2500,
                                          solid ? SpanKind::block_solid : SpanKind::block_normal);
                ASSERT_TRUE(back.ok);
                ASSERT_EQ(back.data, *data);
            }
        }
    }
}

}  // namespace
}  // namespace vellum
