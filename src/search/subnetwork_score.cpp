#include "search/subnetwork_score.hpp"

#include <cmath>

#include "stats/exact_sum.hpp"

namespace tarnvale {

namespace {

// How far a group's score sum lies above random groups of the same size, in
// the spread the model gives for that size; float steps throughout.
float CorrectedPart(const FloatList& scores, const BackgroundModel& model) {
    const int size = static_cast<int>(scores.size());
    return (GroupScore(scores, model.mean, model.sd) - model.MeanAt(size)) / model.SdAt(size);
}

// CorrectedPart of a list of `count` scores that sum to `sum`.
float CorrectedPartOfSum(Extended sum, std::size_t count, const BackgroundModel& model) {
    const int size = static_cast<int>(count);
    return (GroupScoreOfSum(sum, count, model.mean, model.sd) - model.MeanAt(size)) /
           model.SdAt(size);
}

// The parts are added in float; only the division by the square root of two
// is done in double before the result is narrowed again.
float Combine(float nodePart, float edgePart) {
    const float sum = nodePart + edgePart;
    return static_cast<float>(static_cast<double>(sum) / std::pow(2.0, 0.5));
}

}  // namespace

float SubnetworkScore(const FloatList& nodeScores, const FloatList& edgeScores,
                      const ScoreContext& context) {
    return SubnetworkScoreParts(nodeScores, edgeScores, context).score;
}

ScoreParts SubnetworkScoreParts(const FloatList& nodeScores, const FloatList& edgeScores,
                                const ScoreContext& context) {
    ScoreParts parts;
    parts.node = CorrectedPart(nodeScores, context.nodeModel);
    if (context.nodeOnly) {
        parts.score = parts.node;
        return parts;
    }
    parts.edge = CorrectedPart(edgeScores, context.edgeModel);
    parts.score = Combine(parts.node, parts.edge);
    return parts;
}

float SubnetworkScoreOfSums(Extended nodeSum, std::size_t nodeCount, Extended edgeSum,
                            std::size_t edgeCount, const ScoreContext& context) {
    const float nodePart = CorrectedPartOfSum(nodeSum, nodeCount, context.nodeModel);
    if (context.nodeOnly) return nodePart;
    return Combine(nodePart, CorrectedPartOfSum(edgeSum, edgeCount, context.edgeModel));
}

}  // namespace tarnvale
