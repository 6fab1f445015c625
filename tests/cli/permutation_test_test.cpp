// The permutation test of a run's groups: derived seeds, the shuffle, the
// empirical p-values and their lines and table.

#include "cli/permutation_test.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace tarnvale {
namespace {

constexpr std::uint32_t kBase = 2026;

TEST(PermutationSeed, EveryRepetitionOfEveryRunHasItsOwnReproducibleSeed) {
    std::set<std::uint32_t> seen;
    for (int run = 0; run < 3; ++run)
        for (std::uint64_t index = 0; index < 400; ++index)
            seen.insert(PermutationSeed(kBase, run, index));
    EXPECT_EQ(seen.size(), 1200u);
    EXPECT_EQ(PermutationSeed(kBase, 1, 7), PermutationSeed(kBase, 1, 7));
    EXPECT_NE(PermutationSeed(kBase, 0, 0), PermutationSeed(kBase + 1, 0, 0));
    EXPECT_NE(PermutationSeed(0, 0, 0), PermutationSeed(0, 0, 1));
}

class Shuffle : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 8; ++i) scores[i] = 10.0 * i;
    }
    NodeMap<double> scores;
    const std::vector<NodeId> nodes{1, 3, 4, 6};
};

TEST_F(Shuffle, OnlyTheListedNodesExchangeTheirScores) {
    Random rng(kBase);
    ShuffleNodeScores(nodes, scores, rng);
    for (NodeId n : {0, 2, 5, 7}) EXPECT_EQ(scores.get(n), 10.0 * n);
    std::multiset<double> values;
    for (NodeId n : nodes) values.insert(scores.get(n));
    EXPECT_EQ(values, (std::multiset<double>{10, 30, 40, 60}));
}

TEST_F(Shuffle, TheSameSeedGivesTheSameOrder) {
    NodeMap<double> again = scores;
    Random first(kBase), second(kBase);
    ShuffleNodeScores(nodes, scores, first);
    ShuffleNodeScores(nodes, again, second);
    for (NodeId n : nodes) EXPECT_EQ(scores.get(n), again.get(n));
}

TEST(ShuffleNodeScores, EveryOrderOfThreeIsEquallyLikely) {
    // A shuffle that never leaves a score in place, or favours the end,
    // misses some orders or over-draws others.
    const std::vector<NodeId> nodes{0, 1, 2};
    std::map<std::vector<double>, int> counts;
    Random rng(kBase);
    for (int trial = 0; trial < 6000; ++trial) {
        NodeMap<double> scores;
        for (NodeId n : nodes) scores[n] = n;
        ShuffleNodeScores(nodes, scores, rng);
        ++counts[{scores.get(0), scores.get(1), scores.get(2)}];
    }
    EXPECT_EQ(counts.size(), 6u);
    for (const auto& [order, count] : counts) {
        EXPECT_GT(count, 850);
        EXPECT_LT(count, 1150);
    }
}

TEST(Significance, TiesCountAndAPermutationWithoutTheRankDoesNotReachIt) {
    const std::vector<Group> observed{Group{{0, 1, 2}, 5.0f}, Group{{3, 4}, 3.0f},
                                      Group{{5, 6}, 1.0f}};
    const std::vector<std::vector<float>> permuted{{6.0f, 2.0f}, {5.0f, 3.5f}, {4.0f}, {}};
    const auto ranks = Significance(observed, 2, permuted);  // nmax 2: the third is not tested
    ASSERT_EQ(ranks.size(), 2u);
    EXPECT_EQ(ranks[0].size, 3u);
    EXPECT_EQ(ranks[0].score, 5.0f);
    EXPECT_EQ(ranks[0].atLeast, 2u);
    EXPECT_DOUBLE_EQ(ranks[0].pValue, 3.0 / 5.0);
    EXPECT_EQ(ranks[1].atLeast, 1u);
    EXPECT_DOUBLE_EQ(ranks[1].pValue, 2.0 / 5.0);

    // Fewer groups than nmax: every group is tested.
    EXPECT_EQ(Significance(observed, 5, permuted).size(), 3u);
    EXPECT_TRUE(Significance({}, 5, permuted).empty());
}

TEST(Significance, NothingReachingItGivesTheSmallestPValue) {
    const std::vector<Group> observed{Group{{0, 1}, 9.0f}};
    const std::vector<std::vector<float>> permuted(19, std::vector<float>{1.0f, 0.5f});
    const auto ranks = Significance(observed, 5, permuted);
    ASSERT_EQ(ranks.size(), 1u);
    EXPECT_EQ(ranks[0].atLeast, 0u);
    EXPECT_DOUBLE_EQ(ranks[0].pValue, 0.05);
}

TEST(SignificanceOutput, LinesAndTableSayTheSame) {
    const std::vector<RankSignificance> ranks{{7, 9.57124f, 0, 0.05}, {2, 3.5f, 7, 0.4}};
    std::ostringstream out, table;
    PrintSignificance(out, 'B', 19, ranks);
    WriteSignificanceTable(table, 19, ranks);
    EXPECT_EQ(out.str(),
              "\nPermutation test of run B: 19 searches with the node scores shuffled\n"
              "Group No. 0: s-score = 9.57124, empirical p-value = 0.05 (0 of 19 permutations at "
              "least as high)\n"
              "Group No. 1: s-score = 3.5, empirical p-value = 0.4 (7 of 19 permutations at least "
              "as high)\n");
    EXPECT_EQ(table.str(),
              "group\tsize\ts_score\tat_least_as_high\tpermutations\tp_value\n"
              "0\t7\t9.57124\t0\t19\t0.05\n"
              "1\t2\t3.5\t7\t19\t0.4\n");
}

TEST(SignificanceOutput, ARunWithoutGroupsSaysSo) {
    std::ostringstream out, table;
    PrintSignificance(out, 'A', 19, {});
    WriteSignificanceTable(table, 19, {});
    EXPECT_EQ(out.str(),
              "\nPermutation test of run A: the run reported no group; nothing to compare\n");
    EXPECT_EQ(table.str(), "group\tsize\ts_score\tat_least_as_high\tpermutations\tp_value\n");
}

// A path of ten nodes whose scores fall along it, searched with node scores
// only against a hand-made background.
class PermutedSearch : public ::testing::Test {
protected:
    void SetUp() override {
        NodeId previous = -1;
        for (int i = 0; i < 10; ++i) {
            const NodeId n = graph.NewNode();
            scores[n] = 3.0 - 0.6 * i;
            if (previous >= 0) graph.NewEdge(previous, n);
            previous = n;
        }
        graph.MakeUndirected();
        context.nodeModel = BackgroundModel{0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
        anneal.iterations = 200;
        anneal.heuristic = 2;
    }
    std::vector<std::vector<float>> Run(std::uint32_t base, int count, int threads = 1,
                                        NullModel null = NullModel::Scores) {
        std::ostringstream err;
        ProgressBar bar(err, false);
        RewireCount rewired;
        return PermutedScores({graph, scores, edgeScores, context, anneal, threads}, null, count,
                              base, 0, bar, "permutations, run A", rewired);
    }

    Graph graph;
    NodeMap<double> scores;
    EdgeMap<float> edgeScores;
    ScoreContext context;
    AnnealOptions anneal;
};

TEST_F(PermutedSearch, EachRepetitionGivesItsRankedScoresReproducibly) {
    const NodeMap<double> before = scores;
    const auto first = Run(kBase, 4);
    ASSERT_EQ(first.size(), 4u);
    for (const auto& ranked : first) {
        ASSERT_FALSE(ranked.empty());
        EXPECT_TRUE(std::is_sorted(ranked.rbegin(), ranked.rend()));
    }
    EXPECT_EQ(Run(kBase, 4), first);
    // Spread over threads, each repetition still gives what it gives alone.
    EXPECT_EQ(Run(kBase, 4, 3), first);
    EXPECT_EQ(Run(kBase, 5, 2, NullModel::Network), Run(kBase, 5, 1, NullModel::Network));
    // The run's own scores and graph are left as they were.
    for (NodeId n = 0; n < 10; ++n) EXPECT_EQ(scores.get(n), before.get(n));
    graph.RestoreGraph();
    EXPECT_EQ(graph.NumberOfNodes(), 10u);
    EXPECT_TRUE(Run(kBase, 0).empty());
}

}  // namespace
}  // namespace tarnvale
