// The graph (hiding, deletion) and the preparation steps that clean it
// (duplicate edges, isolated nodes, merging by association).

#include "network/graph.hpp"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "network/preparation.hpp"

namespace tarnvale {
namespace {

using Ids = std::vector<std::int32_t>;

// Hiding a node hides its edges (a loop once) until the graph is restored;
// a node deleted while hidden stays deleted.
TEST(Graph, HidingRestoringAndDeletion) {
    // A triangle 0-1-2 with a loop on 2 and a pendant node 3 on 2.
    Graph graph;
    for (int i = 0; i < 4; ++i) graph.NewNode();
    for (auto [s, t] : {std::pair{0, 1}, {1, 2}, {2, 0}, {2, 2}, {3, 2}}) graph.NewEdge(s, t);
    graph.MakeUndirected();
    graph.HideNode(2);
    EXPECT_EQ(graph.NumberOfNodes(), 3u);
    EXPECT_EQ(graph.NumberOfEdges(), 1u);
    EXPECT_EQ(graph.Degree(1), 1);
    graph.RestoreGraph();
    EXPECT_EQ(graph.Degree(2), 5);
    graph.HideNode(2);
    graph.DelNode(2);
    graph.RestoreGraph();
    EXPECT_EQ(graph.Nodes(), (Ids{0, 1, 3}));
    EXPECT_EQ(graph.NumberOfEdges(), 1u);
    // Edges added in bulk: those of a hidden node count once it is back, a
    // loop counts twice.
    graph.HideNode(3);
    EXPECT_EQ(graph.NewEdges({{3, 0}, {0, 1}}), 5);
    EXPECT_EQ(graph.NumberOfEdges(), 2u);
    EXPECT_EQ(graph.Degree(0), 2);
    graph.RestoreGraph();
    graph.NewEdges({{1, 1}});
    EXPECT_EQ(graph.NumberOfEdges(), 4u);
    EXPECT_EQ(graph.Degree(1), 4);
    EXPECT_EQ(graph.Degree(3), 1);
}

// Deleting or hiding nodes all at once leaves the graph that doing it one by
// one leaves; after hiding, every degree and component agrees with the visible
// edges, with dead edges still in the lists and after Compact.
TEST(Graph, BulkDeletionAndHidingKeepEveryCount) {
    constexpr int kNodes = 40;
    Graph graph;
    for (int i = 0; i < kNodes; ++i) graph.NewNode();
    std::uint32_t x = 12345;
    auto draw = [&] { return static_cast<NodeId>(((x = x * 1103515245u + 12345u) >> 8) % kNodes); };
    for (int k = 0; k < 200; ++k) graph.NewEdge(draw(), draw());  // with loops and repeats
    graph.MakeUndirected();
    auto facts = [](const Graph& g) {
        std::ostringstream text;
        for (NodeId n = 0; n < kNodes; ++n) text << (g.IsNodeVisible(n) ? g.Degree(n) : -1) << ' ';
        text << g.NumberOfNodes() << ' ' << g.NumberOfEdges() << " |";
        for (const Component& c : g.Components()) {
            for (NodeId n : c.nodes) text << ' ' << n;
            text << " :";
            for (EdgeId e : c.edges) text << ' ' << e;
        }
        return text.str();
    };
    for (const bool compact : {false, true}) {
        SCOPED_TRACE(compact);
        Graph one = graph, bulk = graph;
        for (Graph* g : {&one, &bulk}) {
            g->DelEdge(3);
            g->HideNode(5);
            if (compact) g->Compact();
        }
        const Ids gone{1, 5, 7, 20, 7};
        for (NodeId n : gone) one.DelNode(n);
        bulk.DelNodes(gone);
        EXPECT_EQ(facts(one), facts(bulk));
        // Hidden one by one or all at once, with a repeat, a node already
        // hidden and a deleted one among them.
        const Ids hidden{2, 11, 30, 31, 2, 5, 7};
        for (NodeId n : hidden) one.HideNode(n);
        bulk.HideNodes(hidden);
        EXPECT_EQ(facts(one), facts(bulk));
        std::vector<std::int64_t> degree(kNodes, 0);
        bulk.ForEachEdge([&](EdgeId e) { ++degree[bulk.Source(e)], ++degree[bulk.Target(e)]; });
        std::vector<std::size_t> componentOf(kNodes);
        std::size_t edges = 0;
        const auto components = bulk.Components();
        for (std::size_t c = 0; c < components.size(); ++c) {
            for (NodeId n : components[c].nodes) componentOf[n] = c;
            edges += components[c].edges.size();
        }
        EXPECT_EQ(edges, bulk.NumberOfEdges());
        bulk.ForEachEdge([&](EdgeId e) {
            EXPECT_EQ(componentOf[bulk.Source(e)], componentOf[bulk.Target(e)]) << e;
        });
        bulk.ForEachNode([&](NodeId n) { EXPECT_EQ(bulk.Degree(n), degree[n]) << n; });
        bulk.RestoreGraph();
        one.RestoreGraph();
        EXPECT_EQ(facts(one), facts(bulk));
    }
}

// A small named graph: nodes "A B", edges "S T value,...", identifier lists
// "NAME:ID,ID ..."; nodes are made in order of first mention.
struct Named {
    Named(const std::string& nodeNames, const std::string& edgeList,
          const std::string& lists = "") {
        std::istringstream nodes(nodeNames);
        for (std::string name; nodes >> name;) Node(name);
        std::istringstream edges(edgeList);
        for (std::string edge; std::getline(edges, edge, ',');) {
            std::istringstream fields(edge);
            std::string source, target;
            float value = 0;
            fields >> source >> target >> value;
            const NodeId s = Node(source);
            values[graph.NewEdge(s, Node(target))] = value;
        }
        std::istringstream items(lists);
        for (std::string list; items >> list;) {
            std::istringstream parts(list.substr(list.find(':') + 1));
            AssociationList& to = associations[Node(list.substr(0, list.find(':')))];
            for (std::string id; std::getline(parts, id, ',');) to.push_back(id);
        }
    }
    NodeId Node(const std::string& name) {
        if (const auto found = ids.find(name); found != ids.end()) return found->second;
        names[ids[name] = graph.NewNode()] = name;
        return ids[name];
    }
    // The node names in node order, then "| source-target:value" of every
    // edge in edge order.
    std::string Text() const {
        std::ostringstream text;
        graph.ForEachNode([&](NodeId n) { text << names.get(n) << ' '; });
        text << '|';
        graph.ForEachEdge([&](EdgeId e) {
            text << ' ' << names.get(graph.Source(e)) << '-' << names.get(graph.Target(e)) << ':'
                 << values.get(e);
        });
        return text.str();
    }
    Graph graph;
    NodeMap<std::string> names;
    EdgeMap<float> values;
    NodeMap<AssociationList> associations;
    std::map<std::string, NodeId> ids;
};

// Removing duplicate edges keeps the first one, decided at the earlier node
// with its outgoing edges first, and drops loops; then isolated nodes go.
TEST(Preparation, RdeAndIsolatedNodes) {
    struct Case {
        const char *nodes, *edges;
        std::int64_t removed;
        const char *printed, *remaining;
    };
    const Case cases[] = {
        {"", "A B 0.1,A B 0.2,B A 0.3,C C 0.4", 3, "RDE: 4RDE: 1\n", "A B | A-B:0.1"},
        // At B its outgoing edges come first: B->C stays, C->B goes, and both
        // loops go; B->A is already gone at A and must not count again.
        {"", "A B 0.1,B A 0.2,B C 0.3,C B 0.4,B B 0.5,B B 0.6", 4, "RDE: 6RDE: 2\n",
         "A B C | A-B:0.1 B-C:0.3"},
        // A met first by an edge into it: its first outgoing edge, met later, wins.
        {"A B", "B A 0.1,A B 0.2,B A 0.3,A B 0.4", 3, "RDE: 4RDE: 1\n", "A B | A-B:0.2"},
    };
    for (const Case& c : cases) {
        Named net(c.nodes, c.edges);
        std::ostringstream out;
        EXPECT_EQ(RDE(net.graph, out), c.removed) << c.edges;
        EXPECT_EQ(out.str(), c.printed) << c.edges;
        EXPECT_FALSE(net.graph.IsDirected());
        DeleteIsolatedNodes(net.graph);
        EXPECT_EQ(net.Text(), c.remaining);
    }
}

// Merging nodes whose identifier lists are equal into the first of them (the
// anchor): the nodes and edges that remain.
TEST(Preparation, MergeByAssociationMakesNodesWithEqualListsTheirAnchor) {
    const std::array<const char*, 3> cases[] = {
        // The merged node's edge moves to the anchor with its value.
        {"P X 0.1,Q R 0.7", "P:Y1,Y2 Q:Y1,Y2 X:Y3 R:Y4", "P X R | P-X:0.1 P-R:0.7"},
        // A neighbour shared with the anchor gets no second edge.
        {"P R 0.1,Q R 0.9,S R 0.8", "P:Y1 Q:Y1 S:Y1 R:Y2", "P R | P-R:0.1"},
        // A pair joined only to each other leaves an isolated anchor.
        {"P Q 0.5,X Y 0.5", "P:Y1 Q:Y1 X:Y2 Y:Y3", "P X Y | X-Y:0.5"},
        // Lists must be equal in length and order; empty lists are left alone.
        {"A Z 0.5,B Z 0.5,C Z 0.5,D Z 0.5", "A:Y1,Y1 B:Y1 C:Y1,Y2 D:Y1,Y1",
         "A Z B C | A-Z:0.5 B-Z:0.5 C-Z:0.5"},
    };
    for (const auto& [edges, lists, remaining] : cases) {
        Named net("", edges, lists);
        MergeByAssociation(net.graph, net.associations, net.values);
        EXPECT_EQ(net.Text(), remaining);
    }
}

}  // namespace
}  // namespace tarnvale
