#include "analysis/ensemble.hpp"

#include <algorithm>

#include "base/export_file.hpp"

namespace tarnvale {
namespace {

// SearchGroups with its steps counted on the shared progress bar.
std::vector<Group> SearchGroups(const SearchGraph& graph, const ScoreInputs& inputs,
                                AnnealOptions anneal, std::uint32_t seed,
                                SharedProgress& progress) {
    std::uint64_t last = 0;
    if (progress.enabled()) {
        const std::uint64_t steps =
            static_cast<std::uint64_t>(anneal.iterations) + graph.NumberOfNodes();
        anneal.progress = [&progress, &last, steps](std::uint64_t position, std::uint64_t, float) {
            progress.Advance(last, std::min(position, steps));
        };
    }
    return SearchGroups(graph, inputs, anneal, seed);
}

}  // namespace

NodeMap<std::uint32_t> EnsembleCounts(const PermutedRun& setup, int nmax, Share share,
                                      std::uint32_t base, int run, ProgressBar& progress,
                                      std::ostream& out) {
    const std::uint64_t steps =
        static_cast<std::uint64_t>(setup.anneal.iterations) + setup.graph.NumberOfNodes();
    const std::uint64_t count = share.end > share.begin ? share.end - share.begin : 0;
    const auto ranked = static_cast<std::size_t>(std::max(nmax, 1));
    const ScoreInputs inputs{setup.nodeScores, setup.edgeScores, setup.context};
    std::vector<std::vector<NodeId>> selected;
    {
        SharedProgress shared(
            progress, std::string("ensemble, run ") + static_cast<char>('A' + run), count * steps);
        selected = RunRepetitions<std::vector<NodeId>>(
            count, setup.threads,
            [&](std::uint64_t k) {
                const std::vector<Group> groups = SearchGroups(
                    setup.graph, inputs, setup.anneal,
                    PermutationSeed(base, run, kEnsembleIndex + share.begin + k), shared);
                std::vector<NodeId> nodes;
                for (std::size_t g = 0; g < std::min(ranked, groups.size()); ++g)
                    nodes.insert(nodes.end(), groups[g].nodes.begin(), groups[g].nodes.end());
                return nodes;
            },
            out);
    }
    NodeMap<std::uint32_t> counts(setup.graph.NumberOfNodeIds(), 0);
    for (const auto& nodes : selected)
        for (NodeId n : nodes) ++counts[n];
    return counts;
}

void WriteStabilityTable(std::ostream& out, const SearchGraph& graph,
                         const NodeMap<std::string>& names, const NodeMap<std::string>* labels,
                         const NodeMap<std::uint32_t>& counts, int repetitions) {
    std::vector<NodeId> nodes;
    graph.ForEachNode([&](NodeId n) {
        if (counts.get(n) > 0) nodes.push_back(n);
    });
    std::sort(nodes.begin(), nodes.end(), [&](NodeId a, NodeId b) {
        return counts.get(a) != counts.get(b) ? counts.get(a) > counts.get(b)
                                              : names.at(a) < names.at(b);
    });
    out << (labels != nullptr ? "name\tlabel\t" : "name\t")
        << "selected_in\trepetitions\tfraction\n";
    for (NodeId n : nodes) {
        out << names.at(n) << '\t';
        if (labels != nullptr) out << labels->at(n) << '\t';
        out << counts.get(n) << '\t' << repetitions << '\t'
            << static_cast<double>(counts.get(n)) / repetitions << '\n';
    }
}

NodeMap<double> ReportStability(const SearchGraph& graph, const NodeMap<std::uint32_t>& counts,
                                const std::vector<Group>& groups, int nmax, int repetitions,
                                int run, const NodeMap<std::string>& names,
                                const NodeMap<std::string>* labels, const std::string& reportName,
                                std::ostream& out) {
    WriteExportFile(reportName + ".stability.tsv", [&](std::ostream& file) {
        WriteStabilityTable(file, graph, names, labels, counts, repetitions);
    });
    NodeMap<double> fractions(counts.size(), 0.0);
    for (std::size_t n = 0; n < counts.size(); ++n)
        fractions[static_cast<NodeId>(n)] =
            static_cast<double>(counts.get(static_cast<NodeId>(n))) / repetitions;
    std::size_t inRanked = 0, stable = 0;
    for (std::size_t g = 0; g < std::min(groups.size(), static_cast<std::size_t>(nmax)); ++g)
        for (NodeId n : groups[g].nodes) {
            ++inRanked;
            stable += fractions.get(n) >= 0.5;
        }
    out << "\nStability of run " << static_cast<char>('A' + run) << ": " << stable << " of the "
        << inRanked << " nodes of its ranked groups are in the ranked groups of at least half of "
        << repetitions << " repeated searches\n";
    return fractions;
}

}  // namespace tarnvale
