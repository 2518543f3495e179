#include "codec/code_span.h"

namespace vellum {
namespace {

#if defined(__GNUC__) && !defined(__clang__)
#define VELLUM_UNROLL_8 _Pragma("GCC unroll 8")
#else
#define VELLUM_UNROLL_8
#endif

// Codes one byte through a tree, most significant bit first; the node index walks
// 1, 2..3, 4..7, ... 128..255. The compressor knows every node in advance.
// Both walks run on a copy of the coder that lives in registers for the byte and
// is stored back once, rather than once per bit.
inline uint32_t code_byte(ArithmeticCoder<Direction::compress>& coder, uint8_t* tree, uint32_t v) {
    ArithmeticCoder<Direction::compress> bits = coder;
    uint32_t node = 1;
    VELLUM_UNROLL_8
    for (int j = 7; j >= 0; --j) node = node * 2 + bits.code((v >> j) & 1, tree[node]);
    coder = bits;
    return node - 256;
}

// The extractor learns each node only from the bit before it. Both children's
// probabilities are loaded while the bit is decoded, so the load is off the
// chain from one bit to the next; the store into the node is to another byte.
// The last level has no children inside the tree.
inline uint32_t code_byte(ArithmeticCoder<Direction::extract>& coder, uint8_t* tree, uint32_t) {
    ArithmeticCoder<Direction::extract> bits = coder;
    uint32_t node = 1;
    uint32_t p = tree[1];
    VELLUM_UNROLL_8
    for (int j = 7; j > 0; --j) {
        const uint32_t zero = tree[2 * node];
        const uint32_t one = tree[2 * node + 1];
        const uint32_t bit = static_cast<uint32_t>(bits.code_with(0, p, tree[node]));
        node = node * 2 + bit;
        p = bit ? one : zero;
    }
    node = node * 2 + static_cast<uint32_t>(bits.code_with(0, p, tree[node]));
    coder = bits;
    return node - 256;
}

// A tree spans four cache lines; the walk reaches the last ones only at its end,
// one dependent load after another, so they are all asked for at once.
inline void prefetch_tree(const uint8_t* tree) {
    __builtin_prefetch(tree);
    __builtin_prefetch(tree + 64);
    __builtin_prefetch(tree + 128);
    __builtin_prefetch(tree + 192);
}

// The loop for one direction, one context mode and one span kind:
// everything fixed for a span is a template argument or a constant member, so a
// step decides nothing that the span already decided.
template <Direction D, ContextMode Mode, bool Packed, bool Compact = false>
class SpanLoop {
    static constexpr bool kLiteralsOnly = Mode == ContextMode::literals_only;

public:
    SpanLoop(CodecState& state, const CodecParams& params, ArithmeticCoder<D>& bits, uint8_t* buffer,
             const Span& span)
        : bits_(bits),
          literal_(state.literal),
          match_(state.match),
          positions_(state.match.match_positions.data()),
          probabilities_(state.match.match_probabilities.data()),
          base_(state.match.stale_limit()),
          buffer_(buffer),
          end_(span.end),
          context_start_(context_start(span, params)),
          hash_order_(params.hash_order),
          distance_1_(Packed || kLiteralsOnly ? params.ctx_distance_1 : 1),
          distance_2_(Packed || kLiteralsOnly ? params.ctx_distance_2 : 2),
          inherit_(params.inherit_order1),
          first_run_(params.match_first_run),
          run_step_(params.match_run_step),
          reset_stale_(span.kind == SpanKind::block_normal) {}

    // Codes from `position` to the span's end; false when the front end stops or
    // the extractor finds damage. A compact loop may return early, true with
    // `position` short of the end, when its table is full: the span goes on
    // from there in match_positions.
    bool run(size_t& position, const SpanProgress* progress) {
        const bool ticking = progress && progress->tick;
        // Checks for damage and progress come every kCheck positions or so; a
        // damaged stream only decodes garbage within the span meanwhile.
        constexpr size_t kCheck = size_t{1} << 16;
        size_t next_tick = ticking ? position + SpanProgress::kInterval : ~size_t{0};
        bool full = false;
        while (position < end_ && !full) {
            const size_t stop = end_ - position > kCheck ? position + kCheck : end_;
            if constexpr (Compact) {
                while (position < stop && !full) {
                    position = step(position);
                    full = !match_.fit_compact();
                }
            } else {
                while (position < stop) position = step(position);
            }
            if (position >= next_tick) {
                if (!progress->tick(progress->context, position)) return false;
                next_tick = position + SpanProgress::kInterval;
            }
            if constexpr (!is_compressing(D)) {
                if (damaged_ || bits_.in->overrun()) return false;
            }
        }
        return true;
    }

private:
    // Codes the byte at `position` with `tree`; the extractor stores it before
    // anything reads that position.
    void literal(uint8_t* tree, size_t position) {
        const uint32_t v = is_compressing(D) ? buffer_[position] : 0;
        const uint32_t coded = code_byte(bits_, tree, v);
        if constexpr (!is_compressing(D)) buffer_[position] = static_cast<uint8_t>(coded);
    }

    // Hash of the context at `position`: the one carried from the step before
    // when it was already computed there.
    uint32_t hash_at(size_t position) {
        if (position == carried_at_) return carried_hash_;
        return context_hash(buffer_, position, hash_order_);
    }

    // Computes the hash at `position` for the next step and starts fetching its
    // slot and probability pair, both likely cache misses.
    void look_ahead(size_t position) {
        if (position >= end_) return;
        carried_hash_ = context_hash(buffer_, position, hash_order_);
        carried_at_ = position;
        if constexpr (Compact) {
            __builtin_prefetch(&match_.compact_slots[match_.compact_home(carried_hash_)]);
        } else {
            __builtin_prefetch(&positions_[carried_hash_]);
            __builtin_prefetch(&probabilities_[carried_hash_]);
        }
    }

    // One step from `position`; returns the position after the bytes it covered.
    size_t step(size_t position) {
        // Context bytes are read without a bounds test: contexts_within_reach
        // (code_span.h) keeps them inside the span, ctx_distance_2 <= hash_order
        // in particular for the blocks of literals_only.
        if (kLiteralsOnly || position < context_start_) {
            uint32_t context = 0;
            if (kLiteralsOnly && position > context_start_)
                context = literal_.select_literal_context(buffer_[position - distance_1_],
                                                          buffer_[position - distance_2_], inherit_);
            literal(literal_.tree(context), position);
            return position + 1;
        }

        // With the match model: the literal context is chosen (with its side
        // effects) even when a match then covers the byte.
        const uint32_t h = hash_at(position);
        const uint32_t context = literal_.select_literal_context(
            buffer_[position - distance_1_], buffer_[position - distance_2_], inherit_);
        uint8_t* tree = literal_.tree(context);
        prefetch_tree(tree);
        // The compressor knows the next context already: its slot is fetched
        // while this position is coded. The extractor learns it with the byte.
        if constexpr (is_compressing(D)) look_ahead(position + 1);

        uint64_t e;
        MatchPair* pair;
        if constexpr (Compact) {
            // Live slots hold positions of this block: base_ + position + 1.
            MatchModel::CompactSlot* slot = match_.compact_slot(h);
            const uint32_t r = MatchModel::compact_position(*slot);
            e = r == 0 ? 0 : base_ + r;
            MatchModel::set_compact_position(*slot, static_cast<uint32_t>(position + 1));
            pair = &slot->pair;
        } else {
            uint32_t* slot = &positions_[h];
            e = *slot;
            pair = &probabilities_[h];
            *slot = static_cast<uint32_t>(base_ + position + 1);
        }

        size_t q = 0;
        bool candidate = false;
        if (e <= base_) {
            // Normal mode starts match statistics afresh in every block; solid
            // mode only for slots never written in this operation.
            if (reset_stale_ || e == 0) pair->run_probability = pair->flag_probability = 128;
        } else {
            // q is an earlier position of this buffer, at least the context start
            // of the span that wrote it; the bounds test only guards damaged runs.
            q = static_cast<size_t>(e - base_ - 1);
            candidate = q >= 2 && q < position && buffer_[q - 1] == buffer_[position - 1] &&
                        buffer_[q - 2] == buffer_[position - 2];
        }
        size_t next;
        if (!candidate) {
            literal(tree, position);
            next = position + 1;
        } else if (Mode == ContextMode::match_runs) {
            next = match_runs(tree, position, q, pair);
        } else {
            next = match_length(tree, position, q, pair);
        }
        if constexpr (!is_compressing(D)) look_ahead(next);
        return next;
    }

    // match_runs: a flag (1 = no match), then a match as a count of verified runs of
    // growing length: match_first_run, then match_run_step more each time.
    size_t match_runs(uint8_t* tree, size_t position, size_t q, MatchPair* pair) {
        size_t found = 0;
        if constexpr (is_compressing(D)) found = verified_runs(position, q);

        if (bits_.code(found == 0, pair->flag_probability)) {
            literal(tree, position);
            return position + 1;
        }
        size_t length = 0;
        size_t run = first_run_;
        for (;;) {
            const int last =
                bits_.code(is_compressing(D) && length + run == found, pair->run_probability);
            length += run;
            if (length > end_ - position) return damage();
            if (last) break;
            run += run_step_;
        }
        copy_match(position, q, length);
        return position + length;
    }

    // Length covered by whole runs of bytes equal to those after q; a run that
    // would pass the span's end fails.
    size_t verified_runs(size_t position, size_t q) const {
        size_t n = 0;
        for (size_t run = first_run_; run <= end_ - position - n; run += run_step_) {
            for (size_t i = 0; i < run; ++i)
                if (buffer_[q + n + i] != buffer_[position + n + i]) return n;
            n += run;
        }
        return n;
    }

    // match_length: the literal first; if it equals the predicted byte, the number n of
    // matching bytes from here, as a unary class (run_probability) and its low bits
    // (flag_probability): class k covers n - base in 1..2^k.
    size_t match_length(uint8_t* tree, size_t position, size_t q, MatchPair* pair) {
        literal(tree, position);
        if (buffer_[position] != buffer_[q]) return position + 1;

        size_t n = 0;
        if constexpr (is_compressing(D)) {
            while (position + n < end_ && buffer_[q + n] == buffer_[position + n]) ++n;
        }
        const size_t room = end_ - position;
        uint64_t base = 0;
        unsigned k = 1;
        while (bits_.code(is_compressing(D) && n - base > (uint64_t{1} << k), pair->run_probability)) {
            base += uint64_t{1} << k;
            ++k;
            if (base >= room) return damage();
        }
        const uint64_t low = is_compressing(D) ? n - base - 1 : 0;
        uint64_t w = 0;
        for (int j = static_cast<int>(k) - 1; j >= 0; --j)
            w = w * 2 + static_cast<uint64_t>(bits_.code((low >> j) & 1, pair->flag_probability));
        const uint64_t length = base + w + 1;
        if (length > room) return damage();
        copy_match(position + 1, q + 1, static_cast<size_t>(length) - 1);
        return position + static_cast<size_t>(length);
    }

    // The extractor copies forward byte by byte: source and destination may
    // overlap, and each copied byte serves as the source of a later one.
    void copy_match(size_t to, size_t from, size_t length) {
        if constexpr (!is_compressing(D)) {
            uint8_t* dst = buffer_ + to;
            const uint8_t* src = buffer_ + from;
            for (size_t i = 0; i < length; ++i) dst[i] = src[i];
        }
    }

    size_t damage() {
        damaged_ = true;
        return end_;
    }

    ArithmeticCoder<D>& bits_;
    LiteralModel& literal_;
    MatchModel& match_;
    uint32_t* const positions_;
    MatchPair* const probabilities_;
    const uint64_t base_;  // stored slot values not above it are stale
    uint8_t* const buffer_;
    const size_t end_;
    const size_t context_start_;
    const uint32_t hash_order_;
    const uint32_t distance_1_;
    const uint32_t distance_2_;
    const uint32_t inherit_;
    const uint32_t first_run_;
    const uint32_t run_step_;
    const bool reset_stale_;
    bool damaged_ = false;
    size_t carried_at_ = ~size_t{0};  // position whose hash is carried_hash_
    uint32_t carried_hash_ = 0;
};

// A normal block starts in a compact table and moves to match_positions only if
// it codes too many distinct hashes for one; the slots read the same either way.
template <Direction D, ContextMode Mode, bool Packed>
bool run_span(CodecState& state, const CodecParams& params, ArithmeticCoder<D>& bits, uint8_t* buffer,
              const Span& span, const SpanProgress* progress) {
    size_t position = span.start;
    if constexpr (Mode != ContextMode::literals_only && !Packed) {
        if (span.kind == SpanKind::block_normal && state.match.begin_compact(span.end)) {
            if (!SpanLoop<D, Mode, false, true>(state, params, bits, buffer, span)
                     .run(position, progress))
                return false;
            if (position >= span.end) return true;
            state.match.leave_compact();
        }
    }
    return SpanLoop<D, Mode, Packed>(state, params, bits, buffer, span).run(position, progress);
}

}  // namespace

template <Direction D>
bool code_span(CodecState& state, const CodecParams& params, ArithmeticCoder<D>& coder,
               uint8_t* buffer, const Span& span, const SpanProgress* progress) {
    constexpr ContextMode kRuns = ContextMode::match_runs;
    constexpr ContextMode kLength = ContextMode::match_length;
    if (params.context_mode != ContextMode::literals_only) state.match.fit_positions(span.end);
    // The loop codes through a copy of the entry's coder, carrying the entry's
    // update table, that lives in a local for the span and is stored back.
    ArithmeticCoder<D> bits = coder;
    bits.next = state.update.next;
    const bool packed = span.kind == SpanKind::packed;
    bool sound;
    if (params.context_mode == ContextMode::literals_only) {
        // Reads its contexts at the parameter distances in every kind.
        sound = run_span<D, ContextMode::literals_only, false>(state, params, bits, buffer, span,
                                                               progress);
    } else if (params.context_mode == kRuns) {
        sound = packed ? run_span<D, kRuns, true>(state, params, bits, buffer, span, progress)
                       : run_span<D, kRuns, false>(state, params, bits, buffer, span, progress);
    } else {  // match_length
        sound = packed ? run_span<D, kLength, true>(state, params, bits, buffer, span, progress)
                       : run_span<D, kLength, false>(state, params, bits, buffer, span, progress);
    }
    coder = bits;
    return sound;
}

template bool code_span<Direction::compress>(CodecState&, const CodecParams&,
                                             ArithmeticCoder<Direction::compress>&, uint8_t*,
                                             const Span&, const SpanProgress*);
template bool code_span<Direction::extract>(CodecState&, const CodecParams&,
                                            ArithmeticCoder<Direction::extract>&, uint8_t*,
                                            const Span&, const SpanProgress*);

}  // namespace vellum
