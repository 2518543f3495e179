#include "codec/code_span.h"

namespace vellum {
namespace {

// One coded bit with the probability in `slot`, which then takes its next value.
// The compressor codes the bit it is given; the extractor decodes one instead.
template <Direction D>
struct BitCoder {
    ArithmeticCoder& coder;
    const uint8_t* next;  // the update table

    int code(int bit, uint8_t& slot) {
        if constexpr (D == Direction::compress) {
            coder.encode_bit(bit, slot);
        } else {
            bit = coder.decode_bit(slot);
        }
        slot = next[2 * slot + bit];
        return bit;
    }
};

constexpr bool kCompressing(Direction d) { return d == Direction::compress; }

template <Direction D>
class SpanLoop {
public:
    SpanLoop(CodecState& state, const CodecParams& params, ArithmeticCoder& coder,
             uint8_t* buffer, const Span& span)
        : bits_{coder, state.update.next},
          literal_(state.literal),
          match_(state.match),
          params_(params),
          buffer_(buffer),
          end_(span.end),
          context_start_(context_start(span, params)),
          packed_(span.kind == SpanKind::packed),
          reset_stale_(span.kind == SpanKind::block_normal) {}

    bool run(size_t position, const SpanProgress* progress) {
        size_t next_tick = progress && progress->tick ? position + SpanProgress::kInterval : ~size_t{0};
        while (position < end_) {
            position = step(position);
            if (position >= next_tick) {
                if (!progress->tick(progress->context, position)) return false;
                next_tick = position + SpanProgress::kInterval;
            }
            if constexpr (!kCompressing(D)) {
                if (damaged_ || bits_.coder.in->overrun()) return false;
            }
        }
        return true;
    }

private:
    static constexpr size_t kDamaged = ~size_t{0};

    // Codes the byte at `position` with tree `context`; the extractor stores it
    // before anything reads that position.
    void literal(uint32_t context, size_t position) {
        const uint32_t v = kCompressing(D) ? buffer_[position] : 0;
        const uint32_t coded = code_literal(bits_, literal_.tree(context), v);
        if constexpr (!kCompressing(D)) buffer_[position] = static_cast<uint8_t>(coded);
    }

    // One step from `position`; returns the position after the bytes it covered.
    size_t step(size_t position) {
        if (params_.context_mode == 1 || position < context_start_) {
            uint32_t context = 0;
            if (params_.context_mode == 1 && position > context_start_)
                context = literal_.select_literal_context(
                    buffer_[position - params_.ctx_distance_1],
                    buffer_[position - params_.ctx_distance_2], params_.inherit_order1);
            literal(context, position);
            return position + 1;
        }

        // Modes 0 and 2: the literal context is chosen (with its side effects)
        // even when a match then covers the byte.
        const uint32_t a = packed_ ? buffer_[position - params_.ctx_distance_1] : buffer_[position - 1];
        const uint32_t b = packed_ ? buffer_[position - params_.ctx_distance_2] : buffer_[position - 2];
        const uint32_t context = literal_.select_literal_context(a, b, params_.inherit_order1);

        const uint32_t h = context_hash(buffer_, position, params_.hash_order);
        if constexpr (kCompressing(D)) {
            // The compressor already knows the next context: start fetching its
            // slot, a likely cache miss, while this position is coded.
            if (position + 1 < end_)
                __builtin_prefetch(&match_.match_positions[context_hash(buffer_, position + 1,
                                                                        params_.hash_order)]);
        }
        const uint64_t e = match_.match_positions[h];
        uint8_t* pair = &match_.match_probabilities[2 * size_t{h}];
        match_.match_positions[h] = match_.base_position + position + 1;

        size_t q = 0;
        bool candidate = false;
        if (e <= match_.base_position) {
            // Normal mode starts match statistics afresh in every block; solid
            // mode only for slots never written in this operation.
            if (reset_stale_ || e == 0) pair[0] = pair[1] = 128;
        } else {
            // q is an earlier position of this buffer, at least the context start
            // of the span that wrote it; the bounds test only guards damaged runs.
            q = static_cast<size_t>(e - match_.base_position - 1);
            candidate = q >= 2 && q < position && buffer_[q - 1] == buffer_[position - 1] &&
                        buffer_[q - 2] == buffer_[position - 2];
        }
        if (!candidate) {
            literal(context, position);
            return position + 1;
        }
        return params_.context_mode == 0 ? match_runs(context, position, q, pair)
                                         : match_length(context, position, q, pair);
    }

    // Mode 0: a flag (1 = no match), then a match as a count of verified runs of
    // growing length: match_first_run, then match_run_step more each time.
    size_t match_runs(uint32_t context, size_t position, size_t q, uint8_t* pair) {
        size_t found = 0;
        if constexpr (kCompressing(D)) found = verified_runs(position, q);

        if (bits_.code(found == 0, pair[1])) {
            literal(context, position);
            return position + 1;
        }
        size_t length = 0;
        size_t run = params_.match_first_run;
        for (;;) {
            const int last = bits_.code(kCompressing(D) && length + run == found, pair[0]);
            length += run;
            if (length > end_ - position) return damage();
            if (last) break;
            run += params_.match_run_step;
        }
        copy_match(position, q, length);
        return position + length;
    }

    // Length covered by whole runs of bytes equal to those after q; a run that
    // would pass the span's end fails.
    size_t verified_runs(size_t position, size_t q) const {
        size_t n = 0;
        for (size_t run = params_.match_first_run; run <= end_ - position - n;
             run += params_.match_run_step) {
            for (size_t i = 0; i < run; ++i)
                if (buffer_[q + n + i] != buffer_[position + n + i]) return n;
            n += run;
        }
        return n;
    }

    // Mode 2: the literal first; if it equals the predicted byte, the number n of
    // matching bytes from here, as a unary class (run_probability) and its low bits
    // (flag_probability): class k covers n - base in 1..2^k.
    size_t match_length(uint32_t context, size_t position, size_t q, uint8_t* pair) {
        literal(context, position);
        if (buffer_[position] != buffer_[q]) return position + 1;

        size_t n = 0;
        if constexpr (kCompressing(D)) {
            while (position + n < end_ && buffer_[q + n] == buffer_[position + n]) ++n;
        }
        const size_t room = end_ - position;
        uint64_t base = 0;
        unsigned k = 1;
        while (bits_.code(kCompressing(D) && n - base > (uint64_t{1} << k), pair[0])) {
            base += uint64_t{1} << k;
            ++k;
            if (base >= room) return damage();
        }
        const uint64_t low = kCompressing(D) ? n - base - 1 : 0;
        uint64_t w = 0;
        for (int j = static_cast<int>(k) - 1; j >= 0; --j)
            w = w * 2 + static_cast<uint64_t>(bits_.code((low >> j) & 1, pair[1]));
        const uint64_t length = base + w + 1;
        if (length > room) return damage();
        copy_match(position + 1, q + 1, static_cast<size_t>(length) - 1);
        return position + static_cast<size_t>(length);
    }

    // The extractor copies forward byte by byte: source and destination may
    // overlap, and each copied byte serves as the source of a later one.
    void copy_match(size_t to, size_t from, size_t length) {
        if constexpr (!kCompressing(D)) {
            for (size_t i = 0; i < length; ++i) buffer_[to + i] = buffer_[from + i];
        }
    }

    size_t damage() {
        damaged_ = true;
        return end_;
    }

    BitCoder<D> bits_;
    LiteralModel& literal_;
    MatchModel& match_;
    const CodecParams& params_;
    uint8_t* buffer_;
    const size_t end_;
    const size_t context_start_;
    const bool packed_;
    const bool reset_stale_;
    bool damaged_ = false;
};

}  // namespace

template <Direction D>
bool code_span(CodecState& state, const CodecParams& params, ArithmeticCoder& coder,
               uint8_t* buffer, const Span& span, const SpanProgress* progress) {
    return SpanLoop<D>(state, params, coder, buffer, span).run(span.start, progress);
}

template bool code_span<Direction::compress>(CodecState&, const CodecParams&, ArithmeticCoder&,
                                             uint8_t*, const Span&, const SpanProgress*);
template bool code_span<Direction::extract>(CodecState&, const CodecParams&, ArithmeticCoder&,
                                            uint8_t*, const Span&, const SpanProgress*);

}  // namespace vellum
