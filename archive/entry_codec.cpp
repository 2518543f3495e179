#include "archive/entry_codec.h"

#include "archive/file_class.h"
#include "codec/strong/strong_codec.h"

namespace vellum {

namespace {

// A base class the strong codec codes: every valid class but the stored one.
bool strong_base_valid(uint16_t base) { return is_valid_file_class(base) && base != kStoredClass; }

}  // namespace

EntryClass entry_class(uint16_t field) {
    EntryClass c;
    c.version = field >> 8;
    c.base = field & 0x7F;
    const bool stored = (field & kStrongStoredFlag) != 0;
    if (c.version == 0) {
        c.base = field;
        c.codec = is_valid_file_class(field) ? EntryCodec::standard : EntryCodec::invalid;
    } else if (c.version > strong::kVersion) {
        c.codec = EntryCodec::unsupported;
    } else if (!strong_base_valid(c.base)) {
        c.codec = EntryCodec::invalid;
    } else {
        c.codec = stored ? EntryCodec::strong_stored : EntryCodec::strong;
    }
    return c;
}

uint16_t strong_class_field(uint16_t base, bool stored) {
    return static_cast<uint16_t>(strong::kVersion << 8 | (stored ? kStrongStoredFlag : 0) | base);
}

bool entry_params(uint16_t field, bool solid, CodecParams* params) {
    const EntryClass c = entry_class(field);
    if (c.codec == EntryCodec::unsupported || c.codec == EntryCodec::invalid) return false;
    codec_params_for_class(c.base, solid, params);
    const bool strong = c.codec != EntryCodec::standard;
    params->engine = strong ? CodecEngine::strong : CodecEngine::standard;
    params->strong_base = strong ? c.base : 0;
    params->strong_stored = c.codec == EntryCodec::strong_stored ? 1 : 0;
    return true;
}

uint16_t class_to_write(uint16_t rule_class, bool strong, const uint8_t* first, size_t available) {
    if (!strong) return rule_class;
    const uint16_t field = strong_class_field(strong::strong_base_class(rule_class, first, available));
    return entry_class(field).codec == EntryCodec::strong ? field : rule_class;
}

}  // namespace vellum
