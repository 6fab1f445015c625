// Scoring a selection: the subnetwork score of a group and the rule that
// accepts or rejects a proposed state.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "search/acceptance.hpp"
#include "search/random_network.hpp"
#include "search/subnetwork_score.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 20240611u;

const BackgroundModel kNeutral = {0, 1, 1, 0, 0, 0};  // the part is GroupScore

TEST(SubnetworkScore, PartsCorrectedByTheirModelsAtTheGroupSize) {
    // MeanAt(k) = 0.5 k and SdAt(k) = 0.25 k: at size 2, (sqrt 2 - 1) / 0.5;
    // edge scores are ignored.
    const ScoreContext linear{{0, 1, 0.25f, 1, 0.5f, 1}, kNeutral, true};
    EXPECT_NEAR(SubnetworkScore({1, 1}, {100}, linear), (std::sqrt(2.0) - 1.0) / 0.5, 1e-5);
    // Node part 2 / sqrt 4 = 1, edge part 1 / sqrt 1 = 1: 2 over sqrt 2.
    EXPECT_EQ(
        SubnetworkScore({0.5f, 0.5f, 0.5f, 0.5f}, {1}, ScoreContext{kNeutral, kNeutral, false}),
        static_cast<float>(2.0 / std::sqrt(2.0)));
    // Two nodes, one edge. Node part: GroupScore(2, 2) = 2.828 less MeanAt(2)
    // = 2. Edge part: GroupScore({5}; 1, 2) = 2 less MeanAt(1) = 3, over
    // SdAt(1) = 0.5, giving -2.
    const BackgroundModel nodes = {0, 1, 1, 0, 1, 1}, edges = {1, 2, 0.5f, 0, 3, 1};
    const double expected = (2.0 * std::sqrt(2.0) - 2.0 - 2.0) / std::sqrt(2.0);
    EXPECT_NEAR(SubnetworkScore({2, 2}, {5}, ScoreContext{nodes, edges, false}), expected, 1e-5);
    EXPECT_GT(std::abs(SubnetworkScore({2, 2}, {5}, ScoreContext{edges, nodes, false}) - expected),
              0.1);
}

TEST(Accept, RankedListsAndTheDrawsTheyTake) {
    // At kHot a worse entry's chance rounds to 1, above every draw; at kCold
    // to 0, below every draw; so outcomes do not depend on the draws.
    constexpr float kHot = 1e9f, kCold = 1e-9f, kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::string name;
        std::vector<float> proposal, current;
        float T;
        bool accepted;
        int draws;
    };
    const Case cases[] = {
        {"better first entry", {5, 1}, {4, 3}, 1, true, 0},
        {"equal lists", {5, 2, 1}, {5, 2, 1}, kHot, false, 0},
        {"equal entries pass on", {5, 2, 1.5f}, {5, 2, 1}, 1, true, 0},
        {"worse passes, then better", {4, 1, 3}, {5, 2, 2}, kHot, true, 2},
        {"worse fails at once", {4, 9, 9}, {5, 2, 2}, kCold, false, 1},
        {"not a number counts as worse", {kNaN, 9}, {5, 2}, kHot, false, 1},
        {"T=0 first difference higher", {5, 3}, {5, 2}, 0, true, 0},
        {"single better entry draws and passes", {3}, {2}, kCold, true, 1},
    };
    for (const Case& c : cases) {
        Random rng(kSeed);
        EXPECT_EQ(Accept(c.proposal, c.current, c.T, rng), c.accepted) << c.name;
        EXPECT_EQ(WordsTaken(rng, kSeed), c.draws) << c.name;
    }
}

}  // namespace
}  // namespace tarnvale
