#include "codec/match_model.h"

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
