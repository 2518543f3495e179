// The strong codec's predictor: for every bit, the probability that it is a 1,
// from six bit-history context models (orders 0, 2, 3 and 4, and two chosen by
// the kind of data: words, records, sparse or sample contexts), an order-1
// model and a match model, mixed in the logistic domain by a small neural
// mixer and refined by one adaptive probability map. A byte deep inside a
// repetition goes through the repetition's prediction alone, a byte of data
// that does not compress through a light model of order 1 and match, and the
// entropy-coded data of a JPEG image through the JPEG model.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/strong/adaptive.h"
#include "codec/strong/context_slots.h"
#include "codec/strong/history_match.h"
#include "codec/strong/jpeg_model.h"
#include "codec/strong/logistic.h"
#include "codec/strong/mixer.h"
#include "codec/strong/record_finder.h"
#include "codec/strong/strong_coder.h"
#include "codec/zeroed_array.h"

namespace vellum {
namespace strong {

// Which contexts a file is modelled with, from the kind of data its class
// stands for.
enum class ModelKind : uint8_t {
    text,        // words and lines
    binary,      // anything else: tables, records, structured data
    executable,  // machine code after the x86 filter
    sampled,     // sound and pictures after the delta filter
    packed,      // already compressed data that the class table still codes
};

struct ModelSetup {
    ModelKind kind = ModelKind::binary;
    uint32_t stride = 1;  // bytes per sample of sampled data (1..16)
};

inline uint32_t mix32(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// A 16-bit probability in a table. Its own type, so that storing one does not
// make the compiler assume the mixer's inputs or weights may have changed.
enum class Prob16 : uint16_t {};
inline int value(Prob16 p) { return static_cast<int>(p); }
template <int Shift>
inline void adapt(Prob16& p, int bit) {
    const int v = static_cast<int>(p);
    p = static_cast<Prob16>(v + (((bit ? 65535 : 0) - v) >> Shift));
}

class StrongModel {
public:
    static constexpr int kContexts = 6;  // bit-history contexts of every kind
    static constexpr int kOrder0 = 3;    // the one not hashed: order 0
    static constexpr int kInputs = 16;   // mixer width: order 1, contexts, match, bias

    // Takes every table at its largest. False when memory runs out.
    bool allocate();

    // Everything back to its start, with tables sized for `size` bytes of
    // input; `solid`: for the first entry of a solid run, whose later entries
    // will go on from here.
    void reset(const ModelSetup& setup, uint64_t size, bool solid);
    // Before a solid run's later entry: makes the tables fit `total` bytes of
    // the run, keeping all they hold.
    void grow(uint64_t total);
    // Bytes coded since the last reset.
    uint64_t position() const { return match_.position(); }
    // Keeps every table and the history, and models what follows as `setup`.
    void set_up(const ModelSetup& setup);

    void encode(StrongEncoder& coder, const uint8_t* data, size_t length);
    // False when the coded bytes ran out.
    bool decode(StrongDecoder& coder, uint8_t* data, size_t length);
    // Learns the bytes as coding them would, without coding them.
    void absorb(const uint8_t* data, size_t length);

private:
    template <class Bits> uint32_t code_byte(Bits& bits, uint32_t c);
    template <class Bits> uint32_t code_byte_light(Bits& bits, uint32_t c);
    template <class Bits> uint32_t code_byte_jpeg(Bits& bits, uint32_t c);
    template <class Bits> uint32_t code_byte_repeat(Bits& bits, uint32_t c);
    template <class Bits, class Byte> void code_bytes(Bits& bits, size_t length, Byte byte);
    void advance(uint32_t c, int cost);
    void next_byte(uint32_t c, int cost);
    bool needs_slots() const { return !raw_ && !repeat_ && !jpeg_scan_; }
    void compute_contexts();
    void find_slots();
    static uint32_t line_bits_for(uint64_t size);

    ModelSetup setup_;
    uint32_t c4_ = 0;                      // the last 4 bytes, newest lowest
    uint32_t c8_ = 0;                      // the 4 before them
    uint32_t word_ = 0;                    // hash of the word being read
    uint32_t word1_ = 0;                   // of the word before it
    uint32_t apm_mask_ = 0;                // order-1 contexts of apm_ in use
    bool repeat_ = false;                  // the next byte is inside a long repetition
    bool jpeg_scan_ = false;               // the next byte is JPEG scan data
    bool raw_ = false;                     // the data looks incompressible: the light model codes it
    int cost_ = 0;                         // recent cost per byte, 1/256 bits, averaged
    uint32_t hashes_[kContexts] = {};      // of each context at the byte boundary
    BitState* slot_[kContexts] = {};       // each context's slot for the first nibble

    ContextSlots slots_;
    // Order 0's slots: one for the first nibble, one for each second nibble.
    alignas(64) BitState order0_slots_[17][ContextSlots::kSlotBytes];
    HistoryMatch match_;
    RecordFinder records_;
    ZeroedArray<Prob16> order1_;           // 65536 probabilities: c1, c0
    Prob16 state_p_[kContexts][256];       // probability of each bit history
    Prob16 match_p_[64];                   // by length class and expected bit
    Prob16 repeat_p_[4][16];               // long repetitions: by length, bit and expected bit
    Mixer<kInputs> mixer_;
    Mixer<8> light_mixer_;
    JpegModel jpeg_;
    Mixer<16> jpeg_mixer_;
    Apm apm_;
};

}  // namespace strong
}  // namespace vellum
