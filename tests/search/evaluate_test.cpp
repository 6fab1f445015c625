#include "search/evaluate.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "search/subnetwork_score.hpp"

namespace tarnvale {
namespace {

using Nodes = std::vector<NodeId>;

ScoreContext NeutralContext(bool nodeOnly) {
    ScoreContext context;
    for (BackgroundModel* m : {&context.nodeModel, &context.edgeModel}) {
        m->mean = 0;
        m->sd = 1;
        m->sdCoef = 1;
    }
    context.nodeOnly = nodeOnly;
    return context;
}

// Nodes 0..9 and edges e0..e7:
//   e0 0->1, e1 2->1, e2 1->3, e3 4->5, e4 5->6, e5 6->7, e6 3->4, e7 5->8.
// Node 9 has no edge. With node 5 unselected, the selected nodes form the
// groups {0,1,2,3,4} and {6,7}; node 8 only touches node 5, node 9 nothing.
class EvaluateGraph : public ::testing::Test {
protected:
    void SetUp() override {
        for (int k = 0; k < 10; ++k) graph.NewNode();
        for (auto [s, t] :
             {std::pair{0, 1}, {2, 1}, {1, 3}, {4, 5}, {5, 6}, {6, 7}, {3, 4}, {5, 8}})
            graph.NewEdge(s, t);
        graph.MakeUndirected();
        for (NodeId n = 0; n < 10; ++n) {
            selection[n] = n != 5;
            nodeScores[n] = 0.25 * n;
        }
        for (EdgeId e = 0; e < 8; ++e) edgeScores[e] = static_cast<float>(e + 1);
    }

    Evaluation Run() { return Evaluate(graph, selection, {nodeScores, edgeScores, context}); }

    Graph graph;
    NodeMap<bool> selection;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeScores;
    ScoreContext context = NeutralContext(true);
};

TEST_F(EvaluateGraph, GroupsInComponentOrderWithNodesInVisitingOrder) {
    const Evaluation result = Run();
    EXPECT_EQ(result.components, 2u);
    ASSERT_EQ(result.groups.size(), 2u);
    // Depth first from node 0, outgoing edges before incoming ones: 3 and 4
    // are reached from 1 before its incoming edge from 2 is followed.
    EXPECT_EQ(result.groups[0].nodes, (Nodes{0, 1, 3, 4, 2}));
    EXPECT_EQ(result.groups[1].nodes, (Nodes{6, 7}));
    // Selected nodes without a selected neighbour are hidden with the rest.
    for (NodeId hidden : {5, 8, 9}) EXPECT_FALSE(graph.IsNodeVisible(hidden)) << hidden;
}

TEST_F(EvaluateGraph, ScoresUseTheGroupsNodesAndOnlyTheComponentsEdges) {
    context = NeutralContext(false);
    const Evaluation result = Run();
    ASSERT_EQ(result.groups.size(), 2u);
    // Group 0 holds e0, e2, e6, e1 (first met in that order); e3, e4 and e7
    // touch the unselected node 5.
    EXPECT_EQ(result.groups[0].score,
              SubnetworkScore({0, 0.25f, 0.75f, 1, 0.5f}, {1, 3, 7, 2}, context));
    EXPECT_EQ(result.groups[1].score, SubnetworkScore({1.5f, 1.75f}, {6}, context));
}

TEST_F(EvaluateGraph, StartsFromTheRestoredGraphEveryTime) {
    Run();
    selection[5] = true;
    const Evaluation result = Run();
    ASSERT_EQ(result.groups.size(), 1u);
    EXPECT_EQ(result.groups[0].nodes, (Nodes{0, 1, 3, 4, 5, 6, 7, 8, 2}));
}

TEST_F(EvaluateGraph, NothingSelectedGivesNoComponentAndAnEmptyRankedState) {
    for (NodeId n = 0; n < 10; ++n) selection[n] = false;
    EXPECT_EQ(Run().components, 0u);
    const RankedState state = RankState(Run(), 5);
    EXPECT_TRUE(state.scores.empty());
    EXPECT_TRUE(state.bestGroup.empty());
}

TEST(EvaluateLoop, SelectedNodeWithOnlyALoopIsAComponentButNoGroup) {
    Graph graph;
    for (int k = 0; k < 3; ++k) graph.NewNode();
    graph.NewEdge(0, 0);
    graph.NewEdge(0, 1);
    graph.NewEdge(1, 2);
    graph.MakeUndirected();
    NodeMap<bool> selection;
    selection[0] = true;
    selection[2] = true;
    const NodeMap<double> nodeScores;
    const EdgeMap<float> edgeScores;
    const ScoreContext context = NeutralContext(true);
    const Evaluation result = Evaluate(graph, selection, {nodeScores, edgeScores, context});
    EXPECT_EQ(result.components, 1u);
    EXPECT_TRUE(result.groups.empty());
}

Evaluation WithScores(const std::vector<float>& scores) {
    Evaluation e;
    for (std::size_t k = 0; k < scores.size(); ++k)
        e.groups.push_back(
            {{static_cast<NodeId>(2 * k), static_cast<NodeId>(2 * k + 1)}, scores[k]});
    e.components = scores.size();
    return e;
}

TEST(RankGroups, DescendingWithTiesInComponentOrder) {
    EXPECT_EQ(RankGroups(WithScores({1, 3, 3, 2, 3}).groups),
              (std::vector<std::size_t>{1, 2, 4, 3, 0}));
    // Enough groups that an unstable sort would show.
    std::vector<float> scores;
    for (int k = 0; k < 60; ++k) scores.push_back(static_cast<float>(k % 3));
    const auto order = RankGroups(WithScores(scores).groups);
    for (std::size_t j = 1; j < order.size(); ++j) {
        const float a = scores[order[j - 1]];
        const float b = scores[order[j]];
        EXPECT_TRUE(a > b || (a == b && order[j - 1] < order[j])) << j;
    }
}

TEST(RankGroups, NotANumberRanksLast) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(RankGroups(WithScores({nan, -1, 5, nan, 2}).groups),
              (std::vector<std::size_t>{2, 4, 1, 0, 3}));
}

TEST(RankState, KeepsTheTopNmaxScoresAndTheFirstBestGroup) {
    const RankedState state = RankState(WithScores({1, 7, 2, 7}), 3);
    EXPECT_EQ(state.scores, (std::vector<float>{7, 7, 2}));
    EXPECT_EQ(state.bestGroup, (Nodes{2, 3}));
    EXPECT_EQ(RankState(WithScores({1, 2}), 5).scores, (std::vector<float>{2, 1}));
}

TEST(RankState, NmaxBelowOneCountsAsOne) {
    EXPECT_EQ(RankState(WithScores({1, 4}), 0).scores, (std::vector<float>{4}));
    EXPECT_EQ(RankState(WithScores({1, 4}), -3).scores, (std::vector<float>{4}));
}

}  // namespace
}  // namespace tarnvale
