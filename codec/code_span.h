// The position loop: walks one span of the block buffer and codes each position
// either as a literal (order 0/1/2 tree) or through the match model.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/arithmetic_coder.h"
#include "codec/codec_params.h"
#include "codec/codec_state.h"

namespace vellum {

enum class SpanKind {
    block_normal,  // one block of a file, normal mode: stale match slots reset
    block_solid,   // one block of a file too large to share the solid buffer
    packed,        // a whole small file at its fill offset in the solid buffer
};

struct Span {
    size_t start;  // first position (0 for blocks, the fill offset for packed files)
    size_t end;    // one past the last position
    SpanKind kind;
};

// Literal contexts and the match model start here; before it, order 0 only.
inline size_t context_start(const Span& span, const CodecParams& params) {
    return span.kind == SpanKind::packed ? span.start + 16 : params.hash_order;
}

// Called about every kInterval positions while a span is coded, so a front end can
// show live progress inside one large block, and stop it. It must not touch the
// codec. Returning false ends the span there (code_span then returns false).
struct SpanProgress {
    // Every 256 KiB: often enough for a window to stay responsive and a stop to
    // be seen soon, rare enough to cost nothing against the coding.
    static constexpr size_t kInterval = size_t{1} << 18;
    bool (*tick)(void* context, size_t position) = nullptr;
    void* context = nullptr;
};

// Compressor: codes buffer[start, end). Extractor: decodes into buffer[start, end),
// reading contexts and match sources from the bytes before them. The match model
// reads and writes state.match.base_position but never moves it; the drivers do.
// Returns false when extracting damaged data (a match that would leave the span,
// or coded bytes that run out; the bytes decoded so far are then unreliable), or
// when the progress tick asked to stop (the span is then unfinished).
template <Direction D>
bool code_span(CodecState& state, const CodecParams& params, ArithmeticCoder<D>& coder,
               uint8_t* buffer, const Span& span, const SpanProgress* progress = nullptr);

extern template bool code_span<Direction::compress>(CodecState&, const CodecParams&,
                                                    ArithmeticCoder<Direction::compress>&,
                                                    uint8_t*, const Span&, const SpanProgress*);
extern template bool code_span<Direction::extract>(CodecState&, const CodecParams&,
                                                   ArithmeticCoder<Direction::extract>&,
                                                   uint8_t*, const Span&, const SpanProgress*);

}  // namespace vellum
