// How a message of the core reads on the console: "vellum: CAPTION: NAME: REASON
// (OUTCOME)". The fixed texts and captions stay as the core words them for a
// message box; this adds what the console has and a box lacks room for: the
// system's reason, the archive concerned, and what became of the file or the
// command. Each message is found by its id, never by its words.
#pragma once

#include <string>

#include "archive/report.h"

namespace vellum {
namespace cli {

// The line without the "vellum: " prefix. `archive`: the archive the command
// works on, as shown to the user.
std::string console_text(const Message& message, const std::string& archive);

}  // namespace cli
}  // namespace vellum
