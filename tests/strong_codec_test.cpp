// The strong codec alone: its fixed tables, its coder, round trips of every
// model set on generated data, solid runs, golden entries and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "archive/file_class.h"
#include "codec/filters.h"
#include "codec/strong/bit_history.h"
#include "codec/strong/logistic.h"
#include "codec/strong/strong_codec.h"
#include "driver_test_support.h"

#ifndef VELLUM_CORPUS_DIR
#define VELLUM_CORPUS_DIR "../shared/corpus"
#endif



namespace vellum {
namespace {

using test::Bytes;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Inputs are kept small under the sanitizers, which slow the coder tenfold.
size_t scaled(size_t n) { return kSanitized ? n / 4 : n; }

CodecParams params_of(uint16_t base) {
    CodecParams params;
    EXPECT_TRUE(codec_params_for_class(base, false, &params)) << base;
    return params;
}

// One entry as a driver codes it: filtered, then coded in pieces of `piece`
// bytes (each a call of its own), then flushed.
Bytes encode(strong::StrongState& state, uint16_t base, const Bytes& data, size_t piece = SIZE_MAX,
             bool solid = false) {
    const CodecParams params = params_of(base);
    Bytes filtered = data;
    apply_prefilter(params, filtered.data(), filtered.size());
    VectorSink sink;
    ByteWriter writer(sink);
    strong::StrongEncoder coder(writer);
    EXPECT_TRUE(state.begin_entry(base, params, data.size(), solid));
    for (size_t at = 0; at < filtered.size(); at += piece) {
        const size_t n = std::min(piece, filtered.size() - at);
        EXPECT_TRUE(strong::strong_encode(state, coder, filtered.data() + at, n));
    }
    coder.flush();
    EXPECT_TRUE(writer.flush());
    return sink.bytes;
}

struct Decoded {
    bool ok = false;
    Bytes data;
    uint64_t consumed = 0;
};

Decoded decode(strong::StrongState& state, uint16_t base, const Bytes& coded, size_t size,
               size_t piece = SIZE_MAX, bool solid = false) {
    const CodecParams params = params_of(base);
    Decoded out;
    out.data.resize(size);
    MemorySource source(coded.data(), coded.size());
    ByteReader reader(source, coded.size());
    EXPECT_TRUE(state.begin_entry(base, params, size, solid));
    strong::StrongDecoder coder(reader);
    out.ok = true;
    for (size_t at = 0; at < size && out.ok; at += piece)
        out.ok = strong::strong_decode(state, coder, out.data.data() + at, std::min(piece, size - at));
    undo_prefilter(params, out.data.data(), out.data.size());
    out.ok = out.ok && !reader.overrun();
    out.consumed = reader.consumed();
    return out;
}

// 64-bit FNV-1a of coded bytes: a short, exact stand-in for a long output.
uint64_t fnv(const Bytes& bytes) {
    uint64_t h = 0xCBF29CE484222325u;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001B3u;
    return h;
}

std::string hex(const Bytes& bytes) {
    std::string s;
    char two[4];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X ", b);
        s += two;
    }
    return s;
}

// Runs of one byte value, of growing length, with a little noise between.
Bytes runs(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d;
    while (d.size() < n) {
        const uint8_t v = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 'a' + rng() % 3);
        d.insert(d.end(), std::min<size_t>(n - d.size(), 1 + rng() % 300), v);
    }
    return d;
}

// Fixed-length records, as a table dump: each column has its usual value and
// now and then another, so a byte is told best by the one above it.
Bytes records(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes row(37);
    for (auto& b : row) b = static_cast<uint8_t>(rng());
    Bytes d;
    while (d.size() < n) {
        for (size_t i = 0; i < row.size() && d.size() < n; ++i)
            d.push_back(rng() % 4 ? row[i] : static_cast<uint8_t>(rng() % 16));
    }
    return d;
}

// Bits into bytes, most significant first, with a 0 stuffed after every 0xFF
// as in the entropy-coded data of a JPEG image; the last byte filled with 1s.
class ScanWriter {
public:
    void put(uint32_t value, int length) {
        for (int i = length - 1; i >= 0; --i) {
            byte_ = byte_ << 1 | ((value >> i) & 1);
            if (++bits_ == 8) flush_byte();
        }
    }
    Bytes finish() {
        while (bits_ != 0) put(1, 1);
        return out_;
    }

private:
    void flush_byte() {
        out_.push_back(static_cast<uint8_t>(byte_));
        if (byte_ == 0xFF) out_.push_back(0);
        byte_ = bits_ = 0;
    }
    Bytes out_;
    uint32_t byte_ = 0;
    int bits_ = 0;
};

// A baseline JPEG image of one component, 256 x 64 pixels (256 blocks), with a
// DC table of 12 four-bit codes and an AC table of 162 eight-bit codes, and a
// scan that codes each block as a small DC difference, a few coefficients and
// an end of block: something the JPEG model follows from start to end.
Bytes synthetic_jpeg(uint32_t seed) {
    Bytes d = {0xFF, 0xD8,
               0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x40, 0x01, 0x00, 0x01, 0x01, 0x11, 0x00};
    Bytes dc = {0xFF, 0xC4, 0x00, 0x00, 0x00, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (uint8_t s = 0; s < 12; ++s) dc.push_back(s);
    std::vector<uint8_t> ac_symbols = {0x00, 0xF0};
    for (int r = 0; r < 16; ++r)
        for (int s = 1; s <= 10; ++s) ac_symbols.push_back(static_cast<uint8_t>(r << 4 | s));
    Bytes ac = {0xFF, 0xC4, 0x00, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(ac_symbols.size()),
                0, 0, 0, 0, 0, 0, 0, 0};
    ac.insert(ac.end(), ac_symbols.begin(), ac_symbols.end());
    for (Bytes* t : {&dc, &ac}) (*t)[3] = static_cast<uint8_t>(t->size() - 2);
    d.insert(d.end(), dc.begin(), dc.end());
    d.insert(d.end(), ac.begin(), ac.end());
    const Bytes sos = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
    d.insert(d.end(), sos.begin(), sos.end());
    std::mt19937 rng(seed);
    ScanWriter scan;
    auto code_of = [&](uint8_t symbol) {
        for (size_t i = 0; i < ac_symbols.size(); ++i)
            if (ac_symbols[i] == symbol) return static_cast<uint32_t>(i);
        return uint32_t{0};
    };
    for (int block = 0; block < 256; ++block) {
        const int dc_size = static_cast<int>(rng() % 4);
        scan.put(static_cast<uint32_t>(dc_size), 4);
        scan.put(rng() & ((1u << dc_size) - 1), dc_size);
        int k = 1;
        while (k < 50 && rng() % 3 != 0) {
            const int run = static_cast<int>(rng() % 3), size = 1 + static_cast<int>(rng() % 2);
            k += run + 1;
            scan.put(code_of(static_cast<uint8_t>(run << 4 | size)), 8);
            scan.put(rng() & ((1u << size) - 1), size);
        }
        scan.put(code_of(0x00), 8);
    }
    const Bytes coded = scan.finish();
    d.insert(d.end(), coded.begin(), coded.end());
    d.push_back(0xFF);
    d.push_back(0xD9);
    return d;
}

TEST(StrongTables, LogisticPointsInverseAndCosts) {
    using strong::cost;
    using strong::squash;
    using strong::stretch;
    // The fixed points and what follows from them.
    EXPECT_EQ(squash(0), 2048);
    EXPECT_EQ(squash(-2047), 1);
    EXPECT_EQ(squash(2047), 4095);
    EXPECT_EQ(squash(256), 2994);   // 4096 / (1 + e^-1), rounded
    EXPECT_EQ(squash(-128), 1546);
    EXPECT_EQ(squash(5000), 4095);  // clamped
    int last = 0;
    for (int x = -2047; x <= 2047; ++x) {
        EXPECT_GE(squash(x), last) << x;
        last = squash(x);
    }
    // stretch inverts squash wherever squash reaches a probability.
    for (int x = -1800; x <= 1800; x += 7) EXPECT_EQ(squash(stretch(squash(x))), squash(x)) << x;
    EXPECT_EQ(stretch(2048), 0);
    EXPECT_EQ(stretch(1), -2047);
    // A bit of probability 1/2 costs one bit; a likelier one less, a rarer one more.
    EXPECT_EQ(cost(2048), 256);
    EXPECT_EQ(cost(1024), 512);
    EXPECT_EQ(cost(4095), 1);     // costs are rounded up
    EXPECT_EQ(cost(1), 12 * 256);
    EXPECT_EQ(cost(3072), 107);   // log2(4/3) = 0.415
}

TEST(StrongTables, BitHistoriesCountAndForget) {
    const strong::BitHistoryTable& t = strong::kBitHistory;
    EXPECT_GT(t.count, 150);
    EXPECT_LE(t.count, 255);
    EXPECT_EQ(t.zeros[0] + t.ones[0], 0);
    // Every successor is a state in use.
    for (int s = 0; s < t.count; ++s)
        for (int bit = 0; bit < 2; ++bit) EXPECT_LT(t.next[s][bit], t.count);
    // Ones count up; a zero after many ones leaves 1 + n/2 of them.
    uint8_t s = 0;
    for (int i = 0; i < 10; ++i) s = strong::next_state(s, 1);
    EXPECT_EQ(t.ones[s], 10);
    EXPECT_EQ(t.zeros[s], 0);
    s = strong::next_state(s, 0);
    EXPECT_EQ(t.ones[s], 6);
    EXPECT_EQ(t.zeros[s], 1);
    // A long run stops at its limit and stays there.
    for (int i = 0; i < 100; ++i) s = strong::next_state(s, 0);
    EXPECT_EQ(t.zeros[s], 40);
    EXPECT_EQ(t.ones[s], 0);
    EXPECT_EQ(strong::next_state(s, 0), s);
}

TEST(StrongCoder, RoundTripsAndGoldenBytes) {
    // No decision at all: the flush alone, x1 = 0.
    {
        VectorSink sink;
        ByteWriter w(sink);
        strong::StrongEncoder e(w);
        e.flush();
        w.flush();
        EXPECT_EQ(sink.bytes, (Bytes{0, 0, 0, 0}));
    }
    // The byte 0x41 at even odds: the first byte settles after 8 decisions.
    {
        VectorSink sink;
        ByteWriter w(sink);
        strong::StrongEncoder e(w);
        for (int j = 7; j >= 0; --j) e.encode((0x41 >> j) & 1, 2048);
        e.flush();
        w.flush();
        // A 1 takes the lower part of the interval: the settled byte is 0x41's
        // complement, then x1 of the empty rest.
        EXPECT_EQ(hex(sink.bytes), "BE 00 00 00 00 ");
    }
    // Random decisions at random, extreme and middling odds decode as coded,
    // reading exactly the bytes written.
    std::mt19937 rng(5);
    std::vector<std::pair<int, int>> bits;
    for (int i = 0; i < 200000; ++i) {
        const int p = i % 3 == 0 ? 1 + static_cast<int>(rng() % 4095) : i % 3 == 1 ? 4095 : 2;
        const int bit = static_cast<int>(rng() % 4096) < p ? 1 : 0;
        bits.push_back({bit ^ (i % 97 == 0), p});  // now and then the unlikely bit
    }
    VectorSink sink;
    {
        ByteWriter w(sink);
        strong::StrongEncoder e(w);
        for (auto [bit, p] : bits) e.encode(bit, p);
        e.flush();
        w.flush();
    }
    MemorySource source(sink.bytes.data(), sink.bytes.size());
    ByteReader r(source, sink.bytes.size());
    strong::StrongDecoder d(r);
    size_t wrong = 0;
    for (auto [bit, p] : bits) wrong += d.decode(p) != bit;
    EXPECT_EQ(wrong, 0u);
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.consumed(), sink.bytes.size());
}

// Every model set, on data of its kind and on data of other kinds, coded in one
// call and in many: the same bytes, decoded back exactly, every coded byte read.
TEST(StrongCodec, RoundTripsOfEveryModelSet) {
    struct Case {
        const char* what;
        uint16_t base;
        Bytes data;
    };
    const size_t n = scaled(40000);
    const std::vector<Case> cases = {
        {"text as text", 9, test::text_bytes(n, 1)},
        {"text as binary", 0, test::text_bytes(n, 2)},
        {"random as binary", 0, test::random_data(n / 2, 3)},
        {"runs as binary", 0, runs(n, 4)},
        {"records as binary", 0, records(n, 5)},
        {"x86 code", 4, test::x86_like(n, 6)},
        {"16-bit mono sound", 19, test::wave16(n / 2, 1)},
        {"16-bit stereo sound", 11, test::wave16(n / 4, 2)},
        {"pgm picture", 18, runs(n, 7)},
        {"compressed audio", 13, test::random_data(n / 4, 8)},
        {"jpeg class, no image", 8, test::text_bytes(n / 4, 9)},
        {"empty", 9, {}},
        {"one byte", 0, {'x'}},
    };
    strong::StrongState state;
    ASSERT_TRUE(state.ready());
    for (const Case& c : cases) {
        const Bytes whole = encode(state, c.base, c.data);
        const Bytes pieces = encode(state, c.base, c.data, 777);
        EXPECT_EQ(whole, pieces) << c.what;
        const Decoded d = decode(state, c.base, whole, c.data.size(), 1000);
        EXPECT_TRUE(d.ok) << c.what;
        EXPECT_TRUE(d.data == c.data) << c.what;
        EXPECT_EQ(d.consumed, whole.size()) << c.what;
    }
}

// Every entry of a normal archive starts afresh: an entry codes to the same
// bytes whatever the same tables coded before it, so a worker that coded other
// files decodes it as well as a fresh one.
TEST(StrongCodec, EntriesDoNotDependOnEarlierOnes) {
    const size_t n = scaled(30000);
    const std::vector<std::pair<uint16_t, Bytes>> entries = {
        {9, test::text_bytes(n, 51)}, {0, records(n, 52)}, {8, synthetic_jpeg(53)},
        {4, test::x86_like(n, 54)},   {19, test::wave16(n / 2, 1)}, {0, runs(n, 55)},
    };
    strong::StrongState fresh, used;
    ASSERT_TRUE(fresh.ready() && used.ready());
    encode(used, 0, synthetic_jpeg(56));  // leaves an image half followed, say
    encode(used, 9, test::random_data(n, 57));
    for (const auto& [base, data] : entries) {
        strong::StrongState alone;
        ASSERT_TRUE(alone.ready());
        const Bytes expected = encode(alone, base, data);
        EXPECT_EQ(encode(used, base, data), expected) << "base class " << base;
        const Decoded d = decode(used, base, expected, data.size());
        EXPECT_TRUE(d.ok && d.data == data) << "base class " << base;
    }
}

// The JPEG model follows a whole scan: its bits decode as coded, also when the
// image is cut short or its scan damaged.
TEST(StrongCodec, JpegImagesAndDamagedOnes) {
    strong::StrongState state;
    ASSERT_TRUE(state.ready());
    const Bytes image = synthetic_jpeg(61);
    std::mt19937 rng(62);
    std::vector<Bytes> variants = {image, Bytes(image.begin(), image.begin() + 400)};
    for (int i = 0; i < 8; ++i) {
        Bytes bad = image;
        bad[100 + rng() % (bad.size() - 100)] = static_cast<uint8_t>(rng());
        variants.push_back(bad);
    }
    Bytes twice = image;  // two images in one file
    twice.insert(twice.end(), image.begin(), image.end());
    variants.push_back(twice);
    for (size_t i = 0; i < variants.size(); ++i) {
        const Bytes coded = encode(state, 8, variants[i]);
        const Decoded d = decode(state, 8, coded, variants[i].size(), 333);
        EXPECT_TRUE(d.ok && d.data == variants[i]) << "variant " << i;
    }
    // The second image of a file is followed as the first was: it costs less.
    EXPECT_LT(encode(state, 8, twice).size(), 2 * encode(state, 8, image).size() - 100);
}

// What the models are for: each kind of data codes well below its size.
TEST(StrongCodec, ModelsFindWhatTheyAreFor) {
    strong::StrongState state;
    ASSERT_TRUE(state.ready());
    const size_t n = scaled(60000);
    const Bytes text = test::text_bytes(n, 11);
    EXPECT_LT(encode(state, 9, text).size(), n / 8);  // seven words in random order: under 1 bit a byte
    // Records: the binary models' record contexts (the byte above) beat the
    // text models, which have none.
    const Bytes table = records(n, 12);
    EXPECT_LT(encode(state, 0, table).size() * 100, encode(state, 9, table).size() * 96);
    // A repeat far back: the match model codes the second half for almost nothing.
    Bytes twice = test::random_data(n / 2, 13);
    twice.insert(twice.end(), twice.begin(), twice.end());
    const size_t coded = encode(state, 0, twice).size();
    EXPECT_LT(coded, n / 2 + n / 50);
    // Random data costs its size and very little more: the light model takes
    // over once the full one has paid for a few hundred bytes.
    const Bytes noise = test::random_data(n, 14);
    EXPECT_LT(encode(state, 0, noise).size(), n + n / 200 + 300);
}

// A solid run: each entry goes on from the history of the ones before, so a
// file seen before codes to little; the run decodes in the same order, also
// when the tables grow with it.
TEST(StrongCodec, SolidRunCarriesHistory) {
    const size_t n = scaled(30000);
    const std::vector<std::pair<uint16_t, Bytes>> files = {
        {9, test::text_bytes(n, 21)},        {0, test::random_data(n / 3, 22)}, {9, {}},
        {9, test::text_bytes(n, 21)},        {4, test::x86_like(n / 2, 23)},    {0, {'z'}},
        {0, test::random_data(n / 3, 22)},   {9, test::text_bytes(8 * n, 24)},
    };
    strong::StrongState enc, dec;
    ASSERT_TRUE(enc.ready() && dec.ready());
    std::vector<Bytes> coded;
    for (const auto& [base, data] : files) coded.push_back(encode(enc, base, data, SIZE_MAX, true));
    EXPECT_LT(coded[3].size(), coded[0].size() / 10);  // the text again
    EXPECT_LT(coded[6].size(), coded[1].size() / 10);  // the random bytes again
    for (size_t i = 0; i < files.size(); ++i) {
        const Decoded d = decode(dec, files[i].first, coded[i], files[i].second.size(), 4096, true);
        EXPECT_TRUE(d.ok && d.data == files[i].second) << "entry " << i;
        EXPECT_EQ(d.consumed, coded[i].size()) << "entry " << i;
    }
    // A new run forgets the old one: the same first entry codes as before.
    enc.end_run();
    EXPECT_EQ(encode(enc, files[0].first, files[0].second, SIZE_MAX, true), coded[0]);
    // In a normal archive every entry starts afresh.
    EXPECT_EQ(encode(enc, 9, files[3].second), encode(enc, 9, files[0].second));
}

// Exact coded bytes: a changed model is a new format and needs a new version.
TEST(StrongCodec, GoldenEntries) {
    strong::StrongState state;
    ASSERT_TRUE(state.ready());
    const std::string phrase = "the cat sat on the mat; the cat sat on the hat.";
    const Bytes text(phrase.begin(), phrase.end());
    EXPECT_EQ(hex(encode(state, 9, text)),
              "9F BC CD 13 7C 03 F6 A8 86 AC 7F 12 6F C9 27 64 64 2E CA E5 5C 0C DE 2F 38 4B 90 49 CF ");
    const Bytes abc = {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'};
    EXPECT_EQ(hex(encode(state, 0, abc)), "B1 6F B7 0F 56 D9 70 34 3D ");
    const Bytes same(300, 0x41);
    EXPECT_EQ(hex(encode(state, 0, same)), "CC 9E EE 01 50 5C 3D 74 88 4B A5 A5 82 1A ");
    // Longer entries through every path (full, light, long repetition, x86,
    // sound, JPEG), by hash.
    EXPECT_EQ(fnv(encode(state, 9, test::text_bytes(20000, 31))), 4506043889041353586u);
    EXPECT_EQ(fnv(encode(state, 0, runs(20000, 32))), 18411323480329270616u);
    EXPECT_EQ(fnv(encode(state, 0, test::random_data(5000, 33))), 15233592311185697875u);
    EXPECT_EQ(fnv(encode(state, 4, test::x86_like(20000, 34))), 6778891126185903781u);
    EXPECT_EQ(fnv(encode(state, 19, test::wave16(8000, 1))), 17136401930394015147u);
    EXPECT_EQ(fnv(encode(state, 8, synthetic_jpeg(71))), 2079907172881919781u);
}

// Cut or changed coded bytes: the decoder stops or decodes something else,
// never reads past what it was given, and never crashes.
TEST(StrongCodec, DamagedStreamsEndSafely) {
    strong::StrongState state;
    ASSERT_TRUE(state.ready());
    const Bytes data = test::text_bytes(scaled(20000), 41);
    const Bytes coded = encode(state, 9, data);
    std::mt19937 rng(42);
    for (size_t cut : {size_t{0}, size_t{1}, size_t{3}, coded.size() / 2, coded.size() - 1}) {
        const Bytes part(coded.begin(), coded.begin() + static_cast<std::ptrdiff_t>(cut));
        const Decoded d = decode(state, 9, part, data.size());
        EXPECT_FALSE(d.ok) << "cut at " << cut;
        EXPECT_LE(d.consumed, part.size());
    }
    for (int trial = 0; trial < 20; ++trial) {
        Bytes bad = coded;
        bad[rng() % bad.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        const Decoded d = decode(state, 9, bad, data.size());
        EXPECT_TRUE(!d.ok || d.data != data || d.consumed != bad.size() || bad == coded);
    }
    // A size far beyond what the bytes hold ends when they run out.
    const Decoded big = decode(state, 9, coded, size_t{1} << 24, 1 << 20);
    EXPECT_FALSE(big.ok);
}

// The shared corpus: every file round trips and codes smaller than the
// default codec's bound on it; the photograph through the JPEG model.
TEST(StrongCodec, CorpusRoundTrip) {
    const std::filesystem::path corpus = VELLUM_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    if (kSanitized) GTEST_SKIP() << "the corpus takes minutes under the sanitizers; the generated cases stand in";
    strong::StrongState state;
    ASSERT_TRUE(state.ready());
    size_t files = 0;
    for (const auto& item : std::filesystem::directory_iterator(corpus)) {
        if (!item.is_regular_file()) continue;
        const Bytes data = test::read_file(item.path());
        const std::string name = item.path().filename().string();
        uint16_t base = choose_file_class(file_extension(name), data.data(), data.size());
        if (base == kStoredClass) continue;
        base = strong::strong_base_class(base, data.data(), data.size());
        const Bytes coded = encode(state, base, data);
        const Decoded d = decode(state, base, coded, data.size(), 1 << 16);
        EXPECT_TRUE(d.ok && d.data == data) << name;
        EXPECT_EQ(d.consumed, coded.size()) << name;
        EXPECT_LT(coded.size(), data.size()) << name;
        if (base == 8) {
            EXPECT_LT(coded.size(), data.size() * 9 / 10) << name << ": the JPEG model";
        }
        ++files;
    }
    EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace vellum
