#include "archive/file_class.h"

#include <cstddef>

#include "codec/code_span.h"

namespace vellum {

std::string file_extension(const std::string& file_name) {
    const size_t dot = file_name.rfind('.');
    if (dot == std::string::npos) return std::string();
    return file_name.substr(dot + 1);
}

// --- extension rules --------------------------------------------------------------

struct ExtensionRule {
    const char* key;  // lower case
    uint16_t file_class;
};

// Order matters only for c and h against cue: cue comes later and wins.
static const ExtensionRule kExtensionRules[] = {
    {"log", 1},  {"bmp", 2},  {"tga", 2},  {"gif", 17}, {"dic", 3},  {"exe", 4},
    {"ax", 4},   {"ocx", 4},  {"doc", 14}, {"xls", 14}, {"pdf", 7},  {"jpg", 8},
    {"dll", 4},  {"txt", 9},  {"msg", 9},  {"lng", 9},  {"asc", 9},  {"c", 9},
    {"h", 9},    {"bas", 9},  {"iso", 10}, {"wav", 11}, {"aif", 11}, {"save", 12},
    {"wma", 13}, {"mp3", 13}, {"ogg", 13}, {"mp2", 13}, {"m2a", 13}, {"aac", 13},
    {"vob", 13}, {"avi", 13}, {"mpg", 13}, {"pps", 14}, {"png", 15}, {"tar", 16},
    {"nrg", 10}, {"cue", 10}, {"rar", 17}, {"zip", 17}, {"ace", 17}, {"7z", 17},
    {"uha", 17}, {"arj", 17}, {"pgm", 18}, {"sys", 4},  {"mdb", 14},
};

static char upper_ascii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The extension starts with the key all in lower case, or all in upper case.
static bool extension_matches(const std::string& extension, const char* key) {
    bool lower = true;
    bool upper = true;
    size_t k = 0;
    for (; key[k] != '\0'; ++k) {
        if (k >= extension.size()) return false;
        lower = lower && extension[k] == key[k];
        upper = upper && extension[k] == upper_ascii(key[k]);
    }
    return lower || upper;
}

static uint16_t file_class_from_extension(const std::string& extension) {
    uint16_t file_class = 0;
    for (const ExtensionRule& rule : kExtensionRules)
        if (extension_matches(extension, rule.key)) file_class = rule.file_class;
    return file_class;
}

// --- content tests ----------------------------------------------------------------

constexpr int kAny = -1;
constexpr size_t kMaxSignatureBytes = 10;

struct ContentRule {
    int bytes[kMaxSignatureBytes];  // kAny matches every byte
    size_t length;
    uint16_t file_class;
};

// No two of these can match the same bytes.
static const ContentRule kContentRules[] = {
    {{0x42, 0x4D}, 2, 2},
    {{0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00}, 8, 4},
    {{0x25, 0x50, 0x44, 0x46}, 4, 7},
    {{0x3F, 0x5F, 0x03, 0x00}, 4, 5},
    {{0xFF, 0xD8, 0xFF, 0xE0, kAny, kAny, 0x4A, 0x46, 0x49, 0x46}, 10, 8},
    {{0x52, 0x49, 0x46, 0x46}, 4, 11},
    {{0x06, kAny, kAny, kAny, 0x44, 0x4F, 0x4F, 0x4D, 0x20}, 9, 12},
    {{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}, 8, 14},
    {{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, 8, 15},
    {{0x49, 0x44, 0x33, 0x03}, 4, 13},
    {{0x50, 0x35, 0x0A, 0x37}, 4, 18},
    {{0x52, 0x61, 0x72, 0x21}, 4, 17},
    {{0x50, 0x4B, 0x03, 0x04}, 4, 17},
    {{0x37, 0x7A, 0xBC, 0xAF}, 4, 17},
    {{0x47, 0x49, 0x46, 0x38}, 4, 17},
    {{0x4D, 0x4D, 0x00, 0x2A}, 4, 26},
    {{0x00, 0x00, 0x02, 0x00}, 4, 27},
    {{0x00, 0x00, 0x0A, 0x00}, 4, 27},
};

constexpr uint16_t kRiffClass = 11;

// A test looks only at bytes the file has: a shorter file never matches.
static bool content_matches(const ContentRule& rule, const unsigned char* bytes, uint64_t count) {
    if (count < rule.length) return false;
    for (size_t k = 0; k < rule.length; ++k)
        if (rule.bytes[k] != kAny && rule.bytes[k] != bytes[k]) return false;
    return true;
}

static unsigned read_le16(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8);
}

// Channels and sample width from the fields of a canonical wave header.
static uint16_t refine_riff(const unsigned char* bytes, uint64_t count) {
    if (count < 36) return kRiffClass;
    const unsigned channels = read_le16(bytes + 22);
    const unsigned bits = read_le16(bytes + 34);
    if (channels == 0) return kRiffClass;
    const bool mono = channels == 1;
    switch (bits) {
        case 8: return mono ? 21 : 20;
        case 16: return mono ? 19 : kRiffClass;
        case 24: return mono ? 23 : 22;
        case 32: return mono ? 25 : 24;
        default: return kRiffClass;
    }
}

uint16_t choose_file_class(const std::string& extension, const unsigned char* first_bytes,
                           uint64_t count) {
    uint16_t file_class = file_class_from_extension(extension);
    if (first_bytes == nullptr) return file_class;
    for (const ContentRule& rule : kContentRules) {
        if (!content_matches(rule, first_bytes, count)) continue;
        if (rule.file_class == kRiffClass) return refine_riff(first_bytes, count);
        return rule.file_class;
    }
    return file_class;
}

// --- class to parameters ----------------------------------------------------------

constexpr int kKeep = -1;  // the class does not use the field: it keeps its value

enum ParamColumn {
    kHashOrder, kMatchFirstRun, kMatchRunStep, kInheritOrder1, kContextMode,
    kCtxDistance1, kCtxDistance2, kAdaptRate, kPrefilter, kDeltaStride, kStoreRaw,
    kParamColumns
};

// Normal mode, indexed by class; the row of class 6 is never used.
static constexpr int kClassParams[kMaxFileClass + 1][kParamColumns] = {
    /* 0 */ {5, 2, 1, 1, 0, 1, 2, 3, 0, kKeep, 0},
    /* 1 */ {5, 3, 2, 1, 0, 1, 2, 3, 0, kKeep, 0},
    /* 2 */ {4, 2, 2, 1, 1, 3, 1, 3, 2, 1, 0},
    /* 3 */ {4, 2, 2, 1, 0, 1, 2, 3, 0, kKeep, 0},
    /* 4 */ {3, 2, 1, 1, 0, 1, 2, 3, 1, kKeep, 0},
    /* 5 */ {5, 2, 2, 1, 0, 1, 2, 3, 0, kKeep, 0},
    /* 6 */ {kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep},
    /* 7 */ {5, 2, 2, 0, 2, 1, 2, 4, 0, kKeep, 0},
    /* 8 */ {3, 2, 2, 0, 1, 1, 2, 4, 0, kKeep, 0},
    /* 9 */ {5, 2, 1, 1, 0, 1, 2, 3, 0, kKeep, 0},
    /* 10 */ {5, 2, 2, 0, 0, 1, 2, 3, 0, kKeep, 0},
    /* 11 */ {8, 2, 2, 0, 1, 4, 8, 4, 2, 4, 0},
    /* 12 */ {5, 2, 2, 0, 1, 1, 2, 4, 0, kKeep, 0},
    /* 13 */ {3, 2, 2, 0, 1, 1, 2, 4, 0, kKeep, 0},
    /* 14 */ {5, 2, 2, 0, 0, 1, 2, 3, 0, kKeep, 0},
    /* 15 */ {5, 2, 2, 0, 1, 1, 2, 4, 0, kKeep, 0},
    /* 16 */ {5, 2, 2, 0, 0, 1, 2, 3, 0, kKeep, 0},
    /* 17 */ {5, 2, 2, 0, 1, 1, 2, 4, 0, kKeep, 1},
    /* 18 */ {5, 2, 2, 1, 1, 1, 2, 3, 2, 1, 0},
    /* 19 */ {4, 2, 2, 0, 1, 2, 4, 4, 2, 2, 0},
    /* 20 */ {4, 2, 2, 0, 1, 2, 4, 4, 2, 2, 0},
    /* 21 */ {2, 2, 2, 0, 1, 1, 2, 4, 2, 1, 0},
    /* 22 */ {12, 2, 2, 0, 1, 6, 12, 4, 2, 6, 0},
    /* 23 */ {6, 2, 2, 0, 1, 3, 6, 4, 2, 3, 0},
    /* 24 */ {16, 2, 2, 0, 1, 8, 16, 4, 2, 8, 0},
    /* 25 */ {8, 2, 2, 0, 1, 4, 8, 4, 2, 4, 0},
    /* 26 */ {4, 2, 2, 1, 1, 1, 2, 3, 2, 3, 0},
    /* 27 */ {4, 2, 2, 1, 1, 1, 2, 3, 2, 1, 0},
};

static constexpr bool valid_class(uint32_t file_class) {
    return file_class <= kMaxFileClass && file_class != kUnusedFileClass;
}

bool is_valid_file_class(uint32_t file_class) { return valid_class(file_class); }

static constexpr void set_field(uint32_t* field, int value) {
    if (value != kKeep) *field = static_cast<uint32_t>(value);
}

// The row of a valid class over `params`, in normal or solid mode.
static constexpr void apply_class(uint32_t file_class, bool solid, CodecParams* params) {
    const int* row = kClassParams[file_class];
    set_field(&params->hash_order, row[kHashOrder]);
    set_field(&params->match_first_run, row[kMatchFirstRun]);
    set_field(&params->match_run_step, row[kMatchRunStep]);
    set_field(&params->inherit_order1, row[kInheritOrder1]);
    if (row[kContextMode] != kKeep) params->context_mode = static_cast<ContextMode>(row[kContextMode]);
    set_field(&params->ctx_distance_1, row[kCtxDistance1]);
    set_field(&params->ctx_distance_2, row[kCtxDistance2]);
    set_field(&params->adapt_rate, row[kAdaptRate]);
    set_field(&params->prefilter, row[kPrefilter]);
    set_field(&params->delta_stride, row[kDeltaStride]);
    set_field(&params->store_raw, row[kStoreRaw]);
    if (solid) {
        // Files of a solid run are predicted from earlier files through the match
        // model, so no class may go without it: mode 1 becomes mode 2.
        params->hash_order = 4;
        if (params->context_mode == ContextMode::literals_only)
            params->context_mode = ContextMode::match_length;
    }
}

// The position loop reads context bytes without a bounds test, relying on every
// class to keep them inside the span it codes (contexts_within_reach): in
// particular ctx_distance_2 <= hash_order for the classes of literals_only. The
// fields it looks at are set by every valid class, so no earlier value counts.
static constexpr bool every_class_within_reach() {
    for (uint32_t file_class = 0; file_class <= kMaxFileClass; ++file_class) {
        if (!valid_class(file_class)) continue;
        for (const bool solid : {false, true}) {
            CodecParams params;
            apply_class(file_class, solid, &params);
            if (!contexts_within_reach(params)) return false;
        }
    }
    return true;
}
static_assert(every_class_within_reach(), "a class reads context bytes before the span it codes");

bool codec_params_for_class(uint32_t file_class, bool solid, CodecParams* params) {
    if (!valid_class(file_class)) return false;
    apply_class(file_class, solid, params);
    return true;
}

// The parameters a normal entry of the class is coded with: the fields it leaves
// open keep an entry's starting values.
static CodecParams normal_params(uint16_t file_class) {
    CodecParams params;
    codec_params_for_class(file_class, false, &params);
    return params;
}

static bool equal_params(const CodecParams& a, const CodecParams& b) {
    return a.hash_order == b.hash_order && a.match_first_run == b.match_first_run &&
           a.match_run_step == b.match_run_step && a.inherit_order1 == b.inherit_order1 &&
           a.context_mode == b.context_mode && a.ctx_distance_1 == b.ctx_distance_1 &&
           a.ctx_distance_2 == b.ctx_distance_2 && a.adapt_rate == b.adapt_rate &&
           a.prefilter == b.prefilter && a.delta_stride == b.delta_stride &&
           a.store_raw == b.store_raw;
}

bool same_parameters(uint16_t a, uint16_t b) {
    return equal_params(normal_params(a), normal_params(b));
}

std::vector<uint16_t> distinct_parameter_classes() {
    std::vector<uint16_t> classes;
    for (uint16_t c = 0; c <= kMaxFileClass; ++c) {
        if (!is_valid_file_class(c)) continue;
        bool seen = false;
        for (uint16_t earlier : classes) seen = seen || same_parameters(earlier, c);
        if (!seen) classes.push_back(c);
    }
    return classes;
}

}  // namespace vellum
