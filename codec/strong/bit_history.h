// Bit histories: one byte that sums up the bits seen in one context.
//
// A state stands for a pair of counts (n0, n1) of the zeros and ones seen,
// and, once both are non-zero, for which of them came last. A new bit adds one
// to its own count and discounts the other one when it is above 2 (to 1 + n/2),
// so a context that changes its mind is followed quickly; counts are bounded
// so that every state fits one byte. State 0 is the context never seen.
//
// The table is generated at start-up by integer steps alone, walking the
// states reachable from state 0 in a fixed order.
#pragma once

#include <cstdint>

namespace vellum {
namespace strong {

struct BitHistoryTable {
    static constexpr int kMaxStates = 256;
    uint8_t next[kMaxStates][2];  // state after a 0, after a 1
    uint8_t zeros[kMaxStates];    // n0 of each state
    uint8_t ones[kMaxStates];     // n1 of each state
    int count = 0;                // states in use
    BitHistoryTable();
};

extern const BitHistoryTable kBitHistory;

inline uint8_t next_state(uint8_t state, int bit) { return kBitHistory.next[state][bit]; }

// How much a state has seen, for choosing which hashed slot to give up.
inline int state_weight(uint8_t state) { return kBitHistory.zeros[state] + kBitHistory.ones[state]; }

}  // namespace strong
}  // namespace vellum
