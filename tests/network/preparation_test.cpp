#include "network/preparation.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace tarnvale {
namespace {

using Texts = std::vector<std::string>;

// A small named graph built edge by edge, nodes created on first mention.
class PreparationTest : public ::testing::Test {
protected:
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

TEST_F(PreparationTest, MergedNodesEdgeMovesToTheAnchorWithItsValue) {
    Edge("P", "X", 0.1f);
    Edge("Q", "R", 0.7f);
    List("P", {"Y1", "Y2"});
    List("Q", {"Y1", "Y2"});
    List("X", {"Y3"});
    List("R", {"Y4"});
    Merge();
    EXPECT_EQ(NodeNames(), (Texts{"P", "X", "R"}));
    EXPECT_EQ(EdgeTexts(), (Texts{"P-X:0.1", "P-R:0.7"}));
}

TEST_F(PreparationTest, NeighbourSharedWithTheAnchorGetsNoSecondEdge) {
    Edge("P", "R", 0.1f);
    Edge("Q", "R", 0.9f);
    Edge("S", "R", 0.8f);
    List("P", {"Y1"});
    List("Q", {"Y1"});
    List("S", {"Y1"});
    List("R", {"Y2"});
    Merge();
    EXPECT_EQ(EdgeTexts(), (Texts{"P-R:0.1"}));
}

TEST_F(PreparationTest, EdgeAddedByOneMergeIsNotAddedAgainByTheNext) {
    Node("P");
    Edge("Q", "R", 0.2f);
    Edge("S", "R", 0.9f);
    List("P", {"Y1"});
    List("Q", {"Y1"});
    List("S", {"Y1"});
    List("R", {"Y2"});
    Merge();
    EXPECT_EQ(NodeNames(), (Texts{"P", "R"}));
    EXPECT_EQ(EdgeTexts(), (Texts{"P-R:0.2"}));
}

TEST_F(PreparationTest, PairJoinedOnlyToEachOtherLeavesAnIsolatedAnchor) {
    Edge("P", "Q", 0.5f);
    Edge("X", "Y", 0.5f);
    List("P", {"Y1"});
    List("Q", {"Y1"});
    List("X", {"Y2"});
    List("Y", {"Y3"});
    Merge();
    EXPECT_EQ(NodeNames(), (Texts{"P", "X", "Y"}));
    EXPECT_EQ(graph.Degree(ids["P"]), 0);
    DeleteIsolatedNodes(graph);
    EXPECT_EQ(NodeNames(), (Texts{"X", "Y"}));
}

TEST_F(PreparationTest, EveryNodeIsAnAnchorSoNoEqualListsRemain) {
    // Interleaved groups, which an anchor walk over every other node would
    // leave partly unmerged.
    for (const char* name : {"A", "B", "C", "D", "E"}) Edge(name, "Z", 0.5f);
    List("A", {"L1"});
    List("B", {"L2"});
    List("C", {"L1"});
    List("D", {"L2"});
    List("E", {"L1"});
    List("Z", {"L3"});
    Merge();
    EXPECT_EQ(NodeNames(), (Texts{"A", "Z", "B"}));
}

TEST_F(PreparationTest, EdgeMadeByAMergeCarriesItsValueIntoALaterMerge) {
    for (const char* name : {"A", "B", "C", "D", "X"}) Node(name);
    Edge("C", "D", 0.7f);
    Edge("A", "X", 0.1f);
    Edge("B", "X", 0.2f);
    List("A", {"L1"});
    List("B", {"L2"});
    List("C", {"L1"});
    List("D", {"L2"});
    List("X", {"L3"});
    Merge();
    // A takes C's edge to D (0.7); then B takes D's edge to A, value 0.7.
    EXPECT_EQ(NodeNames(), (Texts{"A", "B", "X"}));
    EXPECT_EQ(EdgeTexts(), (Texts{"A-X:0.1", "B-X:0.2", "B-A:0.7"}));
}

TEST_F(PreparationTest, ListsMustBeEqualInLengthAndOrder) {
    for (const char* name : {"A", "B", "C", "D"}) Edge(name, "Z", 0.5f);
    List("A", {"Y1", "Y1"});
    List("B", {"Y1"});
    List("C", {"Y1", "Y2"});
    List("D", {"Y1", "Y1"});
    Merge();
    EXPECT_EQ(NodeNames(), (Texts{"A", "Z", "B", "C"}));
}

TEST_F(PreparationTest, NodesWithEmptyListsAreLeftAlone) {
    Edge("A", "B", 0.5f);
    Edge("C", "B", 0.5f);
    List("B", {"Y1"});
    Merge();
    EXPECT_EQ(NodeNames(), (Texts{"A", "B", "C"}));
    EXPECT_EQ(graph.NumberOfEdges(), 2u);
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
