// Short names of the file classes and of the codecs that entries name, for
// listings: what kind of file each class was chosen for.
#pragma once

#include <cstdint>
#include <string>

namespace vellum {
namespace cli {

// "text", "x86 code", "stored", ...; "strong text" for a strong entry of base
// class 9, "strong stored text" for one stored in a solid run, "unsupported
// codec 2" for a codec version this program does not know, "unknown" for a
// value no codec writes.
std::string class_name(uint16_t file_class);

// The codec an entry names: "default", "strong", "unsupported" or "unknown".
const char* codec_name(uint16_t file_class);

}  // namespace cli
}  // namespace vellum
