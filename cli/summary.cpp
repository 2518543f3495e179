#include "cli/summary.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace vellum {
namespace cli {
namespace {

// printf into a string as long as it needs (the archive path has no fixed limit).
template <class... Args>
std::string formatted(const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return {};
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), format, args...);
    return std::string(text.data(), static_cast<size_t>(length));
}

}  // namespace

std::string ratio_text(uint64_t packed, uint64_t original) {
    if (original == 0) return "-";
    return formatted("%.1f%%", 100.0 * static_cast<double>(packed) / static_cast<double>(original));
}

std::string counted(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace cli
}  // namespace vellum
