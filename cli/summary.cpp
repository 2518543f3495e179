#include "cli/summary.h"

#include <cstdio>

namespace vellum {
namespace cli {

std::string ratio_text(uint64_t packed, uint64_t original) {
    if (original == 0) return "-";
    char text[32];  // a double's "%.1f%%" of a 64-bit ratio fits
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(packed) / static_cast<double>(original));
    return text;
}

std::string counted(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace cli
}  // namespace vellum
