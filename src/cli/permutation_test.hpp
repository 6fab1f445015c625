#pragma once
// Whether a run's groups are more than random scores on the same network
// give: the run's search is repeated with the node scores shuffled among the
// run's nodes, and each group rank gets the empirical p-value of its score.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/progress.hpp"
#include "network/graph.hpp"
#include "search/annealing.hpp"
#include "search/evaluate.hpp"
#include "stats/random.hpp"
#include "search/score_context.hpp"

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

// The run as the permutations repeat it.
struct PermutedRun {
    Graph& graph;                     // the run's graph, before it is cut down
    const NodeMap<double>& nodeScores;
    const EdgeMap<float>& edgeScores;
    const ScoreContext& context;      // the run's background models
    const AnnealOptions& anneal;      // the run's search settings
};

// Runs `permutations` searches (no output of their own): repetition k shuffles
// the node scores with seed PermutationSeed(base, run, 2k) and searches with
// seed PermutationSeed(base, run, 2k + 1). Returns each one's ranked group
// scores. Leaves the graph with nodes hidden.
std::vector<std::vector<float>> PermutedScores(const PermutedRun& setup, int permutations,
                                               std::uint32_t base, int run,
                                               ProgressBar& progress, const std::string& phase);

// The summary lines on standard output, after a line end: a header, then one
// line per rank.
void PrintSignificance(std::ostream& out, char letter, int permutations,
                       const std::vector<RankSignificance>& ranks);

// The header "group<TAB>size<TAB>s_score<TAB>at_least_as_high<TAB>permutations
// <TAB>p_value", then one line per rank.
void WriteSignificanceTable(std::ostream& out, int permutations,
                            const std::vector<RankSignificance>& ranks);

// The whole test of run `run` after its report: the searches (skipped when
// the run has no group), the summary lines and BASE.significance.tsv
// (atomically; throws RunError when it cannot be written).
void PermutationTest(const PermutedRun& setup, const std::vector<Group>& observed, int nmax,
                     int permutations, std::uint32_t base, int run, const std::string& reportName,
                     ProgressBar& progress, std::ostream& out);

}  // namespace tarnvale
