// The texts that sum a command up, in the system's own wording.
#pragma once

#include <cstdint>
#include <string>

#include "archive/summary_text.h"

namespace vellum {
namespace cli {

// The summaries are shared with the desktop program.
using vellum::added_summary;
using vellum::extracted_summary;

// Packed size as a percentage of the original, "-" when there is nothing.
std::string ratio_text(uint64_t packed, uint64_t original);

// "1 entry", "3 entries".
std::string counted(uint64_t count, const char* one, const char* many);

// "2026-12-07 01:30:12" in local time.
std::string time_text(int64_t seconds);

}  // namespace cli
}  // namespace vellum
