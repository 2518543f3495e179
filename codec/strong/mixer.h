// The neural mixer: a weighted sum of the models' logits, one set of weights
// per mixer context, trained online to cut the coding cost.
//
// Inputs are logits (8 fractional bits, -2047..2047); weights are 16-bit with
// 1.0 = 2^kWeightShift. The dot product is exact 32-bit integer arithmetic, so
// the SSE2 path and the plain one give the same bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/strong/logistic.h"
#include "codec/zeroed_array.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vellum {
namespace strong {

constexpr int kWeightShift = 14;

// Sum of x[i] * w[i] over n (a multiple of 8) 16-bit values, 16-byte aligned.
inline int dot_product(const int16_t* x, const int16_t* w, int n) {
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    for (int i = 0; i < n; i += 8) {
        const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(x + i));
        const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(w + i));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(a, b));
    }
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 8));
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 4));
    return _mm_cvtsi128_si32(sum);
#else
    int32_t sum = 0;
    for (int i = 0; i < n; ++i) sum += int32_t{x[i]} * w[i];
    return sum;
#endif
}

// w[i] += round(x[i] * e / 2^16), saturating at the 16-bit limits. |x| is at
// most 2047, so 2x fits 16 bits.
inline void train(const int16_t* x, int16_t* w, int n, int e) {
#if defined(__SSE2__)
    const __m128i err = _mm_set1_epi16(static_cast<int16_t>(e));
    const __m128i one = _mm_set1_epi16(1);
    for (int i = 0; i < n; i += 8) {
        __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(x + i));
        const __m128i b = _mm_load_si128(reinterpret_cast<__m128i*>(w + i));
        a = _mm_mulhi_epi16(_mm_slli_epi16(a, 1), err);
        a = _mm_srai_epi16(_mm_adds_epi16(a, one), 1);
        _mm_store_si128(reinterpret_cast<__m128i*>(w + i), _mm_adds_epi16(b, a));
    }
#else
    for (int i = 0; i < n; ++i) {
        const int t = (int32_t{static_cast<int16_t>(x[i] * 2)} * e) >> 16;
        const int sum = w[i] + ((t + 1) >> 1);
        w[i] = static_cast<int16_t>(sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum);
    }
#endif
}

// Weight sets of Width inputs each (a multiple of 8).
template <int Width>
class Mixer {
public:
    static_assert(Width % 8 == 0, "whole 8-lane steps");

    bool allocate(size_t sets) { return weights_.allocate(sets * Width); }
    void reset(int initial) {
        for (size_t i = 0; i < weights_.size(); ++i) weights_[i] = static_cast<int16_t>(initial);
    }

    // The weight set `set`.
    int16_t* weights(size_t set) { return weights_.data() + set * Width; }
    // The mixed logit of `x` with weights `w` (not clamped).
    static int dot(const int16_t* x, const int16_t* w) { return dot_product(x, w, Width) >> kWeightShift; }
    // Trains `w` after a bit coded with the mixed probability p12.
    static void update(const int16_t* x, int16_t* w, int bit, int p12, int rate) {
        int e = ((bit << 12) - p12) * rate;
        e = e > 32767 ? 32767 : e < -32768 ? -32768 : e;
        train(x, w, Width, e);
    }

private:
    ZeroedArray<int16_t> weights_;
};

}  // namespace strong
}  // namespace vellum
