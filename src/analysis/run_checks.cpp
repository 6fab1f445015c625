#include "analysis/run_checks.hpp"

#include <new>
#include <sstream>
#include <string>
#include <utility>

#include "analysis/ensemble.hpp"
#include "base/export_file.hpp"
#include "base/run_error.hpp"

namespace tarnvale {
namespace {

// Database confidence is not evidence of activity: a ranked group that owes
// most of its score to its edges is named.
void WarnOfEdgeShare(const std::vector<SummaryRow>& rows, std::ostream& out) {
    std::string groups, shares;
    for (const SummaryRow& row : rows) {
        if (!row.rank || !row.ranked || !(row.score > 0) || !(row.edgeShare > 0.5)) continue;
        std::ostringstream share;
        share << row.edgeShare;
        groups += (groups.empty() ? "" : ", ") + std::to_string(*row.rank);
        shares += (shares.empty() ? "" : ", ") + share.str();
    }
    if (groups.empty()) return;
    out << "\nWarning: ranked group(s) " << groups << " of run " << rows.front().run
        << " owe most of their s-score to their edges (edge share " << shares
        << "); edge values such as database confidence say how sure an interaction is, not that "
           "it is active\n";
}

// Each thread keeps a search of its own: fewer threads need less memory.
std::string OutOfMemory(const std::string& what, int threads) {
    return "\nError: out of memory in " + what + " on " + std::to_string(threads) +
           " threads (--threads); every thread keeps a search of its own, so fewer threads "
           "need less memory\n";
}

}  // namespace

CheckedRun CheckRun(const AnalysisOptions& analysis, bool sayEdgeShare, int run, std::uint32_t base,
                    const std::string& reportName, const PermutedRun& setup,
                    std::vector<Group> groups, const NodeMap<std::string>& names,
                    ProgressBar& progress, std::ostream& out) {
    const int nmax = setup.anneal.nmax;
    CheckedRun checked{reportName, std::move(groups), {}};
    const ScoreInputs inputs{setup.nodeScores, setup.edgeScores, setup.context};
    checked.rows = RunRows(static_cast<char>('A' + run), setup.graph, checked.groups, inputs, nmax);
    if (sayEdgeShare) WarnOfEdgeShare(checked.rows, out);
    if (analysis.ensemble > 0) {
        const NodeMap<double> fractions =
            EnsembleTest(setup, checked.groups, nmax, analysis.ensemble, base, run, names,
                         reportName, progress, out);
        for (SummaryRow& row : checked.rows) {
            if (!row.rank) continue;
            double sum = 0;
            for (NodeId n : checked.groups[*row.rank].nodes) sum += fractions.get(n);
            row.stability = sum / static_cast<double>(row.size);
        }
    }
    return checked;
}

void PermutationTest(const AnalysisOptions& analysis, const ChainStart& start,
                     std::vector<CheckedRun>& runs, ProgressBar& progress, std::ostream& out) {
    if (analysis.permutations <= 0 || runs.empty()) return;
    const auto count = static_cast<std::uint64_t>(analysis.permutations);
    std::vector<ChainResult> chains;
    try {
        chains = PermutationChains(start, 0, count, analysis.threads, progress, out);
    } catch (const std::bad_alloc&) {
        throw RunError(OutOfMemory("the permutation chains (--permutations " +
                                       std::to_string(analysis.permutations) + ")",
                                   analysis.threads),
                       1);
    }
    for (std::size_t r = 0; r < runs.size(); ++r) {
        CheckedRun& run = runs[r];
        const std::vector<RankSignificance> ranks =
            Significance(run.groups, start.settings.search.nmax, chains, static_cast<int>(r));
        PrintSignificance(out, static_cast<char>('A' + r), analysis.permutations, ranks,
                          start.null);
        WriteExportFile(run.reportName + ".significance.tsv", [&](std::ostream& file) {
            WriteSignificanceTable(file, analysis.permutations, ranks);
        });
        for (SummaryRow& row : run.rows) {
            row.null = NullName(start.null);
            if (row.rank && *row.rank < ranks.size()) {
                row.pValue = ranks[*row.rank].pValue;
                row.familywiseP = ranks[*row.rank].familywiseP;
            }
        }
    }
}

void WriteSummary(const std::string& name, const std::vector<CheckedRun>& runs) {
    std::vector<SummaryRow> rows;
    for (const CheckedRun& run : runs) rows.insert(rows.end(), run.rows.begin(), run.rows.end());
    WriteExportFile(name, [&](std::ostream& file) { WriteSummaryTable(file, rows); });
}

}  // namespace tarnvale
