#include "codec/filters.h"

#include <algorithm>

namespace vellum {

// --- E8/E9 --------------------------------------------------------------------------

// Operands are signed 32-bit little-endian at any alignment; assembled byte by
// byte, and widened to 64 bits so no sum below can overflow.
static int64_t read_operand(const uint8_t* p) {
    const uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                       (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return u >= 0x80000000u ? static_cast<int64_t>(u) - 0x100000000LL : static_cast<int64_t>(u);
}

static void write_operand(uint8_t* p, int64_t value) {
    const uint32_t u = static_cast<uint32_t>(value);  // modulo 2^32: two's complement bytes
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
}

// In range [-i, n - i), a relative target becomes the absolute a + i in [0, n).
// A positive operand that would collide with those values moves to a - n, in
// [-i, 0). Everything else (a < -i or a >= n) stays, and decoding tells the
// three apart by the same bounds.
static int64_t encode_operand(int64_t a, int64_t i, int64_t n) {
    if (a >= -i && a < n - i) return a + i;
    if (a > 0 && a < n) return a - n;
    return a;
}

static int64_t decode_operand(int64_t a, int64_t i, int64_t n) {
    if (a < 0) return a + i >= 0 ? a + n : a;
    return a < n ? a - i : a;
}

// The scan stops before n - 4, so an operand always lies inside the region; the
// four operand bytes are skipped, never taken for opcodes.
template <int64_t (*Transform)(int64_t, int64_t, int64_t)>
static void e8e9_scan(uint8_t* region, size_t length) {
    const int64_t n = static_cast<int64_t>(length);
    int64_t i = 0;
    while (i < n - 4) {
        const uint8_t b = region[i];
        ++i;
        if (b != 0xE8 && b != 0xE9) continue;
        write_operand(region + i, Transform(read_operand(region + i), i, n));
        i += 4;
    }
}

void e8e9_encode(uint8_t* region, size_t length) {
    e8e9_scan<encode_operand>(region, length);
}

void e8e9_decode(uint8_t* region, size_t length) {
    e8e9_scan<decode_operand>(region, length);
}

// --- delta --------------------------------------------------------------------------

static bool valid_stride(uint32_t stride) {
    return stride >= 1 && stride <= kMaxDeltaStride;
}

bool delta_encode(uint8_t* region, size_t length, uint32_t stride) {
    if (!valid_stride(stride)) return false;
    uint8_t history[kMaxDeltaStride] = {};
    uint32_t phase = 0;
    for (size_t k = 0; k < length; ++k) {
        const uint8_t old = region[k];
        region[k] = static_cast<uint8_t>(old - history[phase]);
        history[phase] = old;
        if (++phase == stride) phase = 0;
    }
    return true;
}

bool delta_decode(uint8_t* region, size_t length, uint32_t stride) {
    if (!valid_stride(stride)) return false;
    uint8_t history[kMaxDeltaStride] = {};
    uint32_t phase = 0;
    for (size_t k = 0; k < length; ++k) {
        region[k] = static_cast<uint8_t>(region[k] + history[phase]);
        history[phase] = region[k];
        if (++phase == stride) phase = 0;
    }
    return true;
}

// --- streaming inverse ----------------------------------------------------------------

StreamingUndo::StreamingUndo(const CodecParams& params, const uint8_t* region, size_t length)
    : params_(params), region_(region), length_(length) {}

size_t StreamingUndo::final_end(size_t available) {
    if (available > length_) available = length_;
    if (params_.prefilter != 1) return available;
    // The scan of e8e9_scan, taken as far as the bytes allow: an opcode whose
    // operand is not all there yet waits, and every byte before the scan is final.
    const int64_t n = static_cast<int64_t>(length_);
    const int64_t there = static_cast<int64_t>(available);
    while (scan_ < n - 4 && scan_ < there) {
        const uint8_t b = region_[scan_];
        if (b != 0xE8 && b != 0xE9) {
            ++scan_;
            continue;
        }
        if (scan_ + 5 > there) break;
        operands_.push_back(scan_ + 1);
        scan_ += 5;
    }
    // Past the scan's end nothing is an opcode.
    if (scan_ >= n - 4) return available;
    return static_cast<size_t>(std::min(scan_, there));
}

void StreamingUndo::undo_copy(size_t from, size_t to) {
    copy_.assign(region_ + from, region_ + to);
    if (params_.prefilter == 1) {
        const int64_t n = static_cast<int64_t>(length_);
        for (int64_t at : operands_)
            write_operand(copy_.data() + (at - static_cast<int64_t>(from)),
                          decode_operand(read_operand(region_ + at), at, n));
        operands_.clear();
        return;
    }
    if (params_.prefilter == 2) {
        const uint32_t stride = params_.delta_stride;
        if (stride < 1 || stride > kMaxDeltaStride) return;
        for (uint8_t& byte : copy_) {
            byte = static_cast<uint8_t>(byte + history_[phase_]);
            history_[phase_] = byte;
            if (++phase_ == stride) phase_ = 0;
        }
    }
}

void apply_prefilter(const CodecParams& params, uint8_t* region, size_t length) {
    if (params.prefilter == 1) e8e9_encode(region, length);
    if (params.prefilter == 2) delta_encode(region, length, params.delta_stride);
}

void undo_prefilter(const CodecParams& params, uint8_t* region, size_t length) {
    if (params.prefilter == 1) e8e9_decode(region, length);
    if (params.prefilter == 2) delta_decode(region, length, params.delta_stride);
}

}  // namespace vellum
