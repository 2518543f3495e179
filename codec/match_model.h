// Hashed-context match model: for each 22-bit hash of the preceding hash_order
// bytes, the position where that hash was last coded and two probabilities.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/zeroed_array.h"

namespace vellum {

// The two probabilities of a hash slot, both of a 1.
struct MatchPair {
    uint8_t run_probability;   // the unary part of a match length, in both modes
    uint8_t flag_probability;  // ContextMode::match_runs: the match flag (1 = no
                               // match); match_length: each bit of a length's binary part
};
static_assert(sizeof(MatchPair) == 2, "two bytes a slot");

struct MatchModel {
    static constexpr uint32_t kHashBits = 22;
    static constexpr size_t kSlots = size_t{1} << kHashBits;  // 4,194,304
    static constexpr uint32_t kHashMask = static_cast<uint32_t>(kSlots - 1);

    // One pair per slot: 8 MiB, kept for the life of the tables. A pair is read
    // only after its slot was written in the current operation, and the first
    // such lookup resets it to 128, 128.
    ZeroedArray<MatchPair> match_probabilities;
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

    // Slots of one normal block. Every slot is stale when a normal block starts,
    // and a stale slot of a normal block is read exactly as an unwritten one, so
    // the block can keep its slots in a small table of its own, found by hash, in
    // place of the 4M-slot table: the lookups of a block that codes few distinct
    // hashes then stay in the caches. The table starts small and doubles whenever
    // more than half of it is taken; past half of 2^compact_max_bits slots the
    // block moves its slots into match_positions and goes on there.
    // 8 bytes: the hash, the position it was last coded at and its pair. A block
    // of at most kCompactBlock bytes has positions below 2^24, so position + 1
    // takes at most 25 bits: its low 9 bits sit above the 23 of hash + 1 in
    // `key`, the rest in `position_high`.
    struct CompactSlot {
        uint32_t key;             // hash + 1 (0 = free) | low bits of position + 1
        uint16_t position_high;   // position + 1 >> kKeyLowBits
        MatchPair pair;           // as match_probabilities holds it
    };
    static constexpr uint32_t kKeyBits = 23;
    static constexpr uint32_t kKeyMask = (uint32_t{1} << kKeyBits) - 1;
    static constexpr uint32_t kKeyLowBits = 32 - kKeyBits;
    static constexpr size_t kCompactBlock = size_t{1} << 24;
    static_assert(kHashBits < kKeyBits, "hash + 1 fits the key");
    static_assert(kCompactBlock < (size_t{1} << (kKeyLowBits + 16)), "position + 1 fits the slot");
    static uint32_t compact_hash(const CompactSlot& slot) { return (slot.key & kKeyMask) - 1; }
    // Position of the slot's last coding in the block, + 1 (0 when just taken).
    static uint32_t compact_position(const CompactSlot& slot) {
        return (slot.key >> kKeyBits) | uint32_t{slot.position_high} << kKeyLowBits;
    }
    static void set_compact_position(CompactSlot& slot, uint32_t position_plus_1) {
        slot.key = (slot.key & kKeyMask) | position_plus_1 << kKeyBits;
        slot.position_high = static_cast<uint16_t>(position_plus_1 >> kKeyLowBits);
    }
    // 2^19 slots of 8 bytes: 4 MiB for up to 2^18 distinct hashes, twice that
    // with the table a doubling moves into. 0 turns the compact table off.
    static constexpr uint32_t kCompactMaxBits = 19;
    uint32_t compact_max_bits = kCompactMaxBits;
    ZeroedArray<CompactSlot> compact_slots;
    ZeroedArray<CompactSlot> compact_spare;  // the table a doubling moves into
    uint32_t compact_bits = 0;  // the table in use has 2^compact_bits slots
    size_t compact_used = 0;    // slots taken

    MatchModel() : match_probabilities(kSlots) {}

    // Starts an empty compact table for a normal block of `length` bytes; false
    // when the block is too large for one or the table cannot be had.
    bool begin_compact(size_t length);
    // The compact slot of `hash`, taken for it if it was free. Pointers into the
    // table stay valid until the next fit_compact.
    CompactSlot* compact_slot(uint32_t hash) {
        const uint32_t mask = (uint32_t{1} << compact_bits) - 1;
        const uint32_t key = hash + 1;
        uint32_t i = compact_home(hash);
        CompactSlot* slots = compact_slots.data();
        while ((slots[i].key & kKeyMask) != key) {
            if (slots[i].key == 0) {
                slots[i].key = key;
                ++compact_used;
                break;
            }
            i = (i + 1) & mask;
        }
        return &slots[i];
    }
    uint32_t compact_home(uint32_t hash) const { return (hash * 0x9E3779B1u) >> (32 - compact_bits); }
    // Doubles the compact table when more than half of it is taken; false when
    // it is as large as it may grow: the block then leaves it (leave_compact).
    // Half free, a probe always ends.
    bool fit_compact() {
        if (2 * compact_used <= (size_t{1} << compact_bits)) return true;
        if (compact_bits >= compact_max_bits) return false;
        grow_compact();
        return true;
    }
    // Stores every compact slot into match_positions (as stale_limit() + position
    // + 1) and match_probabilities, where the block goes on from here.
    void leave_compact();
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
    void grow_compact();
};

// Hash of the hash_order bytes before `position`, oldest first, computed afresh.
inline uint32_t context_hash(const uint8_t* buffer, size_t position, uint32_t hash_order) {
    uint32_t h = 170;
    for (const uint8_t* p = buffer + position - hash_order; p != buffer + position; ++p)
        h = *p + ((h << 5) ^ 170) + h;
    return h & MatchModel::kHashMask;
}

}  // namespace vellum
