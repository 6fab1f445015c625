#pragma once
// The graph-shaping steps applied between reading the network and searching
// it, and between annealing runs. All delete for good (no hiding).

#include <ostream>

#include "network/association_reader.hpp"
#include "network/graph.hpp"

namespace tarnvale {

// Makes the graph undirected and removes duplicate edges and loops: between
// two nodes the first edge met at the earlier node survives. Prints
// "RDE: " before and "RDE: " after (then a line end) with the edge counts.
// Returns the number of edges removed.
std::int64_t RDE(Graph& graph, std::ostream& out);

// Deletes every node of degree 0.
void DeleteIsolatedNodes(Graph& graph);

// Merges every node into the first node (in node order) that has an equal,
// non-empty association list: the first gains an edge to each neighbour of
// the merged node it was not yet joined to, and that new edge takes the edge
// value of the merged node's edge to the neighbour. Nodes with empty lists
// are left alone. Returns the number of nodes merged into others.
std::int64_t MergeByAssociation(Graph& graph, const NodeMap<AssociationList>& associations,
                                EdgeMap<float>& edgeValues);

// Deletes every node whose selection flag is false.
void DeleteUnselectedNodes(Graph& graph, const NodeMap<bool>& selection);

}  // namespace tarnvale
