#include "analysis/permutation_test.hpp"

#include <algorithm>
#include <utility>

#include "base/export_file.hpp"

namespace tarnvale {
namespace {

std::uint64_t SplitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A uniformly random order of n items (Fisher-Yates, from the last item
// down): swap(i, j) exchanges two of them.
template <typename Swap>
void ShuffleOrder(std::size_t n, Random& rng, Swap swap) {
    for (std::size_t i = n; i > 1; --i)
        swap(i - 1, static_cast<std::size_t>(rng.Integer(0, static_cast<std::int32_t>(i - 1))));
}

// The edge scores of `graph`'s visible edges, in edge order, dealt out in
// random order to the edges of `rewired`, in edge order.
EdgeMap<float> ShuffledEdgeScores(const Graph& graph, const EdgeMap<float>& scores,
                                  const Graph& rewired, Random& rng) {
    std::vector<float> values;
    graph.ForEachEdge([&](EdgeId e) { values.push_back(scores.get(e)); });
    ShuffleOrder(values.size(), rng,
                 [&](std::size_t i, std::size_t j) { std::swap(values[i], values[j]); });
    EdgeMap<float> result;
    std::size_t next = 0;
    rewired.ForEachEdge([&](EdgeId e) { result[e] = values[next++]; });
    return result;
}

std::vector<float> ScoresOf(const std::vector<Group>& groups) {
    std::vector<float> scores;
    for (const Group& group : groups) scores.push_back(group.score);
    return scores;
}

}  // namespace

std::uint32_t PermutationSeed(std::uint32_t base, int run, std::uint64_t index) {
    std::uint64_t x = SplitMix64(base);
    x = SplitMix64(x + static_cast<std::uint64_t>(run));
    x = SplitMix64(x + index);
    return static_cast<std::uint32_t>(x >> 32);
}

void ShuffleNodeScores(const std::vector<NodeId>& nodes, NodeMap<double>& scores, Random& rng) {
    ShuffleOrder(nodes.size(), rng, [&](std::size_t i, std::size_t j) {
        std::swap(scores[nodes[i]], scores[nodes[j]]);
    });
}

std::vector<RankSignificance> Significance(const std::vector<Group>& observed, int nmax,
                                           const std::vector<std::vector<float>>& permuted) {
    const std::size_t ranks =
        std::min(observed.size(), static_cast<std::size_t>(std::max(nmax, 1)));
    std::vector<RankSignificance> result(ranks);
    for (std::size_t g = 0; g < ranks; ++g) {
        RankSignificance& rank = result[g];
        rank.size = observed[g].nodes.size();
        rank.score = observed[g].score;
        for (const auto& scores : permuted)
            if (g < scores.size() && scores[g] >= rank.score) ++rank.atLeast;
        rank.pValue =
            static_cast<double>(rank.atLeast + 1) / static_cast<double>(permuted.size() + 1);
    }
    return result;
}

std::vector<Group> SearchGroups(const SearchGraph& graph, const ScoreInputs& inputs,
                                AnnealOptions anneal, std::uint32_t seed,
                                SharedProgress& progress) {
    anneal.progress = nullptr;
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

std::vector<std::vector<float>> PermutedScores(const PermutedRun& setup, NullModel null,
                                               int permutations, std::uint32_t base, int run,
                                               ProgressBar& progress, const std::string& phase,
                                               RewireCount& rewired) {
    // Every search makes N steps and one quench pass of n (more when a pass
    // is made again, which the bar absorbs).
    const std::uint64_t steps =
        static_cast<std::uint64_t>(setup.anneal.iterations) + setup.graph.NumberOfNodes();
    const auto count = static_cast<std::uint64_t>(std::max(permutations, 0));
    std::vector<RewireCount> rewirings(null == NullModel::Network ? count : 0);
    std::vector<std::vector<float>> scores;
    {
        SharedProgress shared(progress, phase, count * steps);
        scores = RunRepetitions<std::vector<float>>(count, setup.threads, [&](std::uint64_t k) {
            Random rng(PermutationSeed(base, run, 2 * k));
            const std::uint32_t seed = PermutationSeed(base, run, 2 * k + 1);
            if (null == NullModel::Network) {
                Graph graph = RewiredGraph(setup.network, rng, rewirings[k]);
                const EdgeMap<float> edges =
                    ShuffledEdgeScores(setup.network, setup.edgeScores, graph, rng);
                const SearchGraph rewired(graph, setup.context.nodeOnly ? nullptr : &edges);
                const ScoreInputs inputs{setup.nodeScores, edges, setup.context};
                return ScoresOf(SearchGroups(rewired, inputs, setup.anneal, seed, shared));
            }
            NodeMap<double> shuffled = setup.nodeScores;
            ShuffleNodeScores(setup.graph.Nodes(), shuffled, rng);
            const ScoreInputs inputs{shuffled, setup.edgeScores, setup.context};
            return ScoresOf(SearchGroups(setup.graph, inputs, setup.anneal, seed, shared));
        });
    }
    rewired = RewireCount{};
    for (const RewireCount& one : rewirings) {
        rewired.attempts += one.attempts;
        rewired.swaps += one.swaps;
        rewired.changed += one.changed;
        rewired.edges += one.edges;
    }
    return scores;
}

void PrintSignificance(std::ostream& out, char letter, int permutations,
                       const std::vector<RankSignificance>& ranks, NullModel null) {
    out << "\nPermutation test of run " << letter << ": ";
    if (ranks.empty()) {
        out << "the run reported no group; nothing to compare\n";
        return;
    }
    out << permutations
        << (null == NullModel::Network ? " searches on rewired networks (degrees kept)\n"
                                       : " searches with the node scores shuffled\n");
    for (std::size_t g = 0; g < ranks.size(); ++g) {
        out << "Group No. " << g << ": s-score = " << ranks[g].score
            << ", empirical p-value = " << ranks[g].pValue << " (" << ranks[g].atLeast << " of "
            << permutations << " permutations at least as high)\n";
    }
}

void WriteSignificanceTable(std::ostream& out, int permutations,
                            const std::vector<RankSignificance>& ranks) {
    out << "group\tsize\ts_score\tat_least_as_high\tpermutations\tp_value\n";
    for (std::size_t g = 0; g < ranks.size(); ++g) {
        out << g << '\t' << ranks[g].size << '\t' << ranks[g].score << '\t' << ranks[g].atLeast
            << '\t' << permutations << '\t' << ranks[g].pValue << '\n';
    }
}

std::vector<RankSignificance> PermutationTest(const PermutedRun& setup, NullModel null,
                                              const std::vector<Group>& observed, int nmax,
                                              int permutations, std::uint32_t base, int run,
                                              const std::string& reportName, ProgressBar& progress,
                                              std::ostream& out) {
    const char letter = static_cast<char>('A' + run);
    std::vector<RankSignificance> ranks;
    RewireCount rewired;
    if (!observed.empty()) {
        const std::string phase = std::string("permutations, run ") + letter;
        ranks = Significance(
            observed, nmax,
            PermutedScores(setup, null, permutations, base, run, progress, phase, rewired));
    }
    // A star or a nearly complete graph leaves few swaps to make: its
    // rewirings stay close to the graph itself and prove little.
    if (null == NullModel::Network && 2 * rewired.swaps < rewired.attempts) {
        const std::uint64_t perSearch = std::max(permutations, 1);
        out << "\nWarning: the rewiring of run " << letter << "'s network made only "
            << rewired.swaps << " of " << rewired.attempts << " attempted edge swaps; "
            << rewired.changed / perSearch << " of " << rewired.edges / perSearch
            << " edges were rewired per permutation on average\n";
    }
    PrintSignificance(out, letter, permutations, ranks, null);
    WriteExportFile(reportName + ".significance.tsv",
                    [&](std::ostream& file) { WriteSignificanceTable(file, permutations, ranks); });
    return ranks;
}

}  // namespace tarnvale
