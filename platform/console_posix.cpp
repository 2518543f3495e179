#include "platform/console.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace vellum {
namespace platform {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void on_signal(int) { interrupted.store(true); }

}  // namespace

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

void use_utf8_output() {}

void install_interrupt_handlers() {
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the second signal takes its default course and ends the process.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupt_requested() { return interrupted.load(); }

}  // namespace platform
}  // namespace vellum
