// The one place the command line asks the operating system about its streams.
#pragma once

#include <cstdio>

namespace vellum {
namespace cli {

// True when the stream is an interactive terminal (a console on Windows).
bool is_terminal(FILE* stream);

}  // namespace cli
}  // namespace vellum
