// Where a group's score comes from, as the summary tells it.

#include "analysis/summary.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace tarnvale {
namespace {

// With neutral models (mean 0, spread 1 at every size) a part is the sum of
// its scores over the square root of their count.
TEST(SourceOfScore, StoufferEvidenceAndTheEdgePartsShareByHand) {
    const BackgroundModel neutral{0, 1, 1, 0, 0, 0};
    const ScoreContext withEdges{neutral, neutral, false}, nodeOnly{neutral, neutral, true};
    // Node part 4 / 2 = 2, edge part 3 / sqrt 1 = 3: the edges give 3 of 5.
    ScoreSource s = SourceOfScore({1, 1, 1, 1}, {3}, withEdges);
    EXPECT_DOUBLE_EQ(s.nodeEvidence, 2.0);
    EXPECT_NEAR(s.edgeShare, 0.6, 1e-6);
    // Weak nodes, strong edges: more than the whole score from the edges.
    s = SourceOfScore({-1, 0.5f}, {2, 2}, withEdges);
    EXPECT_NEAR(s.nodeEvidence, -0.5 / std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(s.edgeShare, 4.0 / (4.0 - 0.5), 1e-5);
    // Scored by nodes only, nothing comes from edges.
    s = SourceOfScore({2, 2, 2}, {5, 5}, nodeOnly);
    EXPECT_NEAR(s.nodeEvidence, 6.0 / std::sqrt(3.0), 1e-9);
    EXPECT_EQ(s.edgeShare, 0.0);
}

}  // namespace
}  // namespace tarnvale
