#include "network/graph.hpp"

#include <algorithm>
#include <utility>

#include "base/prefetch.hpp"

namespace tarnvale {
NodeId Graph::NewNode() {
    const auto id = static_cast<NodeId>(nodeAlive_.size());
    nodeAlive_.push_back(1);
    degree_.push_back(0);
    out_.emplace_back();
    in_.emplace_back();
    order_.push_back(id);
    ++nodes_;
    return id;
}

EdgeId Graph::NewEdge(NodeId source, NodeId target) {
    const auto id = static_cast<EdgeId>(edgeAlive_.size());
    edgeAlive_.push_back(1);
    source_.push_back(source);
    target_.push_back(target);
    out_[Index(source)].push_back(id);
    in_[Index(target)].push_back(id);
    edgeOrder_.push_back(id);
    ++degree_[Index(source)];
    ++degree_[Index(target)];
    ++edges_;
    return id;
}

EdgeId Graph::NewEdges(const std::vector<std::pair<NodeId, NodeId>>& ends) {
    const auto first = static_cast<EdgeId>(edgeAlive_.size());
    // Every list grows once to its final size, then is filled through a
    // cursor that points straight at its next free entry.
    std::vector<std::size_t> outgoing(out_.size(), 0), incoming(in_.size(), 0);
    for (const auto& [source, target] : ends) {
        ++outgoing[Index(source)];
        ++incoming[Index(target)];
    }
    std::vector<EdgeId*> outAt(out_.size()), inAt(in_.size());
    for (std::size_t n = 0; n < out_.size(); ++n) {
        const std::size_t outSize = out_[n].size(), inSize = in_[n].size();
        if (outgoing[n] > 0) out_[n].resize(outSize + outgoing[n]);
        if (incoming[n] > 0) in_[n].resize(inSize + incoming[n]);
        outAt[n] = out_[n].data() + outSize;
        inAt[n] = in_[n].data() + inSize;
    }
    const std::size_t total = edgeAlive_.size() + ends.size();
    edgeAlive_.resize(total, 1);
    source_.reserve(total);
    target_.reserve(total);
    edgeOrder_.reserve(edgeOrder_.size() + ends.size());
    // The lists of a large graph lie scattered in memory: fetch the entries
    // to be written a few edges ahead.
    constexpr std::size_t kAhead = 16;
    for (std::size_t k = 0; k < ends.size(); ++k) {
        if (k + kAhead < ends.size()) {
            const auto& [source, target] = ends[k + kAhead];
            PrefetchAddress(outAt[Index(source)]);
            PrefetchAddress(inAt[Index(target)]);
        }
        const auto& [source, target] = ends[k];
        const auto id = static_cast<EdgeId>(static_cast<std::size_t>(first) + k);
        source_.push_back(source);
        target_.push_back(target);
        edgeOrder_.push_back(id);
        *outAt[Index(source)]++ = id;
        *inAt[Index(target)]++ = id;
    }
    for (std::size_t n = 0; n < out_.size(); ++n)
        degree_[n] += static_cast<std::int64_t>(outgoing[n] + incoming[n]);
    edges_ += ends.size();
    return first;
}

void Graph::DelEdge(EdgeId e) {
    const auto i = Index(e);
    if (edgeAlive_[i] == 0) return;
    --degree_[Index(source_[i])];
    --degree_[Index(target_[i])];
    --edges_;
    edgeAlive_[i] = 0;
    ++deadEntries_;
}

void Graph::DelNode(NodeId n) {
    const auto i = Index(n);
    if (nodeAlive_[i] == 0) return;
    for (const auto* list : {&out_[i], &in_[i]})
        for (EdgeId e : *list) DelEdge(e);
    --nodes_;
    nodeAlive_[i] = 0;
    degree_[i] = 0;
    ++deadEntries_;
}

void Graph::DelNodes(const std::vector<NodeId>& nodes) {
    bool any = false;
    for (NodeId n : nodes) {
        const auto i = Index(n);
        if (nodeAlive_[i] == 0) continue;
        --nodes_;
        nodeAlive_[i] = 0;
        degree_[i] = 0;
        ++deadEntries_;
        any = true;
    }
    if (!any) return;
    for (std::size_t e = 0; e < edgeAlive_.size(); ++e) {
        if (edgeAlive_[e] == 0) continue;
        const auto s = Index(source_[e]);
        const auto t = Index(target_[e]);
        if (nodeAlive_[s] != 0 && nodeAlive_[t] != 0) continue;
        // The degrees of the deleted ends are already 0.
        if (nodeAlive_[s] != 0) --degree_[s];
        if (nodeAlive_[t] != 0) --degree_[t];
        --edges_;
        edgeAlive_[e] = 0;
        ++deadEntries_;
    }
}

std::vector<NodeId> Graph::Nodes() const {
    std::vector<NodeId> nodes;
    nodes.reserve(nodes_);
    ForEachNode([&](NodeId n) { nodes.push_back(n); });
    return nodes;
}

std::vector<EdgeId> Graph::Edges() const {
    std::vector<EdgeId> edges;
    edges.reserve(edges_);
    ForEachEdge([&](EdgeId e) { edges.push_back(e); });
    return edges;
}

void Graph::Compact() {
    if (deadEntries_ == 0) return;
    deadEntries_ = 0;
    std::erase_if(order_, [&](NodeId n) { return nodeAlive_[Index(n)] == 0; });
    std::erase_if(edgeOrder_, [&](EdgeId e) { return edgeAlive_[Index(e)] == 0; });
    // The flags of a list's edges lie scattered: fetch them a few entries ahead.
    auto keepAlive = [&](std::vector<EdgeId>& list) {
        constexpr std::size_t kAhead = 16;
        const std::size_t size = list.size();
        std::size_t kept = 0;
        for (std::size_t k = 0; k < size; ++k) {
            if (k + kAhead < size) PrefetchAddress(&edgeAlive_[Index(list[k + kAhead])]);
            if (edgeAlive_[Index(list[k])] != 0) list[kept++] = list[k];
        }
        list.resize(kept);
    };
    for (std::size_t i = 0; i < out_.size(); ++i) {
        if (nodeAlive_[i] == 0) {
            out_[i] = {};
            in_[i] = {};
            continue;
        }
        keepAlive(out_[i]);
        keepAlive(in_[i]);
    }
}

}  // namespace tarnvale
