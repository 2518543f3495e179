// The texts of message boxes, fitted to the screen. The system wraps a box's
// lines at blanks to keep it within the screen, but a run of characters without
// a blank (a long path) it cannot break, and the box grows as wide as that run.
// Platform-free, so the rule is tested natively.
#pragma once

#include <string>

namespace vellum {
namespace app {

// A run of characters without a blank longer than this is broken into lines
// (about 560 pixels of the message font at 96 dpi).
constexpr size_t kBoxRunCharacters = 80;

// text with every run longer than kBoxRunCharacters broken by line breaks: after
// the last backslash or slash that keeps the piece within the limit, or at the
// limit where there is none. Characters are counted as UTF-8 code points and
// never split. Everything else, the described texts with paths of usual length
// among them, stays as it is; removing the inserted line breaks gives text back.
std::string FitForBox(const std::string& text);

}  // namespace app
}  // namespace vellum
