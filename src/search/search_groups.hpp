#pragma once
// One whole search of a run's network, as the ensemble repeats it: the annealing run without its
// printed lines, and the groups of the state it leaves.

#include <cstdint>
#include <vector>

#include "network/graph.hpp"
#include "search/annealing.hpp"
#include "search/evaluate.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {

// A run as the ensemble repeats it.
struct PermutedRun {
    const SearchGraph& graph;  // the run's network, shared by every search
    const NodeMap<double>& nodeScores;
    const EdgeMap<float>& edgeScores;
    const ScoreContext& context;  // the run's background models
    const AnnealOptions& anneal;  // the run's search settings
    int threads = 1;              // searches side by side
};

// One search of `graph` with `seed` (no output of its own; anneal.progress
// is called as the run goes): the groups of the state it leaves, best first.
std::vector<Group> SearchGroups(const SearchGraph& graph, const ScoreInputs& inputs,
                                const AnnealOptions& anneal, std::uint32_t seed);

}  // namespace tarnvale
