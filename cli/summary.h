// The texts that sum a command up, in the system's own wording.
#pragma once

#include <cstdint>
#include <string>

namespace vellum {
namespace cli {

// "Added %d files  %I64d bytes to %I64d  in archive %s in %1.3f sec. " ("1 file"
// for one); only the files actually added count.
std::string added_summary(uint32_t files, uint64_t processed_total, uint64_t compressed_total,
                          const std::string& archive, double seconds);

// "Extracted %d files %I64d bytes to %I64d bytes from archive %s in %1.3f sec. ":
// the archive bytes read first, then the bytes written out.
std::string extracted_summary(uint32_t files, uint64_t compressed_total,
                              uint64_t processed_total, const std::string& archive,
                              double seconds);

// Packed size as a percentage of the original, "-" when there is nothing.
std::string ratio_text(uint64_t packed, uint64_t original);

// "1 entry", "3 entries".
std::string counted(uint64_t count, const char* one, const char* many);

}  // namespace cli
}  // namespace vellum
