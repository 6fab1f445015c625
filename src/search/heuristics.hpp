#pragma once
// The start heuristics that fill the selection map before an annealing run.

#include <cstddef>
#include <ostream>

#include "network/graph.hpp"
#include "search/search_graph.hpp"
#include "stats/random.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

// Runs heuristic `number` (1 Random, 2 P0, 3 P1, 4 POP1, 5 LowerBound,
// 6 LowerBound Approximation, 7 LowerBound Local Search; anything else P0)
// over the visible nodes in node order, printing its name line ("Heuristic:
// ...") and any further lines it prints to out.
void Initialize(int number, const SearchGraph& graph, NodeMap<bool>& selection,
                const NodeMap<double>& nodeScores, Random& rng, std::ostream& out);

// The z-cut searches over v, the node scores as floats sorted highest first,
// against mean muAll and standard deviation sdAll of all node scores. Each
// returns an index into v; v must not be empty.

// LowerBound: grows the prefix of v while its score rises and returns the
// index of the last value added (the one that stopped the rise), or the last
// index of v when the score still rises there.
std::size_t LowerBoundCutIndex(const FloatList& v, float muAll, float sdAll);

// LowerBound Approximation: float-to-int truncation of nodeCount * 0.27.
std::size_t ApproximationCutIndex(std::size_t nodeCount);

// LowerBound Local Search: starts from the prefix up to the approximation
// index m and grows it as LowerBound does, printing "." on a line for every
// value added. Returns m when the starting prefix does not score above 0.
std::size_t LocalSearchCutIndex(const FloatList& v, float muAll, float sdAll, std::ostream& out);

}  // namespace tarnvale
