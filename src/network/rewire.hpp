#pragma once
// Degree-preserving rewiring: a random network with exactly the degrees of a
// given one, made by double-edge swaps.

#include <cstdint>
#include <vector>

#include "network/graph.hpp"
#include "stats/random.hpp"

namespace tarnvale {

// How a rewiring went.
struct RewireCount {
    std::uint64_t attempts = 0;  // swaps tried: 10 per edge
    std::uint64_t swaps = 0;     // swaps made
    std::uint64_t changed = 0;   // edges of the result that the original does not have
    std::uint64_t edges = 0;     // edges of the graph
};

// A graph with the visible nodes of `graph` under the same ids and in the
// same order, and as many edges, each node keeping its degree. Starting from
// the visible edges in edge order, 10 x edges swaps are tried: two edges
// drawn at random, (a, b) and (c, d), become (a, d) and (c, b), or with one
// end turned round (a, c) and (d, b); a swap that would make a loop or join
// two nodes already joined is not made. The new edges keep the order and
// the direction flag of the original ones. Draws with `rng` only.
Graph RewiredGraph(const Graph& graph, Random& rng, RewireCount& count);

}  // namespace tarnvale
