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

TEST(Initialize, LocalSearchCut) {
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

}  // namespace
}  // namespace tarnvale
