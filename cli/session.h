// What every command of one vellum run shares: the quiet flag, the progress
// line, the reporter that turns the core's messages into stderr lines, and the
// codec tables (about 24 MiB, made only when a command codes).
#pragma once

#include <memory>
#include <string>

#include "archive/report.h"
#include "cli/progress.h"
#include "codec/codec_state.h"

namespace vellum {
namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitPartial = 1;  // some files skipped, some entries damaged or not found
constexpr int kExitFatal = 2;    // the command could not do its work, or bad usage
constexpr int kExitInterrupted = 130;  // stopped by an interrupt (Ctrl-C, SIGTERM)

// A message of the core becomes one line on stderr (console_text.h).
class ConsoleReporter : public Reporter {
public:
    explicit ConsoleReporter(ProgressDisplay& display) : display_(display) {}
    void message(const Message& message) override;
    void progress(const ProgressEvent& event) override;
    // True once an interrupt has arrived.
    bool stop_requested() override;

    std::string archive;  // the archive of the command, named in its notices

private:
    ProgressDisplay& display_;
};

struct Session {
    explicit Session(bool quiet_output);

    bool quiet;
    bool live_progress;  // stderr is a terminal and -q was not given
    ProgressDisplay progress;
    ConsoleReporter reporter;
    std::unique_ptr<CodecState> codec;
};

CodecState& codec_state(Session& session);

// "vellum: TEXT" on stderr, on a line of its own below any progress display.
void print_error(Session& session, const std::string& text);

// "vellum: interrupted" on stderr; returns the exit status of an interrupted command.
int report_interrupted(Session& session);

// A result line on stdout; `summary` lines are left out under -q.
void print_line(Session& session, const std::string& text, bool summary = false);
// A JSON document to stdout: its own escaping keeps control bytes off the terminal.
void print_document(Session& session, const std::string& text);

}  // namespace cli
}  // namespace vellum
