// vellum: the command-line front end of the archiver.
#include <cerrno>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/help.h"
#include "cli/session.h"
#include "platform/console.h"

#ifndef VELLUM_VERSION
#define VELLUM_VERSION "unknown"
#endif

namespace {

using namespace vellum::cli;

int run(Session& session, const Options& options) {
    errno = 0;
    switch (options.command) {
        case CommandName::add: return run_add(session, options);
        case CommandName::extract: return run_extract(session, options);
        case CommandName::list: return run_list(session, options);
        case CommandName::info: return run_info(session, options);
        case CommandName::remove: return run_delete(session, options);
        case CommandName::test: return run_test(session, options);
        case CommandName::repair: return run_repair(session, options);
        case CommandName::none: break;
    }
    return kExitFatal;
}

}  // namespace

int main(int argc, char** argv) {
    vellum::platform::use_utf8_output();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(help_text(CommandName::none), stderr);
        return kExitFatal;
    }
    const ParseResult parsed = parse_args(args);
    const Options& options = parsed.options;
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vellum: %s\nTry 'vellum %s--help' for more information.\n",
                     parsed.error.c_str(),
                     options.command == CommandName::none ? ""
                                                          : (std::string(command_word(options.command)) + " ").c_str());
        return kExitFatal;
    }
    if (options.help) {
        std::fputs(help_text(options.command), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::printf("vellum %s\n", VELLUM_VERSION);
        return kExitOk;
    }
    vellum::platform::install_interrupt_handlers();
    try {
        Session session(options.quiet);
        const int status = run(session, options);
        std::fflush(stdout);
        return status;
    } catch (const std::bad_alloc&) {
        std::fputs("vellum: not enough memory for the codec tables\n", stderr);
        return kExitFatal;
    }
}
