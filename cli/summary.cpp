#include "cli/summary.h"

#include <ctime>

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

std::string time_text(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm* local = std::localtime(&t);
    char text[32];
    if (!local || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) return "-";
    return text;
}

}  // namespace cli
}  // namespace vellum
