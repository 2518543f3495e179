#include "codec/literal_model.h"

#include <cstring>

namespace vellum {

LiteralModel::LiteralModel() : context_trees(kContexts * kTreeSize), context_seen(kContexts) {}

void LiteralModel::reset_order0() { std::memset(tree(0), 128, kTreeSize); }

void LiteralModel::clear_seen() { std::memset(context_seen.data(), 0, kContexts); }

void LiteralModel::set_up_context(uint32_t context, uint32_t lower, uint32_t inherit_order1) {
    // With inheritance, order-1 context 0 copies tree 0 onto itself: a no-op.
    if (!inherit_order1) {
        std::memset(tree(context), 128, kTreeSize);
    } else if (context != lower) {
        std::memcpy(tree(context), tree(lower), kTreeSize);
    }
    context_seen[context] = 1;
}

}  // namespace vellum
