// The one place the command line asks the operating system about its streams.
#pragma once

#include <cstdio>

namespace vellum {
namespace cli {

// True when the stream is an interactive terminal (a console on Windows).
bool is_terminal(FILE* stream);

// Names go out as UTF-8: a Windows console is told to show them so.
void use_utf8_output();

}  // namespace cli
}  // namespace vellum
