#include "archive/name_encoding.h"

#include <cstdint>

#include "platform/platform.h"

namespace vellum {
namespace {

// Windows-1252 for 0x80..0x9F; the bytes from 0xA0 on are the Latin-1 characters
// of the same value. 0 marks the five undefined bytes, kept as controls.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88..8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98..9F
};

void append_utf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

bool is_valid_utf8(const std::string& text) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<uint8_t>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t c;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
        } else {
            return false;  // a continuation byte, an overlong two-byte lead, or beyond F4
        }
        if (length > n - i) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        // The shortest form only; no surrogate halves; nothing past U+10FFFF.
        if ((length == 3 && c < 0x800) || (length == 4 && c < 0x10000)) return false;
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

std::string windows_1252_to_utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char ch : text) {
        const auto byte = static_cast<uint8_t>(ch);
        uint32_t c = byte;
        if (byte >= 0x80 && byte < 0xA0 && kHighControls[byte - 0x80] != 0) c = kHighControls[byte - 0x80];
        append_utf8(out, c);
    }
    return out;
}

std::string name_from_archive(const std::string& stored) {
    if (is_valid_utf8(stored)) return stored;
    std::string converted;
    if (platform::legacy_to_utf8(stored, &converted)) return converted;
    return windows_1252_to_utf8(stored);
}

}  // namespace vellum
