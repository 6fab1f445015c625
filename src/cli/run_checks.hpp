#pragma once
// What a run's report is followed by when asked for: the permutation test,
// the ensemble and the rows of the summary table.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/options.hpp"
#include "cli/permutation_test.hpp"
#include "cli/summary.hpp"

namespace tarnvale {

// The files run `r` writes: its report and the exports and tables asked for.
std::vector<std::string> RunOutputs(const Options& options, int r);

// The run whose groups are checked.
struct CheckedRun {
    const Options& options;
    int run = 0;
    std::uint32_t base = 0;  // the seed every repetition's seed is derived from
    const std::string& reportName;
    const NodeMap<std::string>& names;
};

// After the report of `run.run` (whose groups, best first, are visible in
// setup.graph): the permutation test and the ensemble when asked for, then
// the run's rows appended to `summary` and, with --summary, OUTBASE.summary.tsv
// written again with every row so far. Throws RunError when a file cannot be
// written.
void CheckRunGroups(const CheckedRun& run, const PermutedRun& setup,
                    const std::vector<Group>& groups, std::vector<SummaryRow>& summary,
                    ProgressBar& progress, std::ostream& out);

}  // namespace tarnvale
