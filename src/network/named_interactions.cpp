#include "network/named_interactions.hpp"

#include <algorithm>
#include <cstdint>

namespace tarnvale {

NamedInteractions::NamedInteractions(Graph& graph, NodeMap<std::string>& names)
    : graph_(graph), names_(names) {
    graph.ForEachNode([&](NodeId n) { known_.emplace(names.at(n), n); });
}

NodeId NamedInteractions::Node(std::string_view name) {
    if (const auto found = known_.find(name); found != known_.end()) return found->second;
    const NodeId node = graph_.NewNode();
    names_[node] = std::string(name);
    known_.emplace(std::string(name), node);
    return node;
}

std::size_t NamedInteractions::Finish(SifMaps maps, float value,
                                      const std::vector<std::string_view>& types) {
    // The pairs sorted by their two nodes (the smaller first), each with its
    // place in the list: the first listing of a pair is the one kept.
    struct Listing {
        std::uint64_t pair;
        std::size_t place;
    };
    std::vector<Listing> listings(ends_.size());
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        const auto [a, b] = std::minmax(ends_[i].first, ends_[i].second);
        listings[i] = {(static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
                           static_cast<std::uint32_t>(b),
                       i};
    }
    std::sort(listings.begin(), listings.end(), [](const Listing& x, const Listing& y) {
        return x.pair != y.pair ? x.pair < y.pair : x.place < y.place;
    });
    std::vector<unsigned char> kept(ends_.size(), 0);
    for (std::size_t i = 0; i < listings.size(); ++i)
        if (i == 0 || listings[i].pair != listings[i - 1].pair) kept[listings[i].place] = 1;
    listings = {};

    std::vector<std::pair<NodeId, NodeId>> edges;
    std::vector<unsigned char> edgeTypes;
    edges.reserve(ends_.size());
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        if (kept[i] == 0) continue;
        edges.push_back(ends_[i]);
        edgeTypes.push_back(types_[i]);
    }
    ends_ = {};
    types_ = {};
    const EdgeId first = graph_.NewEdges(edges);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const auto edge = static_cast<EdgeId>(static_cast<std::size_t>(first) + i);
        maps.types.Set(edge, types.at(edgeTypes[i]));
        maps.values[edge] = value;
    }
    return edges.size();
}

void RowCount::Print(const std::string& fileName, std::string_view consequence,
                     std::ostream& out) const {
    if (count == 0) return;
    out << "Warning: " << fileName << ':' << firstLine << ": " << first << "; " << count
        << (count == 1 ? " such line " : " such lines ") << consequence << '\n';
}

void PrintInLineOrder(const std::string& fileName,
                      std::vector<std::pair<const RowCount*, std::string_view>> kinds,
                      std::ostream& out) {
    std::stable_sort(kinds.begin(), kinds.end(), [](const auto& x, const auto& y) {
        return x.first->firstLine < y.first->firstLine;
    });
    for (const auto& [kind, consequence] : kinds) kind->Print(fileName, consequence, out);
}

}  // namespace tarnvale
