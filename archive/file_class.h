// The file class (0..27) of a file, chosen from its extension and its first bytes
// when compressing and read back from the entry when extracting, and the codec
// parameters each class stands for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/codec_params.h"

namespace vellum {

constexpr uint16_t kMaxFileClass = 27;
constexpr uint16_t kUnusedFileClass = 6;  // never chosen, never valid in an entry
constexpr uint16_t kStoredClass = 17;     // already compressed: the bytes stored as they are
constexpr uint16_t kTextClass = 9;        // text and source code

// The characters after the last '.' of a file name; empty when there is none.
std::string file_extension(const std::string& file_name);

// The class for compression: extension rules first, then content tests on the
// file's first `count` bytes (count may be 0). Never 6, never above 27.
uint16_t choose_file_class(const std::string& extension, const unsigned char* first_bytes,
                           uint64_t count);

bool is_valid_file_class(uint32_t file_class);

// Sets the fields the class defines, in normal or solid mode; fields the class
// leaves open keep their value. For a class of 6 or above 27 returns false and
// leaves params as they were, so a damaged entry is never coded with stale values.
bool codec_params_for_class(uint32_t file_class, bool solid, CodecParams* params);

// One class for every distinct parameter set of normal mode (stored raw
// included), the lowest class number of each set, in increasing order.
std::vector<uint16_t> distinct_parameter_classes();

// Whether two valid classes code a file alike in normal mode.
bool same_parameters(uint16_t a, uint16_t b);

}  // namespace vellum
