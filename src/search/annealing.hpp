#pragma once
// One simulated annealing run over the selection state of the graph.

#include <cstdint>
#include <ostream>

#include "network/graph.hpp"
#include "search/score_context.hpp"

namespace tarnvale {

struct AnnealOptions {
    std::uint64_t iterations = 10000;  // N, already scaled by the driver
    float tStart = 2.0f;
    float tEnd = 0.01f;
    int nmax = 5;
    int heuristic = 1;
    int quenching = 1;
};

// Runs the heuristic, N annealing steps and (when quenching) the quench
// passes, printing the run's lines to out. Both generators of the run are
// seeded with `seed`. Leaves the final accepted state in `selection` and
// returns its best group score (-10000 when it has no group). The graph comes
// back with nodes hidden.
float Anneal(Graph& graph, const ScoreInputs& inputs, NodeMap<bool>& selection,
             const AnnealOptions& options, std::uint32_t seed, std::ostream& out);

}  // namespace tarnvale
