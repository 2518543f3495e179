// Names in archives are UTF-8 text, on every system (an ASCII name is the same
// bytes either way). A stored name that is not valid UTF-8 was written by an older
// writer in the 8-bit code page of its system; it is read as the system's legacy
// code page on Windows and as Windows-1252 elsewhere, so it extracts under its
// proper Unicode name.
#pragma once

#include <string>

namespace vellum {

// True when text is well-formed UTF-8: no stray continuation byte, no overlong
// form, no surrogate, nothing above U+10FFFF.
bool is_valid_utf8(const std::string& text);

// Each byte of text as the Windows-1252 character it stands for, in UTF-8. The
// five bytes that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become
// the control characters of the same value, as the system's own conversion does.
std::string windows_1252_to_utf8(const std::string& text);

// One stored name (a file name or one folder of a folder path) as UTF-8.
std::string name_from_archive(const std::string& stored);

}  // namespace vellum
