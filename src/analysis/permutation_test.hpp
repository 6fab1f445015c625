#pragma once
// Whether an invocation's groups are more than chance: every permutation
// chain shuffles the node scores of the prepared network and performs every
// run as the invocation does (run A on the whole network, each later run
// inside the chain's own previous selection, background models of the
// chain's own nodes), so that nothing is conditioned on the real runs. Run
// r's groups are then compared with run r of every chain.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis_options.hpp"
#include "analysis/enrichment.hpp"
#include "analysis/repetitions.hpp"
#include "analysis/run_chain.hpp"
#include "base/progress.hpp"
#include "search/evaluate.hpp"

namespace tarnvale {

// What run r of one permutation chain found.
struct ChainRun {
    std::vector<float> ranked;  // its first nmax group scores, best first
    // The gene sets its ranked groups are enriched in, each with its best
    // statistic over those groups, when gene sets are given.
    std::vector<SetStatistic> enrichment;
};
// One chain: its runs in order (fewer when its runs ended early).
using ChainResult = std::vector<ChainRun>;

// The seed of repetition `index` of run `run`, derived from `base` by
// splitmix64 mixing, so that every repetition has its own stream and the same
// base gives the same seeds.
std::uint32_t PermutationSeed(std::uint32_t base, int run, std::uint64_t index);

// What every chain starts from.
struct ChainStart {
    const SearchGraph& first;           // the prepared network, run A's
    const NodeMap<double>& nodeScores;  // the real node scores
    const EdgeMap<float>& edgeScores;
    const ScoreContext& edges;  // the edge model and whether run A scores edges
    const ChainSettings& settings;
    NullModel null = NullModel::Scores;
    std::uint32_t base = 0;  // chain k's seeds derive from it
    // The enrichment of a run's ranked groups among that run's nodes: each
    // set once, with its best statistic over the groups (see
    // BestStatistics); empty without gene sets. Called from several threads
    // at once.
    std::function<std::vector<SetStatistic>(const SearchGraph& run,
                                            const std::vector<Group>& ranked)>
        enrich = {};
};

// Chains `begin` to `end` - 1, on `threads` threads, counted on the progress
// bar as one phase. Chain k shuffles with seed PermutationSeed(base, 0, 3k);
// its run r builds its background model with PermutationSeed(base, r, 3k + 1)
// and searches with PermutationSeed(base, r, 3k + 2). A warning on `out`
// tells of threads that could not be started.
std::vector<ChainResult> PermutationChains(const ChainStart& start, std::uint64_t begin,
                                           std::uint64_t end, int threads, ProgressBar& progress,
                                           std::ostream& out);

// One group rank of a run and how the chains did against it.
struct RankSignificance {
    std::size_t size = 0;           // nodes of the run's group of this rank
    float score = 0;                // its subnetwork score
    std::uint64_t atLeast = 0;      // chains whose group of this rank scores at least as high
    double pValue = 1;              // (1 + atLeast) / (chains + 1), the rank-wise p
    std::uint64_t bestAtLeast = 0;  // chains whose best group scores at least as high
    double familywiseP = 1;         // (1 + bestAtLeast) / (chains + 1)
};

// The p-values of the first min(nmax, groups) ranks of run `run`: rank g
// against rank g of each chain's run, and against each chain's best group of
// that run. A chain without a group of some rank does not reach it.
std::vector<RankSignificance> Significance(const std::vector<Group>& observed, int nmax,
                                           const std::vector<ChainResult>& chains, int run);

// The lines on standard output, after a line end: a header, then one line
// per rank.
void PrintSignificance(std::ostream& out, char letter, int permutations,
                       const std::vector<RankSignificance>& ranks, NullModel null);

// The header "group<TAB>size<TAB>s_score<TAB>at_least_as_high<TAB>permutations
// <TAB>p_value<TAB>best_at_least_as_high<TAB>familywise_p", then one line per
// rank.
void WriteSignificanceTable(std::ostream& out, int permutations,
                            const std::vector<RankSignificance>& ranks);

}  // namespace tarnvale
