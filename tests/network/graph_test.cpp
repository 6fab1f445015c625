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

// Deleting nodes all at once leaves the graph that deleting them one by one
// leaves, with dead edges still in the lists and after Compact; every degree
// and count agrees with the edges left, a loop counting twice. Edges added
// in bulk count as those added one by one.
TEST(Graph, BulkDeletionKeepsEveryCount) {
    constexpr int kNodes = 40;
    Graph graph;
    for (int i = 0; i < kNodes; ++i) graph.NewNode();
    std::uint32_t x = 12345;
    auto draw = [&] { return static_cast<NodeId>(((x = x * 1103515245u + 12345u) >> 8) % kNodes); };
    std::vector<std::pair<NodeId, NodeId>> ends;
    for (int k = 0; k < 200; ++k) ends.emplace_back(draw(), draw());  // with loops and repeats
    for (std::size_t k = 0; k < 100; ++k) graph.NewEdge(ends[k].first, ends[k].second);
    EXPECT_EQ(graph.NewEdges({ends.begin() + 100, ends.end()}), 100);
    graph.MakeUndirected();
    auto facts = [](const Graph& g) {
        std::ostringstream text;
        for (NodeId n = 0; n < kNodes; ++n) text << (g.IsNodeAlive(n) ? g.Degree(n) : -1) << ' ';
        text << g.NumberOfNodes() << ' ' << g.NumberOfEdges() << " |";
        for (EdgeId e : g.Edges()) text << ' ' << e;
        return text.str();
    };
    for (const bool compact : {false, true}) {
        SCOPED_TRACE(compact);
        Graph one = graph, bulk = graph;
        for (Graph* g : {&one, &bulk}) {
            g->DelEdge(3);
            if (compact) g->Compact();
        }
        const Ids gone{1, 5, 7, 20, 7};
        for (NodeId n : gone) one.DelNode(n);
        bulk.DelNodes(gone);
        EXPECT_EQ(facts(one), facts(bulk));
        NodeMap<std::int64_t> degree(kNodes, 0);
        bulk.ForEachEdge([&](EdgeId e) { ++degree[bulk.Source(e)], ++degree[bulk.Target(e)]; });
        bulk.ForEachNode([&](NodeId n) { EXPECT_EQ(bulk.Degree(n), degree[n]) << n; });
        EXPECT_EQ(bulk.NumberOfEdges(), bulk.Edges().size());
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
