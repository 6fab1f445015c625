#include "analysis/run_checks.hpp"

#include "analysis/ensemble.hpp"
#include "base/export_file.hpp"
#include "search/group_edges.hpp"

namespace tarnvale {

void CheckRunGroups(const CheckedRun& run, const PermutedRun& setup,
                    const std::vector<Group>& groups, std::vector<SummaryRow>& summary,
                    ProgressBar& progress, std::ostream& out) {
    const AnalysisOptions& options = run.analysis;
    const std::vector<std::vector<GroupEdge>> edges = GroupEdges(setup.graph, groups);
    const NullModel null = options.null;
    std::vector<RankSignificance> ranks;
    if (options.permutations > 0)
        ranks = PermutationTest(setup, null, groups, run.nmax, options.permutations, run.base,
                                run.run, run.reportName, progress, out);
    NodeMap<double> fractions;
    if (options.ensemble > 0)
        fractions = EnsembleTest(setup, groups, run.nmax, options.ensemble, run.base, run.run,
                                 run.names, run.reportName, progress, out);

    for (std::size_t g = 0; g < groups.size(); ++g) {
        SummaryRow row;
        row.run = static_cast<char>('A' + run.run);
        row.rank = g;
        row.size = groups[g].nodes.size();
        row.edges = edges[g].size();
        row.score = groups[g].score;
        row.ranked = g < static_cast<std::size_t>(run.nmax);
        if (g < ranks.size()) row.pValue = ranks[g].pValue;
        if (options.permutations > 0) row.null = NullName(null);
        if (options.ensemble > 0) {
            double sum = 0;
            for (NodeId n : groups[g].nodes) sum += fractions.get(n);
            row.stability = sum / static_cast<double>(groups[g].nodes.size());
        }
        summary.push_back(row);
    }
    if (!run.summaryName.empty())
        WriteExportFile(run.summaryName,
                        [&](std::ostream& file) { WriteSummaryTable(file, summary); });
}

}  // namespace tarnvale
