#pragma once
// The edges inside each reported group, which the exports draw and list.

#include <vector>

#include "network/graph.hpp"
#include "search/evaluate.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {

// An edge with its ends as the network file gave them.
struct GroupEdge {
    EdgeId edge;
    NodeId source;
    NodeId target;
};

// For each group, in the groups' order, the edges whose two ends both belong
// to it, in edge order.
std::vector<std::vector<GroupEdge>> GroupEdges(const SearchGraph& graph,
                                               const std::vector<Group>& groups);

}  // namespace tarnvale
