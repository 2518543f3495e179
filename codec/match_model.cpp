#include "codec/match_model.h"

namespace vellum {

void MatchModel::begin_operation() {
    match_positions.assign(kSlots, 0);
    base_position = 0;
}

void MatchModel::end_operation() {
    std::vector<uint64_t>().swap(match_positions);
    base_position = 0;
}

}  // namespace vellum
