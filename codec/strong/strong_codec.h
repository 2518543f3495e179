// The strong codec for whole entries: a bitwise context-mixing coder chosen on
// request. An entry's class field names it and its version beside the base
// class (0..27, see archive/entry_codec.h); the base class still chooses the
// pre-filter, which the drivers run as for any entry, and here the models.
//
// One StrongState per worker holds every table. In a normal archive each entry
// starts from a fresh state sized for the entry; in a solid run the first entry
// starts from a fresh state at its largest and every later one goes on from the
// state the one before left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/byte_io.h"
#include "codec/codec_params.h"
#include "codec/strong/strong_coder.h"
#include "codec/strong/strong_model.h"

namespace vellum {

struct SpanProgress;

namespace strong {

// The version of the model this code writes and reads. Any change to what the
// coder outputs for the same input needs a new version.
constexpr uint16_t kVersion = 1;

constexpr uint16_t kTextClass = 9;

// The base class a strong entry records for a file the class rule gave
// `rule_class`: a file of class 0 (nothing recognised) whose first bytes are
// text is recorded as text (class 9), which has no filter either and picks the
// models for words and lines.
uint16_t strong_base_class(uint16_t rule_class, const uint8_t* first, size_t count);

// The model set for a base class whose parameters are `params`.
ModelSetup model_setup_for_class(uint16_t base_class, const CodecParams& params);

class StrongState {
public:
    // Takes the tables on first use. False when memory runs out.
    bool ready();

    // Start of an entry of `size` bytes of base class `base_class`, whose
    // parameters are `params`, in a normal archive or a solid run. False when
    // the tables cannot be had.
    bool begin_entry(uint16_t base_class, const CodecParams& params, uint64_t size, bool solid);
    // Start of a command: no solid run is under way.
    void end_run() { run_started_ = false; }

    StrongModel& model() { return *model_; }

private:
    std::unique_ptr<StrongModel> model_;
    bool run_started_ = false;
};

// Codes `length` bytes. progress (may be null) is called about every
// SpanProgress::kInterval bytes; when it returns false the coding stops and
// the function returns false.
bool strong_encode(StrongState& state, StrongEncoder& coder, const uint8_t* data, size_t length,
                   const SpanProgress* progress = nullptr);

// Decodes `length` bytes into `data`. False when the coded bytes run out (a
// damaged entry) or progress asked to stop.
bool strong_decode(StrongState& state, StrongDecoder& coder, uint8_t* data, size_t length,
                   const SpanProgress* progress = nullptr);

// Lets the model learn `length` bytes without coding them, exactly as coding
// them would: for an entry of a solid run that was stored after all.
void strong_absorb(StrongState& state, const uint8_t* data, size_t length);

}  // namespace strong
}  // namespace vellum
