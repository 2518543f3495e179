// Order-0/1/2 literal model: one binary tree of probabilities per context, chosen
// by escalation (the highest order whose context has already occurred in this file).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/zeroed_array.h"

namespace vellum {

struct LiteralModel {
    // Context numbers share one space: order 0 is 0, order 1 for byte a is a,
    // order 2 for (a, b) is b * 256 + a. Order-1 context a and order-2 context
    // (a, 0) are therefore one tree with one seen flag, and context 0 serves
    // order 0 as well; the model relies on exactly this sharing.
    static constexpr size_t kContexts = 65536;
    // A tree is 256 probability bytes; nodes run 1..255, byte 0 is never used.
    static constexpr size_t kTreeSize = 256;

    // kContexts * kTreeSize = 16 MiB. A tree is read only after it has been set
    // up in the current file (or, for tree 0, reset at the entry's start), so the
    // table starts as untouched zero pages.
    ZeroedArray<uint8_t> context_trees;
    ZeroedArray<uint8_t> context_seen;  // kContexts flags: 1 = tree set up in this file

    LiteralModel();

    uint8_t* tree(uint32_t context) { return &context_trees[context * kTreeSize]; }

    // Start of every coded entry: the order-0 tree goes back to 128 throughout.
    void reset_order0();
    // End of every coded entry (and start of an operation): every context other
    // than a fresh tree 0 is set up again the first time a later file meets it.
    void clear_seen();

    // Returns the context number that codes the current byte, given the first (a)
    // and second (b) context byte. Meeting a new order-1 context sets up its tree
    // and codes with order 0; meeting a new order-2 context sets up its tree and
    // codes with order 1. The tree set up is never the one used for this byte.
    uint32_t select_literal_context(uint32_t a, uint32_t b, uint32_t inherit_order1) {
        const uint32_t o1 = a;
        const uint32_t o2 = b * 256 + a;
        if (!context_seen[o1]) {
            set_up_context(o1, 0, inherit_order1);
            return 0;
        }
        if (!context_seen[o2]) {
            set_up_context(o2, o1, inherit_order1);
            return o1;
        }
        return o2;
    }

private:
    // Fills tree `context` with 128, or copies tree `lower` as it stands now.
    void set_up_context(uint32_t context, uint32_t lower, uint32_t inherit_order1);
};

}  // namespace vellum
