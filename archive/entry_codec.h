// Which codec an entry's class field names, in one place for the writers and
// every reader.
//
//   0..27                         the default codec with that file class
//   0x100 * v + b                 the strong codec of version v (1..255) with
//                                 base class b (0..27, not 6 or 17): b still
//                                 chooses the pre-filter, and the models
//   0x100 * v + 0x80 + b          an entry of a solid run that the strong codec
//                                 would have grown: its bytes stored, and taken
//                                 into the run's strong history as base class b
//
// A reader that meets a version above the one it knows reports the entry as
// coded by an unsupported codec, naming that version, and goes on with the
// other entries (a solid run ends there). Stored files of a strong archive,
// already compressed or grown by the coder, are written as the default codec's
// stored class 17 in a normal archive, so any reader copies them out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/codec_params.h"

namespace vellum {

enum class EntryCodec {
    standard,       // the default codec (its class may still be stored, 17)
    strong,         // the strong codec
    strong_stored,  // stored bytes, taken into a solid run's strong history
    unsupported,    // a codec version this program does not know
    invalid,        // no codec writes this value
};

struct EntryClass {
    EntryCodec codec = EntryCodec::invalid;
    uint16_t base = 0;      // the file class that picks the filter and the models
    uint32_t version = 0;   // 0 for the default codec
};

constexpr uint16_t kStrongStoredFlag = 0x80;

// Reads a class field.
EntryClass entry_class(uint16_t field);

// The class field of a strong entry of base class `base` (stored: the 0x80 kind).
uint16_t strong_class_field(uint16_t base, bool stored = false);

// The parameters an entry of `field` is filtered and coded with, the engine
// included, in normal or solid mode. False for an unsupported or invalid
// field; params are then left as they were.
bool entry_params(uint16_t field, bool solid, CodecParams* params);

// The class field a writer records for a file the class rule gave
// `rule_class`, whose first bytes are `first`: the rule's class, or with the
// strong codec the strong field of the base class it picks. A class the rule
// stores stays stored.
uint16_t class_to_write(uint16_t rule_class, bool strong, const uint8_t* first, size_t available);

}  // namespace vellum
