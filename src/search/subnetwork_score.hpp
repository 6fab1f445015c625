#pragma once
// The subnetwork score of one group: its standardized node-score sum (and,
// unless node-only, edge-score sum) corrected by the background models at the
// group's size.

#include "search/score_context.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

// nodeScores: one float per node of the group; edgeScores: one per edge.
float SubnetworkScore(const FloatList& nodeScores, const FloatList& edgeScores,
                      const ScoreContext& context);

}  // namespace tarnvale
