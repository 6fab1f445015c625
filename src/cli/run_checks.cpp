#include "cli/run_checks.hpp"

#include "cli/ensemble.hpp"
#include "cli/export_file.hpp"
#include "cli/group_edges.hpp"

namespace tarnvale {

std::vector<std::string> RunOutputs(const Options& options, int r) {
    const std::string report = options.out + static_cast<char>('A' + r);
    std::vector<std::string> names{report};
    if (options.cytoscape) names.insert(names.end(), {report + ".sif", report + ".nodes.tsv"});
    if (options.dot) names.insert(names.end(), {report + ".dot", report + ".svg"});
    if (options.permutations > 0) names.push_back(report + ".significance.tsv");
    if (options.ensemble > 0) names.push_back(report + ".stability.tsv");
    return names;
}

void CheckRunGroups(const CheckedRun& run, const PermutedRun& setup,
                    const std::vector<Group>& groups, std::vector<SummaryRow>& summary,
                    ProgressBar& progress, std::ostream& out) {
    const Options& options = run.options;
    const std::vector<std::vector<EdgeId>> edges = GroupEdges(setup.graph, groups);
    const NullModel null = options.null == "network" ? NullModel::Network : NullModel::Scores;
    std::vector<RankSignificance> ranks;
    if (options.permutations > 0)
        ranks = PermutationTest(setup, null, groups, options.nmax, options.permutations, run.base,
                                run.run, run.reportName, progress, out);
    NodeMap<double> fractions;
    if (options.ensemble > 0)
        fractions = EnsembleTest(setup, groups, options.nmax, options.ensemble, run.base, run.run,
                                 run.names, run.reportName, progress, out);

    for (std::size_t g = 0; g < groups.size(); ++g) {
        SummaryRow row;
        row.run = static_cast<char>('A' + run.run);
        row.rank = g;
        row.size = groups[g].nodes.size();
        row.edges = edges[g].size();
        row.score = groups[g].score;
        row.ranked = g < static_cast<std::size_t>(options.nmax);
        if (g < ranks.size()) row.pValue = ranks[g].pValue;
        if (options.permutations > 0) row.null = NullName(null);
        if (options.ensemble > 0) {
            double sum = 0;
            for (NodeId n : groups[g].nodes) sum += fractions.get(n);
            row.stability = sum / static_cast<double>(groups[g].nodes.size());
        }
        summary.push_back(row);
    }
    if (options.summary)
        WriteExportFile(options.out + ".summary.tsv",
                        [&](std::ostream& file) { WriteSummaryTable(file, summary); });
}

}  // namespace tarnvale
