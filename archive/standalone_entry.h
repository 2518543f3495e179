// Entries that stand alone in any archive, normal or solid: the archive's own
// entries, kept under the folder ".vellum\" (the metadata entry is one). Each is
// coded with tables and a block buffer of its own, in a normal run of
// kStandaloneBlockSetting blocks, so it is read without decoding any entry
// before it (a solid run's included), and coding or decoding it leaves the
// command's run untouched. Writers and every reader go through the two calls
// here.
#pragma once

#include <cstdint>
#include <string>

#include "archive/format.h"
#include "codec/byte_io.h"

namespace vellum {

constexpr const char* kOwnFolder = ".vellum\\";
// 8 MiB blocks: small tables in memory, whatever the archive's block size.
constexpr int kStandaloneBlockSetting = 0;

// True for a record of the archive's own folder.
bool stands_alone(const std::string& folder_path);

// In a solid archive every reader of the format decodes the records of the run
// in order with the run's shared model, so a record coded with tables of its own
// would look damaged to it. There the coded bytes are wrapped in a stored record
// (class 17) that such a reader takes as the bytes it holds:
//   kWrappedMark (4 bytes, a NUL first, which no metadata text holds)
//   the class the bytes were coded with (2 bytes, little-endian)
//   the text's size (8 bytes, little-endian)
//   the coded stream, to the end of the record.
constexpr char kWrappedMark[4] = {'\0', 'V', 'W', '1'};
constexpr size_t kWrappedHeadSize = 14;

// What a standalone record holds: its class field, its original size and its data.
struct StandaloneRecord {
    uint16_t file_class = 17;
    uint64_t original_size = 0;
    std::string data;
};

// `text` coded with `file_class` (wrapped when `in_solid`), or stored (class 17)
// when coding would not make it smaller: an entry never outgrows its bytes.
// False when memory runs out.
bool encode_standalone(const std::string& text, uint16_t file_class, bool in_solid, StandaloneRecord* out);

// Decodes such an entry's `coded_length` bytes from `coded` into `sink` (null:
// checked only). False when its class is unknown, memory runs out or the data
// is damaged.
bool decode_standalone(uint16_t file_class, InputSource& coded, uint64_t coded_length, uint64_t size,
                       OutputSink* sink);

// The text of a standalone record, stored, coded or wrapped, into *text; false
// when it is damaged or its text would pass `most` bytes (checked before
// anything is decoded).
bool read_standalone_text(uint16_t file_class, InputSource& coded, uint64_t coded_length, uint64_t size,
                          uint64_t most, std::string* text);

}  // namespace vellum
