#include "network/preparation.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace tarnvale {
namespace {

using Texts = std::vector<std::string>;

std::string Joined(const Texts& texts) {
    std::string text;
    for (const auto& t : texts) text += (text.empty() ? "" : " ") + t;
    return text;
}

// A small named graph built edge by edge, nodes created on first mention.
struct NamedGraph {
    NodeId Node(const std::string& name) {
        if (const auto found = ids.find(name); found != ids.end()) return found->second;
        const NodeId n = graph.NewNode();
        names[n] = name;
        ids[name] = n;
        return n;
    }
    EdgeId Edge(const std::string& source, const std::string& target, float value) {
        const NodeId s = Node(source);
        const EdgeId e = graph.NewEdge(s, Node(target));
        values[e] = value;
        return e;
    }
    void List(const std::string& name, AssociationList list) { associations[Node(name)] = list; }

    Texts NodeNames() const {
        Texts result;
        graph.ForEachNode([&](NodeId n) { result.push_back(names.get(n)); });
        return result;
    }
    // "source-target:value" of every edge in edge order.
    Texts EdgeTexts() const {
        Texts result;
        graph.ForEachEdge([&](EdgeId e) {
            std::ostringstream text;
            text << names.get(graph.Source(e)) << '-' << names.get(graph.Target(e)) << ':'
                 << values.get(e);
            result.push_back(text.str());
        });
        return result;
    }
    // Far ends of a node's edges in adjacency order.
    Texts Neighbours(const std::string& name) const {
        Texts result;
        graph.ForEachAdjacent(ids.at(name),
                              [&](EdgeId, NodeId r) { result.push_back(names.get(r)); });
        return result;
    }
    std::int64_t Rde() {
        std::ostringstream out;
        const std::int64_t removed = RDE(graph, out);
        rdeOutput = out.str();
        return removed;
    }
    void Merge() { MergeByAssociation(graph, associations, values); }

    Graph graph;
    NodeMap<std::string> names;
    EdgeMap<float> values;
    NodeMap<AssociationList> associations;
    std::map<std::string, NodeId> ids;
    std::string rdeOutput;
};

class PreparationTest : public ::testing::Test, protected NamedGraph {};

TEST_F(PreparationTest, RdeKeepsTheFirstEdgeAndDropsLoops) {
    Edge("A", "B", 0.1f);
    Edge("A", "B", 0.2f);
    Edge("B", "A", 0.3f);
    Edge("C", "C", 0.4f);
    EXPECT_EQ(Rde(), 3);
    EXPECT_EQ(rdeOutput, "RDE: 4RDE: 1\n");
    EXPECT_EQ(EdgeTexts(), (Texts{"A-B:0.1"}));
    EXPECT_FALSE(graph.IsDirected());
    EXPECT_EQ(graph.Degree(ids["C"]), 0);

    DeleteIsolatedNodes(graph);
    EXPECT_EQ(NodeNames(), (Texts{"A", "B"}));
}

TEST_F(PreparationTest, RdeSurvivorIsDecidedAtTheEarlierNodeOutgoingFirst) {
    Edge("A", "X", 0.1f);
    Edge("B", "A", 0.2f);
    Edge("A", "B", 0.3f);
    EXPECT_EQ(Rde(), 1);
    EXPECT_EQ(EdgeTexts(), (Texts{"A-X:0.1", "A-B:0.3"}));
}

TEST_F(PreparationTest, RdeOnTheLaterNodeSeesOnlySurvivors) {
    // At B its outgoing edges come first: B->C stays, C->B goes, and both
    // loops go; B->A is already gone at A and must not count again.
    Edge("A", "B", 0.1f);
    Edge("B", "A", 0.2f);
    Edge("B", "C", 0.3f);
    Edge("C", "B", 0.4f);
    Edge("B", "B", 0.5f);
    Edge("B", "B", 0.6f);
    EXPECT_EQ(Rde(), 4);
    EXPECT_EQ(rdeOutput, "RDE: 6RDE: 2\n");
    EXPECT_EQ(EdgeTexts(), (Texts{"A-B:0.1", "B-C:0.3"}));
    EXPECT_EQ(Neighbours("B"), (Texts{"C", "A"}));
}

TEST_F(PreparationTest, EmptyGraphIsHandledSilently) {
    EXPECT_EQ(Rde(), 0);
    EXPECT_EQ(rdeOutput, "RDE: 0RDE: 0\n");
    DeleteIsolatedNodes(graph);
    Merge();
    DeleteUnselectedNodes(graph, {});
    EXPECT_EQ(graph.NumberOfNodes(), 0u);
}

TEST_F(PreparationTest, DeleteIsolatedNodesKeepsTheOthersInOrder) {
    Node("I1");
    Edge("A", "B", 0.5f);
    Node("I2");
    Edge("C", "A", 0.5f);
    DeleteIsolatedNodes(graph);
    EXPECT_EQ(NodeNames(), (Texts{"A", "B", "C"}));
    EXPECT_EQ(graph.NumberOfEdges(), 2u);
}

// Merging nodes whose identifier lists are equal into the first of them
// (the anchor): each case lists nodes to make first, edges "S T value",
// identifier lists "NAME:ID,ID", and the nodes and edges that remain.
TEST(MergeByAssociation, NodesWithEqualListsBecomeTheirAnchor) {
    struct Case {
        const char *nodes, *edges, *lists, *remaining, *remainingEdges;
    };
    const Case cases[] = {
        // The merged node's edge moves to the anchor with its value.
        {"", "P X 0.1,Q R 0.7", "P:Y1,Y2 Q:Y1,Y2 X:Y3 R:Y4", "P X R", "P-X:0.1 P-R:0.7"},
        // A neighbour shared with the anchor gets no second edge.
        {"", "P R 0.1,Q R 0.9,S R 0.8", "P:Y1 Q:Y1 S:Y1 R:Y2", "P R", "P-R:0.1"},
        // An edge added by one merge is not added again by the next.
        {"P", "Q R 0.2,S R 0.9", "P:Y1 Q:Y1 S:Y1 R:Y2", "P R", "P-R:0.2"},
        // A pair joined only to each other leaves an isolated anchor.
        {"", "P Q 0.5,X Y 0.5", "P:Y1 Q:Y1 X:Y2 Y:Y3", "P X Y", "X-Y:0.5"},
        // Every node is an anchor: interleaved groups are all merged.
        {"", "A Z 0.5,B Z 0.5,C Z 0.5,D Z 0.5,E Z 0.5", "A:L1 B:L2 C:L1 D:L2 E:L1 Z:L3", "A Z B",
         "A-Z:0.5 B-Z:0.5"},
        // A takes C's edge to D (0.7); then B takes D's edge to A, value 0.7.
        {"A B C D X", "C D 0.7,A X 0.1,B X 0.2", "A:L1 B:L2 C:L1 D:L2 X:L3", "A B X",
         "A-X:0.1 B-X:0.2 B-A:0.7"},
        // Lists must be equal in length and order.
        {"", "A Z 0.5,B Z 0.5,C Z 0.5,D Z 0.5", "A:Y1,Y1 B:Y1 C:Y1,Y2 D:Y1,Y1", "A Z B C",
         "A-Z:0.5 B-Z:0.5 C-Z:0.5"},
        // Nodes with empty lists are left alone.
        {"", "A B 0.5,C B 0.5", "B:Y1", "A B C", "A-B:0.5 C-B:0.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edges);
        NamedGraph net;
        std::istringstream nodes(c.nodes);
        for (std::string name; nodes >> name;) net.Node(name);
        std::istringstream edges(c.edges);
        for (std::string edge; std::getline(edges, edge, ',');) {
            std::istringstream fields(edge);
            std::string source, target;
            float value = 0;
            fields >> source >> target >> value;
            net.Edge(source, target, value);
        }
        std::istringstream lists(c.lists);
        for (std::string list; lists >> list;) {
            AssociationList ids;
            std::istringstream items(list.substr(list.find(':') + 1));
            for (std::string id; std::getline(items, id, ',');) ids.push_back(id);
            net.List(list.substr(0, list.find(':')), ids);
        }
        net.Merge();
        EXPECT_EQ(Joined(net.NodeNames()), c.remaining);
        EXPECT_EQ(Joined(net.EdgeTexts()), c.remainingEdges);
    }
}

TEST_F(PreparationTest, DeleteUnselectedNodesKeepsTheSelectionAndItsEdges) {
    Edge("A", "B", 0.1f);
    Edge("B", "C", 0.2f);
    Edge("C", "A", 0.3f);
    Node("D");
    NodeMap<bool> selection;
    selection[ids["A"]] = true;
    selection[ids["C"]] = true;
    // B is false; D lies past the end of the map, which reads as false.
    DeleteUnselectedNodes(graph, selection);
    EXPECT_EQ(NodeNames(), (Texts{"A", "C"}));
    EXPECT_EQ(EdgeTexts(), (Texts{"C-A:0.3"}));

    DeleteUnselectedNodes(graph, NodeMap<bool>());
    EXPECT_EQ(graph.NumberOfNodes(), 0u);
    EXPECT_EQ(graph.NumberOfEdges(), 0u);
}

}  // namespace
}  // namespace tarnvale
