#pragma once
#include <string>

#include "cli/Options.h"
#include "cli/Session.h"

namespace sv::cli {

// Runs one parsed command; messages go to stderr, results to stdout.
int Run(const Options& options);

// The whole program: parses argv, runs, maps failures to exit codes.
int Main(int argc, const char* const* argv);

}  // namespace sv::cli
