// Whole entries through the codec alone, as the drivers code them: the entry
// loop over a run of the tests' own, and named parameter shapes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/entry_coder.h"

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

using Bytes = std::vector<uint8_t>;

// Codes `data` as the next entry of `run` through the codec's entry loop and
// returns the coded bytes, flush included. `state` must be in an operation.
inline Bytes encode_in_run(CodecState& state, EntryRun& run, CodecParams params, const Bytes& data,
                           const EntryHooks& hooks = EntryHooks{}) {
    VectorSink sink;
    {
        ByteWriter writer(sink);
        MemorySource source(data.data(), data.size());
        const EntryOutcome outcome = encode_entry(state, run, params, source, data.size(), writer, hooks);
        EXPECT_EQ(outcome.end, EntryEnd::complete);
        EXPECT_EQ(outcome.done, data.size());
        writer.flush();
    }
    return sink.bytes;
}

struct Decoded {
    bool ok = false;  // complete: sound, and every coded byte used, no more
    Bytes data;       // what the decoder handed out
};

// Decodes the next entry of `run`, a file of `size` bytes coded as `coded`.
inline Decoded decode_in_run(CodecState& state, EntryRun& run, const CodecParams& params,
                             const Bytes& coded, uint64_t size, const EntryHooks& hooks = EntryHooks{}) {
    VectorSink sink;
    MemorySource source(coded.data(), coded.size());
    const EntryOutcome outcome = decode_entry(state, run, params, source, coded.size(), size, &sink, hooks);
    Decoded out;
    out.ok = outcome.end == EntryEnd::complete;
    out.data = std::move(sink.bytes);
    return out;
}

// A run of its own for one entry cut into blocks of `block` bytes. In normal
// mode the buffer is no larger than the entry, so that the sanitizer build
// catches any access past the data; the entry is cut alike either way.
inline EntryRun run_for(RunMode mode, size_t block, size_t size) {
    EntryRun run;
    const size_t room = mode == RunMode::normal ? std::max<size_t>(1, std::min(block, size)) : block;
    EXPECT_TRUE(start_run(run, mode, room));
    return run;
}

// One entry, as a driver codes a file in a run of its own: blocks of `block`
// bytes in normal mode (solid mode packs a file smaller than the block).
inline Bytes encode_blocks(CodecState& state, const CodecParams& params, const Bytes& data,
                           size_t block, RunMode mode = RunMode::normal) {
    EntryRun run = run_for(mode, block, data.size());
    return encode_in_run(state, run, params, data);
}

inline Decoded decode_blocks(CodecState& state, const CodecParams& params, const Bytes& coded,
                             size_t size, size_t block, RunMode mode = RunMode::normal) {
    EntryRun run = run_for(mode, block, size);
    return decode_in_run(state, run, params, coded, size);
}

}  // namespace vellum::test
