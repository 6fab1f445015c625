#include "network/preparation.hpp"

#include <vector>

#include "network/hash_index.hpp"

namespace tarnvale {

std::int64_t RDE(Graph& graph, std::ostream& out) {
    graph.MakeUndirected();
    const auto before = static_cast<std::int64_t>(graph.NumberOfEdges());
    out << "RDE: " << before;

    // metAt[m] == n marks m as already met at node n: clearing the met list
    // for the next node is then free.
    std::vector<NodeId> metAt(graph.NumberOfNodeIds(), -1);
    graph.ForEachNode([&](NodeId n) {
        graph.ForEachAdjacent(n, [&](EdgeId e, NodeId far) {
            auto& mark = metAt[static_cast<std::size_t>(far)];
            if (mark == n) {
                graph.DelEdge(e);  // a loop is met twice, so its second meeting ends it
            } else {
                mark = n;
            }
        });
    });
    graph.Compact();

    const auto after = static_cast<std::int64_t>(graph.NumberOfEdges());
    out << "RDE: " << after << '\n';
    return before - after;
}

void DeleteIsolatedNodes(Graph& graph) {
    graph.ForEachNode([&](NodeId n) {
        if (graph.Degree(n) == 0) graph.DelNode(n);
    });
    graph.Compact();
}

namespace {

// A hash of a whole list, so that equal lists meet in one group.
std::size_t HashList(const AssociationList& list) {
    std::size_t hash = list.size();
    for (const std::string& id : list)
        hash ^= HashText(id) + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    return hash;
}

}  // namespace

void MergeByAssociation(Graph& graph, const NodeMap<AssociationList>& associations,
                        EdgeMap<float>& edgeValues) {
    graph.MakeUndirected();

    // Nodes with equal lists, each group in node order and the groups in the
    // order of their first nodes, which are the anchors.
    std::vector<std::vector<NodeId>> groups;
    std::vector<std::size_t> groupOfAnchor(graph.NumberOfNodeIds());
    HashIndex anchors;
    graph.ForEachNode([&](NodeId n) {
        const AssociationList& list = associations.at(n);
        if (list.empty()) return;
        const std::size_t hash = HashList(list);
        const NodeId anchor =
            anchors.Find(hash, [&](NodeId a) { return associations.at(a) == list; });
        if (anchor < 0) {
            anchors.Add(n, hash);
            groupOfAnchor[static_cast<std::size_t>(n)] = groups.size();
            groups.emplace_back(1, n);
        } else {
            groups[groupOfAnchor[static_cast<std::size_t>(anchor)]].push_back(n);
        }
    });

    // neighbourOf[r] == p marks r as joined to anchor p at the moment.
    std::vector<NodeId> neighbourOf(graph.NumberOfNodeIds(), -1);
    std::vector<std::pair<EdgeId, NodeId>> adjacent;
    for (const std::vector<NodeId>& group : groups) {
        if (group.size() < 2) continue;
        const NodeId anchor = group.front();
        graph.ForEachAdjacent(
            anchor, [&](EdgeId, NodeId r) { neighbourOf[static_cast<std::size_t>(r)] = anchor; });
        for (std::size_t k = 1; k < group.size(); ++k) {
            const NodeId merged = group[k];
            // Copied first: adding edges must not disturb the walk.
            adjacent.clear();
            graph.ForEachAdjacent(merged, [&](EdgeId e, NodeId r) { adjacent.emplace_back(e, r); });
            for (const auto& [e, r] : adjacent) {
                auto& mark = neighbourOf[static_cast<std::size_t>(r)];
                if (r == anchor || r == merged || mark == anchor) continue;
                const EdgeId added = graph.NewEdge(anchor, r);
                edgeValues[added] = edgeValues.get(e);
                mark = anchor;
            }
            graph.DelNode(merged);
        }
    }
    graph.Compact();
}

void DeleteUnselectedNodes(Graph& graph, const NodeMap<bool>& selection) {
    std::vector<NodeId> unselected;
    graph.ForEachNode([&](NodeId n) {
        if (!selection.get(n)) unselected.push_back(n);
    });
    graph.DelNodes(unselected);
    graph.Compact();
}

}  // namespace tarnvale
