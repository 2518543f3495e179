// Ctrl-C and its kin: SIGINT and SIGTERM on POSIX systems, the console's control
// events on Windows. The first one only sets a flag, which the command's reporter
// hands to the core as a request to stop at its next safe point; a second one
// ends the process at once, which the archive survives as it survives a kill.
#pragma once

namespace vellum {
namespace cli {

void install_interrupt_handlers();
bool interrupt_requested();

}  // namespace cli
}  // namespace vellum
