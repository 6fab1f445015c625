#pragma once
// Node scores from the p-values and edge scores from the edge values.

#include <vector>

#include "base/no_score.hpp"
#include "network/association_reader.hpp"
#include "network/graph.hpp"
#include "network/pvalue_reader.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

// Gives every node of `nodes` the median of -NormInv(p) over the p-values of
// its association entries (first occurrence of each identifier), or kNoData.
void ScoreNodes(const std::vector<NodeId>& nodes, const NodeMap<AssociationList>& associations,
                const PValueTable& pvalues, NodeMap<double>& nodeScores);

// How node scores are made from the p-values.
enum class NodeScoring {
    Z,     // the median of -NormInv(p) over a node's identifiers
    Rank,  // rank-based normal scores over the searched nodes
};

// Gives every node of `nodes` (each with data) the rank-based normal score
// -NormInv((rank - 1/2) / n), n the number of nodes: rank 1 is the node with
// the smallest p-value, and nodes with equal p-values share the mean of
// their ranks. A node's p-value is the median of its identifiers' p-values
// (first occurrence of each), taken on their logarithms as read, so that
// values below the float and double ranges keep their order.
void RankNodeScores(const std::vector<NodeId>& nodes, const NodeMap<AssociationList>& associations,
                    const PValueTable& pvalues, NodeMap<double>& nodeScores);

// Gives every visible edge, in edge order, the score NormInv(value) after
// clamping an exact 0 or 1 of its value (written back) to 0.00001 or 0.99999.
// Returns the scores in edge order.
FloatList ScoreEdges(const Graph& graph, EdgeMap<float>& edgeValues, EdgeMap<float>& edgeScores);

}  // namespace tarnvale
