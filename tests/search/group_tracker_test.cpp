// The group tracker keeps components, sums and ranking up to date move by
// move; after every move, undo and commit it must rank exactly as the
// from-scratch evaluation does, on graphs of several shapes and scores.

#include "search/group_tracker.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <string>

#include "search/evaluate.hpp"
#include "search/random_network.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 90210u;

using Nodes = std::vector<NodeId>;

// Float bit patterns, so that +0 and -0 (and not-a-number payloads) differ.
std::vector<std::uint32_t> Bits(const std::vector<float>& v) {
    std::vector<std::uint32_t> bits;
    for (float x : v) bits.push_back(std::bit_cast<std::uint32_t>(x));
    return bits;
}

// The same score bits and the same best group, nodes in visiting order.
void ExpectSameRanking(ScoredNetwork& net, GroupTracker& tracker, const NodeMap<bool>& selection,
                       int nmax, const std::string& where) {
    const RankedState expected = RankState(Evaluate(net.search, selection, net.Inputs()), nmax);
    std::vector<float> scores;
    const ComponentId best = tracker.Rank(nmax, scores);
    ASSERT_EQ(Bits(scores), Bits(expected.scores)) << where;
    ASSERT_EQ(best == kNoComponent ? Nodes{} : tracker.NodesInVisitingOrder(best),
              expected.bestGroup)
        << where;
}

// Moves of one to five flips drawn at random, each checked, then kept or
// undone and checked again.
void RunMoves(ScoredNetwork& net, std::mt19937& rng, int moves, const std::string& name) {
    NodeMap<bool> selection;
    for (NodeId v : net.nodes) selection[v] = rng() % 2 == 0;
    GroupTracker tracker(net.search, net.Inputs());
    tracker.Reset(selection);
    ExpectSameRanking(net, tracker, selection, 1000, name + " after reset");
    for (int m = 0; m < moves && !::testing::Test::HasFailure(); ++m) {
        Nodes flips;
        for (std::size_t count = std::array<std::size_t, 5>{1, 1, 2, 3, 5}[rng() % 5];
             flips.size() < count;)
            if (const NodeId v = net.nodes[rng() % net.nodes.size()];
                std::ranges::count(flips, v) == 0)
                flips.push_back(v);
        for (NodeId v : flips) selection[v] = !selection.get(v);
        tracker.Apply(flips);
        const int nmax = std::array{1, 3, 4, 1000}[rng() % 4];
        const std::string where = name + " move " + std::to_string(m);
        ExpectSameRanking(net, tracker, selection, nmax, where + " applied");
        if (rng() % 2 == 0) {
            tracker.Commit();
        } else {
            tracker.Undo();
            for (NodeId v : flips) selection[v] = !selection.get(v);
        }
        ExpectSameRanking(net, tracker, selection, nmax, where + " settled");
        for (NodeId v : net.nodes) EXPECT_EQ(tracker.Selected(v), selection.get(v)) << where;
    }
}

TEST(GroupTracker, EveryMoveRanksAsTheFromScratchEvaluation) {
    std::mt19937 rng(kSeed);
    const std::pair<std::string, std::pair<int, std::vector<std::pair<int, int>>>> shapes[] = {
        {"sparse random", {90, RandomEdges(90, 120, 90, rng)}},
        {"dense random", {40, RandomEdges(40, 300, 40, rng)}},
        {"hubs", {60, RandomEdges(60, 150, 3, rng)}}};
    for (const auto& [shape, graph] : shapes) {
        for (Scores kind : {Scores::Normal, Scores::Wide, Scores::Few, Scores::Spread}) {
            for (bool nodeOnly : {true, false}) {
                ScoredNetwork net = Build(graph.first, graph.second, kind, nodeOnly, rng);
                RunMoves(net, rng, 250,
                         shape + " scores " + std::to_string(static_cast<int>(kind)) +
                             (nodeOnly ? " node-only" : " with edges"));
                if (HasFailure()) return;
            }
        }
    }
}

// Only selected nodes with a selected neighbour (a loop counts) make up the
// components: two ends of a path without their middle are none, a selected
// node with a loop is one, and a selected pair is one with a group.
TEST(Evaluate, ComponentsHoldOnlyNodesWithASelectedNeighbour) {
    std::mt19937 rng(kSeed);
    ScoredNetwork net = Build(8, {{1, 2}, {2, 3}, {4, 4}, {5, 6}}, Scores::Normal, false, rng);
    NodeMap<bool> selection;
    selection[1] = selection[3] = true;
    EXPECT_EQ(Evaluate(net.search, selection, net.Inputs()).components, 0u);
    selection[4] = true;
    EXPECT_EQ(Evaluate(net.search, selection, net.Inputs()).components, 1u);
    selection[5] = selection[6] = true;
    const Evaluation both = Evaluate(net.search, selection, net.Inputs());
    EXPECT_EQ(both.components, 2u);
    ASSERT_EQ(both.groups.size(), 1u);
    EXPECT_EQ(both.groups[0].nodes.size(), 2u);
}

}  // namespace
}  // namespace tarnvale
