// Reversible in-place pre-filters for one region of the block buffer (a block,
// or a whole small file in solid mode). Each region starts afresh: no state is
// carried from one region to the next, so compressor and extractor must cut a
// file into the same regions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/codec_params.h"

namespace vellum {

constexpr uint32_t kMaxDeltaStride = 16;

// x86 call/jump filter: the 32-bit relative operands after E8 and E9 bytes become
// region offsets. Regions are at most 512 MiB, so every offset fits in 32 bits.
void e8e9_encode(uint8_t* region, size_t length);
void e8e9_decode(uint8_t* region, size_t length);

// Byte difference from the byte `stride` places earlier (the first stride bytes
// stay). False, with the region unchanged, for a stride outside 1..16.
bool delta_encode(uint8_t* region, size_t length, uint32_t stride);
bool delta_decode(uint8_t* region, size_t length, uint32_t stride);

// The file's pre-filter (CodecParams.prefilter: 0 none, 1 E8/E9, 2 delta with
// delta_stride) over one region, and its exact inverse.
void apply_prefilter(const CodecParams& params, uint8_t* region, size_t length);
void undo_prefilter(const CodecParams& params, uint8_t* region, size_t length);

// The inverse of a region's pre-filter while the region is still being decoded:
// its bytes are handed out as soon as they are final, undone on a copy, so the
// region itself keeps the filtered bytes the decoder reads its contexts from.
// The bytes handed out are exactly those undo_prefilter leaves in the region.
class StreamingUndo {
public:
    StreamingUndo(const CodecParams& params, const uint8_t* region, size_t length);
    // Bytes [0, available) of the region are decoded. Calls out(data, size) for
    // each piece that is now final, in order; out returns false once the bytes
    // can no longer be kept, and so does advance.
    template <class Out>
    bool advance(size_t available, Out out);
    size_t handed() const { return handed_; }

private:
    // The end of the bytes that are final once `available` are decoded, and the
    // operands (E8/E9) among them to rewrite.
    size_t final_end(size_t available);
    void undo_copy(size_t from, size_t to);

    const CodecParams& params_;
    const uint8_t* region_;
    const size_t length_;
    size_t handed_ = 0;
    // E8/E9: the scan position, and the operand positions found since the last
    // piece was handed out.
    int64_t scan_ = 0;
    std::vector<int64_t> operands_;
    // Delta: the history of each phase.
    uint8_t history_[kMaxDeltaStride] = {};
    uint32_t phase_ = 0;
    std::vector<uint8_t> copy_;
};

template <class Out>
bool StreamingUndo::advance(size_t available, Out out) {
    const size_t end = final_end(available);
    if (end <= handed_) return true;
    const size_t from = handed_;
    handed_ = end;
    if (params_.prefilter == 0) return out(region_ + from, end - from);
    undo_copy(from, end);
    return out(copy_.data(), end - from);
}

}  // namespace vellum
