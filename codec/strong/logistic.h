// The logistic domain of the strong codec. A probability is 12 bits (1..4095,
// the chance of a 1 in 4096ths); its logit ln(p / (1 - p)) is held with 8
// fractional bits and clamped to -2047..2047. squash maps a logit to a
// probability and stretch maps back.
//
// Both tables are built from 33 fixed integer points by integer interpolation,
// never from the C library's exp(), so every platform codes the same bits.
#pragma once

#include <cstdint>

namespace vellum {
namespace strong {

constexpr int kLogitLimit = 2047;

struct LogisticTables {
    int16_t stretch[4096];  // probability -> logit
    int16_t squash[4096];   // logit + 2048 -> probability
    uint16_t cost[4096];    // -log2(p / 4096) in 1/256 bits: what coding an event of p costs
    LogisticTables();
};

extern const LogisticTables kLogistic;

inline int stretch(int p) { return kLogistic.stretch[p]; }

inline int cost(int p) { return kLogistic.cost[p]; }

inline int squash(int x) {
    if (x > kLogitLimit) x = kLogitLimit;
    if (x < -kLogitLimit) x = -kLogitLimit;
    return kLogistic.squash[x + 2048];
}

}  // namespace strong
}  // namespace vellum
