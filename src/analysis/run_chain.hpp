#pragma once
// The runs of one invocation: run A searches the prepared network, each later
// run searches inside the previous run's selection, and every run scores its
// groups against a node background model built from its own nodes. The
// invocation's own runs and every permutation chain go through this one
// sequence, so that a chain does exactly what the real invocation does.

#include <cstdint>
#include <ostream>
#include <vector>

#include "search/annealing.hpp"
#include "search/evaluate.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"
#include "stats/background_model.hpp"

namespace tarnvale {

// What every run of a chain shares.
struct ChainSettings {
    AnnealOptions search;  // the first run's; run r makes N + r * (N / 5) steps
    int kmax = 100;        // background sampling bounds
    int imax = 10000;
    int runs = 2;  // how many runs at most
    // A degenerate node background model in the first run ends the
    // invocation with an error (true) or only the chain (false).
    bool firstModelMustBeUsable = false;
};

// The annealing steps of run r: N + r * (N / 5), N the first run's.
std::int64_t RunIterations(std::int64_t first, int r);

// The seeds of one run: for its node background model and for its search.
struct RunSeeds {
    std::uint32_t background = 0;
    std::uint32_t search = 0;
};

// A run that was made, as the hooks see it.
struct RunMade {
    int run = 0;
    const SearchGraph& graph;        // the run's network
    const ScoreInputs& inputs;       // its scores and background models
    const AnnealOptions& anneal;     // its settings
    const NodeMap<bool>& selection;  // the state its search left
};

// What the caller adds to the sequence: the seeds, progress, and what
// follows each run.
class ChainHooks {
public:
    virtual ~ChainHooks() = default;
    // The seeds of run r, taken when the run starts.
    virtual RunSeeds Seeds(int run) = 0;
    // Progress of run r's background model and search; none by default.
    virtual BackgroundProgress BackgroundBar(int /*run*/) { return {}; }
    virtual void EndBackground() {}
    virtual void BeginSearch(int /*run*/, AnnealOptions& /*anneal*/, std::uint64_t /*steps*/) {}
    virtual void EndSearch() {}
    // After run r's search; its selection decides the next run's network.
    virtual void RunDone(const RunMade& run) = 0;
};

// Performs up to settings.runs runs from `first` (built with edge scores
// exactly when edges.nodeOnly is false), printing each run's lines to `out`
// (a stream that prints nothing for a permutation chain). A run that cannot
// be made (no node left, every score equal, a degenerate background model)
// ends the chain with a NOTE. Returns the number of runs made. Throws
// RunError when the first run's model is degenerate and must not be.
int RunChain(const SearchGraph& first, const NodeMap<double>& nodeScores,
             const EdgeMap<float>& edgeScores, const ScoreContext& edges,
             const ChainSettings& settings, ChainHooks& hooks, std::ostream& out);

// The groups of a run's final state, best first.
std::vector<Group> RankedGroups(const RunMade& run);

}  // namespace tarnvale
