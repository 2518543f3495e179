// Per-file codec settings, derived from the file class stored in each entry.
#pragma once

#include <cstdint>

namespace vellum {

// How the position loop codes a byte (its values are the class table's and the
// entries' own: 0, 1, 2).
enum class ContextMode : uint32_t {
    // Literal contexts from the two preceding bytes; the match model codes a
    // flag at every candidate, then a match as a count of verified runs.
    match_runs = 0,
    // Literal contexts from the bytes at ctx_distance_1 and ctx_distance_2; no
    // match model.
    literals_only = 1,
    // Literal contexts from the two preceding bytes; every byte is a literal,
    // and after a literal equal to the predicted byte the match model codes the
    // number of further matching bytes.
    match_length = 2,
};

enum class CodecEngine : uint32_t {
    standard = 0,  // the position loop: literals and the match model
    strong = 1,    // the context-mixing coder of codec/strong
};

struct CodecParams {
    uint32_t hash_order = 5;       // bytes hashed into the match context; also where
                                   // literal contexts start in a block (2..16)
    uint32_t match_first_run = 2;  // bytes verified by the first run of a match (mode 0)
    uint32_t match_run_step = 1;   // growth of each further run (mode 0)
    uint32_t inherit_order1 = 1;   // a new context copies the next lower order's tree
    ContextMode context_mode = ContextMode::match_runs;
    uint32_t ctx_distance_1 = 1;   // distance of the first literal context byte (1..8)
    uint32_t ctx_distance_2 = 2;   // distance of the second literal context byte (1..16)
    uint32_t adapt_rate = 3;       // shift rate of the probability update table (3 or 4)
    uint32_t prefilter = 0;        // 0 none, 1 E8/E9 addresses, 2 delta
    uint32_t delta_stride = 1;     // period of the delta filter, used when prefilter is 2
    uint32_t store_raw = 0;        // 1: bytes stored unchanged, no filter, no coder
    // The engine that codes the filtered bytes: the position loop (the default
    // codec, every field above), or the strong codec (codec/strong), which
    // takes only the filter from the fields above and its models from
    // strong_base. The class field names the engine (archive/entry_codec.h).
    CodecEngine engine = CodecEngine::standard;
    uint32_t strong_base = 0;      // strong: the base class (0..27) that picks the models
    // Strong, solid runs only: the bytes are stored, and the strong history takes
    // them in (filtered) as if they had been coded, so the run goes on in step.
    uint32_t strong_stored = 0;
};

}  // namespace vellum
