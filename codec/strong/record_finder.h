// Finds the record length of tabular data: a byte value that comes back at
// the same distance as the time before votes for that distance, and a
// distance that keeps winning the vote becomes the record length.
#pragma once

#include <cstdint>
#include <cstring>

namespace vellum {
namespace strong {

class RecordFinder {
public:
    static constexpr uint32_t kShortest = 8;      // shorter repeats are left to the order contexts
    static constexpr uint32_t kLongest = 65535;
    static constexpr int kVotesToWin = 8;

    void reset() {
        std::memset(last_seen_, 0, sizeof last_seen_);
        std::memset(last_gap_, 0, sizeof last_gap_);
        candidate_ = length_ = position_ = 0;
        votes_ = 0;
    }

    // The record length found so far, 0 for none.
    uint32_t length() const { return length_; }

    void add(uint32_t byte) {
        ++position_;
        const uint32_t gap = position_ - last_seen_[byte];
        if (gap == last_gap_[byte] && gap >= kShortest && gap <= kLongest) vote(gap);
        last_gap_[byte] = gap;
        last_seen_[byte] = position_;
    }

private:
    // A majority vote: the candidate gains a vote for itself and loses one for
    // any other distance, and is replaced when it has none left.
    void vote(uint32_t gap) {
        if (gap == candidate_) {
            if (votes_ < 64) ++votes_;
            if (votes_ >= kVotesToWin) length_ = gap;
        } else if (--votes_ < 0) {
            candidate_ = gap;
            votes_ = 1;
        }
    }

    uint32_t last_seen_[256];  // position of each byte value's last occurrence
    uint32_t last_gap_[256];   // the distance between its last two occurrences
    uint32_t candidate_ = 0;
    int votes_ = 0;
    uint32_t length_ = 0;
    uint32_t position_ = 0;
};

}  // namespace strong
}  // namespace vellum
