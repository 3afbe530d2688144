#pragma once
#include <string>

#include "cli/Options.h"

namespace sv::cli {

enum ExitCode : int {
    ExitDone = 0,
    ExitIoFailure = 1,
    ExitUsage = 2,
    ExitRefused = 3,
    ExitCancelled = 130,
};

// Runs one parsed command; messages go to stderr, results to stdout.
int Run(const Options& options);

// The whole program: parses argv, runs, maps failures to exit codes.
int Main(int argc, const char* const* argv);

}  // namespace sv::cli
