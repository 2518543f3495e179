// The texts of --help: one for the program, one per command.
#pragma once

#include "cli/args.h"

namespace vellum {
namespace cli {

// CommandName::none gives the overview of every command.
const char* help_text(CommandName command);

}  // namespace cli
}  // namespace vellum
