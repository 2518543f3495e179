// How a message of the core reads on the console: "vellum: CAPTION: NAME: REASON
// (OUTCOME)". The fixed texts and captions stay as the core gives them; this adds
// what the console has and a message box lacks room for: the system's reason, the
// archive concerned, and what became of the file or the command.
#pragma once

#include <string>

namespace vellum {
namespace cli {

struct MessageContext {
    std::string archive;  // the archive the command works on, as shown to the user
    int error = 0;        // errno when the message was raised
};

// The line without the "vellum: " prefix.
std::string console_text(const std::string& text, const std::string& caption,
                         const MessageContext& context);

}  // namespace cli
}  // namespace vellum
