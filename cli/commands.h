// The seven commands of vellum. Each returns the process's exit status.
#pragma once

#include "cli/args.h"
#include "cli/session.h"

namespace vellum {
namespace cli {

int run_add(Session& session, const Options& options);
int run_extract(Session& session, const Options& options);
int run_test(Session& session, const Options& options);
int run_list(Session& session, const Options& options);
int run_info(Session& session, const Options& options);
int run_delete(Session& session, const Options& options);
int run_repair(Session& session, const Options& options);

}  // namespace cli
}  // namespace vellum
