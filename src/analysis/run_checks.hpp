#pragma once
// What a run's report is followed by when asked for: the permutation test,
// the ensemble and the rows of the summary table.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis_options.hpp"
#include "analysis/permutation_test.hpp"
#include "analysis/summary.hpp"

namespace tarnvale {

// The run whose groups are checked.
struct CheckedRun {
    const AnalysisOptions& analysis;
    int nmax = 5;  // the ranked groups of the run
    int run = 0;
    std::uint32_t base = 0;  // the seed every repetition's seed is derived from
    const std::string& reportName;
    const NodeMap<std::string>& names;
    std::string summaryName;  // OUTBASE.summary.tsv, or empty when not asked for
};

// After the report of `run.run` (whose groups, best first, are visible in
// setup.graph): the permutation test and the ensemble when asked for, then
// the run's rows appended to `summary` and, when run.summaryName is set, that
// file written again with every row so far. Throws RunError when a file
// cannot be written.
void CheckRunGroups(const CheckedRun& run, const PermutedRun& setup,
                    const std::vector<Group>& groups, std::vector<SummaryRow>& summary,
                    ProgressBar& progress, std::ostream& out);

}  // namespace tarnvale
