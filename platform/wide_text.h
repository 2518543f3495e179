// Windows only: the programs keep their texts as UTF-8 and speak UTF-16 to the
// system. These two conversions are the one rule for that, used by the platform
// seam, the grid's painting and the desktop program's window side.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>

namespace vellum {

// UTF-8 to UTF-16; a byte that is not UTF-8 becomes U+FFFD.
inline std::wstring utf8_to_wide(const char* text, int length = -1) {
    if (!text || length == 0) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, length, &out[0], size);
    if (length < 0) out.resize(static_cast<size_t>(size) - 1);  // the terminator counted
    return out;
}

inline std::wstring utf8_to_wide(const std::string& text) {
    return utf8_to_wide(text.data(), static_cast<int>(text.size()));
}

inline std::string wide_to_utf8(const wchar_t* text, int length = -1) {
    if (!text || length == 0) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
    if (length < 0) out.resize(static_cast<size_t>(size) - 1);
    return out;
}

inline std::string wide_to_utf8(const std::wstring& text) {
    return wide_to_utf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace vellum

#endif
