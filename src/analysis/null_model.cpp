#include "analysis/null_model.hpp"

#include <algorithm>
#include <utility>

namespace tarnvale {

std::vector<std::vector<NodeId>> DegreeBins(const SearchGraph& graph) {
    std::vector<NodeId> order(graph.Nodes());
    std::stable_sort(order.begin(), order.end(),
                     [&](NodeId a, NodeId b) { return graph.Degree(a) < graph.Degree(b); });
    std::vector<std::vector<NodeId>> bins;
    std::vector<NodeId> bin;
    for (std::size_t k = 0; k < order.size(); ++k) {
        bin.push_back(order[k]);
        const bool classEnds =
            k + 1 == order.size() || graph.Degree(order[k + 1]) != graph.Degree(order[k]);
        if (classEnds && bin.size() >= kMinDegreeBin) bins.push_back(std::move(bin)), bin.clear();
    }
    if (!bin.empty()) {
        if (bins.empty())
            bins.push_back(std::move(bin));
        else
            bins.back().insert(bins.back().end(), bin.begin(), bin.end());
    }
    return bins;
}

std::vector<std::vector<NodeId>> ShuffleGroups(const SearchGraph& graph, NullModel null) {
    if (null == NullModel::Degree) return DegreeBins(graph);
    return {graph.Nodes()};
}

void ShuffleNodeScores(const std::vector<std::vector<NodeId>>& groups, NodeMap<double>& scores,
                       Random& rng) {
    for (const std::vector<NodeId>& nodes : groups)
        for (std::size_t i = nodes.size(); i > 1; --i) {
            const auto j =
                static_cast<std::size_t>(rng.Integer(0, static_cast<std::int32_t>(i - 1)));
            std::swap(scores[nodes[i - 1]], scores[nodes[j]]);
        }
}

}  // namespace tarnvale
