#include "network/preparation.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "base/prefetch.hpp"
#include "network/hash_index.hpp"

namespace tarnvale {

std::int64_t RDE(Graph& graph, std::ostream& out) {
    graph.MakeUndirected();
    const auto before = static_cast<std::int64_t>(graph.NumberOfEdges());
    out << "RDE: " << before;

    // Node order is id order, so the earlier node of a pair is the smaller
    // id, and the edge that survives is the first one out of it (the first
    // edge from earlier to later), or else the first one into it. Walking
    // the adjacency lists to find it would fetch both ends of every edge
    // from scattered memory twice; instead the edges are sorted by their
    // earlier node (a counting sort, which keeps edge order within a node),
    // each with its later node and its direction, and read straight through.
    const std::size_t nodes = graph.NumberOfNodeIds();
    std::vector<std::uint32_t> start(nodes + 1, 0);
    graph.ForEachEdge([&](EdgeId e) {
        const NodeId s = graph.Source(e), t = graph.Target(e);
        if (s != t) ++start[static_cast<std::size_t>(std::min(s, t)) + 1];
    });
    for (std::size_t n = 0; n < nodes; ++n) start[n + 1] += start[n];
    // far: the later node times two, plus one when the edge points into the
    // earlier node.
    struct Entry {
        std::uint32_t far;
        EdgeId edge;
    };
    std::vector<Entry> sorted(start[nodes]);
    std::vector<unsigned char> dead(graph.NumberOfEdgeIds(), 0);
    {
        // The entries go to as many places as there are nodes: each is
        // placed kAhead edges after its place was fetched.
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        constexpr std::size_t kAhead = 16;
        std::array<std::pair<std::uint32_t, Entry>, kAhead> waiting;
        std::size_t count = 0;
        auto place = [&](const std::pair<std::uint32_t, Entry>& item) {
            sorted[next[item.first]++] = item.second;
        };
        graph.ForEachEdge([&](EdgeId e) {
            const auto s = static_cast<std::uint32_t>(graph.Source(e));
            const auto t = static_cast<std::uint32_t>(graph.Target(e));
            if (s == t) {
                dead[static_cast<std::size_t>(e)] = 1;  // a loop
                return;
            }
            const std::uint32_t earlier = std::min(s, t);
            PrefetchAddress(&sorted[next[earlier]]);
            auto& slot = waiting[count++ % kAhead];
            if (count > kAhead) place(slot);
            slot = {earlier, {s < t ? 2 * t : 2 * s + 1, e}};
        });
        for (std::size_t k = count > kAhead ? count - kAhead : 0; k < count; ++k)
            place(waiting[k % kAhead]);
    }
    // kept[m]: the edge so far kept between the current earlier node and m,
    // valid while keptAt[m] names the current node.
    std::vector<NodeId> keptAt(nodes, -1);
    std::vector<Entry> kept(nodes);
    for (std::size_t n = 0; n < nodes; ++n) {
        for (std::uint32_t k = start[n]; k < start[n + 1]; ++k) {
            const Entry entry = sorted[k];
            const std::size_t m = entry.far / 2;
            if (keptAt[m] != static_cast<NodeId>(n)) {
                keptAt[m] = static_cast<NodeId>(n);
                kept[m] = entry;
            } else if (kept[m].far % 2 == 1 && entry.far % 2 == 0) {
                dead[static_cast<std::size_t>(kept[m].edge)] = 1;  // an edge out comes first
                kept[m] = entry;
            } else {
                dead[static_cast<std::size_t>(entry.edge)] = 1;
            }
        }
    }
    sorted = {};
    // Deleted in edge order, so that the ends are read in memory order too.
    graph.ForEachEdge([&](EdgeId e) {
        if (dead[static_cast<std::size_t>(e)] != 0) graph.DelEdge(e);
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

std::int64_t MergeByAssociation(Graph& graph, const NodeMap<AssociationList>& associations,
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
    std::int64_t merges = 0;
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
            ++merges;
        }
    }
    graph.Compact();
    return merges;
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
