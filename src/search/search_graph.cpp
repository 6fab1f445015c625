#include "search/search_graph.hpp"

#include <algorithm>
#include <cmath>

#include "base/prefetch.hpp"
#include "stats/exact_sum.hpp"

namespace tarnvale {
namespace {

// How many entries ahead the rows are fetched while they are written at
// random places.
constexpr std::size_t kAhead = 16;

}  // namespace

SearchGraph::SearchGraph(const Graph& graph, const EdgeMap<float>* edgeScores)
    : nodes_(graph.Nodes()),
      position_(graph.NumberOfNodeIds(), -1),
      edgeIds_(graph.NumberOfEdgeIds()),
      edges_(graph.NumberOfEdges()),
      withEdges_(edgeScores != nullptr) {
    const std::size_t ids = position_.size();
    for (std::size_t k = 0; k < nodes_.size(); ++k)
        position_[Index(nodes_[k])] = static_cast<std::int32_t>(k);

    // Rows in node-id order, each a node's outgoing edges, then its incoming
    // ones, as the graph lists them: its lists hold edges in the order they
    // were made, which is id order. So one pass over the edges in id order,
    // reading the edge arrays front to back, fills every row in place.
    rowStart_.assign(ids + 1, 0);
    outDegree_.assign(ids, 0);
    std::vector<std::size_t> degree(ids, 0);
    for (std::size_t i = 0; i < edgeIds_; ++i) {
        const auto e = static_cast<EdgeId>(i);
        if (!graph.IsEdgeAlive(e)) continue;
        const NodeId s = graph.Source(e), t = graph.Target(e);
        ++degree[Index(s)];
        ++outDegree_[Index(s)];
        ++degree[Index(t)];
    }
    for (std::size_t v = 0; v < ids; ++v) rowStart_[v + 1] = rowStart_[v] + degree[v];
    adjacent_.resize(rowStart_[ids]);
    std::vector<std::size_t> fill(rowStart_.begin(), rowStart_.end() - 1);
    std::vector<std::size_t> inFill(ids);
    for (std::size_t v = 0; v < ids; ++v) inFill[v] = rowStart_[v] + outDegree_[v];
    for (std::size_t i = 0; i < edgeIds_; ++i) {
        if (i + kAhead < edgeIds_) {
            const auto ahead = static_cast<EdgeId>(i + kAhead);
            PrefetchForWrite(adjacent_.data() + fill[Index(graph.Source(ahead))]);
            PrefetchForWrite(adjacent_.data() + inFill[Index(graph.Target(ahead))]);
        }
        const auto e = static_cast<EdgeId>(i);
        if (!graph.IsEdgeAlive(e)) continue;
        const NodeId s = graph.Source(e), t = graph.Target(e);
        const float score = edgeScores != nullptr ? edgeScores->get(e) : 0.0f;
        adjacent_[fill[Index(s)]++] = {t, e, score};
        adjacent_[inFill[Index(t)]++] = {s, e, score};
    }
    Finish();
}

SearchGraph SearchGraph::Induced(const NodeMap<bool>& keep, bool withEdges) const {
    SearchGraph sub;
    sub.withEdges_ = withEdges && withEdges_;
    sub.edgeIds_ = edgeIds_;
    const std::size_t ids = position_.size();
    sub.position_.assign(ids, -1);
    for (NodeId v : nodes_) {
        if (!keep.get(v)) continue;
        sub.position_[Index(v)] = static_cast<std::int32_t>(sub.nodes_.size());
        sub.nodes_.push_back(v);
    }
    sub.rowStart_.assign(ids + 1, 0);
    sub.outDegree_.assign(ids, 0);
    for (std::size_t v = 0; v < ids; ++v) {
        std::size_t kept = 0;
        if (sub.position_[v] >= 0) {
            const auto row = Neighbours(static_cast<NodeId>(v));
            for (std::size_t k = 0; k < row.size(); ++k) {
                if (sub.position_[Index(row[k].node)] < 0) continue;
                ++kept;
                if (k < outDegree_[v]) ++sub.outDegree_[v];
            }
        }
        sub.rowStart_[v + 1] = sub.rowStart_[v] + kept;
    }
    sub.adjacent_.reserve(sub.rowStart_[ids]);
    for (std::size_t v = 0; v < ids; ++v) {
        if (sub.position_[v] < 0) continue;
        for (const Adjacent& a : Neighbours(static_cast<NodeId>(v)))
            if (sub.position_[Index(a.node)] >= 0)
                sub.adjacent_.push_back({a.node, a.edge, sub.withEdges_ ? a.edgeScore : 0.0f});
    }
    // Every edge is in two rows, a loop twice in its own.
    sub.edges_ = sub.adjacent_.size() / 2;
    sub.Finish();
    return sub;
}

void SearchGraph::Finish() {
    const std::size_t ids = position_.size();
    // A loop is in its node's row twice, once among the outgoing edges; it
    // is one edge of the node's group.
    loopCount_.assign(ids, 0);
    loopSlot_.assign(ids, -1);
    loopSums_.clear();
    std::vector<float> edgeScores;
    for (NodeId v : nodes_) {
        const auto row = Neighbours(v);
        for (std::size_t k = 0; k < outDegree_[Index(v)]; ++k) {
            const Adjacent& a = row[k];
            // Each edge once, at its source.
            if (withEdges_) edgeScores.push_back(a.edgeScore);
            if (a.node != v) continue;
            ++loopCount_[Index(v)];
            if (loopSlot_[Index(v)] < 0) {
                loopSlot_[Index(v)] = static_cast<std::int32_t>(loopSums_.size());
                loopSums_.emplace_back();
            }
            loopSums_[Index(loopSlot_[Index(v)])] += a.edgeScore;
        }
    }

    // Every edge is in the rows of both its ends, so handing each node, in
    // order of falling degree, to the rows of its neighbours fills every row
    // in that order without sorting one.
    std::vector<NodeId> byDegree(nodes_);
    std::stable_sort(byDegree.begin(), byDegree.end(),
                     [&](NodeId a, NodeId b) { return Degree(a) > Degree(b); });
    std::vector<std::size_t> fill(rowStart_.begin(), rowStart_.end() - 1);
    hubFirst_.resize(adjacent_.size());
    for (NodeId w : byDegree) {
        const auto row = Neighbours(w);
        for (std::size_t k = 0; k < row.size(); ++k) {
            if (k + kAhead < row.size())
                PrefetchForWrite(hubFirst_.data() + fill[Index(row[k + kAhead].node)]);
            hubFirst_[fill[Index(row[k].node)]++] = w;
        }
    }
    peek_.resize(ids * kPeek);
    for (std::size_t v = 0; v < ids; ++v)
        for (std::size_t k = 0; k < kPeek; ++k)
            peek_[v * kPeek + k] = rowStart_[v] + k < rowStart_[v + 1] ? hubFirst_[rowStart_[v] + k]
                                                                       : static_cast<NodeId>(v);

    const SumExactness exactness =
        CheckSumExactness(edgeScores.data(), edgeScores.size(), edgeScores.size(), 64);
    edgeExact_ = exactness.exact;
    edgeUnit_ = exactness.unitExponent;
    edgesFinite_ =
        std::all_of(edgeScores.begin(), edgeScores.end(), [](float x) { return std::isfinite(x); });
}

std::vector<Component> SearchGraph::Components(const std::vector<unsigned char>& inside) const {
    std::vector<Component> components;
    std::vector<unsigned char> visited(position_.size(), 0);
    // One bit an edge: the flags of millions of edges stay in the caches.
    std::vector<std::uint64_t> edgeSeen(edgeIds_ / 64 + 1, 0);
    struct Frame {
        NodeId node;
        std::size_t next;  // in adjacent_
    };
    std::vector<Frame> stack;
    for (NodeId start : nodes_) {
        if (inside[Index(start)] == 0 || visited[Index(start)] != 0) continue;
        Component component;
        visited[Index(start)] = 1;
        component.nodes.push_back(start);
        stack.push_back({start, rowStart_[Index(start)]});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == rowStart_[Index(frame.node) + 1]) {
                stack.pop_back();
                continue;
            }
            const Adjacent& a = adjacent_[frame.next++];
            if (inside[Index(a.node)] == 0) continue;
            std::uint64_t& seenWord = edgeSeen[Index(a.edge) / 64];
            const std::uint64_t seenBit = std::uint64_t{1} << (Index(a.edge) % 64);
            if ((seenWord & seenBit) == 0) {
                seenWord |= seenBit;
                component.edges.push_back(a.edge);
            }
            if (visited[Index(a.node)] == 0) {
                visited[Index(a.node)] = 1;
                component.nodes.push_back(a.node);
                stack.push_back({a.node, rowStart_[Index(a.node)]});  // invalidates frame
            }
        }
        components.push_back(std::move(component));
    }
    return components;
}

}  // namespace tarnvale
