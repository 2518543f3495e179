#include "codec/strong/strong_codec.h"

#include <new>

#include "codec/code_span.h"

namespace vellum {
namespace strong {

uint16_t strong_base_class(uint16_t rule_class, const uint8_t* first, size_t count) {
    if (rule_class != 0 || count == 0) return rule_class;
    // Text: no NUL, and at most 1 byte in 64 that is neither printable,
    // white space nor part of a UTF-8 sequence, within the first 64 KiB.
    const size_t n = count < 65536 ? count : 65536;
    size_t odd = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = first[i];
        if (c == 0) return rule_class;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') ++odd;
    }
    return odd * 64 <= n ? kTextClass : rule_class;
}

ModelSetup model_setup_for_class(uint16_t base_class, const CodecParams& params) {
    ModelSetup setup;
    switch (base_class) {
        case 1: case 3: case 5: case 9: setup.kind = ModelKind::text; break;
        case 4: setup.kind = ModelKind::executable; break;
        case 13: case 15: setup.kind = ModelKind::packed; break;
        default: setup.kind = ModelKind::binary; break;
    }
    if (params.prefilter == 2) {
        setup.kind = ModelKind::sampled;
        setup.stride = params.delta_stride;
    }
    return setup;
}

bool StrongState::ready() {
    if (model_) return true;
    model_.reset(new (std::nothrow) StrongModel);
    if (model_ && !model_->allocate()) model_.reset();
    return model_ != nullptr;
}

bool StrongState::begin_entry(uint16_t base_class, const CodecParams& params, uint64_t size, bool solid) {
    if (!ready()) return false;
    const ModelSetup setup = model_setup_for_class(base_class, params);
    if (solid && run_started_) {
        model_->grow(model_->position() + size);
        model_->set_up(setup);
    } else {
        model_->reset(setup, size, solid);
    }
    run_started_ = solid;
    return true;
}

namespace {

// Runs `step` over [0, length) in pieces of kPiece bytes, so that the
// decoder learns soon that a damaged entry's bytes ran out, and calls progress
// about every SpanProgress::kInterval bytes.
constexpr size_t kPiece = size_t{1} << 12;

template <class Step>
bool in_pieces(size_t length, const SpanProgress* progress, Step step) {
    size_t next_tick = SpanProgress::kInterval;
    for (size_t done = 0; done < length;) {
        const size_t n = length - done < kPiece ? length - done : kPiece;
        if (!step(done, n)) return false;
        done += n;
        if (done >= next_tick && done < length) {
            next_tick = done + SpanProgress::kInterval;
            if (progress && progress->tick && !progress->tick(progress->context, done)) return false;
        }
    }
    return true;
}

}  // namespace

bool strong_encode(StrongState& state, StrongEncoder& coder, const uint8_t* data, size_t length,
                   const SpanProgress* progress) {
    StrongModel& m = state.model();
    return in_pieces(length, progress, [&](size_t at, size_t n) {
        m.encode(coder, data + at, n);
        return true;
    });
}

bool strong_decode(StrongState& state, StrongDecoder& coder, uint8_t* data, size_t length,
                   const SpanProgress* progress) {
    StrongModel& m = state.model();
    return in_pieces(length, progress, [&](size_t at, size_t n) { return m.decode(coder, data + at, n); });
}

void strong_absorb(StrongState& state, const uint8_t* data, size_t length) {
    state.model().absorb(data, length);
}

}  // namespace strong
}  // namespace vellum
