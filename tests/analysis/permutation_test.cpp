// The permutation chains' shuffles and the p-values they give.

#include "analysis/permutation_test.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "analysis/null_model.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kBase = 2026;  // every random draw here follows from it

TEST(ShuffleNodeScores, OnlyTheListedNodesTakePartAndEveryOrderIsEquallyLikely) {
    // A shuffle that never leaves a score in place, or favours the end,
    // misses some orders or over-draws others.
    const std::vector<std::vector<NodeId>> groups{{1, 3, 5}, {2, 6}};
    std::map<std::vector<double>, int> counts;
    Random rng(kBase);
    for (int trial = 0; trial < 6000; ++trial) {
        NodeMap<double> scores;
        for (NodeId n = 0; n < 7; ++n) scores[n] = n;
        ShuffleNodeScores(groups, scores, rng);
        for (NodeId n : {0, 4}) ASSERT_EQ(scores.get(n), n);
        ASSERT_EQ(scores.get(2) + scores.get(6), 8);  // 2 and 6 only swap
        ++counts[{scores.get(1), scores.get(3), scores.get(5)}];
    }
    EXPECT_EQ(counts.size(), 6u);
    for (const auto& [order, count] : counts) {
        EXPECT_GT(count, 850);
        EXPECT_LT(count, 1150);
    }
}

// A star of hubs over a long tail: the bins hold whole degree classes of at
// least 50 nodes, lowest degrees first, and cover every node once; a shuffle
// under the degree null never moves a score out of its bin.
TEST(DegreeBins, WholeClassesOfAtLeastFiftyNodesAndShufflesStayInside) {
    Graph graph;
    constexpr int kNodes = 400;
    for (int i = 0; i < kNodes; ++i) graph.NewNode();
    // Node i (i >= 10) joins hub i % 10, for i % 3 == 0 also i - 1, for
    // i % 7 == 0 also i - 2: 93 nodes of degree 1, 222 of 2, 75 of 3, and
    // ten hubs of 39, too few for a bin of their own.
    for (int i = 10; i < kNodes; ++i) {
        graph.NewEdge(i % 10, i);
        if (i % 3 == 0) graph.NewEdge(i - 1, i);
        if (i % 7 == 0) graph.NewEdge(i - 2, i);
    }
    graph.MakeUndirected();
    const SearchGraph search(graph, nullptr);
    const auto bins = DegreeBins(search);
    // Each bin's size and degrees; with the sizes adding up to the nodes seen,
    // every node lies in one bin.
    std::vector<std::pair<std::size_t, std::set<std::int64_t>>> shape;
    std::set<NodeId> seen;
    for (const auto& bin : bins) {
        shape.push_back({bin.size(), {}});
        for (NodeId v : bin) shape.back().second.insert(search.Degree(v)), seen.insert(v);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kNodes));
    EXPECT_EQ(shape, (decltype(shape){{93, {1}}, {222, {2}}, {85, {3, 39}}}));
    EXPECT_EQ(ShuffleGroups(search, NullModel::Scores).size(), 1u);

    NodeMap<double> scores;
    for (NodeId v = 0; v < kNodes; ++v) scores[v] = v;
    Random rng(kBase);
    ShuffleNodeScores(ShuffleGroups(search, NullModel::Degree), scores, rng);
    std::size_t moved = 0;
    for (const auto& bin : bins) {
        std::multiset<double> before, after;
        for (NodeId v : bin) {
            before.insert(v);
            after.insert(scores.get(v));
            moved += scores.get(v) != v;
        }
        EXPECT_EQ(before, after);
    }
    EXPECT_GT(moved, static_cast<std::size_t>(kNodes / 2));
    // Fewer than 100 nodes: one bin.
    EXPECT_EQ(DegreeBins(search.Induced(NodeMap<bool>(60, true), false)).size(), 1u);
}

TEST(Significance, RankWiseAndFamilyWiseCountTiesAsAtLeastAsHigh) {
    const std::vector<Group> observed{Group{{0, 1, 2}, 5.0f}, Group{{3, 4}, 3.0f},
                                      Group{{5, 6}, 1.0f}};
    // Run 1 of four chains: ranked scores; the last chain's runs ended after
    // run 0, the third found one group.
    auto chain = [](std::vector<float> run1) {
        return ChainResult{ChainRun{{9.0f}, {}}, ChainRun{std::move(run1), {}}};
    };
    const std::vector<ChainResult> chains{chain({6.0f, 2.0f}), chain({5.0f, 3.5f}), chain({4.0f}),
                                          ChainResult{ChainRun{{9.0f}, {}}}};
    const auto ranks = Significance(observed, 2, chains, 1);  // nmax 2: the third is not tested
    // The table shows every count and p-value: group 0 (5) is reached by 6
    // and 5, group 1 (3) by 3.5; every chain's best group of run 1 (6, 5, 4)
    // reaches 3, and the chain that ended early counts as reaching neither.
    EXPECT_EQ(Significance(observed, 5, chains, 1).size(), 3u);
    // Run 0: every chain's best is 9.
    EXPECT_DOUBLE_EQ(Significance(observed, 2, chains, 0)[1].familywiseP, 1.0);
    std::ostringstream table;
    WriteSignificanceTable(table, 4, ranks);
    EXPECT_EQ(table.str(),
              "group\tsize\ts_score\tat_least_as_high\tpermutations\tp_value\tbest_at_least_as_"
              "high\tfamilywise_p\n0\t3\t5\t2\t4\t0.6\t2\t0.6\n1\t2\t3\t1\t4\t0.4\t3\t0.8\n");
}

}  // namespace
}  // namespace tarnvale
