#include "analysis/permutation_test.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "analysis/null_model.hpp"

namespace tarnvale {
namespace {

std::uint64_t SplitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// One permutation chain: its seeds, its steps on the shared bar, and what
// each of its runs found.
class PermutedChain : public ChainHooks {
public:
    PermutedChain(const ChainStart& start, std::uint64_t k, SharedProgress& progress)
        : start_(start), k_(k), progress_(progress) {}

    RunSeeds Seeds(int run) override {
        return {PermutationSeed(start_.base, run, 3 * k_ + 1),
                PermutationSeed(start_.base, run, 3 * k_ + 2)};
    }
    void BeginSearch(int, AnnealOptions& anneal, std::uint64_t steps) override {
        if (!progress_.enabled()) return;
        last_ = 0;
        anneal.progress = [this, steps](std::uint64_t position, std::uint64_t, float) {
            progress_.Advance(last_, std::min(position, steps));
        };
    }
    void RunDone(const RunMade& run) override {
        const std::vector<Group> groups = RankedGroups(run);
        ChainRun& found = result_.emplace_back();
        const std::size_t ranked =
            std::min(groups.size(), static_cast<std::size_t>(start_.settings.search.nmax));
        for (std::size_t g = 0; g < ranked; ++g) found.ranked.push_back(groups[g].score);
        if (ranked > 0 && start_.enrich)
            found.enrichment = start_.enrich(
                run.graph,
                std::vector<Group>(groups.begin(),
                                   groups.begin() + static_cast<std::ptrdiff_t>(ranked)));
    }
    ChainResult Take() { return std::move(result_); }

private:
    const ChainStart& start_;
    std::uint64_t k_;
    SharedProgress& progress_;
    std::uint64_t last_ = 0;
    ChainResult result_;
};

}  // namespace

std::uint32_t PermutationSeed(std::uint32_t base, int run, std::uint64_t index) {
    std::uint64_t x = SplitMix64(base);
    x = SplitMix64(x + static_cast<std::uint64_t>(run));
    x = SplitMix64(x + index);
    return static_cast<std::uint32_t>(x >> 32);
}

std::vector<ChainResult> PermutationChains(const ChainStart& start, std::uint64_t begin,
                                           std::uint64_t end, int threads, ProgressBar& progress,
                                           std::ostream& out) {
    const std::vector<std::vector<NodeId>> groups = ShuffleGroups(start.first, start.null);
    // Every run makes its N steps and one quench pass, of at most as many
    // nodes as the first run has (more when a pass is made again, which the
    // bar absorbs).
    std::uint64_t steps = 0;
    for (int r = 0; r < start.settings.runs; ++r)
        steps += static_cast<std::uint64_t>(RunIterations(start.settings.search.iterations, r)) +
                 start.first.NumberOfNodes();
    const std::uint64_t count = end > begin ? end - begin : 0;
    SharedProgress shared(progress, "permutations", count * steps);
    return RunRepetitions<ChainResult>(
        count, threads,
        [&](std::uint64_t i) {
            const std::uint64_t k = begin + i;
            NodeMap<double> shuffled = start.nodeScores;
            Random rng(PermutationSeed(start.base, 0, 3 * k));
            ShuffleNodeScores(groups, shuffled, rng);
            PermutedChain chain(start, k, shared);
            std::ostream silent(nullptr);  // the chains' own lines are not wanted
            RunChain(start.first, shuffled, start.edgeScores, start.edges, start.settings, chain,
                     silent);
            return chain.Take();
        },
        out);
}

std::vector<RankSignificance> Significance(const std::vector<Group>& observed, int nmax,
                                           const std::vector<ChainResult>& chains, int run) {
    const std::size_t ranks =
        std::min(observed.size(), static_cast<std::size_t>(std::max(nmax, 1)));
    const auto r = static_cast<std::size_t>(run);
    std::vector<RankSignificance> result(ranks);
    const double total = static_cast<double>(chains.size() + 1);
    for (std::size_t g = 0; g < ranks; ++g) {
        RankSignificance& rank = result[g];
        rank.size = observed[g].nodes.size();
        rank.score = observed[g].score;
        for (const ChainResult& chain : chains) {
            if (r >= chain.size()) continue;  // the chain's runs ended before
            const std::vector<float>& scores = chain[r].ranked;
            if (g < scores.size() && scores[g] >= rank.score) ++rank.atLeast;
            if (!scores.empty() && scores.front() >= rank.score) ++rank.bestAtLeast;
        }
        rank.pValue = static_cast<double>(rank.atLeast + 1) / total;
        rank.familywiseP = static_cast<double>(rank.bestAtLeast + 1) / total;
    }
    return result;
}

void PrintSignificance(std::ostream& out, char letter, int permutations,
                       const std::vector<RankSignificance>& ranks, NullModel null) {
    out << "\nPermutation test of run " << letter << ": ";
    if (ranks.empty()) {
        out << "the run reported no group; nothing to compare\n";
        return;
    }
    out << permutations
        << (null == NullModel::Degree
                ? " permutation chains with the node scores shuffled among nodes of similar "
                  "degree\n"
                : " permutation chains with the node scores shuffled\n");
    for (std::size_t g = 0; g < ranks.size(); ++g) {
        out << "Group No. " << g << ": s-score = " << ranks[g].score
            << ", family-wise p-value = " << ranks[g].familywiseP << " (" << ranks[g].bestAtLeast
            << " of " << permutations
            << " best groups at least as high), rank-wise p-value = " << ranks[g].pValue << " ("
            << ranks[g].atLeast << " at least as high)\n";
    }
}

void WriteSignificanceTable(std::ostream& out, int permutations,
                            const std::vector<RankSignificance>& ranks) {
    out << "group\tsize\ts_score\tat_least_as_high\tpermutations\tp_value\tbest_at_least_as_"
           "high\tfamilywise_p\n";
    for (std::size_t g = 0; g < ranks.size(); ++g) {
        out << g << '\t' << ranks[g].size << '\t' << ranks[g].score << '\t' << ranks[g].atLeast
            << '\t' << permutations << '\t' << ranks[g].pValue << '\t' << ranks[g].bestAtLeast
            << '\t' << ranks[g].familywiseP << '\n';
    }
}

}  // namespace tarnvale
