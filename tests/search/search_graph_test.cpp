// The read-only network of a run: what a subgraph induced by a selection
// gives must be what deleting every other node of the graph gives, since the
// runs after the first search the previous run's selection; and the
// components the from-scratch evaluation of a selection finds in it. (The
// group tracker, which keeps components, sums and ranking up to date move by
// move, is checked by the step evaluation test in annealing_test.cpp: whole
// runs with it must be the runs that evaluate every state from scratch, on
// random networks of every score kind, with moves applied, committed and undone.)

#include "search/search_graph.hpp"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "network/preparation.hpp"
#include "search/evaluate.hpp"
#include "search/random_network.hpp"

namespace tarnvale {
namespace {

// Every fact a search reads of the graph, as text.
std::string Facts(const SearchGraph& g) {
    std::ostringstream text;
    text << g.NumberOfNodes() << " nodes, " << g.NumberOfEdges() << " edges\n";
    const auto hubFirst = g.HubFirst();
    const auto peek = g.Peek();
    for (NodeId v : g.Nodes()) {
        text << v << " @" << g.Position(v) << " loops " << g.Loops(v) << " sum "
             << static_cast<double>(g.LoopSum(v).value) << ':';
        const auto row = g.Neighbours(v);
        for (std::size_t k = 0; k < row.size(); ++k)
            text << ' ' << (g.Outgoing(v, k) ? '>' : '<') << row[k].node << '/' << row[k].edge
                 << '/' << row[k].edgeScore;
        text << " | hubs";
        for (std::size_t k = g.RowStarts()[static_cast<std::size_t>(v)];
             k < g.RowStarts()[static_cast<std::size_t>(v) + 1]; ++k)
            text << ' ' << hubFirst[k];
        text << " | peek";
        for (std::size_t k = 0; k < SearchGraph::kPeek; ++k)
            text << ' ' << peek[static_cast<std::size_t>(v) * SearchGraph::kPeek + k];
        text << '\n';
    }
    std::vector<unsigned char> all(g.NumberOfNodeIds(), 1);
    for (const Component& c : g.Components(all)) {
        for (NodeId n : c.nodes) text << ' ' << n;
        text << " :";
        for (EdgeId e : c.edges) text << ' ' << e;
        text << '\n';
    }
    text << g.EdgeSumsExact() << g.EdgeUnit() << g.EdgeScoresFinite() << '\n';
    return text.str();
}

// Random graphs with loops, repeated pairs and deleted nodes; selections of
// every density. The induced subgraph, with and without edge scores, must
// match the graph cut down by deletion. (The components under a mask, which
// the from-scratch evaluation takes, are pinned by the step evaluation test:
// the group tracker, which never calls Components, must give the same runs.)
TEST(SearchGraph, InducedSubgraphIsTheGraphWithTheOtherNodesDeleted) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < 12; ++round) {
        const int n = 10 + round * 7;
        const bool withEdges = round % 2 == 0;
        const ScoredNetwork net =
            Build(n, RandomEdges(n, 3 * n, 3, rng), Scores::Normal, !withEdges, rng);
        const double density = 0.15 + 0.07 * round;
        NodeMap<bool> keep;
        for (NodeId v : net.graph.Nodes())
            keep[v] = std::uniform_real_distribution<double>(0, 1)(rng) < density;
        for (const bool keepEdges : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "round " << round << ", edges " << keepEdges);
            Graph cut = net.graph;
            DeleteUnselectedNodes(cut, keep);
            const SearchGraph expected(cut, keepEdges && withEdges ? &net.edgeScores : nullptr);
            EXPECT_EQ(Facts(net.search.Induced(keep, keepEdges)), Facts(expected));
        }
    }
}

// Only selected nodes with a selected neighbour (a loop counts) make up the
// components: two ends of a path without their middle are none, a selected
// node with a loop is one, and a selected pair is one with a group.
TEST(Evaluate, ComponentsHoldOnlyNodesWithASelectedNeighbour) {
    std::mt19937 rng(90210);
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
