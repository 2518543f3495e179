#include "codec/strong/bit_history.h"

namespace vellum {
namespace strong {
namespace {

// Largest count allowed beside a smaller count of 0, 1, 2, ...: a long run in
// a deterministic context may count up to 40, a mixed one far less.
constexpr int kLimits[] = {40, 20, 12, 8, 6, 5};
constexpr int kLimitCount = sizeof kLimits / sizeof kLimits[0];

bool allowed(int n0, int n1) {
    const int low = n0 < n1 ? n0 : n1;
    const int high = n0 < n1 ? n1 : n0;
    return low < kLimitCount && high <= kLimits[low];
}

struct Counts {
    int n0, n1, last;  // last: the bit seen last, -1 unless both counts are set
};

bool same(const Counts& a, const Counts& b) { return a.n0 == b.n0 && a.n1 == b.n1 && a.last == b.last; }

Counts after(Counts c, int bit) {
    int& own = bit ? c.n1 : c.n0;
    int& other = bit ? c.n0 : c.n1;
    ++own;
    if (other > 2) other = 1 + other / 2;
    while (!allowed(c.n0, c.n1)) {
        if (other > 0)
            --other;
        else
            --own;
    }
    c.last = c.n0 > 0 && c.n1 > 0 ? bit : -1;
    return c;
}

}  // namespace

BitHistoryTable::BitHistoryTable() : next{}, zeros{}, ones{} {
    Counts states[kMaxStates];
    states[0] = {0, 0, -1};
    count = 1;
    // Breadth first: every state's successors are numbered in the order met.
    for (int s = 0; s < count; ++s) {
        for (int bit = 0; bit < 2; ++bit) {
            const Counts c = after(states[s], bit);
            int t = 0;
            while (t < count && !same(states[t], c)) ++t;
            if (t == count && count < kMaxStates) states[count++] = c;
            next[s][bit] = static_cast<uint8_t>(t < kMaxStates ? t : s);
        }
        zeros[s] = static_cast<uint8_t>(states[s].n0);
        ones[s] = static_cast<uint8_t>(states[s].n1);
    }
}

const BitHistoryTable kBitHistory;

}  // namespace strong
}  // namespace vellum
