#include "cli/session.h"

#include <cstdio>
#include <cstdlib>

#include "cli/console_text.h"
#include "platform/console.h"

namespace vellum {
namespace cli {

void ConsoleReporter::message(const Message& message) {
    display_.write(stderr, "vellum: " + console_text(message, archive));
}

void ConsoleReporter::progress(const ProgressEvent& event) { display_.event(event); }

bool ConsoleReporter::stop_requested() { return platform::interrupt_requested(); }

Session::Session(bool quiet_output)
    : quiet(quiet_output), live_progress(!quiet_output && platform::is_terminal(stderr)), reporter(progress) {
    if (const char* redraw = std::getenv("VELLUM_REDRAW_MS")) {
        const long ms = std::strtol(redraw, nullptr, 10);
        if (ms >= 0 && ms <= 60000) progress.set_interval(std::chrono::milliseconds(ms));
    }
}

CodecState& codec_state(Session& session) {
    if (!session.codec) session.codec = std::make_unique<CodecState>();
    return *session.codec;
}

void print_error(Session& session, const std::string& text) {
    session.progress.write(stderr, "vellum: " + text);
}

int report_interrupted(Session& session) {
    session.progress.write(stderr, "vellum: interrupted");
    return kExitInterrupted;
}

void print_document(Session& session, const std::string& text) { session.progress.write_raw(stdout, text); }

void print_line(Session& session, const std::string& text, bool summary) {
    if (summary && session.quiet) return;
    session.progress.write(stdout, text);
}

}  // namespace cli
}  // namespace vellum
