// The 64-bit checksum that metadata keeps of every file: the XXH64 function with
// seed 0, computed over the bytes in pieces as they pass. Archives store its value
// in 16 hex digits, so its definition can never change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellum {

class Checksum {
public:
    Checksum();
    void update(const void* bytes, size_t count);
    // The value of every byte given so far; more bytes may follow.
    uint64_t digest() const;

private:
    uint64_t lanes_[4];    // the four accumulators of the 32-byte stripes
    uint8_t pending_[32];  // bytes not yet a whole stripe
    size_t pending_size_ = 0;
    uint64_t total_ = 0;   // every byte given
};

// The checksum of one piece of memory.
uint64_t checksum_of(const void* bytes, size_t count);

}  // namespace vellum
