#pragma once
// The network of one run as its searches read it: built once from the
// prepared graph and then only read, so that any number of searches, on any
// number of threads, share it. What a search changes (its selection, its
// groups) lives in state of its own.
//
// Every node has a row of its incident edges in the graph's adjacency order
// (outgoing edges, then incoming ones, each in edge order; a loop comes
// twice), each entry with the far end, the edge and the edge's score (0 when
// edge scores take no part). The rows again, by far end's degree (highest
// first), lead the group tracker's split searches to the hubs.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "network/graph.hpp"
#include "stats/wide_sum.hpp"

namespace tarnvale {

// One connected component: its nodes in visiting order and its edges in the
// order the search first met them.
struct Component {
    std::vector<NodeId> nodes;
    std::vector<EdgeId> edges;
};

class SearchGraph {
public:
    struct Adjacent {
        NodeId node;  // the far end
        EdgeId edge;
        float edgeScore;  // 0 while edge scores take no part
    };
    // How many entries of each hub-first row are packed together.
    static constexpr std::size_t kPeek = 4;

    SearchGraph() = default;
    // The graph's nodes and edges; the edges' scores from `edgeScores`, or
    // none when it is null. The graph must be undirected.
    SearchGraph(const Graph& graph, const EdgeMap<float>* edgeScores);

    // The subgraph induced by the nodes v with keep.get(v), node order and
    // adjacency order kept (exactly what deleting every other node of the
    // graph it was built from gives); edge scores kept only when withEdges.
    SearchGraph Induced(const NodeMap<bool>& keep, bool withEdges) const;

    // The nodes in node order.
    const std::vector<NodeId>& Nodes() const { return nodes_; }
    std::size_t NumberOfNodes() const { return nodes_.size(); }
    std::size_t NumberOfEdges() const { return edges_; }
    // Every id is below these bounds.
    std::size_t NumberOfNodeIds() const { return position_.size(); }
    std::size_t NumberOfEdgeIds() const { return edgeIds_; }
    // The node's place in Nodes(), -1 for an id that is not a node.
    std::int32_t Position(NodeId v) const { return position_[Index(v)]; }
    bool Contains(NodeId v) const {
        return Index(v) < position_.size() && position_[Index(v)] >= 0;
    }

    // Calls f(node) for every node in node order.
    template <class F>
    void ForEachNode(F&& f) const {
        for (NodeId n : nodes_) f(n);
    }

    std::span<const Adjacent> Neighbours(NodeId v) const {
        return {adjacent_.data() + rowStart_[Index(v)], adjacent_.data() + rowStart_[Index(v) + 1]};
    }
    // Incident edges, loops counted twice.
    std::int64_t Degree(NodeId v) const {
        return static_cast<std::int64_t>(rowStart_[Index(v) + 1] - rowStart_[Index(v)]);
    }
    // Whether entry k of v's row is one of v's outgoing edges (v is the
    // edge's source).
    bool Outgoing(NodeId v, std::size_t k) const { return k < outDegree_[Index(v)]; }

    // Edge scores take part.
    bool WithEdges() const { return withEdges_; }

    // What the group tracker reads: the rows as one array, row v from
    // RowStarts()[v] to RowStarts()[v + 1]; the far ends by falling degree;
    // the first kPeek of those per node (padded with the node itself); the
    // loops of each node and their score sums.
    std::span<const std::size_t> RowStarts() const { return rowStart_; }
    std::span<const Adjacent> Rows() const { return adjacent_; }
    std::span<const NodeId> HubFirst() const { return hubFirst_; }
    std::span<const NodeId> Peek() const { return peek_; }
    std::int64_t Loops(NodeId v) const { return loopCount_[Index(v)]; }
    const TrackedSum& LoopSum(NodeId v) const {
        static const TrackedSum kNone;
        return loopSlot_[Index(v)] < 0 ? kNone : loopSums_[Index(loopSlot_[Index(v)])];
    }
    // Whether every sum of the edge scores is exact in extended precision
    // (see exact_sum.hpp), the unit every edge score is a multiple of, and
    // whether every edge score is finite. Meaningful when WithEdges().
    bool EdgeSumsExact() const { return edgeExact_; }
    int EdgeUnit() const { return edgeUnit_; }
    bool EdgeScoresFinite() const { return edgesFinite_; }

    // Connected components of the subgraph that the nodes with inside[v] != 0
    // induce, searched depth first from every such node in node order along
    // the rows; each component's nodes in visiting order, its edges in the
    // order first met.
    std::vector<Component> Components(const std::vector<unsigned char>& inside) const;

private:
    static std::size_t Index(std::int32_t id) { return static_cast<std::size_t>(id); }
    // Fills the hub-first rows, the packed peeks and the edge-score facts
    // from the rows.
    void Finish();

    std::vector<NodeId> nodes_;
    std::vector<std::int32_t> position_;
    std::size_t edgeIds_ = 0;
    std::size_t edges_ = 0;
    std::vector<std::size_t> rowStart_{0};
    std::vector<std::uint32_t> outDegree_;
    std::vector<Adjacent> adjacent_;
    std::vector<NodeId> hubFirst_;
    std::vector<NodeId> peek_;
    std::vector<std::int64_t> loopCount_;
    std::vector<std::int32_t> loopSlot_;  // in loopSums_; -1 for a node without loops
    std::vector<TrackedSum> loopSums_;
    bool withEdges_ = false;
    bool edgeExact_ = true;
    int edgeUnit_ = 0;
    bool edgesFinite_ = true;
};

}  // namespace tarnvale
