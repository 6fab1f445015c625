#pragma once
// Evaluation of a selection state from scratch: the groups (connected
// components of at least two selected nodes) and their subnetwork scores.
// Shared by the annealing search and the result report.

#include <cmath>
#include <cstddef>
#include <vector>

#include "network/graph.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {

struct Group {
    std::vector<NodeId> nodes;  // in visiting order of the component search
    float score = 0;
};

struct Evaluation {
    std::size_t components = 0;  // components of the visible graph
    std::vector<Group> groups;   // in component order
};

// The components of the subgraph that the selected nodes with a selected
// neighbour (a loop counts) induce, and the score of each of two or more
// nodes. The graph is only read.
Evaluation Evaluate(const SearchGraph& graph, const NodeMap<bool>& selection,
                    const ScoreInputs& inputs);

// The ranking rule of groups: a higher score first, not-a-number after every
// number (so that the order stays a strict weak order).
inline bool RanksBefore(float x, float y) {
    if (std::isnan(y)) return !std::isnan(x);
    return x > y;
}

// Group indices by RanksBefore; equal scores keep component order.
std::vector<std::size_t> RankGroups(const std::vector<Group>& groups);

// What the search compares between states: the ranked score list, cut to the
// first min(groups, nmax) scores (an nmax below 1 counts as 1), and the nodes
// of the best group, the first group in component order with the highest
// score. Both are empty when the state has no group.
struct RankedState {
    std::vector<float> scores;
    std::vector<NodeId> bestGroup;
};

// The ranked state of an evaluation; consumes its groups.
RankedState RankState(Evaluation&& evaluation, int nmax);

}  // namespace tarnvale
