#include "search/subnetwork_score.hpp"

#include <cmath>

namespace tarnvale {

namespace {

// How far a group's score sum lies above random groups of the same size, in
// the spread the model gives for that size; float steps throughout.
float CorrectedPart(const FloatList& scores, const BackgroundModel& model) {
    const int size = static_cast<int>(scores.size());
    return (GroupScore(scores, model.mean, model.sd) - model.MeanAt(size)) / model.SdAt(size);
}

}  // namespace

float SubnetworkScore(const FloatList& nodeScores, const FloatList& edgeScores,
                      const ScoreContext& context) {
    const float nodePart = CorrectedPart(nodeScores, context.nodeModel);
    if (context.nodeOnly) return nodePart;
    const float edgePart = CorrectedPart(edgeScores, context.edgeModel);
    // The parts are added in float; only the division by the square root of
    // two is done in double before the result is narrowed again.
    const float sum = nodePart + edgePart;
    return static_cast<float>(static_cast<double>(sum) / std::pow(2.0, 0.5));
}

}  // namespace tarnvale
