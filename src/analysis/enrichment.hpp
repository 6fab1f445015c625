#pragma once
// Which gene sets a group over-represents: the sets are matched to the run's
// universe (its nodes with data), and each group gets the hypergeometric
// upper tail of its overlap with every set, Benjamini-Hochberg q-values over
// every tested set, and, from permuted searches, empirical p-values.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "network/gene_sets.hpp"
#include "network/graph.hpp"
#include "stats/hypergeometric.hpp"

namespace tarnvale {

struct EnrichmentOptions {
    std::size_t minSetSize = 2;    // a set with fewer members in the universe is not tested
    std::size_t maxSetSize = 500;  // nor one with more (too broad to say anything)
};

// The gene sets as one universe sees them. The tested sets are those with
// minSetSize to maxSetSize members in the universe: every group's
// Benjamini-Hochberg family is all of them, whatever its overlap with each.
struct UniverseSets {
    std::size_t given = 0;     // sets in the list
    std::size_t tooSmall = 0;  // sets with fewer than minSetSize members in the universe
    std::size_t tooLarge = 0;  // sets with more than maxSetSize
    std::int64_t universeSize = 0;
    std::vector<std::size_t> source;  // each tested set's index in the list
    std::vector<std::int64_t> size;   // each tested set's members in the universe
    NodeMap<bool> inUniverse;
    NodeMap<std::vector<std::int32_t>> setsOfNode;  // tested sets (their index) of each node
    Hypergeometric law{0};                          // over the universe's size
};

// The keys by which a gene set can name each node of `universe`: its label
// (when labels is given and the label is not empty), its name, then every
// identifier of its association list, without repeats.
NodeMap<std::vector<std::string>> EnrichmentKeys(
    const std::vector<NodeId>& universe, const NodeMap<std::string>& names,
    const NodeMap<std::vector<std::string>>& associations,
    const NodeMap<std::string>* labels = nullptr);

// Matches the sets to the universe: a node belongs to a set when any of its
// keys is a member (byte for byte, case included), and counts once however
// many of its keys are. A node listed twice in the universe counts once.
UniverseSets MatchGeneSets(const std::vector<GeneSet>& sets, const std::vector<NodeId>& universe,
                           const NodeMap<std::vector<std::string>>& keys,
                           const EnrichmentOptions& options = {});

// One line on how the sets met the universe: "Gene sets of FILE: T of S
// tested against N nodes; A with fewer than MIN members among them and B
// with more than MAX are left out", and a hint when no set is tested.
void PrintGeneSetMatching(std::ostream& out, const std::string& fileName,
                          const UniverseSets& matched, const EnrichmentOptions& options = {});

// One set's over-representation in one group.
struct EnrichmentRow {
    std::size_t group = 0;       // the group's number in the run's report
    std::size_t set = 0;         // the set's index in the list
    std::int64_t overlap = 0;    // k: the group's nodes in the set
    std::int64_t groupSize = 0;  // n: the group's nodes in the universe
    std::int64_t setSize = 0;    // K: the set's nodes in the universe
    std::int64_t universe = 0;   // N
    double logP = 0;             // natural log of P(X >= k), X hypergeometric(N, K, n)
    double logQ = 0;             // natural log of its Benjamini-Hochberg q-value
    std::optional<double> empiricalP;
    std::vector<NodeId> members;  // the group's nodes in the set, in group order
};

// The rows of every tested set that shares at least two nodes with `group`,
// by p, then set order. The q-values adjust over all tested sets, those that
// share fewer than two nodes with the group included (their p-values are
// computed all the same), so leaving their rows out makes no q smaller.
// Group nodes outside the universe, and repeats, are ignored.
std::vector<EnrichmentRow> EnrichGroup(const UniverseSets& matched, std::size_t groupNumber,
                                       const std::vector<NodeId>& group);

// A set's enrichment statistic in a group: -log P(X >= k).
struct SetStatistic {
    std::size_t set = 0;  // the set's index in the list
    double value = 0;
};

// The statistic of every tested set that shares at least two nodes with
// `group`, in set order; every other set's statistic is 0. Exactly what
// EnrichGroup computes for its rows (value = -logP), without the q-values
// and members: cheap enough for the best group of every permuted search, and
// safe to call from several threads at once on one UniverseSets.
std::vector<SetStatistic> EnrichmentStatistics(const UniverseSets& matched,
                                               const std::vector<NodeId>& group);

// Each set's best statistic over the groups, in set order: what a
// permutation chain's run holds against every ranked group of the real run.
// Comparing each real group with the best of the chain's ranked groups (not
// with its best group alone) keeps the empirical p-value of a group of any
// rank valid: the real run's own best over its ranked groups is exchangeable
// with a chain's under the null, and no group's statistic exceeds it.
std::vector<SetStatistic> BestStatistics(const UniverseSets& matched,
                                         const std::vector<std::vector<NodeId>>& groups);

// For each row, (1 + the chains whose statistic for the row's set reaches
// the row's -logP) / (chains + 1), where chains[c] is EnrichmentStatistics
// of chain c's group (a set it does not list has statistic 0). A chain's
// value short of the row's by at most 1e-9 * max(1, row's value) counts as
// reaching it, so that rounding can only make the p-value larger.
std::vector<double> EmpiricalPValues(const std::vector<EnrichmentRow>& rows,
                                     const std::vector<std::vector<SetStatistic>>& chains);

}  // namespace tarnvale
