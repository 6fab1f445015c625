#include "search/evaluate.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "search/subnetwork_score.hpp"

namespace tarnvale {

Evaluation Evaluate(Graph& graph, const NodeMap<bool>& selection, const ScoreInputs& inputs) {
    graph.RestoreGraph();
    // Hiding a node only lowers its neighbours' degrees, so the unselected
    // nodes go at once, and the second pass can hide while it walks the node
    // order.
    std::vector<NodeId> unselected;
    graph.ForEachNode([&](NodeId n) {
        if (!selection.get(n)) unselected.push_back(n);
    });
    graph.HideNodes(unselected);
    graph.ForEachNode([&](NodeId n) {
        if (graph.Degree(n) == 0) graph.HideNode(n);
    });

    std::vector<Component> components = graph.Components();
    Evaluation result;
    result.components = components.size();
    FloatList nodeScores;
    FloatList edgeScores;
    for (Component& component : components) {
        if (component.nodes.size() < 2) continue;
        nodeScores.clear();
        for (NodeId n : component.nodes)
            nodeScores.push_back(static_cast<float>(inputs.nodeScores.get(n)));
        edgeScores.clear();
        // Edge scores are only read while they take part in the score.
        if (!inputs.context.nodeOnly)
            for (EdgeId e : component.edges) edgeScores.push_back(inputs.edgeScores.get(e));
        Group group;
        group.score = SubnetworkScore(nodeScores, edgeScores, inputs.context);
        group.nodes = std::move(component.nodes);
        result.groups.push_back(std::move(group));
    }
    return result;
}

std::vector<std::size_t> RankGroups(const std::vector<Group>& groups) {
    std::vector<std::size_t> order(groups.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Not-a-number is placed last so that the comparison stays a strict weak
    // order; a plain ">" would make such a score equal to every other.
    auto before = [&](std::size_t a, std::size_t b) {
        const float x = groups[a].score;
        const float y = groups[b].score;
        if (std::isnan(y)) return !std::isnan(x);
        return x > y;
    };
    std::stable_sort(order.begin(), order.end(), before);
    return order;
}

RankedState RankState(Evaluation&& evaluation, int nmax) {
    RankedState state;
    if (evaluation.groups.empty()) return state;
    const std::vector<std::size_t> order = RankGroups(evaluation.groups);
    const std::size_t keep = std::min(order.size(), static_cast<std::size_t>(std::max(nmax, 1)));
    state.scores.reserve(keep);
    for (std::size_t j = 0; j < keep; ++j)
        state.scores.push_back(evaluation.groups[order[j]].score);
    state.bestGroup = std::move(evaluation.groups[order.front()].nodes);
    return state;
}

}  // namespace tarnvale
