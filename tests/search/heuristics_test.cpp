// The start heuristics: which nodes each selects, the draws it takes and
// what it prints, against the chances and cuts worked out by hand.

#include "search/heuristics.hpp"

#include <gtest/gtest.h>

#include <cmath>
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

    Scored(const std::vector<double>& nodeScores,
           const std::vector<std::pair<int, int>>& edges = {}) {
        for (double s : nodeScores) scores[graph.NewNode()] = s;
        for (auto [a, b] : edges) graph.NewEdge(a, b);
        graph.MakeUndirected();
    }
    // Runs heuristic `number` on a generator seeded kSeed and returns how many
    // words it took, found by the generator's next word in a twin's sequence.
    int Run(int number) {
        Random rng(kSeed), twin(kSeed);
        Initialize(number, graph, selection, scores, rng, out);
        const std::uint32_t next = rng.NextWord();
        int words = 0;
        while (words < 64 && twin.NextWord() != next) ++words;
        return words;
    }
    std::vector<bool> Selected() const {
        std::vector<bool> result;
        graph.ForEachNode([&](NodeId n) { result.push_back(selection.get(n)); });
        return result;
    }
};

// Path 0-1-2-3 with scores 1, -1, 1, -1 and an isolated node 4 of score 0:
// the mean of all scores is 0 and their sample deviation exactly 1, so the
// neighbour statistics are -1, sqrt 2, -sqrt 2, 1, and NaN for node 4 (as for
// a node whose neighbours an earlier run deleted), whose tail exceeds no draw.
TEST(Initialize, ChanceStartsDecideEachNodeByItsDrawInNodeOrder) {
    const double t[] = {-1, std::sqrt(2.0), -std::sqrt(2.0), 1, NAN};
    auto tail = [](double z) { return static_cast<float>(1.0 - NormCdf(z)); };
    for (int number : {1, 2, 3, 4}) {
        Scored s({1, -1, 1, -1, 0}, {{0, 1}, {1, 2}, {2, 3}});
        s.selection[2] = true;  // Random never clears a flag; the others overwrite it
        EXPECT_EQ(s.Run(number), 5) << number;
        Random replay(kSeed);
        for (NodeId n = 0; n < 5; ++n) {
            const auto u =
                static_cast<float>(number == 1 ? replay.Integer(0, 1) : replay.Uniform());
            const bool own = tail(s.scores.get(n)) > u, neighbours = tail(t[n]) > u;
            const bool expected[] = {u != 0 || n == 2, !own, !neighbours, !(own && neighbours)};
            EXPECT_EQ(s.selection.get(n), expected[number - 1]) << number << " node " << n;
        }
    }
}

TEST(Initialize, CutIndices) {
    // Scores 3, 2, 0, -1, -4: mean 0, deviation sqrt 7.5. Prefix scores
    // 1.095, 1.291, 1.054: the value that stopped the rise is the cut.
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 0, -1, -4}, 0, std::sqrt(7.5f)), 2u);
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 1, -4}, 0, 1), 2u);      // 3, 3.536, 3.464
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 0, -1, -4}, 0, 6), 2u);  // only above 0: 0.5, 0.589, 0.481
    EXPECT_EQ(LowerBoundCutIndex({3, 2, 1}, -100, 1), 2u);       // still rising at the last value
    EXPECT_EQ(LowerBoundCutIndex({3}, -100, 1), 0u);
    EXPECT_EQ(LowerBoundCutIndex({1, 0, -1}, 5, 1), 0u);  // first score below 0
    EXPECT_EQ(LowerBoundCutIndex({7}, 7, 0), 0u);         // 0/0 is no rise
    for (auto [n, cut] : {std::pair{10u, 2u}, {100u, 27u}, {4u, 1u}, {3u, 0u}})
        EXPECT_EQ(ApproximationCutIndex(n), cut) << n;  // 27 percent truncated
    // Five 3s and five -1s: mean 1, deviation sqrt(40/9). From the first
    // three values the prefix scores 1.643, 1.897, 2.121, then 1.549.
    const FloatList v = {3, 3, 3, 3, 3, -1, -1, -1, -1, -1};
    const std::pair<float, std::pair<std::size_t, std::string>> cases[] = {
        {1.0f, {5, ".\n.\n.\n"}},
        {100.0f, {2, ""}},                        // start not above 0: no growth
        {-100.0f, {9, ".\n.\n.\n.\n.\n.\n.\n"}},  // still rising at the last value
        // The start is the mean of all three first values, 3, above 2.5; it
        // grows while the mean stays above 2.5 (up to 14/6).
        {2.5f, {5, ".\n.\n.\n"}},
    };
    for (const auto& [mu, expected] : cases) {
        std::ostringstream out;
        EXPECT_EQ(LocalSearchCutIndex(v, mu, std::sqrt(40.0f / 9.0f), out), expected.first) << mu;
        EXPECT_EQ(out.str(), expected.second) << mu;
    }
}

TEST(Initialize, CutStartsSelectTheNodesAtOrAboveTheCutComparedInDouble) {
    Scored lower({0, -4, 3, -1, 2});
    for (NodeId n = 0; n < 5; ++n) lower.selection[n] = true;
    EXPECT_EQ(lower.Run(5), 0);
    EXPECT_EQ(lower.Selected(), (std::vector<bool>{true, false, true, false, true}));
    EXPECT_EQ(lower.out.str(), "Heuristic: LowerBound\n");
    Scored approximation({4, 9, 1, 6, 10, 2, 8, 3, 7, 5});
    approximation.Run(6);
    EXPECT_EQ(approximation.out.str(), "Heuristic: LowerBound Approximation\nz-cut: 8\n");
    EXPECT_EQ(approximation.Selected(), (std::vector<bool>{0, 1, 0, 0, 1, 0, 1, 0, 0, 0}));
    // The cut float(0.1) lies just above the double 0.1 of its own node.
    Scored inDouble({0.3, 0.2, 0.1, 0.05, 0.04, 0.03, 0.02, 0.01, 0.0, -0.1});
    inDouble.Run(6);
    EXPECT_EQ(inDouble.Selected(), (std::vector<bool>{1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    Scored local({-1, 3, -1, 3, -1, 3, -1, 3, -1, 3});
    local.Run(7);
    EXPECT_EQ(local.out.str(), "Heuristic: LowerBound Local Search\n.\n.\n.\nz-cut: -1\n");
    EXPECT_EQ(local.Selected(), std::vector<bool>(10, true));
}

}  // namespace
}  // namespace tarnvale
