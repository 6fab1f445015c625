#include "network/graph.hpp"

#include <algorithm>
#include <utility>

#include "base/prefetch.hpp"

namespace tarnvale {
namespace {

// How many entries ahead a walk of an adjacency list fetches the far ends.
constexpr std::size_t kFarAhead = 8;

}  // namespace

NodeId Graph::NewNode() {
    const auto id = static_cast<NodeId>(nodeAlive_.size());
    nodeAlive_.push_back(1);
    nodeHidden_.push_back(0);
    degree_.push_back(0);
    out_.emplace_back();
    in_.emplace_back();
    order_.push_back(id);
    ++visibleNodes_;
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
    if (IsEdgeVisible(id)) {
        ++degree_[Index(source)];
        ++degree_[Index(target)];
        ++visibleEdges_;
    }
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
        if (anyHidden_ && nodeHidden_[Index(source)] == 0 && nodeHidden_[Index(target)] == 0) {
            ++degree_[Index(source)];
            ++degree_[Index(target)];
            ++visibleEdges_;
        }
    }
    // With no node hidden every new edge is visible: the counts give the degrees.
    if (!anyHidden_) {
        for (std::size_t n = 0; n < out_.size(); ++n)
            degree_[n] += static_cast<std::int64_t>(outgoing[n] + incoming[n]);
        visibleEdges_ += ends.size();
    }
    return first;
}

void Graph::DelEdge(EdgeId e) {
    const auto i = Index(e);
    if (edgeAlive_[i] == 0) return;
    if (IsEdgeVisible(e)) {
        --degree_[Index(source_[i])];
        --degree_[Index(target_[i])];
        --visibleEdges_;
    }
    edgeAlive_[i] = 0;
    ++deadEntries_;
}

void Graph::DelNode(NodeId n) {
    const auto i = Index(n);
    if (nodeAlive_[i] == 0) return;
    for (const auto* list : {&out_[i], &in_[i]})
        for (EdgeId e : *list) DelEdge(e);
    if (nodeHidden_[i] == 0) --visibleNodes_;
    nodeAlive_[i] = 0;
    degree_[i] = 0;
    ++deadEntries_;
}

void Graph::DelNodes(const std::vector<NodeId>& nodes) {
    bool any = false;
    for (NodeId n : nodes) {
        const auto i = Index(n);
        if (nodeAlive_[i] == 0) continue;
        if (nodeHidden_[i] == 0) --visibleNodes_;
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
        if (nodeHidden_[s] == 0 && nodeHidden_[t] == 0) {
            // The degrees of the deleted ends are already 0.
            if (nodeAlive_[s] != 0) --degree_[s];
            if (nodeAlive_[t] != 0) --degree_[t];
            --visibleEdges_;
        }
        edgeAlive_[e] = 0;
        ++deadEntries_;
    }
}

void Graph::HideNode(NodeId n) {
    const auto i = Index(n);
    if (!IsNodeVisible(n)) return;
    nodeHidden_[i] = 1;
    --visibleNodes_;
    anyHidden_ = true;
    // No visible edge at n: no other count changes.
    if (degree_[i] == 0) return;
    degree_[i] = 0;
    // n was visible, so an edge of its lists is visible when it is alive (the
    // lists hold dead edges only between a deletion and Compact) and its far
    // end is not hidden. The far ends are scattered: fetch them ahead.
    const bool anyDead = deadEntries_ != 0;
    std::size_t lost = 0;
    auto walk = [&](const std::vector<EdgeId>& list, const std::vector<NodeId>& far, bool in) {
        for (std::size_t k = 0; k < list.size(); ++k) {
            if (k + kFarAhead < list.size()) PrefetchAddress(&far[Index(list[k + kFarAhead])]);
            const auto e = Index(list[k]);
            if (anyDead && edgeAlive_[e] == 0) continue;
            const auto m = Index(far[e]);
            // A loop is met in both lists and counted with the outgoing edges.
            if (m == i ? in : nodeHidden_[m] != 0) continue;
            if (m != i) --degree_[m];
            ++lost;
        }
    };
    walk(out_[i], target_, false);
    walk(in_[i], source_, true);
    visibleEdges_ -= lost;
}

void Graph::HideNodes(const std::vector<NodeId>& nodes) {
    bool any = false;
    for (NodeId n : nodes) {
        if (!IsNodeVisible(n)) continue;
        nodeHidden_[Index(n)] = 1;
        --visibleNodes_;
        any = true;
    }
    if (!any) return;
    anyHidden_ = true;
    // A visible edge is alive with both ends visible; a loop counts twice
    // at its node, as everywhere.
    std::fill(degree_.begin(), degree_.end(), 0);
    visibleEdges_ = 0;
    for (std::size_t e = 0; e < edgeAlive_.size(); ++e) {
        if (edgeAlive_[e] == 0) continue;
        const auto s = Index(source_[e]);
        const auto t = Index(target_[e]);
        if (nodeHidden_[s] != 0 || nodeHidden_[t] != 0) continue;
        ++degree_[s];
        ++degree_[t];
        ++visibleEdges_;
    }
}

void Graph::RestoreGraph() {
    if (!anyHidden_) return;
    anyHidden_ = false;
    std::fill(nodeHidden_.begin(), nodeHidden_.end(), 0);
    std::fill(degree_.begin(), degree_.end(), 0);
    visibleNodes_ = 0;
    for (NodeId n : order_)
        if (nodeAlive_[Index(n)] != 0) ++visibleNodes_;
    visibleEdges_ = 0;
    for (EdgeId e : edgeOrder_) {
        if (edgeAlive_[Index(e)] == 0) continue;
        ++degree_[Index(source_[Index(e)])];
        ++degree_[Index(target_[Index(e)])];
        ++visibleEdges_;
    }
}

std::vector<NodeId> Graph::Nodes() const {
    std::vector<NodeId> nodes;
    nodes.reserve(visibleNodes_);
    ForEachNode([&](NodeId n) { nodes.push_back(n); });
    return nodes;
}

std::vector<EdgeId> Graph::Edges() const {
    std::vector<EdgeId> edges;
    edges.reserve(visibleEdges_);
    ForEachEdge([&](EdgeId e) { edges.push_back(e); });
    return edges;
}

std::vector<Component> Graph::Components() const {
    std::vector<Component> components;
    std::vector<unsigned char> visited(nodeAlive_.size(), 0);
    // One bit an edge: the flags of millions of edges stay in the caches.
    std::vector<std::uint64_t> edgeSeen(edgeAlive_.size() / 64 + 1, 0);

    // One frame per node on the current search path: which list (outgoing,
    // then incoming) and how far into it the scan has come.
    struct Frame {
        NodeId node;
        int list;
        std::size_t pos;
    };
    std::vector<Frame> stack;
    const bool anyDead = deadEntries_ != 0;  // lists hold dead edges only until Compact

    for (NodeId start : order_) {
        if (!IsNodeVisible(start) || visited[Index(start)] != 0) continue;
        Component component;
        visited[Index(start)] = 1;
        component.nodes.push_back(start);
        stack.push_back({start, 0, 0});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const auto& list = frame.list == 0 ? out_[Index(frame.node)] : in_[Index(frame.node)];
            if (frame.pos >= list.size()) {
                if (frame.list == 0) {
                    frame.list = 1;
                    frame.pos = 0;
                } else {
                    stack.pop_back();
                }
                continue;
            }
            // The node is visible, so an edge of its lists is visible when it
            // is alive and its far end is not hidden; the far ends are
            // scattered, so they are fetched ahead.
            const auto& far = frame.list == 0 ? target_ : source_;
            if (frame.pos + kFarAhead < list.size())
                PrefetchAddress(&far[Index(list[frame.pos + kFarAhead])]);
            const EdgeId e = list[frame.pos++];
            if (anyDead && edgeAlive_[Index(e)] == 0) continue;
            const NodeId next = far[Index(e)];
            if (nodeHidden_[Index(next)] != 0) continue;
            std::uint64_t& seenWord = edgeSeen[Index(e) / 64];
            const std::uint64_t seenBit = std::uint64_t{1} << (Index(e) % 64);
            if ((seenWord & seenBit) == 0) {
                seenWord |= seenBit;
                component.edges.push_back(e);
            }
            if (visited[Index(next)] == 0) {
                visited[Index(next)] = 1;
                component.nodes.push_back(next);
                stack.push_back({next, 0, 0});  // invalidates frame; loop re-reads back()
            }
        }
        components.push_back(std::move(component));
    }
    return components;
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
