// The read-only network of a run: what a subgraph induced by a selection
// gives must be what deleting every other node of the graph gives, since the
// runs after the first search the previous run's selection.

#include "search/search_graph.hpp"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "network/preparation.hpp"
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
// every density. The induced subgraph, with and without edge scores, and its
// components under a mask must match the graph cut down by deletion.
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
        // A mask gives the components of the graph with every node outside
        // it deleted.
        std::vector<unsigned char> inside(net.search.NumberOfNodeIds(), 0);
        for (NodeId v : net.search.Nodes()) inside[static_cast<std::size_t>(v)] = keep.get(v);
        std::ostringstream masked, deleted;
        for (const Component& c : net.search.Components(inside)) {
            for (NodeId v : c.nodes) masked << ' ' << v;
            for (EdgeId e : c.edges) masked << " e" << e;
        }
        const SearchGraph sub = net.search.Induced(keep, false);
        std::vector<unsigned char> all(sub.NumberOfNodeIds(), 1);
        for (const Component& c : sub.Components(all)) {
            for (NodeId v : c.nodes) deleted << ' ' << v;
            for (EdgeId e : c.edges) deleted << " e" << e;
        }
        EXPECT_EQ(masked.str(), deleted.str()) << round;
    }
}

}  // namespace
}  // namespace tarnvale
