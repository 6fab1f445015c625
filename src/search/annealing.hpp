#pragma once
// One simulated annealing run over the selection state of the graph.

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "base/no_score.hpp"
#include "network/graph.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {

// How a step's proposal is evaluated. Both give the same run, step for step.
enum class StepEvaluation {
    // Keeps the groups of the accepted state and updates them by the move
    // (see group_tracker.hpp): a step costs about the moved nodes'
    // neighbourhoods.
    Incremental,
    // Finds and scores every group of the selection again: a step costs the
    // whole graph. Kept as the reference
    // the incremental evaluation is checked against.
    FromScratch,
};

// The settings of a search. Their member initialisers are the defaults of
// the command line, which reads them from here.
struct AnnealOptions {
    // N, the annealing steps; the command line's -n is the first run's, and
    // the driver scales it for the later runs. Never negative once validated.
    std::int64_t iterations = 10000;
    float tStart = 2.0f;  // start temperature
    float tEnd = 0.01f;   // end temperature
    int nmax = 5;         // the number of best groups the acceptance compares
    int heuristic = 1;    // the start heuristic (see heuristics.hpp)
    int quenching = 1;    // non-zero: zero-temperature passes at the end
    int hub = 100;        // a selected node of degree above this is a hub
    // Called after every step with the position in the schedule (which goes
    // back by n when a quench pass is made again), the schedule's length and
    // the best group score of the accepted state. Empty: no call.
    std::function<void(std::uint64_t position, std::uint64_t total, float best)> progress = {};
    StepEvaluation evaluation = StepEvaluation::Incremental;
    // Stops the run after this many steps (0: no limit), so that the cost of
    // a step can be measured on the start of a long run.
    std::uint64_t stepLimit = 0;
};

// Runs the heuristic, N annealing steps and (when quenching) the quench
// passes, printing the run's lines to out. Both generators of the run are
// seeded with `seed`. Leaves the final accepted state in `selection` and
// returns its best group score (-10000 when it has no group). The graph is
// only read, so searches may share it.
float Anneal(const SearchGraph& graph, const ScoreInputs& inputs, NodeMap<bool>& selection,
             const AnnealOptions& options, std::uint32_t seed, std::ostream& out);

struct AnnealResult {
    float bestScore = kNoScore;  // what Anneal returns
    std::uint64_t steps = 0;     // steps made, quench passes included
};

// Anneal, also telling how many steps the run made. A graph of fewer than two
// nodes gets no step: every node is left unselected and the score is -10000.
AnnealResult AnnealRun(const SearchGraph& graph, const ScoreInputs& inputs,
                       NodeMap<bool>& selection, const AnnealOptions& options, std::uint32_t seed,
                       std::ostream& out);

// The hub rule: a newly selected hub would join most of its neighbourhood
// into one group, so when the search has a best group, selecting a node of
// degree above `hub` (not equal to it) cuts loose its selected neighbours
// outside that group, in adjacency order, up to its first unselected
// neighbour. True when a move applies it.
bool IsHubMove(bool haveBestGroup, bool nowSelected, std::int64_t degree, int hub);

// The node-list index that a step flips, given the index drawn for it: the
// drawn index while T is not 0; at T = 0 the quench index, which then
// advances. The quench index is taken modulo n, so a temperature that reaches
// 0 before the quench phase keeps walking the list in turn.
std::uint64_t StepIndex(std::int32_t drawn, float T, std::uint64_t& quenchIndex, std::uint64_t n);

// Flips every node of a move's list back.
void Undo(NodeMap<bool>& selection, const std::vector<NodeId>& toggled);

}  // namespace tarnvale
