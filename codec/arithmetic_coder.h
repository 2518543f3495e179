// Carry-less binary arithmetic coder over a 32-bit interval.
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

struct ArithmeticCoder {
    uint32_t x1 = 0;           // low end of the interval, inclusive
    uint32_t x2 = 0xFFFFFFFF;  // high end of the interval, inclusive
    uint32_t x = 0;            // decoder: the window of coded bytes, x1 <= x <= x2
    ByteWriter* out = nullptr;
    ByteReader* in = nullptr;

    void start_encoding(ByteWriter& writer) {
        x1 = 0;
        x2 = 0xFFFFFFFF;
        out = &writer;
    }

    // The difference is shifted before the multiply, so xmid never passes x2.
    uint32_t split(uint32_t p) const { return x1 + ((x2 - x1) >> 8) * p; }

    void encode_bit(int bit, uint32_t p) {
        const uint32_t xmid = split(p);
        if (bit) x2 = xmid; else x1 = xmid + 1;
        if ((x1 ^ x2) <= 0xFFFFFF) {
            out->put(static_cast<uint8_t>(x2 >> 24));
            x1 <<= 8;
            x2 = (x2 << 8) + 255;
        }
    }

    // Writes x2, most significant byte first: any value in the final interval
    // decodes the same bits, and x2 is the one this format stores.
    void flush() {
        out->put(static_cast<uint8_t>(x2 >> 24));
        out->put(static_cast<uint8_t>(x2 >> 16));
        out->put(static_cast<uint8_t>(x2 >> 8));
        out->put(static_cast<uint8_t>(x2));
    }

    void start_decoding(ByteReader& reader) {
        x1 = 0;
        x2 = 0xFFFFFFFF;
        in = &reader;
        x = 0;
        for (int i = 0; i < 4; ++i) x = (x << 8) | reader.get();
    }

    int decode_bit(uint32_t p) {
        const uint32_t xmid = split(p);
        const int bit = x <= xmid;
        if (bit) x2 = xmid; else x1 = xmid + 1;
        if ((x1 ^ x2) <= 0xFFFFFF) {
            x1 <<= 8;
            x2 = (x2 << 8) + 255;
            x = (x << 8) | in->get();
        }
        return bit;
    }
};

}  // namespace vellum
