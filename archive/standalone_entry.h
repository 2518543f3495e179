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

// `text` coded with `file_class` into *data, or stored (class 17) when coding
// would not make it smaller: an entry never outgrows its bytes. False when
// memory runs out.
bool encode_standalone(const std::string& text, uint16_t file_class, uint16_t* class_written, std::string* data);

// Decodes such an entry's `coded_length` bytes from `coded` into `sink` (null:
// checked only). False when its class is unknown, memory runs out or the data
// is damaged.
bool decode_standalone(uint16_t file_class, InputSource& coded, uint64_t coded_length, uint64_t size,
                       OutputSink* sink);

}  // namespace vellum
