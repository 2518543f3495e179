#include "app/row_order.h"

#include <algorithm>
#include <cstdint>

namespace vellum {
namespace app {
namespace {

// The code point starting at text[i]; i moves past it. A byte that starts no
// valid sequence stands for itself.
uint32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (i + length > text.size()) length = 1;
    uint32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    return c;
}

void AppendCodePoint(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

uint32_t LowerCase(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;               // À..Þ, not ×
    if (c == 0x178) return 0xFF;                                          // Ÿ
    // Latin Extended-A: upper and lower case alternate, upper first, the run
    // 0x139..0x148 and 0x179..0x17E starting on odd code points.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;            // Greek capitals
    if (c == 0x386) return 0x3AC;                                         // Ά
    if (c >= 0x388 && c <= 0x38A) return c + 37;                          // Έ Ή Ί
    if (c == 0x38C) return 0x3CC;                                         // Ό
    if (c == 0x38E || c == 0x38F) return c + 63;                          // Ύ Ώ
    if (c >= 0x410 && c <= 0x42F) return c + 32;                          // Cyrillic А..Я
    if (c >= 0x400 && c <= 0x40F) return c + 80;                          // Ѐ..Џ
    return c;
}

// The value of a cell that is a number: decimal digits with blanks around.
bool NumberOf(const std::string& text, uint64_t* value) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const size_t last = text.find_last_not_of(' ');
    uint64_t v = 0;
    for (size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        v = v > (UINT64_MAX - digit) / 10 ? UINT64_MAX : v * 10 + digit;
    }
    *value = v;
    return true;
}

}  // namespace

std::string FoldCase(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) AppendCodePoint(out, LowerCase(NextCodePoint(text, i)));
    return out;
}

int CompareCells(const std::string& first, const std::string& second) {
    uint64_t a = 0, b = 0;
    const bool a_number = NumberOf(first, &a), b_number = NumberOf(second, &b);
    if (a_number && b_number) return a < b ? -1 : a > b ? 1 : 0;
    if (a_number != b_number) return a_number ? 1 : -1;
    // UTF-8 keeps the order of code points byte for byte.
    return FoldCase(first).compare(FoldCase(second));
}

std::vector<int> SortOrder(const std::vector<std::string>& keys, const std::vector<bool>& pinned,
                           bool descending) {
    std::vector<int> order(keys.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int>(k);
    auto pinned_at = [&](int r) { return static_cast<size_t>(r) < pinned.size() && pinned[r]; };
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        if (pinned_at(x) || pinned_at(y)) return pinned_at(x) && !pinned_at(y);
        const int c = CompareCells(keys[x], keys[y]);
        return descending ? c > 0 : c < 0;
    });
    return order;
}

}  // namespace app
}  // namespace vellum
