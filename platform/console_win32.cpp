#include "platform/console.h"

#include <windows.h>
#include <io.h>

#include <atomic>

namespace vellum {
namespace platform {
namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    // The second event falls through to the default handler, which ends the process.
    if (interrupted.exchange(true)) return FALSE;
    return TRUE;
}

}  // namespace

bool is_terminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void use_utf8_output() { SetConsoleOutputCP(CP_UTF8); }

void install_interrupt_handlers() { SetConsoleCtrlHandler(on_console_event, TRUE); }

bool interrupt_requested() { return interrupted.load(); }

}  // namespace platform
}  // namespace vellum
