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

// A packed file's literal contexts and match model start this far into it.
constexpr size_t kPackedContextStart = 16;

// Literal contexts and the match model start here; before it, order 0 only.
inline size_t context_start(const Span& span, const CodecParams& params) {
    return span.kind == SpanKind::packed ? span.start + kPackedContextStart : params.hash_order;
}

// The loop reads bytes before a position without a bounds test. From
// context_start on: in the match modes, the hash_order bytes of the match
// context and the bytes 1 and 2 back (the candidate test); the literal context
// bytes ctx_distance_1 and ctx_distance_2 back (1 and 2 back in a block of a
// match mode). None of them may
// reach before the span's start (0 for a block, the file's fill offset for a
// packed file), and none does when:
// - hash_order is 2..16 and both distances 1..16: a packed file's contexts start
//   16 bytes in, a block's at hash_order;
// - in literals_only, both distances are at most hash_order (ctx_distance_2 <=
//   hash_order): a block's contexts start just past hash_order.
// The class table is checked against this at compile time (file_class.cpp).
constexpr bool contexts_within_reach(const CodecParams& params) {
    const auto in_range = [](uint32_t v, uint32_t low, uint32_t high) { return v >= low && v <= high; };
    if (!in_range(params.hash_order, 2, kPackedContextStart)) return false;
    if (!in_range(params.ctx_distance_1, 1, kPackedContextStart) ||
        !in_range(params.ctx_distance_2, 1, kPackedContextStart))
        return false;
    if (params.context_mode != ContextMode::literals_only) return true;
    return params.ctx_distance_1 <= params.hash_order && params.ctx_distance_2 <= params.hash_order;
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
// reads and writes state.match.base_position but never moves it; the entry loop
// does (entry_coder.h).
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
