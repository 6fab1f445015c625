#include "search/group_edges.hpp"

namespace tarnvale {

std::vector<std::vector<EdgeId>> GroupEdges(const Graph& graph, const std::vector<Group>& groups) {
    NodeMap<int> groupOf(graph.NumberOfNodeIds(), -1);
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (NodeId n : groups[g].nodes) groupOf[n] = static_cast<int>(g);
    std::vector<std::vector<EdgeId>> edges(groups.size());
    graph.ForEachEdge([&](EdgeId e) {
        const int g = groupOf.get(graph.Source(e));
        if (g >= 0 && g == groupOf.get(graph.Target(e)))
            edges[static_cast<std::size_t>(g)].push_back(e);
    });
    return edges;
}

}  // namespace tarnvale
