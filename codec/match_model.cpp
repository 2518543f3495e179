#include "codec/match_model.h"

namespace vellum {

void MatchModel::begin_operation() {
    match_positions.allocate(kSlots);
    base_position = 0;
}

void MatchModel::end_operation() {
    match_positions.release();
    base_position = 0;
}

}  // namespace vellum
