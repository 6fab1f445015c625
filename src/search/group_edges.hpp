#pragma once
// The edges inside each reported group, which the exports draw and list.

#include <vector>

#include "network/graph.hpp"
#include "search/evaluate.hpp"

namespace tarnvale {

// For each group, in the groups' order, the visible edges whose two ends
// both belong to it, in edge order. The groups' nodes must be visible.
std::vector<std::vector<EdgeId>> GroupEdges(const Graph& graph, const std::vector<Group>& groups);

}  // namespace tarnvale
