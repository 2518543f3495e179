// Per-file codec settings, derived from the file class stored in each entry.
#pragma once

#include <cstdint>

namespace vellum {

struct CodecParams {
    uint32_t hash_order = 5;       // bytes hashed into the match context; also where
                                   // literal contexts start in a block (2..16)
    uint32_t match_first_run = 2;  // bytes verified by the first run of a match (mode 0)
    uint32_t match_run_step = 1;   // growth of each further run (mode 0)
    uint32_t inherit_order1 = 1;   // a new context copies the next lower order's tree
    uint32_t context_mode = 0;     // 0 flag+runs match, 1 no match model, 2 literal+length
    uint32_t ctx_distance_1 = 1;   // distance of the first literal context byte (1..8)
    uint32_t ctx_distance_2 = 2;   // distance of the second literal context byte (1..16)
    uint32_t adapt_rate = 3;       // shift rate of the probability update table (3 or 4)
    uint32_t prefilter = 0;        // 0 none, 1 E8/E9 addresses, 2 delta
    uint32_t delta_stride = 1;     // period of the delta filter, used when prefilter is 2
    uint32_t store_raw = 0;        // 1: bytes stored unchanged, no filter, no coder
};

}  // namespace vellum
