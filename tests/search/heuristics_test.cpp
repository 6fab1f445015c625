#include "search/heuristics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "stats/normal.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 777u;

// A graph whose nodes carry the given scores, in node order, with the given
// undirected edges.
struct Scored {
    Graph graph;
    NodeMap<double> scores;
    NodeMap<bool> selection;
    std::ostringstream out;

    Scored(const std::vector<double>& nodeScores, const std::vector<std::pair<int, int>>& edges) {
        for (double s : nodeScores) scores[graph.NewNode()] = s;
        for (auto [a, b] : edges) graph.NewEdge(a, b);
        graph.MakeUndirected();
    }
    // Runs heuristic `number` on a generator seeded kSeed and returns how many
    // words it took, found by the generator's next word in a twin's sequence.
    int Run(int number) {
        Random rng(kSeed);
        Initialize(number, graph, selection, scores, rng, out);
        const std::uint32_t next = rng.NextWord();
        Random twin(kSeed);
        for (int k = 0; k < 64; ++k)
            if (twin.NextWord() == next) return k;
        return -1;
    }
    std::vector<bool> Selected() const {
        std::vector<bool> result;
        graph.ForEachNode([&](NodeId n) { result.push_back(selection.get(n)); });
        return result;
    }
};

float Tail(double z) { return static_cast<float>(1.0 - NormCdf(z)); }

TEST(Initialize, EachNumberPrintsItsHeuristicFirst) {
    // names[number + 1] for the numbers -1 to 8.
    const std::string names[] = {"P0",
                                 "P0",
                                 "Random",
                                 "P0",
                                 "P1",
                                 "POP1",
                                 "LowerBound",
                                 "LowerBound Approximation",
                                 "LowerBound Local Search",
                                 "P0"};
    for (int number = -1; number <= 8; ++number) {
        const std::string& name = names[number + 1];
        Scored s({1, 2, 0, -1}, {{0, 1}, {1, 2}, {2, 3}});
        s.Run(number);
        const std::string line = "Heuristic: " + name + "\n";
        EXPECT_EQ(s.out.str().substr(0, line.size()), line) << number;
        // An empty graph gets the name line and nothing else.
        Scored empty({}, {});
        empty.Run(number);
        EXPECT_EQ(empty.out.str(), line) << number;
    }
}

// Path 0-1-2-3 with scores 1, -1, 1, -1 and an isolated node 4 of score 0:
// the mean of all scores is 0 and their sample deviation exactly 1, so the
// neighbour statistics are -1, sqrt 2, -sqrt 2, 1, and NaN for node 4 (as
// for a node whose neighbours an earlier run deleted).
class ChanceStart : public ::testing::Test {
protected:
    Scored s{{1, -1, 1, -1, 0}, {{0, 1}, {1, 2}, {2, 3}}};
    const std::vector<double> t = {-1, std::sqrt(2.0), -std::sqrt(2.0), 1};
    Random replay{kSeed};
    float NextU() { return static_cast<float>(replay.Uniform()); }
};

TEST_F(ChanceStart, RandomSetsFlagsOnOddDrawsAndNeverClearsOne) {
    s.selection[2] = true;
    EXPECT_EQ(s.Run(1), 5);
    for (NodeId n = 0; n < 5; ++n)
        EXPECT_EQ(s.selection.get(n), replay.Integer(0, 1) != 0 || n == 2) << n;
}

TEST_F(ChanceStart, P0KeepsANodeUnlessItsTailExceedsTheDraw) {
    s.selection[1] = true;  // overwritten like every other flag
    EXPECT_EQ(s.Run(2), 5);
    for (NodeId n = 0; n < 5; ++n)
        EXPECT_EQ(s.selection.get(n), !(Tail(s.scores.get(n)) > NextU())) << n;
}

TEST_F(ChanceStart, P1DecidesByTheNeighbourStatistic) {
    EXPECT_EQ(s.Run(3), 5);
    for (NodeId n = 0; n < 4; ++n) EXPECT_EQ(s.selection.get(n), !(Tail(t[n]) > NextU())) << n;
    // Without neighbours the mean 0 * (1.0 / 0) is NaN, and so is its tail,
    // which exceeds no draw: the node stays selected.
    EXPECT_TRUE(s.selection.get(4));
}

TEST_F(ChanceStart, POP1ClearsOnlyWhenBothTailsExceedTheOneDraw) {
    EXPECT_EQ(s.Run(4), 5);
    for (NodeId n = 0; n < 5; ++n) {
        const float u = NextU();
        const bool ownFails = Tail(s.scores.get(n)) > u;
        const bool neighboursFail = n != 4 && Tail(t[n]) > u;
        EXPECT_EQ(s.selection.get(n), !(ownFails && neighboursFail)) << n;
    }
}

TEST(LowerBoundCutIndex, StopsAtTheValueThatNoLongerRaisesTheScore) {
    // Scores 3, 2, 0, -1, -4: mean 0, deviation sqrt 7.5 = 2.7386. Prefix
    // scores 1.095, 1.291, 1.054: the value that stopped the rise is the cut.
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 0, -1, -4}, 0, std::sqrt(7.5f)), 2u);
    // Prefix scores 3, 3.536, 3.464.
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 1, -4}, 0, 1), 2u);
    // The first prefix only has to score above 0: 0.5, 0.589, 0.481.
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 0, -1, -4}, 0, 6), 2u);
}

TEST(LowerBoundCutIndex, NeverPassesTheLastValue) {
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 1}, -100, 1), 2u);  // still rising there
    EXPECT_EQ(LowerBoundCutIndex({3}, -100, 1), 0u);
    EXPECT_EQ(LowerBoundCutIndex({1, 0, -1}, 5, 1), 0u);  // first score below 0
    EXPECT_EQ(LowerBoundCutIndex({7}, 7, 0), 0u);         // 0/0 is no rise
}

TEST(ApproximationCutIndex, TruncatesTwentySevenPercent) {
    EXPECT_EQ(ApproximationCutIndex(10), 2u);
    EXPECT_EQ(ApproximationCutIndex(100), 27u);
    EXPECT_EQ(ApproximationCutIndex(4), 1u);
    EXPECT_EQ(ApproximationCutIndex(3), 0u);
}

TEST(LocalSearchCutIndex, GrowsFromTheApproximationAndStaysInside) {
    // Five 3s and five -1s: mean 1, deviation sqrt(40/9). From the first
    // three values the prefix scores 1.643, 1.897, 2.121, then 1.549.
    const FloatList v = {3, 3, 3, 3, 3, -1, -1, -1, -1, -1};
    const float sd = std::sqrt(40.0f / 9.0f);
    const std::pair<float, std::pair<std::size_t, std::string>> cases[] = {
        {1.0f, {5, ".\n.\n.\n"}},
        {100.0f, {2, ""}},                        // start not above 0: no growth
        {-100.0f, {9, ".\n.\n.\n.\n.\n.\n.\n"}},  // still rising at the last value
        // The start is the mean of all three first values, 3, above 2.5;
        // it grows while the mean stays above 2.5 (up to 14/6).
        {2.5f, {5, ".\n.\n.\n"}},
    };
    for (const auto& [mu, expected] : cases) {
        std::ostringstream out;
        EXPECT_EQ(LocalSearchCutIndex(v, mu, sd, out), expected.first) << mu;
        EXPECT_EQ(out.str(), expected.second) << mu;
    }
}

TEST(CutStart, LowerBoundSelectsExactlyTheNodesAtOrAboveTheCut) {
    Scored s({0, -4, 3, -1, 2}, {});
    for (NodeId n = 0; n < 5; ++n) s.selection[n] = true;
    EXPECT_EQ(s.Run(5), 0);
    EXPECT_EQ(s.Selected(), (std::vector<bool>{true, false, true, false, true}));
    EXPECT_EQ(s.out.str(), "Heuristic: LowerBound\n");
}

TEST(CutStart, ApproximationOfTenNodesCutsAtTheThirdHighest) {
    Scored s({4, 9, 1, 6, 10, 2, 8, 3, 7, 5}, {});
    s.Run(6);
    EXPECT_EQ(s.out.str(), "Heuristic: LowerBound Approximation\nz-cut: 8\n");
    EXPECT_EQ(s.Selected(), (std::vector<bool>{false, true, false, false, true, false, true, false,
                                               false, false}));
}

TEST(CutStart, CutIsComparedInDouble) {
    // The cut float(0.1) lies just above the double 0.1 of its own node.
    Scored s({0.3, 0.2, 0.1, 0.05, 0.04, 0.03, 0.02, 0.01, 0.0, -0.1}, {});
    s.Run(6);
    EXPECT_EQ(s.Selected(), (std::vector<bool>{true, true, false, false, false, false, false, false,
                                               false, false}));
}

TEST(CutStart, LocalSearchPrintsItsStepsAndTheCut) {
    Scored s({-1, 3, -1, 3, -1, 3, -1, 3, -1, 3}, {});
    s.Run(7);
    EXPECT_EQ(s.out.str(), "Heuristic: LowerBound Local Search\n.\n.\n.\nz-cut: -1\n");
    EXPECT_EQ(s.Selected(), std::vector<bool>(10, true));
}

}  // namespace
}  // namespace tarnvale
