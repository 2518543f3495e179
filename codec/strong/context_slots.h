// Hashed bit histories of the higher-order contexts.
//
// A slot is 16 bytes and serves one context for one nibble of the byte being
// coded: byte 0 holds 8 check bits of the context's hash, bytes 1..15 the bit
// histories of the nibble's tree nodes (node 1 for its first bit, 2..3 for the
// second, 4..7, 8..15). Four slots share a 64-byte line; a context is looked
// for in its own line only, so one lookup costs one cache line, and a context
// not found there takes the slot whose first node has seen least.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codec/strong/bit_history.h"
#include "codec/zeroed_array.h"

namespace vellum {
namespace strong {

// A bit history held in a slot. Its own type, not a char, so that storing one
// does not make the compiler assume any other variable may have changed.
enum class BitState : uint8_t {};

class ContextSlots {
public:
    static constexpr size_t kSlotBytes = 16;
    static constexpr size_t kLineBytes = 64;

    // Takes room for up to 2^max_line_bits lines. False when memory runs out.
    bool allocate(uint32_t max_line_bits) {
        max_line_bits_ = max_line_bits;
        return table_.allocate(size_t{kLineBytes} << max_line_bits);
    }
    bool allocated() const { return !table_.empty(); }
    uint32_t max_line_bits() const { return max_line_bits_; }
    uint32_t line_bits() const { return line_bits_; }

    // Empties the first 2^line_bits lines and uses only those.
    void reset(uint32_t line_bits) {
        if (line_bits > max_line_bits_) line_bits = max_line_bits_;
        line_bits_ = line_bits;
        line_mask_ = (uint32_t{1} << line_bits) - 1;
        std::memset(table_.data(), 0, size_t{kLineBytes} << line_bits);
    }

    // Takes 2^line_bits lines (never fewer) and keeps every context where it
    // will be looked for: each doubling copies the lines into the new half,
    // so a context finds its slot in its old line or in that line's copy.
    void grow(uint32_t line_bits) {
        if (line_bits > max_line_bits_) line_bits = max_line_bits_;
        for (; line_bits_ < line_bits; ++line_bits_) {
            const size_t half = size_t{kLineBytes} << line_bits_;
            std::memcpy(table_.data() + half, table_.data(), half);
        }
        line_mask_ = (uint32_t{1} << line_bits_) - 1;
    }

    void prefetch(uint32_t hash) {
        __builtin_prefetch(table_.data() + size_t{hash & line_mask_} * kLineBytes);
    }

    // The slot of the context whose hash is `hash`: its check bits are the
    // hash's top 8, its line is chosen by the low bits.
    BitState* find(uint32_t hash) {
        uint8_t* line = table_.data() + size_t{hash & line_mask_} * kLineBytes;
        const uint8_t check = static_cast<uint8_t>(hash >> 24);
        for (size_t i = 0; i < kLineBytes; i += kSlotBytes)
            if (line[i] == check) return reinterpret_cast<BitState*>(line + i);
        uint8_t* weakest = line;
        int least = state_weight(line[1]);
        for (size_t i = kSlotBytes; i < kLineBytes; i += kSlotBytes) {
            const int w = state_weight(line[i + 1]);
            if (w < least) {
                least = w;
                weakest = line + i;
            }
        }
        std::memset(weakest, 0, kSlotBytes);
        weakest[0] = check;
        return reinterpret_cast<BitState*>(weakest);
    }

private:
    ZeroedArray<uint8_t> table_;
    uint32_t max_line_bits_ = 0;
    uint32_t line_bits_ = 0;
    uint32_t line_mask_ = 0;
};

}  // namespace strong
}  // namespace vellum
