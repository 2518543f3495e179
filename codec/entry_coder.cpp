#include "codec/entry_coder.h"

#include <algorithm>
#include <new>

#include "codec/arithmetic_coder.h"
#include "codec/code_span.h"
#include "codec/filters.h"

namespace vellum {

bool start_run(EntryRun& run, RunMode mode, size_t block_size) {
    run.block.reset(new (std::nothrow) uint8_t[block_size]);
    run.block_size = run.block ? block_size : 0;
    run.mode = mode;
    run.fill = 0;
    return run.block != nullptr;
}

void end_run(EntryRun& run) {
    run.block.reset();
    run.block_size = 0;
    run.fill = 0;
}

bool entry_sizes_sound(const CodecParams& params, uint64_t coded_length, uint64_t original_size) {
    if (params.store_raw) return coded_length == original_size;
    return coded_length >= ArithmeticCoder<Direction::extract>::kFlushBytes;
}

namespace {

// --- the rules of the run ------------------------------------------------------------

// Only solid runs pack.
bool is_packed(const EntryRun& run, uint64_t size) {
    return run.mode == RunMode::solid && fits_after_fill(run.fill, size, run.block_size);
}

// A file coded block by block starts at the buffer's start; in a solid run what
// the buffer held becomes history beyond reach.
void start_blocks(CodecState& state, EntryRun& run) {
    if (run.mode != RunMode::solid) return;
    state.match.base_position += run.fill;
    run.fill = 0;
}

// A block of `length` bytes from the buffer's start has been coded (or decoded,
// even when cut short by damage: every slot it wrote lies below the new base, so
// the next entry of a normal run codes as if it were alone).
void finish_block(CodecState& state, size_t length) { state.match.base_position += length; }

// Stored bytes are no span: they move neither base_position nor the fill
// offset, and the next file overwrites them.

SpanKind block_kind(const EntryRun& run) {
    return run.mode == RunMode::solid ? SpanKind::block_solid : SpanKind::block_normal;
}

// --- one entry in work ---------------------------------------------------------------

struct EntryWork {
    EntryWork(CodecState& s, EntryRun& r, const EntryHooks& h) : state(s), run(r), hooks(h) {}

    CodecState& state;
    EntryRun& run;
    const EntryHooks& hooks;
    EntryOutcome outcome;
    size_t region_start = 0;  // buffer offset of the region in work
    bool stopped = false;     // a hook asked to stop
    // Decoding to a sink: the region's bytes go out as they are decoded.
    StreamingUndo* undo = nullptr;
    OutputSink* sink = nullptr;
};

void hand_out_ready(EntryWork& w, size_t available) {
    w.undo->advance(available, [&w](const uint8_t* data, size_t size) { return w.sink->write(data, size); });
}

bool span_tick(void* context, size_t position) {
    EntryWork& w = *static_cast<EntryWork*>(context);
    if (w.undo) hand_out_ready(w, position - w.region_start);
    const uint64_t done = w.outcome.done + (position - w.region_start);
    if (w.hooks.tick && !w.hooks.tick(w.hooks.context, done)) w.stopped = true;
    return !w.stopped;
}

bool go_on(EntryWork& w) {
    if (w.hooks.go_on && !w.hooks.go_on(w.hooks.context, w.outcome.done)) w.stopped = true;
    return !w.stopped;
}

// Stored bytes move in pieces of SpanProgress::kInterval, with a tick between
// two pieces, so a large stored block shows live progress and can be stopped
// inside, as a coded one can. `move(at, length)` moves one piece of the region;
// false ends the region there.
template <class Move>
bool move_stored(EntryWork& w, size_t length, Move move) {
    for (size_t at = 0; at < length;) {
        const size_t piece = std::min(length - at, SpanProgress::kInterval);
        if (!move(at, piece)) return false;
        at += piece;
        if (at < length && w.hooks.tick && !w.hooks.tick(w.hooks.context, w.outcome.done + at)) {
            w.stopped = true;
            return false;
        }
    }
    return true;
}

void block_done(EntryWork& w) {
    if (w.hooks.block_done) w.hooks.block_done(w.hooks.context, w.outcome.done);
}

// Codes (or decodes) buffer[start, start + length) as one span. False when a
// hook stopped it, or when decoding found damage.
template <Direction D>
bool code_region(EntryWork& w, const CodecParams& params, ArithmeticCoder<D>& coder, size_t start,
                 size_t length, SpanKind kind) {
    w.outcome.history_moved = true;
    w.region_start = start;
    const SpanProgress progress{span_tick, &w};
    return code_span<D>(w.state, params, coder, w.run.block.get(), Span{start, start + length, kind},
                        w.hooks.tick || w.undo ? &progress : nullptr);
}

// --- encoding ----------------------------------------------------------------------------

struct Encoder {
    Encoder(CodecState& state, EntryRun& run, const EntryHooks& hooks, CodecParams& p,
            InputSource& s, ByteWriter& o)
        : work(state, run, hooks), params(p), source(s), out(o) {}

    EntryWork work;
    CodecParams& params;
    InputSource& source;
    ByteWriter& out;
    ArithmeticCoder<Direction::compress> coder;
    bool chosen = false;  // the parameters are set, the coder started
};

// Writes a stored region out unchanged.
bool store_region(Encoder& e, const uint8_t* data, size_t length) {
    return move_stored(e.work, length, [&e, data](size_t at, size_t piece) {
        e.out.write(data + at, piece);
        return true;
    });
}

bool read_source(Encoder& e, uint8_t* to, size_t length) {
    if (e.source.read(to, length) == length) return true;
    e.work.outcome.end = EntryEnd::source_short;
    return false;
}

// Once the first bytes are in the buffer: the parameters, then the entry's start.
void choose_parameters(Encoder& e, const uint8_t* first, size_t length) {
    const EntryHooks& hooks = e.work.hooks;
    if (hooks.choose) hooks.choose(hooks.context, first, length, &e.params);
    e.chosen = true;
    if (e.params.store_raw) return;
    e.work.state.begin_entry(e.params);
    e.coder.start_encoding(e.out);
}

// Filters the region in place and codes it.
bool encode_region(Encoder& e, size_t start, size_t length, SpanKind kind) {
    apply_prefilter(e.params, e.work.run.block.get() + start, length);
    return code_region(e.work, e.params, e.coder, start, length, kind);
}

// A small file of a solid run: read whole behind the files before it, so its
// contexts and matches can reach back into them.
bool encode_packed(Encoder& e, size_t size) {
    EntryRun& run = e.work.run;
    uint8_t* at = run.block.get() + run.fill;
    if (!read_source(e, at, size)) return false;
    choose_parameters(e, at, size);
    if (e.params.store_raw) {
        if (!store_region(e, at, size)) return false;
    } else {
        if (!encode_region(e, run.fill, size, SpanKind::packed)) return false;
        run.fill += size;
    }
    e.work.outcome.done = size;
    return true;
}

// The file in blocks of the buffer's size from offset 0, each filtered and coded
// on its own (normal mode, and files too large for the solid buffer).
bool encode_blocks(Encoder& e, uint64_t size) {
    EntryWork& w = e.work;
    if (w.run.mode == RunMode::solid) w.outcome.history_moved = true;
    start_blocks(w.state, w.run);
    uint8_t* buffer = w.run.block.get();
    const SpanKind kind = block_kind(w.run);
    do {
        if (!go_on(w)) return false;
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(w.run.block_size, size - w.outcome.done));
        if (!read_source(e, buffer, length)) return false;
        if (!e.chosen) choose_parameters(e, buffer, length);
        if (e.params.store_raw) {
            if (!store_region(e, buffer, length)) return false;
        } else {
            const bool whole = encode_region(e, 0, length, kind);
            finish_block(w.state, length);
            if (!whole) return false;
        }
        w.outcome.done += length;
        block_done(w);
    } while (w.outcome.done < size);
    return true;
}

// --- decoding ----------------------------------------------------------------------------

struct Decoder {
    Decoder(CodecState& state, EntryRun& run, const EntryHooks& hooks, const CodecParams& p,
            ByteReader& i, OutputSink* s)
        : work(state, run, hooks), params(p), in(i), sink(s) {}

    EntryWork work;
    const CodecParams& params;
    ByteReader& in;
    OutputSink* sink;
    ArithmeticCoder<Direction::extract> coder;
};

void hand_out(Decoder& d, const uint8_t* data, size_t length) {
    if (d.sink) d.sink->write(data, length);
}

// Reads a stored region into `to` and hands it out as it comes.
bool read_stored(Decoder& d, uint8_t* to, size_t length) {
    return move_stored(d.work, length, [&d, to](size_t at, size_t piece) {
        if (d.in.read(to + at, piece) != piece) return false;
        hand_out(d, to + at, piece);
        return true;
    });
}

// Decodes one region, handing its bytes to the sink as they become final (every
// tick of the position loop, then the rest), unfiltered on copies: the buffer
// keeps exactly the filtered bytes the compressor had there, the history of
// every later position and file.
bool decode_region(Decoder& d, size_t start, size_t length, SpanKind kind) {
    EntryWork& w = d.work;
    if (!d.sink) return code_region(w, d.params, d.coder, start, length, kind);
    StreamingUndo undo(d.params, w.run.block.get() + start, length);
    w.undo = &undo;
    w.sink = d.sink;
    const bool sound = code_region(w, d.params, d.coder, start, length, kind);
    if (sound) hand_out_ready(w, length);
    w.undo = nullptr;
    return sound;
}

// A small entry of a solid run, decoded at the fill offset.
bool decode_packed(Decoder& d, size_t size) {
    EntryRun& run = d.work.run;
    uint8_t* at = run.block.get() + run.fill;
    if (d.params.store_raw) {
        if (!read_stored(d, at, size)) return false;
    } else {
        if (!decode_region(d, run.fill, size, SpanKind::packed)) return false;
        run.fill += size;
    }
    d.work.outcome.done = size;
    return true;
}

// The file in blocks of the buffer's size from offset 0, as encode_blocks cut it.
bool decode_blocks(Decoder& d, uint64_t size) {
    EntryWork& w = d.work;
    if (w.run.mode == RunMode::solid) w.outcome.history_moved = true;
    start_blocks(w.state, w.run);
    uint8_t* buffer = w.run.block.get();
    const SpanKind kind = block_kind(w.run);
    do {
        if (!go_on(w)) return false;
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(w.run.block_size, size - w.outcome.done));
        if (d.params.store_raw) {
            if (!read_stored(d, buffer, length)) return false;
        } else {
            const bool sound = decode_region(d, 0, length, kind);
            finish_block(w.state, length);
            if (!sound) return false;
        }
        w.outcome.done += length;
        block_done(w);
    } while (w.outcome.done < size);
    return true;
}

}  // namespace

EntryOutcome encode_entry(CodecState& state, EntryRun& run, CodecParams& params,
                          InputSource& source, uint64_t size, ByteWriter& out,
                          const EntryHooks& hooks) {
    Encoder e(state, run, hooks, params, source, out);
    const bool whole = is_packed(run, size) ? encode_packed(e, static_cast<size_t>(size))
                                            : encode_blocks(e, size);
    const bool coded = e.chosen && !params.store_raw;
    if (whole && coded) e.coder.flush();
    // Every coded entry ends here, whole or not, so the next one starts clean.
    if (coded) state.end_entry();
    if (e.work.stopped) e.work.outcome.end = EntryEnd::stopped;
    return e.work.outcome;
}

EntryOutcome decode_entry(CodecState& state, EntryRun& run, const CodecParams& params,
                          InputSource& coded, uint64_t coded_length, uint64_t size,
                          OutputSink* sink, const EntryHooks& hooks) {
    EntryOutcome damaged;
    damaged.end = EntryEnd::damaged;
    if (!entry_sizes_sound(params, coded_length, size)) return damaged;
    ByteReader in(coded, coded_length);
    Decoder d(state, run, hooks, params, in, sink);
    if (!params.store_raw) {
        state.begin_entry(params);
        d.coder.start_decoding(in);
    }
    const bool whole = is_packed(run, size) ? decode_packed(d, static_cast<size_t>(size))
                                            : decode_blocks(d, size);
    if (!params.store_raw) state.end_entry();
    EntryOutcome& outcome = d.work.outcome;
    if (d.work.stopped) {
        outcome.end = EntryEnd::stopped;
    } else if (!whole || in.overrun() || in.consumed() != coded_length) {
        // A sound entry ends exactly where its coded data ends.
        outcome.end = EntryEnd::damaged;
    }
    return outcome;
}

}  // namespace vellum
