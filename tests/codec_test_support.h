// Whole-entry coding through the codec alone, as a driver does it for one file
// held in one block: reset, code the span(s), flush.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/code_span.h"

namespace vellum::test {

constexpr ContextMode kRuns = ContextMode::match_runs;
constexpr ContextMode kLiterals = ContextMode::literals_only;
constexpr ContextMode kLength = ContextMode::match_length;
constexpr ContextMode kEveryMode[] = {kRuns, kLiterals, kLength};

inline std::string mode_text(ContextMode mode) {
    switch (mode) {
        case kRuns: return "match_runs";
        case kLiterals: return "literals_only";
        case kLength: return "match_length";
    }
    return "mode " + std::to_string(static_cast<uint32_t>(mode));
}

inline CodecParams params_with(ContextMode mode, uint32_t order, uint32_t first, uint32_t step,
                               uint32_t inherit, uint32_t rate, uint32_t d1 = 1,
                               uint32_t d2 = 2) {
    CodecParams p;
    p.context_mode = mode;
    p.hash_order = order;
    p.match_first_run = first;
    p.match_run_step = step;
    p.inherit_order1 = inherit;
    p.adapt_rate = rate;
    p.ctx_distance_1 = d1;
    p.ctx_distance_2 = d2;
    return p;
}

// Codes `data` as one entry cut into blocks of `block` bytes (normal mode) and
// returns the coded bytes, flush included. `state` must be in an operation.
inline std::vector<uint8_t> encode_blocks(CodecState& state, const CodecParams& params,
                                          std::vector<uint8_t> data, size_t block,
                                          SpanKind kind = SpanKind::block_normal) {
    VectorSink sink;
    {
        ByteWriter writer(sink);
        ArithmeticCoder<Direction::compress> coder;
        state.begin_entry(params);
        coder.start_encoding(writer);
        size_t pos = 0;
        do {
            size_t len = std::min(block, data.size() - pos);
            code_span<Direction::compress>(state, params, coder, data.data() + pos,
                                           Span{0, len, kind});
            state.match.base_position += len;
            pos += len;
        } while (pos < data.size());
        coder.flush();
        state.end_entry();
        writer.flush();
    }
    return sink.bytes;
}

struct Decoded {
    bool ok = false;
    std::vector<uint8_t> data;
    uint64_t consumed = 0;
};

inline Decoded decode_blocks(CodecState& state, const CodecParams& params,
                             const std::vector<uint8_t>& coded, size_t size, size_t block,
                             SpanKind kind = SpanKind::block_normal) {
    Decoded out;
    out.data.resize(size);
    MemorySource source(coded.data(), coded.size());
    ByteReader reader(source, coded.size());
    ArithmeticCoder<Direction::extract> coder;
    state.begin_entry(params);
    coder.start_decoding(reader);
    std::vector<uint8_t> buffer(std::min(block, size) + 1);
    size_t pos = 0;
    out.ok = true;
    do {
        size_t len = std::min(block, size - pos);
        if (!code_span<Direction::extract>(state, params, coder, buffer.data(),
                                           Span{0, len, kind})) {
            out.ok = false;
            break;
        }
        std::copy(buffer.begin(), buffer.begin() + len, out.data.begin() + pos);
        state.match.base_position += len;
        pos += len;
    } while (pos < size);
    state.end_entry();
    if (reader.overrun()) out.ok = false;
    out.consumed = reader.consumed();
    return out;
}

}  // namespace vellum::test
