#pragma once
// The network graph as it is read and prepared: nodes and edges with integer
// ids and permanent deletion. The searches read a
// compact copy of it (search_graph.hpp) and never change it.
//
// Node order is creation order, edge order is creation order. A node's
// incident edges are its outgoing edges followed by its incoming ones, each in
// creation order; a loop is therefore met twice. Deleted elements are absent
// from every enumeration, count and degree. Deletion is lazy: deleted entries
// are dropped from the lists by Compact(), which the preparation steps call
// after bulk deletions.

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarnvale {

using NodeId = std::int32_t;
using EdgeId = std::int32_t;

// A map from node or edge ids to values that grows on access: an id past the
// end extends the storage, filling new entries with T's own default value.
template <class T>
class IdMap {
    // vector<bool> hands out proxies; store bytes so that operator[] is a reference.
    using Stored = std::conditional_t<std::is_same_v<T, bool>, unsigned char, T>;

public:
    IdMap() = default;
    explicit IdMap(std::size_t size, const T& fill = T()) : data_(size, Stored(fill)) {}

    Stored& operator[](std::int32_t id) {
        auto i = static_cast<std::size_t>(id);
        if (i >= data_.size()) data_.resize(i + 1);
        return data_[i];
    }
    // Reading an id past the end gives T's default without growing.
    T get(std::int32_t id) const {
        auto i = static_cast<std::size_t>(id);
        return i < data_.size() ? T(data_[i]) : T();
    }
    // Reading without copying; an id past the end gives a default value.
    const Stored& at(std::int32_t id) const {
        static const Stored empty{};
        auto i = static_cast<std::size_t>(id);
        return i < data_.size() ? data_[i] : empty;
    }
    std::size_t size() const { return data_.size(); }
    // Room for ids below size without moving the stored values again.
    void reserve(std::size_t size) { data_.reserve(size); }
    void assign(std::size_t size, const T& fill) { data_.assign(size, Stored(fill)); }

private:
    std::vector<Stored> data_;
};

template <class T>
using NodeMap = IdMap<T>;
template <class T>
using EdgeMap = IdMap<T>;

class Graph {
public:
    // Adds a node at the end of the node order and returns its id.
    NodeId NewNode();
    // Adds an edge from source to target at the end of the edge order, of the
    // source's outgoing and of the target's incoming edges.
    EdgeId NewEdge(NodeId source, NodeId target);
    // Adds the edges in order, exactly as NewEdge one by one would, but sizes
    // every list once: a million-line network does not regrow each node's
    // adjacency lists a dozen times. Returns the id of the first new edge.
    EdgeId NewEdges(const std::vector<std::pair<NodeId, NodeId>>& ends);
    // Removes a node and its incident edges for good.
    void DelNode(NodeId n);
    // Removes the given nodes and their incident edges for good, exactly as
    // DelNode on each would, but in one pass over the edges: cutting a
    // network down to a run's selection does not walk every lost list.
    void DelNodes(const std::vector<NodeId>& nodes);
    // Removes one edge for good.
    void DelEdge(EdgeId e);
    // Edges lose their direction (adjacency is already out-then-in).
    void MakeUndirected() { directed_ = false; }
    bool IsDirected() const { return directed_; }

    bool IsNodeAlive(NodeId n) const { return nodeAlive_[Index(n)] != 0; }
    bool IsEdgeAlive(EdgeId e) const { return edgeAlive_[Index(e)] != 0; }

    NodeId Source(EdgeId e) const { return source_[Index(e)]; }
    NodeId Target(EdgeId e) const { return target_[Index(e)]; }
    NodeId Opposite(EdgeId e, NodeId n) const {
        return source_[Index(e)] == n ? target_[Index(e)] : source_[Index(e)];
    }

    std::size_t NumberOfNodes() const { return nodes_; }
    std::size_t NumberOfEdges() const { return edges_; }
    // Every id is at least 0 and below these bounds.
    std::size_t NumberOfNodeIds() const { return nodeAlive_.size(); }
    std::size_t NumberOfEdgeIds() const { return edgeAlive_.size(); }

    // Incident edges of a node, loops counted twice.
    std::int64_t Degree(NodeId n) const { return degree_[Index(n)]; }

    // Nodes in node order.
    std::vector<NodeId> Nodes() const;
    // Edges in edge order.
    std::vector<EdgeId> Edges() const;

    // Calls f(node) for every node in node order.
    template <class F>
    void ForEachNode(F&& f) const {
        for (NodeId n : order_)
            if (IsNodeAlive(n)) f(n);
    }
    // Calls f(edge) for every edge in edge order.
    template <class F>
    void ForEachEdge(F&& f) const {
        for (EdgeId e : edgeOrder_)
            if (IsEdgeAlive(e)) f(e);
    }
    // Calls f(edge, far end) for every incident edge of n, outgoing edges
    // first; stops early when f returns false.
    template <class F>
    void ForEachAdjacent(NodeId n, F&& f) const {
        for (const auto* list : {&out_[Index(n)], &in_[Index(n)]}) {
            for (EdgeId e : *list) {
                if (!IsEdgeAlive(e)) continue;
                if constexpr (std::is_same_v<decltype(f(e, n)), bool>) {
                    if (!f(e, Opposite(e, n))) return;
                } else {
                    f(e, Opposite(e, n));
                }
            }
        }
    }

    // Drops deleted entries from the order and adjacency lists.
    void Compact();

private:
    static std::size_t Index(std::int32_t id) { return static_cast<std::size_t>(id); }

    bool directed_ = true;
    std::vector<NodeId> order_;
    std::vector<EdgeId> edgeOrder_;
    std::vector<unsigned char> nodeAlive_, edgeAlive_;
    std::vector<std::int64_t> degree_;
    std::vector<std::vector<EdgeId>> out_, in_;
    std::vector<NodeId> source_, target_;
    std::size_t nodes_ = 0, edges_ = 0;
    std::size_t deadEntries_ = 0;
};

}  // namespace tarnvale
