// The command line's console: whether a stream is a terminal, the output code
// page, and Ctrl-C and its kin (SIGINT and SIGTERM on POSIX systems, the console's
// control events on Windows). The first interrupt only sets a flag, which the
// command's reporter hands to the core as a request to stop at its next safe
// point; a second one ends the process at once, which the archive survives as it
// survives a kill.
#pragma once

#include <cstdio>

namespace vellum {
namespace platform {

// True when the stream is an interactive terminal (a console on Windows).
bool is_terminal(FILE* stream);

// Names go out as UTF-8: a Windows console is told to show them so.
void use_utf8_output();

void install_interrupt_handlers();
bool interrupt_requested();

}  // namespace platform
}  // namespace vellum
