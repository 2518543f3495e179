#include "app/box_text.h"

#include <vector>

namespace vellum {
namespace app {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\t'; }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Appends one run (no blanks), broken into pieces of at most kBoxRunCharacters.
void AppendRun(const std::string& run, std::string& out) {
    std::vector<size_t> starts;  // byte offset of each code point
    for (size_t i = 0; i < run.size(); ++i)
        if (!IsContinuation(run[i])) starts.push_back(i);
    starts.push_back(run.size());
    const size_t characters = starts.size() - 1;
    size_t first = 0;
    while (characters - first > kBoxRunCharacters) {
        size_t end = first + kBoxRunCharacters;  // the piece is characters [first, end)
        for (size_t k = end; k > first + 1; --k) {
            if (IsSeparator(run[starts[k - 1]])) {
                end = k;
                break;
            }
        }
        out.append(run, starts[first], starts[end] - starts[first]);
        out += '\n';
        first = end;
    }
    out.append(run, starts[first], std::string::npos);
}

}  // namespace

std::string FitForBox(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / kBoxRunCharacters + 1);
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            out += text[i++];
            continue;
        }
        size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        AppendRun(text.substr(i, end - i), out);
        i = end;
    }
    return out;
}

}  // namespace app
}  // namespace vellum
