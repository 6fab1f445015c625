#include "network/rewire.hpp"

#include <unordered_map>
#include <utility>

namespace tarnvale {
namespace {

// One key for the unordered pair of two nodes.
std::uint64_t PairKey(NodeId a, NodeId b) {
    const auto low = static_cast<std::uint32_t>(std::min(a, b));
    const auto high = static_cast<std::uint32_t>(std::max(a, b));
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace

Graph RewiredGraph(const Graph& graph, Random& rng, RewireCount& count) {
    std::vector<std::pair<NodeId, NodeId>> ends;
    graph.ForEachEdge([&](EdgeId e) { ends.emplace_back(graph.Source(e), graph.Target(e)); });
    // How many edges join each pair: an input may hold parallel edges, and
    // a swap must not remove the record of the one left.
    std::unordered_map<std::uint64_t, int> joined;
    for (const auto& [a, b] : ends) ++joined[PairKey(a, b)];
    const std::unordered_map<std::uint64_t, int> original = joined;

    count = RewireCount{};
    count.edges = ends.size();
    count.attempts = 10 * ends.size();
    const auto last = static_cast<std::int32_t>(ends.size()) - 1;
    for (std::uint64_t attempt = 0; attempt < count.attempts; ++attempt) {
        const auto i = static_cast<std::size_t>(rng.Integer(0, last));
        const auto j = static_cast<std::size_t>(rng.Integer(0, last));
        const bool turn = rng.Integer(0, 1) == 1;
        if (i == j) continue;
        const auto [a, b] = ends[i];
        auto [c, d] = ends[j];
        if (turn) std::swap(c, d);
        if (a == d || c == b) continue;
        const std::uint64_t first = PairKey(a, d), second = PairKey(c, b);
        if (first == second || joined.count(first) != 0 || joined.count(second) != 0) continue;
        for (const std::uint64_t old : {PairKey(a, b), PairKey(c, d)})
            if (--joined[old] == 0) joined.erase(old);
        joined[first] = 1;
        joined[second] = 1;
        ends[i] = {a, d};
        ends[j] = {c, b};
        ++count.swaps;
    }
    for (const auto& [a, b] : ends) count.changed += original.count(PairKey(a, b)) == 0;

    Graph result;
    for (std::size_t n = 0; n < graph.NumberOfNodeIds(); ++n) result.NewNode();
    for (std::size_t n = 0; n < graph.NumberOfNodeIds(); ++n)
        if (!graph.IsNodeAlive(static_cast<NodeId>(n))) result.DelNode(static_cast<NodeId>(n));
    result.NewEdges(ends);
    if (!graph.IsDirected()) result.MakeUndirected();
    result.Compact();
    return result;
}

}  // namespace tarnvale
