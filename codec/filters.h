// Reversible in-place pre-filters for one region of the block buffer (a block,
// or a whole small file in solid mode). Each region starts afresh: no state is
// carried from one region to the next, so compressor and extractor must cut a
// file into the same regions.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace vellum
