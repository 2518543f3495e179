// The match model of the strong codec: the bytes coded so far are kept in a
// ring, and for every position the hash of the kMinLength bytes before it
// points at the last position that followed the same bytes. While the bytes
// after that earlier occurrence keep coming again, the model predicts the
// next one, and it is the more sure the longer the repetition has lasted.
// A second table does the same for the kLongLength bytes before a position:
// short contexts recur everywhere in some data and point at the latest of many
// places, a long one at the place that really repeats.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/zeroed_array.h"

namespace vellum {
namespace strong {

class HistoryMatch {
public:
    static constexpr uint32_t kMinLength = 6;   // bytes hashed to find a candidate
    static constexpr uint32_t kLongLength = 24; // bytes hashed for the second table
    static constexpr uint32_t kMaxLength = 65535;
    static constexpr uint32_t kVerify = 32;     // bytes compared backwards at most

    bool allocate(uint32_t max_history_bits, uint32_t max_table_bits) {
        max_history_bits_ = max_history_bits;
        max_table_bits_ = max_table_bits;
        return history_.allocate(size_t{1} << max_history_bits) &&
               last_.allocate(size_t{1} << max_table_bits) && last_long_.allocate(size_t{1} << max_table_bits);
    }

    // Starts afresh (nothing seen) with a ring of 2^history_bits bytes and
    // 2^table_bits candidate slots; both within what was allocated.
    void reset(uint32_t history_bits, uint32_t table_bits);

    // Takes a larger ring and table (never smaller) on the way: the bytes kept
    // move to their places in the larger ring, and each candidate to the slots
    // its hash now picks.
    void grow(uint32_t history_bits, uint32_t table_bits);
    uint32_t history_bits() const { return history_bits_; }
    uint32_t table_bits() const { return 32 - table_shift_; }

    uint64_t position() const { return pos_; }
    uint8_t back(uint32_t distance) const {  // distance >= 1, at most position()
        return history_[static_cast<size_t>((pos_ - distance) & history_mask_)];
    }
    uint32_t length() const { return length_; }
    // The byte the model expects next (meaningful while length() > 0).
    uint32_t expected() const { return expected_; }

    // Takes the byte just coded: extends or ends the current repetition, and
    // looks for a new one when there is none.
    void add(uint8_t byte);

    // Ends the repetition when the bits of the byte so far (c0 with its leading
    // 1, `bits` of them) leave the expected byte.
    void check(uint32_t c0, int bits) {
        if (length_ != 0 && ((expected_ | 256) >> (8 - bits)) != c0) length_ = 0;
    }

private:
    // Makes the repetition from an earlier position `seen` (low 32 bits) the
    // one followed when more than `needed` bytes up to it equal the bytes up to
    // the one just added, and more of them than the current repetition has
    // lasted.
    void try_candidate(uint32_t seen, uint32_t needed);

    ZeroedArray<uint8_t> history_;
    ZeroedArray<uint32_t> last_;       // low 32 bits of the position after each hash
    ZeroedArray<uint32_t> last_long_;  // the same for the long hash
    uint32_t max_history_bits_ = 0;
    uint32_t max_table_bits_ = 0;
    uint64_t history_mask_ = 0;
    uint32_t history_bits_ = 0;
    uint32_t table_shift_ = 32;
    uint64_t history_size_ = 0;
    uint64_t pos_ = 0;       // bytes seen since the reset
    uint64_t target_ = 0;    // position of the byte expected next
    uint32_t length_ = 0;
    uint32_t expected_ = 0;
    uint32_t hash_ = 0;      // of the last kMinLength bytes
    uint32_t long_hash_ = 0; // of the last kLongLength bytes
    size_t pending_ = 0;     // the slots of the context before the last byte
    size_t pending_long_ = 0;
};

}  // namespace strong
}  // namespace vellum
