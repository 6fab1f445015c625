#pragma once
// The names of the files an invocation writes, for trying them before the
// first run and for removing those an earlier invocation left.

#include <string>
#include <vector>

#include "analysis/shards.hpp"
#include "cli/options.hpp"

namespace tarnvale {

// The files run `r` writes: its report and the exports and tables asked for.
std::vector<std::string> RunOutputs(const Options& options, int r);

// Every file this invocation may write: those of each run and the summary.
std::vector<std::string> Outputs(const Options& options);

// Every file an invocation with the output base name `out` may write,
// whatever its options.
std::vector<std::string> OutputFamily(const std::string& out);

}  // namespace tarnvale
