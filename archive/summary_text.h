// The texts that sum a compress or extract command up, in the system's own
// wording, for every front end.
#pragma once

#include <cstdint>
#include <string>

namespace vellum {

// How the count of files reads: the window keeps "files" whatever the count, the
// command line says "1 file".
enum class FileCount { files, singular_one };

// "Added %d files  %I64d bytes to %I64d  in archive %s in %1.3f sec. "
std::string added_summary(uint32_t files, uint64_t processed_total, uint64_t compressed_total,
                          const std::string& archive, double seconds, FileCount count = FileCount::files);

// "Extracted %d files %I64d bytes to %I64d bytes from archive %s in %1.3f sec. ":
// the archive bytes read first, then the bytes written out.
std::string extracted_summary(uint32_t files, uint64_t compressed_total,
                              uint64_t processed_total, const std::string& archive,
                              double seconds, FileCount count = FileCount::files);

}  // namespace vellum
