#pragma once
// The settings that the whole search and report read but only the driver
// writes: the two background models and the node-only flag.
// One record, owned by the driver and passed by const reference.

#include "network/graph.hpp"
#include "stats/background_model.hpp"

namespace tarnvale {

struct ScoreContext {
    BackgroundModel nodeModel;
    BackgroundModel edgeModel;
    // True: group scores use node scores only; false: node and edge parts.
    bool nodeOnly = true;
};

// What every group evaluation reads.
struct ScoreInputs {
    const NodeMap<double>& nodeScores;
    const EdgeMap<float>& edgeScores;
    const ScoreContext& context;
};

}  // namespace tarnvale
