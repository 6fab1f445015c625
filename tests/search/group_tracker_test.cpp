#include "search/group_tracker.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "search/evaluate.hpp"

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

ScoreContext SkewedContext(bool nodeOnly) {
    ScoreContext context;
    context.nodeModel.mean = 0.1f;
    context.nodeModel.sd = 1.1f;
    context.nodeModel.meanCoef = 0.2f;
    context.nodeModel.sdCoef = 0.9f;
    context.nodeModel.sdExp = 0.3f;
    context.edgeModel.mean = -0.4f;
    context.edgeModel.sd = 0.7f;
    context.edgeModel.meanCoef = -0.1f;
    context.edgeModel.sdCoef = 1.3f;
    context.edgeModel.sdExp = 0.15f;
    context.nodeOnly = nodeOnly;
    return context;
}

// How node and edge scores are drawn.
enum class Scores {
    Normal,  // ordinary z-scores: every sum exact
    Wide,    // +-2^70 among small values: sums depend on their order
    Few,     // three values: many equal group scores
    Spread,  // magnitudes from 2^-40 to 4: no sum provably exact, yet every
             // score the same in every order of summing
};

struct Network {
    Graph graph;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeScores;
    ScoreContext context;
    Nodes nodes;

    ScoreInputs Inputs() const { return {nodeScores, edgeScores, context}; }
};

float DrawScore(Scores kind, std::mt19937& rng) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    switch (kind) {
        case Scores::Normal:
            return 2.5f * unit(rng);
        case Scores::Wide:
            // +-2^70 against small values: a small value added to 2^70 is
            // lost, so a sum depends on whether the large ones cancel first.
            if (rng() % 3 == 0) return rng() % 2 == 0 ? 0x1p70f : -0x1p70f;
            return 2.5f * unit(rng);
        case Scores::Few:
            return std::array<float, 3>{-1.0f, 0.5f, 2.0f}[rng() % 3];
        case Scores::Spread:
            return std::ldexp(unit(rng), -static_cast<int>(rng() % 43) + 2);
    }
    return 0;
}

// `edges` lists node index pairs; a few nodes are deleted afterwards, so that
// ids and node-list positions differ.
Network Build(int nodeCount, const std::vector<std::pair<int, int>>& edges, Scores kind,
              bool nodeOnly, std::mt19937& rng) {
    Network net;
    for (int k = 0; k < nodeCount; ++k) {
        const NodeId v = net.graph.NewNode();
        net.nodeScores[v] = DrawScore(kind, rng);
    }
    for (auto [a, b] : edges) {
        const EdgeId e = net.graph.NewEdge(a, b);
        net.edgeScores[e] = DrawScore(kind, rng);
    }
    for (int k = 0; k < nodeCount; k += 17) net.graph.DelNode(k);
    net.graph.Compact();
    net.graph.MakeUndirected();
    net.context = SkewedContext(nodeOnly);
    net.nodes = net.graph.Nodes();
    return net;
}

std::vector<std::pair<int, int>> RandomEdges(int n, int m, std::mt19937& rng) {
    std::vector<std::pair<int, int>> edges;
    std::uniform_int_distribution<int> pick(0, n - 1);
    // Loops and repeated pairs included.
    for (int k = 0; k < m; ++k) edges.push_back({pick(rng), pick(rng)});
    return edges;
}

std::vector<std::pair<int, int>> PathWithChords(int n) {
    std::vector<std::pair<int, int>> edges;
    for (int k = 0; k + 1 < n; ++k) edges.push_back({k, k + 1});
    for (int k = 0; k + 7 < n; k += 9) edges.push_back({k + 7, k});
    return edges;
}

std::vector<std::pair<int, int>> HubsAndCliques(int n) {
    std::vector<std::pair<int, int>> edges;
    for (int k = 1; k < n; ++k) edges.push_back({0, k});       // hub 0
    for (int k = 2; k < n; k += 2) edges.push_back({k, 1});    // hub 1, parallel to 0-1
    for (int a = 3; a < 10; ++a)
        for (int b = a + 1; b < 10; ++b) edges.push_back({a, b});
    edges.push_back({5, 5});
    edges.push_back({5, 5});
    return edges;
}

std::vector<std::pair<int, int>> Grid(int side) {
    std::vector<std::pair<int, int>> edges;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            if (c + 1 < side) edges.push_back({r * side + c, r * side + c + 1});
            if (r + 1 < side) edges.push_back({(r + 1) * side + c, r * side + c});
        }
    return edges;
}

// The tracker's ranked state must be the from-scratch one: the same score
// bits and the same best group, nodes in visiting order.
void ExpectSameRanking(Network& net, GroupTracker& tracker, const NodeMap<bool>& selection,
                       int nmax, const std::string& where) {
    const RankedState expected = RankState(Evaluate(net.graph, selection, net.Inputs()), nmax);
    std::vector<float> scores;
    const ComponentId best = tracker.Rank(nmax, scores);
    ASSERT_EQ(Bits(scores), Bits(expected.scores)) << where;
    if (expected.bestGroup.empty()) {
        ASSERT_EQ(best, kNoComponent) << where;
        return;
    }
    ASSERT_NE(best, kNoComponent) << where;
    ASSERT_EQ(tracker.NodesInVisitingOrder(best), expected.bestGroup) << where;
}

// Random moves of one to five flips, each checked, then kept or undone at
// random and checked again. Returns how often sums were redone in visiting
// order.
std::uint64_t RunRandomMoves(Network& net, std::mt19937& rng, int moves, const std::string& name) {
    NodeMap<bool> selection;
    for (NodeId v : net.nodes) selection[v] = rng() % 2 == 0;
    GroupTracker tracker(net.graph, net.nodes, net.Inputs());
    tracker.Reset(selection);
    const int nmaxes[] = {1, 3, 1000};
    ExpectSameRanking(net, tracker, selection, 1000, name + " after reset");
    if (::testing::Test::HasFailure()) return 0;
    std::uniform_int_distribution<std::size_t> pick(0, net.nodes.size() - 1);
    for (int m = 0; m < moves; ++m) {
        Nodes flips;
        const int count = std::array<int, 5>{1, 1, 2, 3, 5}[rng() % 5];
        while (static_cast<int>(flips.size()) < count) {
            const NodeId v = net.nodes[pick(rng)];
            if (std::find(flips.begin(), flips.end(), v) == flips.end()) flips.push_back(v);
        }
        for (NodeId v : flips) selection[v] = !selection.get(v);
        tracker.Apply(flips);
        const int nmax = nmaxes[rng() % 3];
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
        if (::testing::Test::HasFailure()) return 0;
    }
    return tracker.SumsRedone();
}

struct Shape {
    std::string name;
    int nodes;
    std::vector<std::pair<int, int>> edges;
};

std::vector<Shape> Shapes(std::mt19937& rng) {
    return {{"sparse random", 90, RandomEdges(90, 120, rng)},
            {"dense random", 40, RandomEdges(40, 300, rng)},
            {"path with chords", 120, PathWithChords(120)},
            {"hubs and cliques", 60, HubsAndCliques(60)},
            {"grid", 100, Grid(10)}};
}

TEST(GroupTracker, EveryMoveRanksAsTheFromScratchEvaluation) {
    std::mt19937 rng(kSeed);
    for (const Shape& shape : Shapes(rng)) {
        for (Scores kind : {Scores::Normal, Scores::Wide, Scores::Few, Scores::Spread}) {
            for (bool nodeOnly : {true, false}) {
                Network net = Build(shape.nodes, shape.edges, kind, nodeOnly, rng);
                const std::string name = shape.name + " scores " +
                                         std::to_string(static_cast<int>(kind)) +
                                         (nodeOnly ? " node-only" : " with edges");
                RunRandomMoves(net, rng, 250, name);
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST(GroupTracker, OnlySumsThatMayDependOnTheirOrderAreRedone) {
    // Every way of summing must be covered by the test above.
    std::mt19937 rng(kSeed);
    const auto edges = RandomEdges(50, 80, rng);
    struct Case {
        Scores kind;
        bool exact;
        bool redone;
    };
    for (auto [kind, exact, redone] : {Case{Scores::Normal, true, false},
                                       Case{Scores::Wide, false, true},
                                       Case{Scores::Spread, false, false}}) {
        Network net = Build(50, edges, kind, false, rng);
        const std::string name = "scores " + std::to_string(static_cast<int>(kind));
        EXPECT_EQ(GroupTracker(net.graph, net.nodes, net.Inputs()).SumsAreExact(), exact) << name;
        EXPECT_EQ(RunRandomMoves(net, rng, 200, name) > 0, redone) << name;
    }
    // Edge scores only count while they take part.
    Network wideEdges = Build(50, edges, Scores::Normal, false, rng);
    wideEdges.graph.ForEachEdge([&](EdgeId e) { wideEdges.edgeScores[e] = DrawScore(Scores::Wide, rng); });
    EXPECT_FALSE(GroupTracker(wideEdges.graph, wideEdges.nodes, wideEdges.Inputs()).SumsAreExact());
    wideEdges.context.nodeOnly = true;
    EXPECT_TRUE(GroupTracker(wideEdges.graph, wideEdges.nodes, wideEdges.Inputs()).SumsAreExact());
}

// Paths of `size` nodes (0..size-1, size..2*size-1, ...) as separate groups,
// in that component order, with the given node scores; neutral models.
Network Paths(int size, const std::vector<float>& scores) {
    Network net;
    for (float s : scores) net.nodeScores[net.graph.NewNode()] = s;
    for (NodeId k = 0; k < static_cast<NodeId>(scores.size()); ++k)
        if ((k + 1) % size != 0) net.graph.NewEdge(k + 1, k);
    net.graph.MakeUndirected();
    net.context.nodeModel.sd = 1;
    net.context.nodeModel.sdCoef = 1;
    net.nodes = net.graph.Nodes();
    return net;
}

Network Pairs(const std::vector<float>& scores) { return Paths(2, scores); }

TEST(GroupTracker, TiesGoToTheFirstGroupInComponentOrderEvenAfterRelabelling) {
    // Groups {0,1} and {4,5} score the same; moves that rebuild {0,1} under a
    // new label must not make {4,5} the best group.
    Network net = Pairs({1, 2, 0.5f, 0.5f, 2, 1, -1, -1});
    NodeMap<bool> selection;
    for (NodeId v : net.nodes) selection[v] = true;
    GroupTracker tracker(net.graph, net.nodes, net.Inputs());
    tracker.Reset(selection);
    for (NodeId v : {0, 1, 0, 1}) {
        selection[v] = !selection.get(v);
        const Nodes flip{v};
        tracker.Apply(flip);
        tracker.Commit();
        ExpectSameRanking(net, tracker, selection, 2, "after flipping " + std::to_string(v));
    }
    std::vector<float> scores;
    EXPECT_EQ(tracker.NodesInVisitingOrder(tracker.Rank(5, scores)), (Nodes{0, 1}));
}

TEST(GroupTracker, PositiveAndNegativeZeroTieInComponentOrder) {
    // A group of five whose scores sum to -denorm_min scores -0 (the sum over
    // sqrt 5 rounds to -0); one of zeros scores +0. Equal in the ranking,
    // different in print.
    const float t = -std::numeric_limits<float>::denorm_min();
    const std::vector<float> layouts[] = {
        {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, t, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {t, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, t, 0, 0, 0, 0},
    };
    for (const auto& scores : layouts) {
        Network net = Paths(5, scores);
        NodeMap<bool> selection;
        for (NodeId v : net.nodes) selection[v] = true;
        const RankedState reference = RankState(Evaluate(net.graph, selection, net.Inputs()), 4);
        ASSERT_EQ(reference.scores.size(), 4u);
        EXPECT_NE(std::signbit(reference.scores[1]), std::signbit(reference.scores[2]));
        EXPECT_EQ(reference.scores[1], 0.0f);
        GroupTracker tracker(net.graph, net.nodes, net.Inputs());
        tracker.Reset(selection);
        ExpectSameRanking(net, tracker, selection, 4, "reset");
        // Rebuild the first group so that its label comes after the others'.
        for (NodeId v : {0, 0, 2, 2}) {
            selection[v] = !selection.get(v);
            const Nodes flip{v};
            tracker.Apply(flip);
            ExpectSameRanking(net, tracker, selection, 4, "pending " + std::to_string(v));
            tracker.Commit();
            ExpectSameRanking(net, tracker, selection, 2, "kept " + std::to_string(v));
        }
    }
}

TEST(GroupTracker, NotANumberScoresRankLastInComponentOrder) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Network net = Pairs({1, 1, nan, 0, 3, 3, -nan, 1});
    NodeMap<bool> selection;
    for (NodeId v : net.nodes) selection[v] = true;
    GroupTracker tracker(net.graph, net.nodes, net.Inputs());
    tracker.Reset(selection);
    EXPECT_FALSE(tracker.SumsAreExact());
    for (int nmax : {1, 3, 4}) ExpectSameRanking(net, tracker, selection, nmax, "nmax " + std::to_string(nmax));
    for (NodeId v : {4, 0, 4}) {
        selection[v] = !selection.get(v);
        const Nodes flip{v};
        tracker.Apply(flip);
        ExpectSameRanking(net, tracker, selection, 4, "flip " + std::to_string(v));
        tracker.Commit();
    }
}

TEST(GroupTracker, UnselectingTheMiddleOfAPathSplitsItAndUndoJoinsItAgain) {
    // 0-1-2-3-4-5-6 plus a loop on 2: removing 3 leaves {0,1,2} and {4,5,6}.
    std::vector<std::pair<int, int>> edges = PathWithChords(7);
    edges.push_back({2, 2});
    std::mt19937 rng(kSeed);
    Network net = Build(7, edges, Scores::Normal, false, rng);
    net.graph.RestoreGraph();
    NodeMap<bool> selection;
    for (NodeId v : net.nodes) selection[v] = true;
    GroupTracker tracker(net.graph, net.nodes, net.Inputs());
    tracker.Reset(selection);
    const ComponentId whole = tracker.ComponentOf(1);
    const Nodes flip{3};
    tracker.Apply(flip);
    EXPECT_NE(tracker.ComponentOf(1), tracker.ComponentOf(5));
    EXPECT_EQ(tracker.ComponentOf(3), kNoComponent);
    std::vector<float> scores;
    tracker.Rank(5, scores);
    EXPECT_EQ(scores.size(), 2u);
    tracker.Undo();
    EXPECT_EQ(tracker.ComponentOf(1), whole);
    EXPECT_EQ(tracker.ComponentOf(5), whole);
    EXPECT_EQ(tracker.ComponentOf(3), whole);
    selection[3] = true;
    ExpectSameRanking(net, tracker, selection, 5, "undone");
}

}  // namespace
}  // namespace tarnvale
