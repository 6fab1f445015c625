#include "search/evaluate.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "search/subnetwork_score.hpp"

namespace tarnvale {

Evaluation Evaluate(const SearchGraph& graph, const NodeMap<bool>& selection,
                    const ScoreInputs& inputs) {
    std::vector<unsigned char> inside(graph.NumberOfNodeIds(), 0);
    for (NodeId n : graph.Nodes()) {
        if (!selection.get(n)) continue;
        for (const SearchGraph::Adjacent& a : graph.Neighbours(n)) {
            if (selection.get(a.node)) {
                inside[static_cast<std::size_t>(n)] = 1;
                break;
            }
        }
    }
    std::vector<Component> components = graph.Components(inside);
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
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return RanksBefore(groups[a].score, groups[b].score);
    });
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
