// Windows only, for the platform's own files: the path the system is given for
// a UTF-8 path, in the \\?\ form once it is long (platform_win32.cpp).
#pragma once

#ifdef _WIN32

#include <string>

namespace vellum {
namespace platform {

std::wstring system_path(const char* path);

}  // namespace platform
}  // namespace vellum

#endif
