#pragma once
// What an invocation's reports are followed by when asked for: each run's
// ensemble, the permutation chains of all runs with every ranked group's
// p-values, and the summary table.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis_options.hpp"
#include "analysis/permutation_test.hpp"
#include "analysis/summary.hpp"
#include "base/progress.hpp"
#include "search/search_groups.hpp"

namespace tarnvale {

// What the checks keep of a run that was made.
struct CheckedRun {
    std::string reportName;     // OUTBASE<letter>
    std::vector<Group> groups;  // best first, as reported
    std::vector<SummaryRow> rows;
};

// After run `run`'s report: the run's summary rows, with a warning on `out`
// naming the ranked groups whose score comes mostly from their edges when
// `sayEdgeShare`, then the ensemble when asked for (BASE.stability.tsv and
// its line on `out`). `base` is the seed the ensemble's seeds derive from.
// Throws RunError when a file cannot be written.
CheckedRun CheckRun(const AnalysisOptions& analysis, bool sayEdgeShare, int run, std::uint32_t base,
                    const std::string& reportName, const PermutedRun& setup,
                    std::vector<Group> groups, const NodeMap<std::string>& names,
                    ProgressBar& progress, std::ostream& out);

// After the last run: the permutation chains (when asked for) for every run
// made, each run's p-value lines on `out` and BASE.significance.tsv, whose
// p-values also go into the runs' summary rows.
void PermutationTest(const AnalysisOptions& analysis, const ChainStart& start,
                     std::vector<CheckedRun>& runs, ProgressBar& progress, std::ostream& out);

// Every run's rows, in run order, written to `name` (atomically; throws
// RunError when it cannot be written).
void WriteSummary(const std::string& name, const std::vector<CheckedRun>& runs);

}  // namespace tarnvale
