// All of the codec's tables in one object. Whoever runs a command owns one for
// the command's whole run (the desktop program keeps one for the process); nothing
// in the codec is global, so tests and tools can each have their own.
#pragma once

#include "codec/codec_params.h"
#include "codec/literal_model.h"
#include "codec/match_model.h"
#include "codec/strong/strong_codec.h"
#include "codec/update_table.h"

namespace vellum {

struct CodecState {
    ProbabilityUpdateTable update{};
    LiteralModel literal;
    MatchModel match;
    // The strong codec's tables (up to about 215 MiB), taken the first time an
    // entry uses it and kept for the state's life.
    strong::StrongState strong;

    // The fixed tables could all be had (they are taken when the state is made).
    bool ready() const {
        return !literal.context_trees.empty() && !literal.context_seen.empty() &&
               !match.match_probabilities.empty();
    }

    // Start of a compress or extract operation: zero positions, base 0, no
    // context seen. False when memory runs out.
    bool begin_operation() {
        if (!ready() || !match.begin_operation()) return false;
        literal.clear_seen();
        strong.end_run();
        return true;
    }
    // End of the operation: the position table is released.
    void end_operation() { match.end_operation(); }

    // Start of every coded entry, once its parameters are known.
    void begin_entry(const CodecParams& params) {
        literal.reset_order0();
        build_update_table(update, params.adapt_rate);
    }
    // End of every coded entry, with the coder's flush.
    void end_entry() { literal.clear_seen(); }
};

}  // namespace vellum
