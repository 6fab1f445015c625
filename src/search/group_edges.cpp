#include "search/group_edges.hpp"

#include <algorithm>

namespace tarnvale {

std::vector<std::vector<GroupEdge>> GroupEdges(const SearchGraph& graph,
                                               const std::vector<Group>& groups) {
    NodeMap<int> groupOf(graph.NumberOfNodeIds(), -1);
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (NodeId n : groups[g].nodes) groupOf[n] = static_cast<int>(g);
    std::vector<std::vector<GroupEdge>> edges(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        // Each edge once, at its source: the outgoing part of the source's row.
        for (NodeId n : groups[g].nodes) {
            const auto row = graph.Neighbours(n);
            for (std::size_t k = 0; k < row.size() && graph.Outgoing(n, k); ++k)
                if (groupOf.get(row[k].node) == static_cast<int>(g))
                    edges[g].push_back({row[k].edge, n, row[k].node});
        }
        std::sort(edges[g].begin(), edges[g].end(),
                  [](const GroupEdge& a, const GroupEdge& b) { return a.edge < b.edge; });
    }
    return edges;
}

}  // namespace tarnvale
