#pragma once
// Evaluation of a selection state from scratch: the groups (connected
// components of at least two selected nodes) and their subnetwork scores.
// Shared by the annealing search and the result report.

#include <cstddef>
#include <vector>

#include "network/graph.hpp"
#include "search/score_context.hpp"

namespace tarnvale {

struct Group {
    std::vector<NodeId> nodes;  // in visiting order of the component search
    float score = 0;
};

struct Evaluation {
    std::size_t components = 0;  // components of the visible graph
    std::vector<Group> groups;   // in component order
};

// Restores the graph, hides every unselected node and then every visible node
// of degree 0, finds the components and scores each of two or more nodes.
// Leaves the graph with those nodes hidden.
Evaluation Evaluate(Graph& graph, const NodeMap<bool>& selection, const ScoreInputs& inputs);

// Group indices by descending score; equal scores keep component order.
std::vector<std::size_t> RankGroups(const std::vector<Group>& groups);

}  // namespace tarnvale
