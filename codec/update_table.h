// The table-driven probability update shared by every coded bit.
#pragma once

#include <cstdint>

namespace vellum {

// Entry 2p + bit is the probability that replaces p after bit was coded with it.
// The two outcomes are interleaved so one index serves both.
struct ProbabilityUpdateTable {
    uint8_t next[512];
};

// Each entry averages a fast step (shift rate - 1) and a slow step (shift
// rate + 3) toward 256 after a 1 or toward 0 after a 0. rate >= 1.
void build_update_table(ProbabilityUpdateTable& table, unsigned adapt_rate);

}  // namespace vellum
