#include "codec/strong/history_match.h"

#include <vector>

namespace vellum {
namespace strong {

void HistoryMatch::reset(uint32_t history_bits, uint32_t table_bits) {
    if (history_bits > max_history_bits_) history_bits = max_history_bits_;
    if (table_bits > max_table_bits_) table_bits = max_table_bits_;
    history_bits_ = history_bits;
    history_size_ = uint64_t{1} << history_bits;
    history_mask_ = history_size_ - 1;
    table_shift_ = 32 - table_bits;
    for (size_t i = 0, n = size_t{1} << table_bits; i < n; ++i) last_[i] = last_long_[i] = 0;
    pos_ = 0;
    target_ = 0;
    length_ = 0;
    expected_ = 0;
    hash_ = long_hash_ = 0;
    pending_ = pending_long_ = 0;
}

void HistoryMatch::grow(uint32_t history_bits, uint32_t table_bits) {
    if (history_bits > max_history_bits_) history_bits = max_history_bits_;
    if (table_bits > max_table_bits_) table_bits = max_table_bits_;
    if (history_bits > history_bits_) {
        const uint64_t kept = pos_ < history_size_ ? pos_ : history_size_;
        std::vector<uint8_t> bytes(static_cast<size_t>(kept));
        for (uint64_t i = 0; i < kept; ++i) bytes[static_cast<size_t>(i)] = back(static_cast<uint32_t>(kept - i));
        history_bits_ = history_bits;
        history_size_ = uint64_t{1} << history_bits;
        history_mask_ = history_size_ - 1;
        for (uint64_t i = 0; i < kept; ++i)
            history_[static_cast<size_t>((pos_ - kept + i) & history_mask_)] = bytes[static_cast<size_t>(i)];
    }
    // A slot is picked by the top bits of a product: one more bit splits slot
    // i into 2i and 2i + 1, which both start with what i held.
    for (uint32_t bits = this->table_bits(); bits < table_bits; ++bits) {
        for (size_t i = size_t{1} << bits; i-- > 0;) {
            last_[2 * i] = last_[2 * i + 1] = last_[i];
            last_long_[2 * i] = last_long_[2 * i + 1] = last_long_[i];
        }
        table_shift_ = 32 - (bits + 1);
    }
    pending_ = (hash_ * 0x9E3779B1u) >> table_shift_;
    pending_long_ = (long_hash_ * 0x2C1B3C6Du) >> table_shift_;
}

namespace {

// The long hash rolls: each byte is added at the bottom, and the byte
// kLongLength back leaves with the weight it has gathered by then.
constexpr uint32_t kLongBase = 0x01000193u;
constexpr uint32_t power(uint32_t base, uint32_t exponent) {
    uint32_t r = 1;
    for (uint32_t i = 0; i < exponent; ++i) r *= base;
    return r;
}
constexpr uint32_t kLongLeaving = power(kLongBase, HistoryMatch::kLongLength);

}  // namespace

void HistoryMatch::try_candidate(uint32_t seen, uint32_t needed) {
    // `seen` (low 32 bits) followed the same context as the byte just added,
    // at position - distance; it lies within the ring and after the start.
    const uint32_t distance = static_cast<uint32_t>(pos_) - seen;
    if (seen == 0 || distance < 2 || distance >= history_size_ - kVerify || distance > pos_) return;
    // The bytes that agree, from those two bytes backwards.
    uint32_t n = 0;
    while (n < kVerify && n + distance <= pos_ && back(distance + n) == back(n + 1)) ++n;
    if (n > needed && n > length_) {
        length_ = n;
        target_ = pos_ - distance + 1;
    }
}

void HistoryMatch::add(uint8_t byte) {
    const uint32_t leaving = pos_ >= kLongLength ? back(kLongLength) : 0;
    history_[static_cast<size_t>(pos_ & history_mask_)] = byte;
    ++pos_;
    // Five bits a byte over 30 bits: the hash forgets all but the last 6 bytes.
    hash_ = ((hash_ << 5) ^ byte) & 0x3FFFFFFF;
    long_hash_ = long_hash_ * kLongBase + byte - leaving * kLongLeaving;

    if (length_ != 0) {
        // check() has ended the repetition unless the byte was the expected one.
        ++target_;
        if (length_ < kMaxLength) ++length_;
    }
    // The slots of the context before the byte just added, asked for then:
    // a position that followed that context too and saw the same byte starts
    // a repetition (its first byte goes unpredicted, and the lookups never
    // wait for memory).
    if (pos_ > kLongLength) {
        if (length_ < kLongLength) try_candidate(last_long_[pending_long_], kLongLength);
        if (length_ == 0) try_candidate(last_[pending_], kMinLength);
        last_[pending_] = last_long_[pending_long_] = static_cast<uint32_t>(pos_ - 1);
    }
    pending_ = (hash_ * 0x9E3779B1u) >> table_shift_;
    pending_long_ = (long_hash_ * 0x2C1B3C6Du) >> table_shift_;
    __builtin_prefetch(&last_[pending_]);
    __builtin_prefetch(&last_long_[pending_long_]);
    if (length_ != 0) expected_ = history_[static_cast<size_t>(target_ & history_mask_)];
}

}  // namespace strong
}  // namespace vellum
