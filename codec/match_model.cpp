#include "codec/match_model.h"

#include <cstring>

namespace vellum {

bool MatchModel::begin_operation() {
    base_position = 0;
    position_offset = 0;
    return match_positions.allocate(kSlots);
}

void MatchModel::end_operation() {
    match_positions.release();
    base_position = 0;
    position_offset = 0;
}

bool MatchModel::begin_compact(size_t length) {
    if (compact_max_bits == 0 || length > kCompactBlock) return false;
    const size_t largest = size_t{1} << compact_max_bits;
    if (compact_slots.size() < largest && !compact_slots.allocate(largest)) return false;
    if (compact_spare.size() < largest && !compact_spare.allocate(largest)) return false;
    // A quarter slot per byte to begin with: most blocks write far fewer hashes
    // than they have bytes.
    uint32_t bits = 6;
    while (bits < compact_max_bits && (size_t{4} << bits) < length) ++bits;
    compact_bits = bits;
    compact_used = 0;
    std::memset(static_cast<void*>(compact_slots.data()), 0, sizeof(CompactSlot) << bits);
    return true;
}

void MatchModel::grow_compact() {
    const size_t old_count = size_t{1} << compact_bits;
    ++compact_bits;
    const uint32_t mask = (uint32_t{1} << compact_bits) - 1;
    CompactSlot* to = compact_spare.data();
    std::memset(static_cast<void*>(to), 0, sizeof(CompactSlot) << compact_bits);
    const CompactSlot* from = compact_slots.data();
    for (size_t k = 0; k < old_count; ++k) {
        if (from[k].key == 0) continue;
        uint32_t i = compact_home(compact_hash(from[k]));
        while (to[i].key != 0) i = (i + 1) & mask;
        to[i] = from[k];
    }
    compact_slots.swap(compact_spare);
}

void MatchModel::leave_compact() {
    const uint64_t base = stale_limit();
    const CompactSlot* slots = compact_slots.data();
    for (size_t k = 0; k < (size_t{1} << compact_bits); ++k) {
        // A taken slot always holds a position: the step that takes it sets one.
        if (slots[k].key == 0) continue;
        const uint32_t hash = compact_hash(slots[k]);
        match_positions[hash] = static_cast<uint32_t>(base + compact_position(slots[k]));
        match_probabilities[hash] = slots[k].pair;
    }
}

void MatchModel::rebase_positions() {
    // base_position is above 0 here: a span's end alone always fits.
    const uint64_t offset = base_position - 1;
    uint32_t* slots = match_positions.data();
    for (size_t i = 0; i < match_positions.size(); ++i) {
        if (slots[i] == 0) continue;
        const uint64_t value = slots[i] + position_offset;
        slots[i] = value <= base_position ? 1 : static_cast<uint32_t>(value - offset);
    }
    position_offset = offset;
}

}  // namespace vellum
