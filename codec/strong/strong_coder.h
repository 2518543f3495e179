// The strong codec's binary arithmetic coder: a 32-bit interval [x1, x2] split
// in proportion to a 12-bit probability of a 1 (a 1 takes the lower part).
// Every leading byte on which x1 and x2 agree is settled and shifted out.
// The encoder ends with the 4 bytes of x1; the decoder reads 4 bytes ahead and
// one per shift, so it consumes exactly the bytes the encoder wrote.
#pragma once

#include <cstdint>

#include "codec/byte_io.h"

namespace vellum {
namespace strong {

// The point that splits [x1, x2] for a 1 of probability p12 / 4096: at least
// x1 and below x2, so both parts are non-empty whatever p12 (1..4095) is.
inline uint32_t split(uint32_t x1, uint32_t x2, int p12) {
    return x1 + static_cast<uint32_t>((uint64_t{x2 - x1} * static_cast<uint32_t>(p12)) >> 12);
}

class StrongEncoder {
public:
    explicit StrongEncoder(ByteWriter& out) : out_(out) {}

    // The registers by value, for a loop that keeps them in machine registers
    // and stores them back once (see EncodeBits).
    struct Registers {
        uint32_t x1, x2;
        ByteWriter* out;
        int code(int bit, int p12) {
            const uint32_t xmid = split(x1, x2, p12);
            const uint32_t m = 0u - static_cast<uint32_t>(bit);  // all ones for a 1
            x2 ^= (x2 ^ xmid) & m;
            x1 ^= (x1 ^ (xmid + 1)) & ~m;
            while (((x1 ^ x2) & 0xFF000000u) == 0) {
                out->put(static_cast<uint8_t>(x2 >> 24));
                x1 <<= 8;
                x2 = x2 << 8 | 255;
            }
            return bit;
        }
    };
    Registers registers() const { return Registers{x1_, x2_, &out_}; }
    void store(const Registers& r) {
        x1_ = r.x1;
        x2_ = r.x2;
    }

    void encode(int bit, int p12) {
        const uint32_t xmid = split(x1_, x2_, p12);
        if (bit)
            x2_ = xmid;
        else
            x1_ = xmid + 1;
        while (((x1_ ^ x2_) & 0xFF000000u) == 0) {
            out_.put(static_cast<uint8_t>(x2_ >> 24));
            x1_ <<= 8;
            x2_ = x2_ << 8 | 255;
        }
    }

    void flush() {
        for (int shift = 24; shift >= 0; shift -= 8) out_.put(static_cast<uint8_t>(x1_ >> shift));
    }

private:
    ByteWriter& out_;
    uint32_t x1_ = 0;
    uint32_t x2_ = 0xFFFFFFFFu;
};

class StrongDecoder {
public:
    explicit StrongDecoder(ByteReader& in) : in_(in) {
        for (int i = 0; i < 4; ++i) x_ = x_ << 8 | in_.get();
    }

    // The registers by value, as for the encoder. code() ignores the bit it is
    // given and returns the one decoded.
    struct Registers {
        uint32_t x1, x2, x;
        ByteReader* in;
        int code(int, int p12) {
            const uint32_t xmid = split(x1, x2, p12);
            const int bit = x <= xmid;
            const uint32_t m = 0u - static_cast<uint32_t>(bit);
            x2 ^= (x2 ^ xmid) & m;
            x1 ^= (x1 ^ (xmid + 1)) & ~m;
            while (((x1 ^ x2) & 0xFF000000u) == 0) {
                x1 <<= 8;
                x2 = x2 << 8 | 255;
                x = x << 8 | in->get();
            }
            return bit;
        }
    };
    Registers registers() { return Registers{x1_, x2_, x_, &in_}; }
    void store(const Registers& r) {
        x1_ = r.x1;
        x2_ = r.x2;
        x_ = r.x;
    }

    int decode(int p12) {
        const uint32_t xmid = split(x1_, x2_, p12);
        const int bit = x_ <= xmid;
        if (bit)
            x2_ = xmid;
        else
            x1_ = xmid + 1;
        while (((x1_ ^ x2_) & 0xFF000000u) == 0) {
            x1_ <<= 8;
            x2_ = x2_ << 8 | 255;
            x_ = x_ << 8 | in_.get();
        }
        return bit;
    }

    ByteReader& input() { return in_; }

private:
    ByteReader& in_;
    uint32_t x1_ = 0;
    uint32_t x2_ = 0xFFFFFFFFu;
    uint32_t x_ = 0;
};

}  // namespace strong
}  // namespace vellum
