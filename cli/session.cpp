#include "cli/session.h"

#include <cerrno>
#include <cstdio>

#include "cli/console_text.h"

#include "cli/terminal.h"

namespace vellum {
namespace cli {

void ConsoleReporter::message(const std::string& text, const std::string& caption, unsigned) {
    // The core reports right after the call that failed, so errno still tells why.
    const MessageContext context{archive, errno};
    display_.write(stderr, "vellum: " + console_text(text, caption, context));
    errno = 0;
}

void ConsoleReporter::progress(const ProgressEvent& event) { display_.event(event); }

Session::Session(bool quiet_output)
    : quiet(quiet_output), live_progress(!quiet_output && is_terminal(stderr)), reporter(progress) {}

CodecState& codec_state(Session& session) {
    if (!session.codec) session.codec = std::make_unique<CodecState>();
    return *session.codec;
}

void print_error(Session& session, const std::string& text) {
    session.progress.write(stderr, "vellum: " + text);
}

void print_line(Session& session, const std::string& text, bool summary) {
    if (summary && session.quiet) return;
    session.progress.write(stdout, text);
}

}  // namespace cli
}  // namespace vellum
