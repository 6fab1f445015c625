#pragma once
// The start heuristics that fill the selection map before an annealing run.

#include <ostream>

#include "network/graph.hpp"
#include "search/random.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

// Runs heuristic `number` (1 Random, 2 P0, 3 P1, 4 POP1, 5 LowerBound,
// 6 LowerBound Approximation, 7 LowerBound Local Search; anything else P0)
// over the visible nodes in node order, printing its name line ("Heuristic:
// ...") and any further lines it prints to out.
void Initialize(int number, const Graph& graph, NodeMap<bool>& selection,
                const NodeMap<double>& nodeScores, Random& rng, std::ostream& out);

}  // namespace tarnvale
