#include "codec/strong/logistic.h"

namespace vellum {
namespace strong {
namespace {

// 4096 / (1 + e^(-x / 256)) at x = -2048, -1920, ..., 2048, rounded.
constexpr int kPoints[33] = {1,    2,    4,    6,    10,   17,   27,   45,   74,   120,  194,
                             311,  488,  747,  1102, 1546, 2048, 2550, 2994, 3349, 3608, 3785,
                             3902, 3976, 4022, 4051, 4069, 4079, 4086, 4090, 4092, 4094, 4095};

int interpolate(int x) {
    const int i = (x + 2048) >> 7;
    const int w = (x + 2048) & 127;
    if (i >= 32) return kPoints[32];
    return (kPoints[i] * (128 - w) + kPoints[i + 1] * w + 64) >> 7;
}

// log2(x) in 1/256 units for 1 <= x <= 4096: the integer part from the top
// bit, the fraction bit by bit by squaring the mantissa.
int log2_256(uint32_t x) {
    int whole = 0;
    while ((x >> (whole + 1)) != 0) ++whole;
    uint64_t m = (uint64_t{x} << 16) >> whole;  // 1.0 = 2^16, in [1, 2)
    int fraction = 0;
    for (int i = 7; i >= 0; --i) {
        m = (m * m) >> 16;
        if (m >= (uint64_t{2} << 16)) {
            m >>= 1;
            fraction |= 1 << i;
        }
    }
    return whole * 256 + fraction;
}

}  // namespace

LogisticTables::LogisticTables() {
    cost[0] = static_cast<uint16_t>(12 * 256);
    for (uint32_t p = 1; p < 4096; ++p) cost[p] = static_cast<uint16_t>(12 * 256 - log2_256(p));
    for (int x = -2048; x < 2048; ++x) {
        int p = interpolate(x);
        if (p < 1) p = 1;
        if (p > 4095) p = 4095;
        squash[x + 2048] = static_cast<int16_t>(p);
    }
    // stretch(p): the smallest logit whose squash reaches p, so that
    // squash(stretch(p)) is p wherever squash takes the value p.
    int p = 0;
    for (int x = -kLogitLimit; x <= kLogitLimit; ++x) {
        const int v = squash[x + 2048];
        for (; p <= v; ++p) stretch[p] = static_cast<int16_t>(x);
    }
    for (; p < 4096; ++p) stretch[p] = kLogitLimit;
}

const LogisticTables kLogistic;

}  // namespace strong
}  // namespace vellum
