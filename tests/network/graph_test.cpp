#include "network/graph.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "network/rewire.hpp"

namespace tarnvale {
namespace {

using Ids = std::vector<std::int32_t>;

Ids FarEnds(const Graph& graph, NodeId n) {
    Ids result;
    graph.ForEachAdjacent(n, [&](EdgeId, NodeId far) { result.push_back(far); });
    return result;
}

Graph WithNodes(int count) {
    Graph graph;
    for (int i = 0; i < count; ++i) graph.NewNode();
    return graph;
}

TEST(GraphAdjacency, OutgoingEdgesThenIncomingOnesEachInCreationOrder) {
    Graph graph = WithNodes(4);
    graph.NewEdge(1, 0);
    graph.NewEdge(0, 2);
    graph.NewEdge(3, 0);
    graph.NewEdge(0, 1);
    graph.MakeUndirected();
    EXPECT_EQ(FarEnds(graph, 0), (Ids{2, 1, 1, 3}));
    EXPECT_EQ(graph.Degree(0), 4);
}

TEST(GraphAdjacency, LoopIsMetTwiceAndCountsTwice) {
    Graph graph = WithNodes(2);
    graph.NewEdge(0, 0);
    graph.NewEdge(0, 1);
    graph.MakeUndirected();
    EXPECT_EQ(FarEnds(graph, 0), (Ids{0, 1, 0}));
    EXPECT_EQ(graph.Degree(0), 3);
    EXPECT_EQ(graph.NumberOfEdges(), 2u);
}

// Adding edges in bulk is adding them one by one: same ids, adjacency
// order, degrees and counts, also next to earlier edges and a hidden node.
TEST(GraphAdjacency, BulkEdgesEqualEdgesAddedOneByOne) {
    const std::vector<std::pair<NodeId, NodeId>> ends{{1, 0}, {0, 2}, {3, 0},
                                                      {0, 1}, {2, 2}, {3, 1}};
    Graph single = WithNodes(4), bulk = WithNodes(4);
    for (Graph* graph : {&single, &bulk}) {
        graph->NewEdge(2, 0);
        graph->HideNode(3);
    }
    for (const auto& [source, target] : ends) single.NewEdge(source, target);
    EXPECT_EQ(bulk.NewEdges(ends), 1);
    for (Graph* graph : {&single, &bulk}) {
        graph->RestoreGraph();
        graph->MakeUndirected();
    }
    EXPECT_EQ(bulk.NumberOfEdges(), single.NumberOfEdges());
    for (NodeId n = 0; n < 4; ++n) {
        EXPECT_EQ(FarEnds(bulk, n), FarEnds(single, n)) << n;
        EXPECT_EQ(bulk.Degree(n), single.Degree(n)) << n;
    }
    EXPECT_EQ(bulk.Edges(), single.Edges());
}

TEST(IdMap, GrowsWithTheTypesOwnDefaultNotTheFillValue) {
    NodeMap<float> values(2, -1.0f);
    EXPECT_EQ(values.get(1), -1.0f);
    EXPECT_EQ(values.get(7), 0.0f);
    EXPECT_EQ(values.size(), 2u);  // reading does not grow
    EXPECT_EQ(values[5], 0.0f);
    EXPECT_EQ(values.size(), 6u);
    EXPECT_EQ(values.get(1), -1.0f);

    const NodeMap<std::vector<std::string>> lists;
    EXPECT_TRUE(lists.at(3).empty());
    EXPECT_EQ(lists.size(), 0u);
}

// A triangle 0-1-2 with a loop on 2 and a pendant node 3 on 2.
class HidingTest : public ::testing::Test {
protected:
    HidingTest() : graph(WithNodes(4)) {
        graph.NewEdge(0, 1);
        graph.NewEdge(1, 2);
        graph.NewEdge(2, 0);
        graph.NewEdge(2, 2);
        graph.NewEdge(3, 2);
        graph.MakeUndirected();
    }
    Graph graph;
};

TEST_F(HidingTest, HiddenNodeAndItsEdgesVanishFromCountsAndDegrees) {
    graph.HideNode(2);
    EXPECT_EQ(graph.NumberOfNodes(), 3u);
    EXPECT_EQ(graph.NumberOfEdges(), 1u);
    EXPECT_EQ(graph.Degree(0), 1);
    EXPECT_EQ(graph.Degree(3), 0);
    EXPECT_EQ(graph.Nodes(), (Ids{0, 1, 3}));
    EXPECT_EQ(graph.Edges(), (Ids{0}));
    EXPECT_EQ(FarEnds(graph, 1), (Ids{0}));
    EXPECT_EQ(graph.Components().size(), 2u);

    graph.RestoreGraph();
    EXPECT_EQ(graph.NumberOfNodes(), 4u);
    EXPECT_EQ(graph.NumberOfEdges(), 5u);
    EXPECT_EQ(graph.Degree(2), 5);
    EXPECT_EQ(graph.Degree(0), 2);
}

TEST_F(HidingTest, NodeDeletedWhileHiddenStaysDeleted) {
    graph.HideNode(2);
    graph.DelNode(2);
    graph.DelNode(0);
    EXPECT_EQ(graph.NumberOfNodes(), 2u);
    EXPECT_EQ(graph.NumberOfEdges(), 0u);
    graph.RestoreGraph();
    EXPECT_EQ(graph.Nodes(), (Ids{1, 3}));
    EXPECT_EQ(graph.NumberOfEdges(), 0u);
    EXPECT_EQ(graph.Degree(1), 0);
}

TEST_F(HidingTest, EdgeToAHiddenNodeAppearsOnRestore) {
    graph.HideNode(3);
    graph.NewEdge(0, 3);
    EXPECT_EQ(graph.NumberOfEdges(), 4u);
    EXPECT_EQ(graph.Degree(0), 2);
    graph.RestoreGraph();
    EXPECT_EQ(graph.NumberOfEdges(), 6u);
    EXPECT_EQ(graph.Degree(0), 3);
    EXPECT_EQ(graph.Degree(3), 2);
}

TEST(GraphDeletion, DeletingDuringTheWalkIsSafeAndCompactKeepsOrder) {
    Graph graph = WithNodes(5);
    graph.NewEdge(0, 1);
    graph.NewEdge(1, 2);
    graph.NewEdge(3, 4);
    graph.ForEachNode([&](NodeId n) {
        if (n % 2 == 1) graph.DelNode(n);
    });
    EXPECT_EQ(graph.Nodes(), (Ids{0, 2, 4}));
    EXPECT_EQ(graph.NumberOfEdges(), 0u);
    EXPECT_EQ(graph.Degree(0), 0);
    graph.Compact();
    EXPECT_EQ(graph.Nodes(), (Ids{0, 2, 4}));
    EXPECT_EQ(graph.NumberOfNodeIds(), 5u);
    EXPECT_FALSE(graph.IsNodeAlive(3));

    // Ids are not reused after deletion.
    EXPECT_EQ(graph.NewNode(), 5);
    EXPECT_EQ(graph.NewEdge(0, 5), 3);
    EXPECT_EQ(FarEnds(graph, 0), (Ids{5}));
}

TEST(GraphComponents, DepthFirstFromEveryNodeInNodeOrder) {
    Graph graph = WithNodes(6);
    graph.NewEdge(0, 1);  // e0
    graph.NewEdge(0, 2);  // e1
    graph.NewEdge(3, 1);  // e2
    graph.NewEdge(2, 3);  // e3
    graph.NewEdge(4, 4);  // e4, a loop
    graph.MakeUndirected();
    const auto components = graph.Components();
    ASSERT_EQ(components.size(), 3u);
    // From 0: out to 1; from 1: in from 3; from 3: out to 1 (seen), in from 2.
    EXPECT_EQ(components[0].nodes, (Ids{0, 1, 3, 2}));
    EXPECT_EQ(components[0].edges, (Ids{0, 2, 3, 1}));
    EXPECT_EQ(components[1].nodes, (Ids{4}));
    EXPECT_EQ(components[1].edges, (Ids{4}));
    EXPECT_EQ(components[2].nodes, (Ids{5}));
    EXPECT_TRUE(components[2].edges.empty());
}

TEST(GraphComponents, MillionNodePathNeedsNoDeepStack) {
    constexpr int kNodes = 1'000'000;
    Graph graph = WithNodes(kNodes);
    for (NodeId n = 0; n + 1 < kNodes; ++n) graph.NewEdge(n, n + 1);
    graph.MakeUndirected();
    const auto components = graph.Components();
    ASSERT_EQ(components.size(), 1u);
    EXPECT_EQ(components[0].nodes.size(), static_cast<std::size_t>(kNodes));
    EXPECT_EQ(components[0].edges.size(), static_cast<std::size_t>(kNodes - 1));
    EXPECT_EQ(components[0].nodes.back(), kNodes - 1);
}

// Rewiring keeps every degree and makes no loop or parallel edge; on a
// sparse random graph it changes most edges, on a star it can change none.
TEST(RewiredGraph, KeepsDegreesMakesNoLoopOrParallelAndChangesMostEdges) {
    struct Case {
        const char* name;
        bool star;
        std::uint64_t fewestChanged;  // of the 300 random or 29 star edges
    };
    for (const Case& c : {Case{"random", false, 200}, Case{"star", true, 0}}) {
        SCOPED_TRACE(c.name);
        Graph graph = WithNodes(101);
        Random rng(9);
        std::set<std::pair<NodeId, NodeId>> made;
        while (made.size() < (c.star ? 29u : 300u)) {
            const NodeId a = c.star ? 0 : rng.Integer(1, 100);
            const NodeId b = rng.Integer(1, c.star ? 29 : 100);
            if (a != b && made.insert(std::minmax(a, b)).second) graph.NewEdge(a, b);
        }
        graph.MakeUndirected();
        graph.DelNode(100);  // a deleted node keeps its id out of the result
        RewireCount count;
        const Graph rewired = RewiredGraph(graph, rng, count);
        EXPECT_EQ(rewired.NumberOfNodes(), graph.NumberOfNodes());
        EXPECT_FALSE(rewired.IsNodeAlive(100));
        EXPECT_FALSE(rewired.IsDirected());
        for (NodeId n : graph.Nodes()) EXPECT_EQ(rewired.Degree(n), graph.Degree(n)) << n;
        std::set<std::pair<NodeId, NodeId>> pairs;
        rewired.ForEachEdge([&](EdgeId e) {
            EXPECT_NE(rewired.Source(e), rewired.Target(e));
            EXPECT_TRUE(pairs.insert(std::minmax(rewired.Source(e), rewired.Target(e))).second);
        });
        EXPECT_EQ(count.edges, graph.NumberOfEdges());
        EXPECT_EQ(count.attempts, 10 * count.edges);
        std::uint64_t changed = 0;
        for (const auto& pair : pairs) changed += made.count(pair) == 0;
        EXPECT_EQ(count.changed, changed);
        EXPECT_GE(changed, c.fewestChanged);
        EXPECT_EQ(count.swaps == 0, c.star);
    }
}

}  // namespace
}  // namespace tarnvale
