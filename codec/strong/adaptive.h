// Probabilities that learn from the bits coded with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/strong/logistic.h"

namespace vellum {
namespace strong {

// 65536 * 2 / (2n + 3): the step of an entry that has learned from n bits.
struct LearningSteps {
    uint32_t step[1024];
    LearningSteps();
};
extern const LearningSteps kLearningSteps;

// One probability per context. An entry holds the probability of a 1 in its
// upper 22 bits and, in its lower 10, how many bits it has learned from (up to
// `limit`): it starts by averaging what it sees and ends moving 2/(2*limit+3)
// of the way to each new bit, so a larger limit settles on stationary data
// and a smaller one follows change.
class AdaptiveMap {
public:
    // `contexts` entries, each at the probability `initial(context)` gives
    // (12 bits), having learned from nothing.
    void reset(size_t contexts, int limit);
    void set(size_t context, int p12) { table_[context] = static_cast<uint32_t>(p12) << 20; }
    size_t size() const { return table_.size(); }

    // 12-bit probability of a 1 in `context`; remembers it for update().
    int p(size_t context) {
        at_ = &table_[context];
        return static_cast<int>(*at_ >> 20);
    }
    void update(int bit) { learn(*at_, bit); }
    // The same for an entry the caller remembered.
    void update(uint32_t& entry, int bit) const { learn(entry, bit); }
    uint32_t& entry(size_t context) { return table_[context]; }

private:
    void learn(uint32_t& e, int bit) const {
        const uint32_t n = e & 1023;
        const int64_t p22 = e >> 10;
        const int64_t target = bit ? (int64_t{1} << 22) - 1 : 0;
        const int64_t moved = p22 + (((target - p22) * kLearningSteps.step[n]) >> 16);
        e = static_cast<uint32_t>(moved << 10) | (n < limit_ ? n + 1 : n);
    }

    std::vector<uint32_t> table_;
    uint32_t limit_ = 255;
    uint32_t* at_ = nullptr;
};

// A refinement stage: for each context, 33 probabilities at evenly spaced
// logits; the input probability is placed between two of them and the output
// interpolated. After the bit, the nearer point moves toward it by 1/2^rate.
class Apm {
public:
    void reset(size_t contexts, int rate);
    size_t contexts() const { return table_.size() / 33; }

    int refine(int p12, size_t context) {
        const int s = stretch(p12) + 2048;  // 1..4095
        const int w = s & 127;
        const size_t at = context * 33 + static_cast<size_t>(s >> 7);
        near_ = at + static_cast<size_t>(w >> 6);
        return (table_[at] * (128 - w) + table_[at + 1] * w) >> 11;
    }
    // The same for an input given as a logit (-2047..2047).
    int refine_logit(int logit, size_t context) {
        const int s = logit + 2048;
        const int w = s & 127;
        const size_t at = context * 33 + static_cast<size_t>(s >> 7);
        near_ = at + static_cast<size_t>(w >> 6);
        return (table_[at] * (128 - w) + table_[at + 1] * w) >> 11;
    }
    void update(int bit) {
        const int target = bit ? 65535 : 0;
        table_[near_] = static_cast<uint16_t>(table_[near_] + ((target - table_[near_]) >> rate_));
    }

private:
    std::vector<uint16_t> table_;  // 16-bit probabilities
    int rate_ = 7;
    size_t near_ = 0;
};

}  // namespace strong
}  // namespace vellum
