// Names from an archive or a folder are bytes: a control character among them
// must never reach a terminal (or a message box) as it is. Every listing and
// every message shows names through this one helper.
#pragma once

#include <string>

namespace vellum {

// `text` with each control byte (below 0x20, and 0x7F) written as \xHH. Bytes of
// 0x80 and above are left for the code page; the result holds no control byte,
// so escaping it again changes nothing.
std::string escaped_name(const std::string& text);

}  // namespace vellum
