#include "codec/match_model.h"

namespace vellum {

bool MatchModel::begin_operation() {
    base_position = 0;
    return match_positions.allocate(kSlots);
}

void MatchModel::end_operation() {
    match_positions.release();
    base_position = 0;
}

}  // namespace vellum
