// Short names of the file classes, for listings: what kind of file each class
// was chosen for.
#pragma once

#include <cstdint>

namespace vellum {
namespace cli {

// "text", "x86 code", "stored", ...; "unknown" outside 0..27.
const char* class_name(uint16_t file_class);

}  // namespace cli
}  // namespace vellum
