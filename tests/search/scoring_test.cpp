// Scoring a selection: the subnetwork score of a group, the groups the
// from-scratch evaluation finds and how it ranks them, and the rule that
// accepts or rejects a proposed state.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "search/acceptance.hpp"
#include "search/evaluate.hpp"
#include "search/subnetwork_score.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 20240611u;
const float kNan = std::numeric_limits<float>::quiet_NaN();

using Nodes = std::vector<NodeId>;

ScoreContext Context(const BackgroundModel& nodes, const BackgroundModel& edges, bool nodeOnly) {
    ScoreContext context;
    context.nodeModel = nodes;
    context.edgeModel = edges;
    context.nodeOnly = nodeOnly;
    return context;
}

const BackgroundModel kNeutral = {0, 1, 1, 0, 0, 0};  // the part is GroupScore

TEST(SubnetworkScore, PartsCorrectedByTheirModelsAtTheGroupSize) {
    const ScoreContext neutral = Context(kNeutral, kNeutral, true);
    EXPECT_FLOAT_EQ(SubnetworkScore({1, 1, 1, 1}, {100, -100}, neutral), 2.0f);  // edges ignored
    // MeanAt(k) = 0.5 k and SdAt(k) = 0.25 k: at size 4 GroupScore 2 lies on
    // the mean; at size 2, (sqrt 2 - 1) / 0.5.
    const ScoreContext linear = Context({0, 1, 0.25f, 1, 0.5f, 1}, kNeutral, true);
    EXPECT_FLOAT_EQ(SubnetworkScore({1, 1, 1, 1}, {}, linear), 0.0f);
    EXPECT_NEAR(SubnetworkScore({1, 1}, {}, linear), (std::sqrt(2.0) - 1.0) / 0.5, 1e-5);
    // Node part 2 / sqrt 4 = 1, edge part 1 / sqrt 1 = 1: 2 over sqrt 2.
    EXPECT_EQ(SubnetworkScore({0.5f, 0.5f, 0.5f, 0.5f}, {1}, Context(kNeutral, kNeutral, false)),
              static_cast<float>(2.0 / std::sqrt(2.0)));
    // Two nodes, one edge. Node part: GroupScore(2, 2) = 2.828 less MeanAt(2)
    // = 2. Edge part: GroupScore({5}; 1, 2) = 2 less MeanAt(1) = 3, over
    // SdAt(1) = 0.5, giving -2.
    const BackgroundModel nodes = {0, 1, 1, 0, 1, 1}, edges = {1, 2, 0.5f, 0, 3, 1};
    const double expected = (2.0 * std::sqrt(2.0) - 2.0 - 2.0) / std::sqrt(2.0);
    EXPECT_NEAR(SubnetworkScore({2, 2}, {5}, Context(nodes, edges, false)), expected, 1e-5);
    EXPECT_GT(std::abs(SubnetworkScore({2, 2}, {5}, Context(edges, nodes, false)) - expected), 0.1);
}

TEST(Evaluate, GroupsInComponentOrderScoredWithTheComponentsEdges) {
    // Nodes 0..9, edges e0 0->1, e1 2->1, e2 1->3, e3 4->5, e4 5->6, e5 6->7,
    // e6 3->4, e7 5->8; node 9 has none. With node 5 unselected the selected
    // nodes form {0,1,2,3,4} and {6,7}; node 8 only touches 5, 9 nothing.
    Graph graph;
    NodeMap<bool> selection;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeScores;
    for (NodeId n = 0; n < 10; ++n) nodeScores[graph.NewNode()] = 0.25 * n;
    for (auto [s, t] : {std::pair{0, 1}, {2, 1}, {1, 3}, {4, 5}, {5, 6}, {6, 7}, {3, 4}, {5, 8}})
        graph.NewEdge(s, t);
    for (EdgeId e = 0; e < 8; ++e) edgeScores[e] = static_cast<float>(e + 1);
    graph.MakeUndirected();
    for (NodeId n = 0; n < 10; ++n) selection[n] = n != 5;
    const ScoreContext context = Context(kNeutral, kNeutral, false);
    Evaluation result = Evaluate(graph, selection, {nodeScores, edgeScores, context});
    EXPECT_EQ(result.components, 2u);
    ASSERT_EQ(result.groups.size(), 2u);
    // Depth first from node 0, outgoing edges before incoming ones: 3 and 4
    // are reached from 1 before its incoming edge from 2 is followed.
    EXPECT_EQ(result.groups[0].nodes, (Nodes{0, 1, 3, 4, 2}));
    EXPECT_EQ(result.groups[1].nodes, (Nodes{6, 7}));
    // Edges e0, e2, e6, e1, first met in that order; e3, e4, e7 touch node 5.
    EXPECT_EQ(result.groups[0].score,
              SubnetworkScore({0, 0.25f, 0.75f, 1, 0.5f}, {1, 3, 7, 2}, context));
    EXPECT_EQ(result.groups[1].score, SubnetworkScore({1.5f, 1.75f}, {6}, context));
    for (NodeId hidden : {5, 8, 9}) EXPECT_FALSE(graph.IsNodeVisible(hidden)) << hidden;
    selection[5] = true;  // starts from the restored graph every time
    result = Evaluate(graph, selection, {nodeScores, edgeScores, context});
    ASSERT_EQ(result.groups.size(), 1u);
    EXPECT_EQ(result.groups[0].nodes, (Nodes{0, 1, 3, 4, 5, 6, 7, 8, 2}));
    graph.NewEdge(9, 9);  // a selected node with only a loop: a component, no group
    for (NodeId n = 0; n < 10; ++n) selection[n] = n == 9;
    result = Evaluate(graph, selection, {nodeScores, edgeScores, context});
    EXPECT_EQ(result.components, 1u);
    const RankedState state = RankState(std::move(result), 5);
    EXPECT_TRUE(state.scores.empty());
    EXPECT_TRUE(state.bestGroup.empty());
}

Evaluation WithScores(const std::vector<float>& scores) {
    Evaluation e;
    for (std::size_t k = 0; k < scores.size(); ++k)
        e.groups.push_back(
            {{static_cast<NodeId>(2 * k), static_cast<NodeId>(2 * k + 1)}, scores[k]});
    e.components = scores.size();
    return e;
}

TEST(Evaluate, RankingDescendsWithTiesInComponentOrderAndNotANumberLast) {
    using Order = std::vector<std::size_t>;
    EXPECT_EQ(RankGroups(WithScores({1, 3, 3, 2, 3}).groups), (Order{1, 2, 4, 3, 0}));
    EXPECT_EQ(RankGroups(WithScores({kNan, -1, 5, kNan, 2}).groups), (Order{2, 4, 1, 0, 3}));
    const RankedState state = RankState(WithScores({1, 7, 2, 7}), 3);  // the first best group
    EXPECT_EQ(state.scores, (std::vector<float>{7, 7, 2}));
    EXPECT_EQ(state.bestGroup, (Nodes{2, 3}));
    EXPECT_EQ(RankState(WithScores({1, 2}), 5).scores, (std::vector<float>{2, 1}));
    EXPECT_EQ(RankState(WithScores({1, 4}), 0).scores, (std::vector<float>{4}));  // nmax below 1
    EXPECT_EQ(RankState(WithScores({1, 4}), -3).scores, (std::vector<float>{4}));
}

TEST(Accept, RankedListsAndTheDrawsTheyTake) {
    // At kHot a worse entry's chance rounds to 1, above every draw; at kCold
    // to 0, below every draw; so outcomes do not depend on the draws.
    constexpr float kHot = 1e9f, kCold = 1e-9f;
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
        {"empty lists", {}, {}, 1, false, 0},
        {"equal entries pass on", {5, 2, 1.5f}, {5, 2, 1}, 1, true, 0},
        {"worse passes, nothing better after", {4, 2}, {5, 2}, kHot, false, 1},
        {"worse passes, then better", {4, 1, 3}, {5, 2, 2}, kHot, true, 2},
        {"worse fails at once", {4, 9, 9}, {5, 2, 2}, kCold, false, 1},
        {"not a number counts as worse", {kNan, 9}, {5, 2}, kHot, false, 1},
        {"negative temperature never passes worse", {1, 9}, {2, 2}, -1, false, 1},
        {"T=0 first difference higher", {5, 3}, {5, 2}, 0, true, 0},
        {"T=0 worse still draws", {5, 1, 9}, {5, 2, 2}, 0, false, 1},
        {"T=0 single better entry", {3}, {2}, 0, true, 0},
        {"single better entry draws and passes", {3}, {2}, kCold, true, 1},
        {"single worse entry, hot", {1}, {2}, kHot, false, 1},
        {"single equal entry", {2}, {2}, kHot, false, 0},
    };
    for (const Case& c : cases) {
        Random rng(kSeed), twin(kSeed);
        EXPECT_EQ(Accept(c.proposal, c.current, c.T, rng), c.accepted) << c.name;
        // The words taken: the position of the next word in a twin's sequence.
        const std::uint32_t next = rng.NextWord();
        int draws = 0;
        while (draws < 8 && twin.NextWord() != next) ++draws;
        EXPECT_EQ(draws, c.draws) << c.name;
    }
}

}  // namespace
}  // namespace tarnvale
