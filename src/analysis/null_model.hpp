#pragma once
// What a permutation chain shuffles: the node scores among all nodes of the
// prepared network, or only among nodes of similar degree, so that a chain
// keeps which scores sit on hubs.

#include <cstdint>
#include <vector>

#include "analysis/analysis_options.hpp"
#include "network/graph.hpp"
#include "search/search_graph.hpp"
#include "stats/random.hpp"

namespace tarnvale {

// The smallest number of nodes in a degree bin.
inline constexpr std::size_t kMinDegreeBin = 50;

// The degree bins of `graph`: its nodes ordered by degree (ties in node
// order) and cut into runs of whole degree classes, each closed as soon as it
// holds at least kMinDegreeBin nodes; a last bin smaller than that joins the
// one before. A network of fewer than 2 * kMinDegreeBin nodes is one bin.
std::vector<std::vector<NodeId>> DegreeBins(const SearchGraph& graph);

// The groups of nodes among which `null` shuffles: every node of `graph` in
// one group, or its degree bins.
std::vector<std::vector<NodeId>> ShuffleGroups(const SearchGraph& graph, NullModel null);

// Shuffles the scores of each group's nodes among them (Fisher-Yates from the
// last node down, drawing with rng), group after group.
void ShuffleNodeScores(const std::vector<std::vector<NodeId>>& groups, NodeMap<double>& scores,
                       Random& rng);

}  // namespace tarnvale
