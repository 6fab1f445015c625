#pragma once
// The subnetwork score of one group: its standardized node-score sum (and,
// unless node-only, edge-score sum) corrected by the background models at the
// group's size.

#include <cstddef>

#include "search/score_context.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

// nodeScores: one float per node of the group; edgeScores: one per edge.
float SubnetworkScore(const FloatList& nodeScores, const FloatList& edgeScores,
                      const ScoreContext& context);

// The node part and the edge part of a group's score (the edge part 0 when
// the context scores nodes only), each corrected at the group's size, and
// the score they combine to.
struct ScoreParts {
    float node = 0;
    float edge = 0;
    float score = 0;
};
ScoreParts SubnetworkScoreParts(const FloatList& nodeScores, const FloatList& edgeScores,
                                const ScoreContext& context);

// The same score from the lists' lengths and their extended-precision sums
// (each list added in its own order), for callers that keep sums instead of
// lists: equal to SubnetworkScore of any lists of those lengths and sums.
float SubnetworkScoreOfSums(Extended nodeSum, std::size_t nodeCount, Extended edgeSum,
                            std::size_t edgeCount, const ScoreContext& context);

}  // namespace tarnvale
