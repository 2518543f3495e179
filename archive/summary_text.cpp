#include "archive/summary_text.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace vellum {
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

const char* files_word(uint32_t files, FileCount count) {
    return count == FileCount::singular_one && files == 1 ? "file" : "files";
}

}  // namespace

std::string added_summary(uint32_t files, uint64_t processed_total, uint64_t compressed_total,
                          const std::string& archive, double seconds, FileCount count) {
    return formatted("Added %d %s  %" PRIu64 " bytes to %" PRIu64 "  in archive %s in %1.3f sec. ",
                     static_cast<int>(files), files_word(files, count), processed_total, compressed_total,
                     archive.c_str(), seconds);
}

std::string extracted_summary(uint32_t files, uint64_t compressed_total,
                              uint64_t processed_total, const std::string& archive,
                              double seconds, FileCount count) {
    return formatted(
        "Extracted %d %s %" PRIu64 " bytes to %" PRIu64 " bytes from archive %s in %1.3f sec. ",
        static_cast<int>(files), files_word(files, count), compressed_total, processed_total, archive.c_str(),
        seconds);
}

}  // namespace vellum
