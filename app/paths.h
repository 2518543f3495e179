// Path texts of the desktop program: pure string rules over fixed 1024-byte
// buffers. The desktop joins with the backslash; the separator is a parameter
// so the same rules run (and are tested) on a host whose separator is the slash.
#pragma once

#include <cstddef>
#include <string>

#include "app/app_state.h"
#include "archive/entry_path.h"

namespace vellum {
namespace app {

// Copies text into a kTextSize buffer. False, and out unchanged, when it does not
// fit (more than 1023 characters).
bool CopyText(char (&out)[kTextSize], const std::string& text);

// folder, one separator and name ("%s\%s"): exactly one separator is added even
// when folder already ends in one (C:\ and Docs give C:\\Docs, which the file
// system accepts). An empty folder gives name alone.
std::string JoinFolder(const std::string& folder, const std::string& name,
                       char separator = kNativeSeparator);

// The text before the last separator; "" when there is none.
std::string ParentFolder(const std::string& folder, char separator = kNativeSeparator);

// Going up from folder leaves the drive (or the file system's top): the parent
// text is shorter than 3 characters (C:\Data gives C:, C:\ gives C:).
bool ParentLeavesDrive(const std::string& folder, char separator = kNativeSeparator);

// folder with a trailing separator ("%s\"); "" stays "".
std::string WithTrailingSeparator(const std::string& folder, char separator = kNativeSeparator);

}  // namespace app
}  // namespace vellum
