// Carry-less binary arithmetic coder over a 32-bit interval: the one coder of the
// codec, used by the position loop and pinned by the golden tests.
//
// The interval [x1, x2] is split in proportion to p/256, the probability of a 1;
// a 1 takes the lower part. Whenever the top bytes of x1 and x2 agree, that byte is
// settled and shifted out -- once per coded bit at most, never in a loop. Encoder
// and decoder must both keep to this one-shift rule or they fall out of step.
// The encoder writes one byte per shift plus the 4 bytes of x2 at the end; the
// decoder reads 4 bytes ahead and one per shift, so it consumes exactly the bytes
// the encoder wrote.
#pragma once

#include <cstdint>

#include "codec/byte_io.h"

namespace vellum {

enum class Direction { compress, extract };

constexpr bool is_compressing(Direction d) { return d == Direction::compress; }

// The coder's registers. The position loop keeps a copy of them in a local for
// a span (and for each byte) and stores it back: its probability stores go
// through byte pointers that may alias anything, and only a local record stays
// in machine registers around them.
template <Direction D>
struct ArithmeticCoder {
    // The bytes a coded stream ends with (x2 at the end), and so the fewest a
    // coded entry can hold.
    static constexpr uint64_t kFlushBytes = 4;

    uint32_t x1 = 0;           // low end of the interval, inclusive
    uint32_t x2 = 0xFFFFFFFF;  // high end of the interval, inclusive
    uint32_t x = 0;            // decoder: the window of coded bytes, x1 <= x <= x2
    ByteWriter* out = nullptr;
    ByteReader* in = nullptr;
    // The update table of adaptive bits: entry 2p + bit is the probability that
    // replaces p after bit was coded with it (update_table.h).
    const uint8_t* next = nullptr;

    void start_encoding(ByteWriter& writer) {
        static_assert(is_compressing(D), "the compressor's coder");
        x1 = 0;
        x2 = 0xFFFFFFFF;
        out = &writer;
    }

    void start_decoding(ByteReader& reader) {
        static_assert(!is_compressing(D), "the extractor's coder");
        x1 = 0;
        x2 = 0xFFFFFFFF;
        in = &reader;
        x = 0;
        for (int i = 0; i < 4; ++i) x = (x << 8) | reader.get();
    }

    // Codes `bit` with probability p/256 of a 1 (compressor), or decodes a bit
    // (extractor: `bit` is ignored); returns the bit.
    int code_bit(int bit, uint32_t p) {
        uint8_t unused = 0;
        return code_with<false>(bit, p, unused);
    }

    // An adaptive bit: coded with the probability in `slot`, which then takes
    // its next value from the update table.
    int code(int bit, uint8_t& slot) { return code_with(bit, slot, slot); }

    // The one coding step, with p (the value `slot` holds when Adaptive)
    // already loaded by the caller. The difference is shifted before the
    // multiply, so xmid never passes x2.
    template <bool Adaptive = true>
    int code_with(int bit, uint32_t p, uint8_t& slot) {
        const uint32_t xmid = x1 + ((x2 - x1) >> 8) * p;
        if constexpr (!is_compressing(D)) bit = x <= xmid;
        // Without a branch on the bit: a branch on a decoded bit is mispredicted
        // about as often as the bit is hard to predict, and each miss costs more
        // than the whole bit. m is all ones for a 1 (x2 = xmid), zero for a 0
        // (x1 = xmid + 1).
        const uint32_t m = 0u - static_cast<uint32_t>(bit);
        x2 ^= (x2 ^ xmid) & m;
        x1 ^= (x1 ^ (xmid + 1)) & ~m;
        if ((x1 ^ x2) <= 0xFFFFFF) {
            if constexpr (is_compressing(D)) {
                out->put(static_cast<uint8_t>(x2 >> 24));
            } else {
                x = (x << 8) | in->get();
            }
            x1 <<= 8;
            x2 = (x2 << 8) + 255;
        }
        if constexpr (Adaptive) slot = next[2 * p + static_cast<uint32_t>(bit)];
        return bit;
    }

    // Writes x2, most significant byte first: any value in the final interval
    // decodes the same bits, and x2 is the one this format stores.
    void flush() {
        static_assert(is_compressing(D), "the compressor's coder");
        out->put(static_cast<uint8_t>(x2 >> 24));
        out->put(static_cast<uint8_t>(x2 >> 16));
        out->put(static_cast<uint8_t>(x2 >> 8));
        out->put(static_cast<uint8_t>(x2));
    }
};

}  // namespace vellum
