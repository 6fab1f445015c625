#include "cli/permutation_test.hpp"

#include <algorithm>
#include <utility>

#include "cli/export_file.hpp"

namespace tarnvale {
namespace {

std::uint64_t SplitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The ranked group scores of the state the search left.
std::vector<float> RankedScores(Graph& graph, const NodeMap<bool>& selection,
                                const ScoreInputs& inputs) {
    const Evaluation evaluation = Evaluate(graph, selection, inputs);
    std::vector<float> scores;
    for (std::size_t index : RankGroups(evaluation.groups))
        scores.push_back(evaluation.groups[index].score);
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
    for (std::size_t i = nodes.size(); i > 1; --i) {
        const auto j = static_cast<std::size_t>(rng.Integer(0, static_cast<std::int32_t>(i - 1)));
        std::swap(scores[nodes[i - 1]], scores[nodes[j]]);
    }
}

std::vector<RankSignificance> Significance(const std::vector<Group>& observed, int nmax,
                                           const std::vector<std::vector<float>>& permuted) {
    const std::size_t ranks = std::min(observed.size(), static_cast<std::size_t>(std::max(nmax, 1)));
    std::vector<RankSignificance> result(ranks);
    for (std::size_t g = 0; g < ranks; ++g) {
        RankSignificance& rank = result[g];
        rank.size = observed[g].nodes.size();
        rank.score = observed[g].score;
        for (const auto& scores : permuted)
            if (g < scores.size() && scores[g] >= rank.score) ++rank.atLeast;
        rank.pValue = static_cast<double>(rank.atLeast + 1) /
                      static_cast<double>(permuted.size() + 1);
    }
    return result;
}

std::vector<std::vector<float>> PermutedScores(const PermutedRun& setup, int permutations,
                                               std::uint32_t base, int run,
                                               ProgressBar& progress, const std::string& phase) {
    setup.graph.RestoreGraph();
    const std::vector<NodeId> nodes = setup.graph.Nodes();
    // Every search makes N steps and one quench pass of n (more when a pass
    // is made again, which the bar absorbs).
    const std::uint64_t steps = setup.anneal.iterations + nodes.size();
    const auto count = static_cast<std::uint64_t>(std::max(permutations, 0));
    progress.Begin(phase, count * steps, "steps");
    std::ostream silent(nullptr);  // the searches' own lines are not wanted
    std::vector<std::vector<float>> scores;
    for (std::uint64_t k = 0; k < count; ++k) {
        NodeMap<double> shuffled = setup.nodeScores;
        Random shuffleRng(PermutationSeed(base, run, 2 * k));
        ShuffleNodeScores(nodes, shuffled, shuffleRng);
        const ScoreInputs inputs{shuffled, setup.edgeScores, setup.context};
        AnnealOptions anneal = setup.anneal;
        anneal.progress = nullptr;
        if (progress.enabled()) {
            anneal.progress = [&progress, k, steps](std::uint64_t position, std::uint64_t,
                                                    float) {
                progress.Update(k * steps + std::min(position, steps));
            };
        }
        NodeMap<bool> selection;
        Anneal(setup.graph, inputs, selection, anneal, PermutationSeed(base, run, 2 * k + 1),
               silent);
        scores.push_back(RankedScores(setup.graph, selection, inputs));
    }
    progress.End();
    return scores;
}

void PrintSignificance(std::ostream& out, char letter, int permutations,
                       const std::vector<RankSignificance>& ranks) {
    out << "\nPermutation test of run " << letter << ": ";
    if (ranks.empty()) {
        out << "the run reported no group; nothing to compare\n";
        return;
    }
    out << permutations << " searches with the node scores shuffled\n";
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

void PermutationTest(const PermutedRun& setup, const std::vector<Group>& observed, int nmax,
                     int permutations, std::uint32_t base, int run, const std::string& reportName,
                     ProgressBar& progress, std::ostream& out) {
    const char letter = static_cast<char>('A' + run);
    std::vector<RankSignificance> ranks;
    if (!observed.empty()) {
        const std::string phase = std::string("permutations, run ") + letter;
        ranks = Significance(observed, nmax,
                             PermutedScores(setup, permutations, base, run, progress, phase));
    }
    PrintSignificance(out, letter, permutations, ranks);
    WriteExportFile(reportName + ".significance.tsv", [&](std::ostream& file) {
        WriteSignificanceTable(file, permutations, ranks);
    });
}

}  // namespace tarnvale
