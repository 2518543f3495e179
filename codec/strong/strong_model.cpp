#include "codec/strong/strong_model.h"

#include <cstring>

#if defined(__GNUC__) && !defined(__clang__)
#define STRONG_UNROLL_8 _Pragma("GCC unroll 8")
#else
#define STRONG_UNROLL_8
#endif

namespace vellum {
namespace strong {
namespace {

constexpr uint32_t kMaxLineBits = 21;     // 2^21 lines of 64 bytes: 128 MiB
constexpr uint32_t kMaxHistoryBits = 25;  // 32 MiB of history
constexpr uint32_t kMaxMatchBits = 22;    // 4M candidates: 16 MiB
constexpr uint32_t kMaxApmBits = 16;      // order-1 contexts of the refinement
constexpr uint32_t kMaxJpegBits = 22;     // 4M JPEG contexts: 16 MiB
constexpr uint32_t kSolidJpegBits = 20;   // a solid run's, from its start
constexpr size_t kMixerSets = 4 * 256;    // match length class, bits of the byte

// Rates: a probability moves 1/2^shift of the way to each bit.
constexpr int kOrder1Shift = 5;
constexpr int kStateShift = 6;
constexpr int kMatchShift = 6;
constexpr int kMixerRate = 6;
constexpr int kApmRate = 7;

// The light model takes over inside a repetition this long, and for data
// whose recent cost (averaged over about 2^kCostShift bytes) passes
// kRawEnter; it leaves raw data again below kRawExit (1/256 bits a byte).
constexpr uint32_t kLightMatch = 128;
constexpr int kCostShift = 6;
constexpr int kRawEnter = 2030;
constexpr int kRawExit = 1900;

// log2 of `size` rounded up, plus `extra`, within low..high; high for size 0.
uint32_t bits_for(uint64_t size, int extra, uint32_t low, uint32_t high) {
    if (size == 0) return high;
    int b = 0;
    while (b < 40 && (uint64_t{1} << b) < size) ++b;
    b += extra;
    return b < static_cast<int>(low) ? low : b > static_cast<int>(high) ? high : static_cast<uint32_t>(b);
}

uint32_t hash_context(uint32_t index, uint32_t a, uint32_t b = 0) {
    return mix32((a + (index + 1) * 0x9E3779B9u) * 0x2C1B3C6Du ^ b * 0x297A2D39u);
}

bool is_letter(uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 128; }

inline int clamp_logit(int x) { return x > kLogitLimit ? kLogitLimit : x < -kLogitLimit ? -kLogitLimit : x; }
inline int clamp_p(int p) { return p < 1 ? 1 : p > 4095 ? 4095 : p; }

// The length class of a repetition (0..31) and, coarser, the mixer's (0..3).
struct LengthClasses {
    uint8_t fine[512];
    uint8_t coarse[512];
    LengthClasses() {
        for (uint32_t len = 0; len < 512; ++len) {
            fine[len] = static_cast<uint8_t>(len < 16   ? len
                                             : len < 32 ? 16 + (len - 16) / 4
                                             : len < 64 ? 20 + (len - 32) / 8
                                                        : 24 + (len - 64) / 64);
            coarse[len] = static_cast<uint8_t>(len == 0 ? 0 : len < 16 ? 1 : len < 32 ? 2 : 3);
        }
    }
};
const LengthClasses kLengthClasses;

inline uint32_t length_index(uint32_t len) { return len < 511 ? len : 511; }

// The bits are given, nothing is coded.
struct GivenBits {
    int code(int bit, int) { return bit; }
};

}  // namespace

bool StrongModel::allocate() {
    return slots_.allocate(kMaxLineBits) && match_.allocate(kMaxHistoryBits, kMaxMatchBits) &&
           mixer_.allocate(kMixerSets) && light_mixer_.allocate(kMixerSets) && order1_.allocate(65536) &&
           jpeg_.allocate(kMaxJpegBits) && jpeg_mixer_.allocate(JpegModel::kMixerSets);
}

// About 16 bytes of slots per byte of input: a table much larger is mostly
// cleared for nothing, a much smaller one forgets too soon.
uint32_t StrongModel::line_bits_for(uint64_t size) { return bits_for(size, -2, 10, kMaxLineBits); }

void StrongModel::reset(const ModelSetup& setup, uint64_t size, bool solid) {
    slots_.reset(line_bits_for(size));
    match_.reset(bits_for(size, 0, 12, kMaxHistoryBits), bits_for(size, -1, 10, kMaxMatchBits));
    records_.reset();
    std::memset(order0_slots_, 0, sizeof order0_slots_);
    for (size_t i = 0; i < 65536; ++i) order1_[i] = static_cast<Prob16>(32768);
    // A bit history starts at the probability its counts suggest.
    for (auto& map : state_p_) {
        for (int s = 0; s < 256; ++s) {
            const int n0 = kBitHistory.zeros[s], n1 = kBitHistory.ones[s];
            map[s] = static_cast<Prob16>((n1 * 2 + 1) * 65536 / (2 * (n0 + n1) + 2));
        }
    }
    for (Prob16& p : match_p_) p = static_cast<Prob16>(32768);
    // Long repetitions: an expected 1 is very likely a 1, an expected 0 a 0.
    for (auto& bucket : repeat_p_)
        for (int i = 0; i < 16; ++i) bucket[i] = static_cast<Prob16>(i % 2 ? 61440 : 4096);
    mixer_.reset(1 << 12);
    light_mixer_.reset(1 << 13);
    jpeg_.reset(solid ? kSolidJpegBits : bits_for(size, 2, 12, kMaxJpegBits));
    jpeg_mixer_.reset(1 << 12);
    jpeg_scan_ = false;
    apm_mask_ = (uint32_t{1} << (solid ? kMaxApmBits : bits_for(size, 0, 8, kMaxApmBits))) - 1;
    apm_.reset(size_t{apm_mask_} + 1, kApmRate);
    c4_ = c8_ = word_ = word1_ = 0;
    raw_ = repeat_ = false;
    cost_ = 0;
    set_up(setup);
}

void StrongModel::grow(uint64_t total) {
    slots_.grow(line_bits_for(total));
    match_.grow(bits_for(total, 0, 12, kMaxHistoryBits), bits_for(total, -1, 10, kMaxMatchBits));
}

void StrongModel::set_up(const ModelSetup& setup) {
    setup_ = setup;
    if (setup_.stride == 0) setup_.stride = 1;
    raw_ = setup_.kind == ModelKind::packed;
    compute_contexts();
    find_slots();
}

void StrongModel::compute_contexts() {
    const uint32_t c1 = c4_ & 0xFF;
    uint32_t* h = hashes_;
    // Orders 2, 3 and 4, and order 0 as bit histories (its slots stay in the
    // caches). Longer contexts are left to the match model: an order-6
    // context here costs more than it brings.
    h[0] = hash_context(0, c4_ & 0xFFFF);
    h[1] = hash_context(1, c4_ & 0xFFFFFF);
    h[2] = hash_context(2, c4_);
    h[kOrder0] = 0;  // not hashed: its slots are order0_slots_
    switch (setup_.kind) {
        case ModelKind::text:
            h[4] = hash_context(4, word_, is_letter(c1) ? 0 : c1);
            h[5] = hash_context(5, word_, word1_);
            break;
        case ModelKind::binary: {
            const uint32_t record = records_.length();
            const uint32_t above = record ? match_.back(record) : 0;
            const uint32_t above2 = record && match_.position() >= 2 * record ? match_.back(2 * record) : 0;
            // Without records: order 1, and the byte before the last.
            h[4] = hash_context(4, record << 16 | above << 8 | c1);
            h[5] = record ? hash_context(5, record << 16 | above << 8 | above2) : hash_context(5, c4_ & 0xFF00);
            break;
        }
        case ModelKind::executable:
            h[4] = hash_context(4, c4_ & 0xFFFF00);
            h[5] = hash_context(5, c4_ & 0xFF00FF);
            break;
        case ModelKind::sampled:
        case ModelKind::packed: {
            const uint32_t s = setup_.stride;
            const uint64_t pos = match_.position();
            const uint32_t a = pos >= s ? match_.back(s) : 0;
            const uint32_t b = pos >= 2 * s ? match_.back(2 * s) : 0;
            h[4] = hash_context(4, a << 8 | c1);
            h[5] = hash_context(5, a << 8 | b, c4_ & 0xFFFF);
            break;
        }
    }
}

void StrongModel::find_slots() {
    for (int i = 0; i < kContexts; ++i)
        slot_[i] = i == kOrder0 ? order0_slots_[0] : slots_.find(hashes_[i]);
}

// Codes one byte, bit by bit: bits.code(bit, p) codes a bit with the
// probability p of a 1 and returns it (the decoder's ignores `bit` and returns
// the bit decoded). Everything a bit needs lives in locals.
template <class Bits>
inline uint32_t StrongModel::code_byte(Bits& bits, uint32_t c) {
    constexpr int N = kContexts;
    alignas(16) int16_t x[kInputs] = {};
    BitState* slot[N];
    for (int i = 0; i < N; ++i) slot[i] = slot_[i];
    Prob16* const order1 = &order1_[(c4_ & 0xFF) << 8];
    const uint32_t apm_base = ((c4_ & 0xFF) << 8) & apm_mask_;
    uint32_t c0 = 1;
    uint32_t node = 1;
    int byte_cost = 0;
    x[N + 2] = 256;
    // Unrolled, every test of j below is decided at compile time.
    STRONG_UNROLL_8
    for (int j = 0; j < 8; ++j) {
        // The prediction.
        Prob16* used[N];
        x[0] = static_cast<int16_t>(stretch(value(order1[c0]) >> 4));
        for (int i = 0; i < N; ++i) {
            used[i] = &state_p_[i][static_cast<uint8_t>(slot[i][node])];
            x[1 + i] = static_cast<int16_t>(stretch(value(*used[i]) >> 4));
        }
        match_.check(c0, j);
        const uint32_t len = length_index(match_.length());
        Prob16* match_p = &match_p_[0];
        x[N + 1] = 0;
        if (len != 0) {
            const uint32_t expected_bit = ((match_.expected() | 256) >> (7 - j)) & 1;
            match_p = &match_p_[kLengthClasses.fine[len] * 2 + expected_bit];
            x[N + 1] = static_cast<int16_t>(stretch(value(*match_p) >> 4));
        }
        int16_t* const w = mixer_.weights(kLengthClasses.coarse[len] * 256u + c0);
        const int dot = clamp_logit(Mixer<kInputs>::dot(x, w));
        const int pr_mix = squash(dot);
        const int refined = apm_.refine_logit(dot, apm_base | c0);
        const int p = clamp_p((pr_mix + 3 * refined + 2) >> 2);

        const int bit = bits.code(static_cast<int>((c >> (7 - j)) & 1), p);
        byte_cost += cost(bit ? p : 4096 - p);

        // The slots the next bit needs, when they change, are asked for
        // before the learning, so that memory is read meanwhile.
        uint32_t h[N];
        if (j == 3) {
            const uint32_t nibble = c0 * 2 + static_cast<uint32_t>(bit);
            // Order 0 keeps its slots apart (order0_slots_): no hash for it.
            for (int i = 0; i < N; ++i)
                if (i != kOrder0) {
                    h[i] = mix32(hashes_[i] + nibble * 0x632BE5ABu);
                    slots_.prefetch(h[i]);
                }
        } else if (j == 7) {
            advance((c0 * 2 + static_cast<uint32_t>(bit)) & 0xFF, byte_cost);
        }

        // Learning from the bit.
        adapt<kOrder1Shift>(order1[c0], bit);
        for (int i = 0; i < N; ++i) {
            BitState& s = slot[i][node];
            adapt<kStateShift>(*used[i], bit);
            s = static_cast<BitState>(next_state(static_cast<uint8_t>(s), bit));
        }
        if (len != 0) adapt<kMatchShift>(*match_p, bit);
        Mixer<kInputs>::update(x, w, bit, pr_mix, kMixerRate);
        apm_.update(bit);

        c0 = c0 * 2 + static_cast<uint32_t>(bit);
        node = node * 2 + static_cast<uint32_t>(bit);
        if (j == 3) {
            // The second nibble: each context's slot for the nibble seen.
            for (int i = 0; i < N; ++i)
                slot[i] = i == kOrder0 ? order0_slots_[c0 - 15] : slots_.find(h[i]);
            node = 1;
        }
    }
    if (needs_slots()) find_slots();
    return c0 & 0xFF;
}

// A byte of data that does not compress: the order-1 and match models
// alone, mixed.
template <class Bits>
inline uint32_t StrongModel::code_byte_light(Bits& bits, uint32_t c) {
    alignas(16) int16_t x[8] = {};
    Prob16* const order1 = &order1_[(c4_ & 0xFF) << 8];
    uint32_t c0 = 1;
    int byte_cost = 0;
    x[2] = 256;
    for (int j = 0; j < 8; ++j) {
        x[0] = static_cast<int16_t>(stretch(value(order1[c0]) >> 4));
        match_.check(c0, j);
        const uint32_t len = length_index(match_.length());
        Prob16* match_p = &match_p_[0];
        x[1] = 0;
        if (len != 0) {
            const uint32_t expected_bit = ((match_.expected() | 256) >> (7 - j)) & 1;
            match_p = &match_p_[kLengthClasses.fine[len] * 2 + expected_bit];
            x[1] = static_cast<int16_t>(stretch(value(*match_p) >> 4));
        }
        int16_t* const w = light_mixer_.weights(kLengthClasses.coarse[len] * 256u + c0);
        const int p = clamp_p(squash(clamp_logit(Mixer<8>::dot(x, w))));
        const int bit = bits.code(static_cast<int>((c >> (7 - j)) & 1), p);
        byte_cost += cost(bit ? p : 4096 - p);
        adapt<kOrder1Shift>(order1[c0], bit);
        if (len != 0) adapt<kMatchShift>(*match_p, bit);
        Mixer<8>::update(x, w, bit, p, kMixerRate);
        c0 = c0 * 2 + static_cast<uint32_t>(bit);
    }
    const uint32_t byte = c0 & 0xFF;
    next_byte(byte, byte_cost);
    return byte;
}

// A byte in the middle of a long repetition: each bit as the repetition
// says, as sure as such bits (of that place in the byte, in repetitions of
// about that length) have turned out to be; once a bit has left it,
// the rest of the byte from order 1.
template <class Bits>
inline uint32_t StrongModel::code_byte_repeat(Bits& bits, uint32_t c) {
    Prob16* const order1 = &order1_[(c4_ & 0xFF) << 8];
    const uint32_t expected = match_.expected() | 256;
    const uint32_t len = match_.length();
    const uint32_t bucket = len < 256 ? 0 : len < 512 ? 1 : len < 2048 ? 2 : 3;
    Prob16* const sure = repeat_p_[bucket];
    uint32_t c0 = 1;
    int byte_cost = 0;
    bool on = true;
    for (int j = 0; j < 8; ++j) {
        const uint32_t expected_bit = (expected >> (7 - j)) & 1;
        Prob16& slot = on ? sure[j * 2 + expected_bit] : order1[c0];
        const int p = clamp_p(value(slot) >> 4);
        const int bit = bits.code(static_cast<int>((c >> (7 - j)) & 1), p);
        byte_cost += cost(bit ? p : 4096 - p);
        adapt<kMatchShift>(slot, bit);
        on = on && static_cast<uint32_t>(bit) == expected_bit;
        c0 = c0 * 2 + static_cast<uint32_t>(bit);
    }
    const uint32_t byte = c0 & 0xFF;
    match_.check(c0, 8);
    next_byte(byte, byte_cost);
    return byte;
}

// A byte of the entropy-coded data of a JPEG image: the JPEG model alone.
template <class Bits>
inline uint32_t StrongModel::code_byte_jpeg(Bits& bits, uint32_t c) {
    alignas(16) int16_t x[16] = {};
    uint32_t c0 = 1;
    int byte_cost = 0;
    x[JpegModel::kInputs] = 256;
    for (int j = 0; j < 8; ++j) {
        int16_t* const w = jpeg_mixer_.weights(jpeg_.predict(x));
        const int p = clamp_p(squash(clamp_logit(Mixer<16>::dot(x, w))));
        const int bit = bits.code(static_cast<int>((c >> (7 - j)) & 1), p);
        byte_cost += cost(bit ? p : 4096 - p);
        jpeg_.update(bit);
        Mixer<16>::update(x, w, bit, p, kMixerRate);
        c0 = c0 * 2 + static_cast<uint32_t>(bit);
    }
    const uint32_t byte = c0 & 0xFF;
    next_byte(byte, byte_cost);
    return byte;
}

// After every byte: the histories move on, the next byte's model is chosen
// and, for the full model, its contexts hashed and their slots asked for.
void StrongModel::advance(uint32_t c, int byte_cost) {
    match_.add(static_cast<uint8_t>(c));
    records_.add(c);
    c8_ = c8_ << 8 | c4_ >> 24;
    c4_ = c4_ << 8 | c;
    if (is_letter(c)) {
        const uint32_t lower = c >= 'A' && c <= 'Z' ? c + 32 : c;
        word_ = (word_ + lower + 1) * 0x3D4D51CBu;
    } else if (word_ != 0) {
        word1_ = word_;
        word_ = 0;
    }
    jpeg_.add_byte(c);
    jpeg_scan_ = jpeg_.in_scan();
    cost_ += (byte_cost - cost_) >> kCostShift;
    if (setup_.kind != ModelKind::packed) {
        if (raw_ ? cost_ < kRawExit : cost_ > kRawEnter) raw_ = !raw_;
    }
    repeat_ = match_.length() >= kLightMatch;
    if (needs_slots()) {
        compute_contexts();
        for (int i = 0; i < kContexts; ++i)
            if (i != kOrder0) slots_.prefetch(hashes_[i]);
    }
}

void StrongModel::next_byte(uint32_t c, int byte_cost) {
    advance(c, byte_cost);
    if (needs_slots()) find_slots();
}

template <class Bits, class Byte>
void StrongModel::code_bytes(Bits& bits, size_t length, Byte byte) {
    for (size_t i = 0; i < length; ++i)
        byte(i, [&](uint32_t c) {
            return jpeg_scan_ ? code_byte_jpeg(bits, c)
                   : repeat_  ? code_byte_repeat(bits, c)
                   : raw_     ? code_byte_light(bits, c)
                              : code_byte(bits, c);
        });
}

void StrongModel::encode(StrongEncoder& coder, const uint8_t* data, size_t length) {
    StrongEncoder::Registers bits = coder.registers();
    code_bytes(bits, length, [&](size_t i, auto code) { code(data[i]); });
    coder.store(bits);
}

bool StrongModel::decode(StrongDecoder& coder, uint8_t* data, size_t length) {
    StrongDecoder::Registers bits = coder.registers();
    code_bytes(bits, length, [&](size_t i, auto code) { data[i] = static_cast<uint8_t>(code(0)); });
    coder.store(bits);
    return !coder.input().overrun();
}

void StrongModel::absorb(const uint8_t* data, size_t length) {
    GivenBits bits;
    code_bytes(bits, length, [&](size_t i, auto code) { code(data[i]); });
}

}  // namespace strong
}  // namespace vellum
