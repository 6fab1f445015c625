#pragma once
// The run driver: from the command line to the last report.

#include <ostream>

#include "base/progress.hpp"
#include "cli/options.hpp"

namespace tarnvale {

// Parses the command line and performs the whole run, printing to `out` and
// `err`. Returns the exit status: 0 after a normal run, help or version; 1
// after a parse or argument error, an unreadable input, an unwritable output
// or input that leaves nothing to search. A progress bar is drawn on `err`
// only when errIsTerminal is true.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   bool errIsTerminal = false);

// Performs the run for validated options, drawing its phases on `progress`.
// Throws RunError to stop.
void Run(const Options& options, std::ostream& out, ProgressBar& progress);

}  // namespace tarnvale
