#include "cli/class_names.h"

#include "archive/entry_codec.h"

namespace vellum {
namespace cli {
namespace {

// Index = class. Chosen from the extension and content rules each class is for.
constexpr const char* kNames[] = {
    "binary",         // 0: nothing recognised
    "log",            // 1
    "bitmap",         // 2: bmp, tga
    "dictionary",     // 3
    "x86 code",       // 4: exe, dll, sys
    "help",           // 5
    "unused",         // 6: never written
    "pdf",            // 7
    "jpeg",           // 8
    "text",           // 9
    "disc image",     // 10: iso, nrg, cue
    "riff",           // 11: wav, aif, other RIFF
    "game data",      // 12
    "media",          // 13: mp3, ogg, avi, ...
    "office",         // 14: doc, xls, mdb
    "png",            // 15
    "tar",            // 16
    "stored",         // 17: already compressed, kept as is
    "pgm",            // 18
    "wave 16/mono",   // 19
    "wave 8/stereo",  // 20
    "wave 8/mono",    // 21
    "wave 24/stereo", // 22
    "wave 24/mono",   // 23
    "wave 32/stereo", // 24
    "wave 32/mono",   // 25
    "tiff",           // 26
    "targa",          // 27
};

}  // namespace

std::string class_name(uint16_t file_class) {
    const EntryClass c = entry_class(file_class);
    switch (c.codec) {
        case EntryCodec::standard: return kNames[c.base];
        case EntryCodec::strong: return std::string("strong ") + kNames[c.base];
        case EntryCodec::strong_stored: return std::string("strong stored ") + kNames[c.base];
        case EntryCodec::unsupported: return "unsupported codec " + std::to_string(c.version);
        case EntryCodec::invalid: break;
    }
    return "unknown";
}

const char* codec_name(uint16_t file_class) {
    switch (entry_class(file_class).codec) {
        case EntryCodec::standard: return "default";
        case EntryCodec::strong:
        case EntryCodec::strong_stored: return "strong";
        case EntryCodec::unsupported: return "unsupported";
        case EntryCodec::invalid: break;
    }
    return "unknown";
}

}  // namespace cli
}  // namespace vellum
