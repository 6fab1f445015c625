#pragma once
// Whether a run's groups are more than random scores on the same network
// give: the run's search is repeated with the node scores shuffled among the
// run's nodes, and each group rank gets the empirical p-value of its score.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis_options.hpp"
#include "analysis/repetitions.hpp"
#include "base/progress.hpp"
#include "network/graph.hpp"
#include "network/rewire.hpp"
#include "search/evaluate.hpp"
#include "search/score_context.hpp"
#include "search/search_groups.hpp"
#include "stats/random.hpp"

namespace tarnvale {

// One group rank of the run and how the permutations did against it.
struct RankSignificance {
    std::size_t size = 0;       // nodes of the run's group of this rank
    float score = 0;            // its subnetwork score
    std::uint64_t atLeast = 0;  // permutations whose group of this rank scores at least as high
    double pValue = 1;          // (1 + atLeast) / (permutations + 1)
};

// The seed of repetition `index` of run `run`, derived from `base` by
// splitmix64 mixing, so that every repetition has its own stream and the same
// base gives the same seeds.
std::uint32_t PermutationSeed(std::uint32_t base, int run, std::uint64_t index);

// Shuffles the scores of `nodes` among them (Fisher-Yates, drawing with rng).
void ShuffleNodeScores(const std::vector<NodeId>& nodes, NodeMap<double>& scores, Random& rng);

// The empirical p-values of the first min(nmax, groups) ranks: `permuted`
// holds each permutation's ranked group scores; a permutation without a group
// of some rank does not reach that rank's score.
std::vector<RankSignificance> Significance(const std::vector<Group>& observed, int nmax,
                                           const std::vector<std::vector<float>>& permuted);

// SearchGroups with its steps counted on the shared progress bar.
std::vector<Group> SearchGroups(const SearchGraph& graph, const ScoreInputs& inputs,
                                AnnealOptions anneal, std::uint32_t seed, SharedProgress& progress);

// Runs `permutations` searches on `setup.threads` threads: repetition k
// shuffles (node scores, or edges and edge scores) with seed
// PermutationSeed(base, run, 2k) and searches with seed
// PermutationSeed(base, run, 2k + 1). Returns each one's ranked group
// scores in repetition order; `rewired` sums the rewirings of the network
// null.
std::vector<std::vector<float>> PermutedScores(const PermutedRun& setup, NullModel null,
                                               int permutations, std::uint32_t base, int run,
                                               ProgressBar& progress, const std::string& phase,
                                               RewireCount& rewired);

// The summary lines on standard output, after a line end: a header, then one
// line per rank.
void PrintSignificance(std::ostream& out, char letter, int permutations,
                       const std::vector<RankSignificance>& ranks,
                       NullModel null = NullModel::Scores);

// The header "group<TAB>size<TAB>s_score<TAB>at_least_as_high<TAB>permutations
// <TAB>p_value", then one line per rank.
void WriteSignificanceTable(std::ostream& out, int permutations,
                            const std::vector<RankSignificance>& ranks);

// The whole test of run `run` after its report: the searches (skipped when
// the run has no group), a warning when the network null could rewire little,
// the summary lines and BASE.significance.tsv (atomically; throws RunError
// when it cannot be written). Returns the ranks' p-values.
std::vector<RankSignificance> PermutationTest(const PermutedRun& setup, NullModel null,
                                              const std::vector<Group>& observed, int nmax,
                                              int permutations, std::uint32_t base, int run,
                                              const std::string& reportName, ProgressBar& progress,
                                              std::ostream& out);

}  // namespace tarnvale
