// Hashed-context match model: for each 22-bit hash of the preceding hash_order
// bytes, the position where that hash was last coded and two probabilities.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/zeroed_array.h"

namespace vellum {

struct MatchModel {
    static constexpr uint32_t kHashBits = 22;
    static constexpr size_t kSlots = size_t{1} << kHashBits;  // 4,194,304
    static constexpr uint32_t kHashMask = static_cast<uint32_t>(kSlots - 1);

    // Pairs per slot: [0] run_probability, the unary part of a length in both
    // modes; [1] flag_probability, the match flag (mode 0, 1 = no match) or the
    // binary part of a length (mode 2). 8 MiB, kept for the life of the tables.
    // A pair is read only after its slot was written in the current operation,
    // and the first such lookup resets it to 128, 128.
    ZeroedArray<uint8_t> match_probabilities;
    // base_position + position + 1 of the position where the slot's hash was last
    // coded, stored less position_offset so that it fits 32 bits; 0 = not written
    // during this operation (written values are never 0). 16 MiB, zero-filled at
    // the start of each operation and released at its end. Half the size of
    // 64-bit values, so more of it stays in the caches: every coded position
    // reads one slot at random, and the extractor waits for it.
    ZeroedArray<uint32_t> match_positions;
    // Position of buffer offset 0 in the stream of bytes coded so far in the
    // operation. It only grows, so every slot written in an earlier block or an
    // earlier buffer holds a value not above it and is recognised as stale.
    uint64_t base_position = 0;
    // What the stored slot values are relative to; moved by fit_positions.
    uint64_t position_offset = 0;

    MatchModel() : match_probabilities(2 * kSlots) {}

    // False when the position table cannot be had.
    bool begin_operation();
    void end_operation();

    // Makes room for the values a span ending at `end` writes (up to
    // base_position + end): when they would not fit 32 bits above the offset,
    // the offset moves up to base_position - 1, stale slots become 1 (still
    // stale, still written) and live ones keep their positions.
    void fit_positions(uint64_t end) {
        if (base_position + end - position_offset > UINT32_MAX) rebase_positions();
    }
    // Stored values not above this are stale: base_position - position_offset.
    uint64_t stale_limit() const { return base_position - position_offset; }

private:
    void rebase_positions();
};

// Hash of the hash_order bytes before `position`, oldest first, computed afresh.
inline uint32_t context_hash(const uint8_t* buffer, size_t position, uint32_t hash_order) {
    uint32_t h = 170;
    for (const uint8_t* p = buffer + position - hash_order; p != buffer + position; ++p)
        h = *p + ((h << 5) ^ 170) + h;
    return h & MatchModel::kHashMask;
}

}  // namespace vellum
