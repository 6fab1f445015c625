#include "search/subnetwork_score.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "stats/statistics.hpp"

namespace tarnvale {
namespace {

// Mean 0 and sd 1 per score, no size correction: the part is GroupScore.
BackgroundModel Neutral() {
    BackgroundModel m;
    m.mean = 0;
    m.sd = 1;
    m.sdCoef = 1;
    return m;
}

ScoreContext Context(const BackgroundModel& nodes, const BackgroundModel& edges, bool nodeOnly) {
    ScoreContext context;
    context.nodeModel = nodes;
    context.edgeModel = edges;
    context.nodeOnly = nodeOnly;
    return context;
}

TEST(SubnetworkScore, NodeOnlyIsTheNodePartAndIgnoresEdges) {
    const ScoreContext context = Context(Neutral(), Neutral(), true);
    EXPECT_FLOAT_EQ(SubnetworkScore({1, 1, 1, 1}, {}, context), 2.0f);
    EXPECT_FLOAT_EQ(SubnetworkScore({1, 1, 1, 1}, {100, -100}, context), 2.0f);
}

TEST(SubnetworkScore, NodePartIsCorrectedByTheModelAtTheGroupSize) {
    // MeanAt(k) = 0.5 k and SdAt(k) = 0.25 k: at size 4 GroupScore 2 lies on
    // the mean; at size 2, (sqrt 2 - 1) / 0.5.
    BackgroundModel m = Neutral();
    m.meanCoef = 0.5f;
    m.meanExp = 1;
    m.sdCoef = 0.25f;
    m.sdExp = 1;
    const ScoreContext context = Context(m, Neutral(), true);
    EXPECT_FLOAT_EQ(SubnetworkScore({1, 1, 1, 1}, {}, context), 0.0f);
    EXPECT_NEAR(SubnetworkScore({1, 1}, {}, context), (std::sqrt(2.0) - 1.0) / 0.5, 1e-5);
}

TEST(SubnetworkScore, PartsOfOneEachGiveTwoOverRootTwo) {
    // Node part 2 / sqrt 4 = 1, edge part 1 / sqrt 1 = 1.
    const float score =
        SubnetworkScore({0.5f, 0.5f, 0.5f, 0.5f}, {1}, Context(Neutral(), Neutral(), false));
    EXPECT_EQ(score, static_cast<float>(2.0 / std::sqrt(2.0)));
    EXPECT_FLOAT_EQ(score, 1.41421356f);
}

TEST(SubnetworkScore, EdgePartUsesTheEdgeModelAtTheEdgeCount) {
    // Two nodes, one edge. Node part: GroupScore(2, 2) = 2.828 less
    // MeanAt(2) = 2. Edge part: GroupScore({5}; 1, 2) = 2 less MeanAt(1) = 3,
    // over SdAt(1) = 0.5, giving -2.
    BackgroundModel nodes = Neutral();
    nodes.meanCoef = 1;
    nodes.meanExp = 1;
    BackgroundModel edges = Neutral();
    edges.mean = 1;
    edges.sd = 2;
    edges.meanCoef = 3;
    edges.meanExp = 1;
    edges.sdCoef = 0.5f;
    const double expected = (2.0 * std::sqrt(2.0) - 2.0 - 2.0) / std::sqrt(2.0);
    EXPECT_NEAR(SubnetworkScore({2, 2}, {5}, Context(nodes, edges, false)), expected, 1e-5);
    EXPECT_GT(std::abs(SubnetworkScore({2, 2}, {5}, Context(edges, nodes, false)) - expected), 0.1);
}

TEST(SubnetworkScoreOfSums, MatchesTheListScoreWithAndWithoutEdges) {
    std::mt19937 rng(5150u);
    std::uniform_real_distribution<float> z(-3.0f, 3.0f);
    ScoreContext context;
    context.nodeModel = {0.1f, 1.2f, 0.9f, 0.25f, 0.3f, 0.0f};
    context.edgeModel = {-0.3f, 0.8f, 1.1f, 0.1f, -0.2f, 0.0f};
    for (bool nodeOnly : {true, false}) {
        context.nodeOnly = nodeOnly;
        for (int round = 0; round < 1000; ++round) {
            FloatList nodes(2 + rng() % 100);
            FloatList edges(1 + rng() % 200);
            for (float& x : nodes) x = z(rng);
            for (float& x : edges) x = z(rng);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(SubnetworkScoreOfSums(
                          Sum(nodes), nodes.size(), Sum(edges), edges.size(), context)),
                      std::bit_cast<std::uint32_t>(SubnetworkScore(nodes, edges, context)))
                << "round " << round << (nodeOnly ? " node-only" : " with edges");
        }
    }
}

}  // namespace
}  // namespace tarnvale
