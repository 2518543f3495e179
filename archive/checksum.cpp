#include "archive/checksum.h"

#include <cstring>

namespace vellum {
namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

inline uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

// Little-endian reads at any alignment.
inline uint64_t read64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
inline uint32_t read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t mix_lane(uint64_t lane, uint64_t input) {
    lane += input * kPrime2;
    return rotl(lane, 31) * kPrime1;
}

inline uint64_t merge_lane(uint64_t hash, uint64_t lane) {
    hash ^= mix_lane(0, lane);
    return hash * kPrime1 + kPrime4;
}

inline void stripe(uint64_t lanes[4], const uint8_t* p) {
    for (int i = 0; i < 4; ++i) lanes[i] = mix_lane(lanes[i], read64(p + 8 * i));
}

}  // namespace

Checksum::Checksum() {
    lanes_[0] = kPrime1 + kPrime2;
    lanes_[1] = kPrime2;
    lanes_[2] = 0;
    lanes_[3] = 0 - kPrime1;
}

void Checksum::update(const void* bytes, size_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    total_ += count;
    if (pending_size_ > 0) {
        const size_t take = count < 32 - pending_size_ ? count : 32 - pending_size_;
        std::memcpy(pending_ + pending_size_, p, take);
        pending_size_ += take;
        p += take;
        count -= take;
        if (pending_size_ < 32) return;
        stripe(lanes_, pending_);
        pending_size_ = 0;
    }
    for (; count >= 32; p += 32, count -= 32) stripe(lanes_, p);
    std::memcpy(pending_, p, count);
    pending_size_ = count;
}

uint64_t Checksum::digest() const {
    uint64_t hash;
    if (total_ >= 32) {
        hash = rotl(lanes_[0], 1) + rotl(lanes_[1], 7) + rotl(lanes_[2], 12) + rotl(lanes_[3], 18);
        for (int i = 0; i < 4; ++i) hash = merge_lane(hash, lanes_[i]);
    } else {
        hash = kPrime5;  // the seed, 0, plus the fifth prime
    }
    hash += total_;
    const uint8_t* p = pending_;
    size_t left = pending_size_;
    for (; left >= 8; p += 8, left -= 8) {
        hash ^= mix_lane(0, read64(p));
        hash = rotl(hash, 27) * kPrime1 + kPrime4;
    }
    if (left >= 4) {
        hash ^= static_cast<uint64_t>(read32(p)) * kPrime1;
        hash = rotl(hash, 23) * kPrime2 + kPrime3;
        p += 4;
        left -= 4;
    }
    for (; left > 0; ++p, --left) {
        hash ^= *p * kPrime5;
        hash = rotl(hash, 11) * kPrime1;
    }
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}

uint64_t checksum_of(const void* bytes, size_t count) {
    Checksum sum;
    sum.update(bytes, count);
    return sum.digest();
}

}  // namespace vellum
