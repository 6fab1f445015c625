#include "network/association_reader.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "base/run_error.hpp"

namespace tarnvale {
namespace {

// A graph of named nodes and the association map AssociationReader fills.
class AssociationReaderTest : public ::testing::Test {
protected:
    AssociationReaderTest() {
        for (const char* name : {"A", "B", "C"}) {
            const NodeId n = graph.NewNode();
            names[n] = name;
            nodes.push_back(n);
        }
    }

    void Read(const std::string& text, const std::string& mode = "name") {
        std::istringstream in(text);
        EXPECT_EQ(AssociationReader(in, names, associations, nodes, mode), 0);
    }
    const AssociationList& Of(int node) {
        return associations[nodes[static_cast<std::size_t>(node)]];
    }

    Graph graph;
    NodeMap<std::string> names;
    NodeMap<AssociationList> associations;
    std::vector<NodeId> nodes;
};

TEST_F(AssociationReaderTest, RowIdentifiersAreSortedByteWise) {
    Read("A\tYBR002C\tYAL001C\nB\tY10\tY1\ty1\tY1\n");
    EXPECT_EQ(Of(0), (AssociationList{"YAL001C", "YBR002C"}));
    EXPECT_EQ(Of(1), (AssociationList{"Y1", "Y1", "Y10", "y1"}));
}

TEST_F(AssociationReaderTest, NodeWithoutRowFollowsTheMissingMode) {
    Read("A\tY1\n", "name");
    EXPECT_EQ(Of(1), (AssociationList{"B"}));
    associations = {};
    Read("A\tY1\n", "null");
    EXPECT_EQ(Of(1), (AssociationList{"NULL"}));
    associations = {};
    Read("A\tY1\n", "none");
    EXPECT_TRUE(Of(1).empty());
    EXPECT_EQ(Of(0), (AssociationList{"Y1"}));
}

TEST_F(AssociationReaderTest, KeyAloneGivesAnEmptyList) {
    Read("A\nB\tY2\n");
    EXPECT_TRUE(Of(0).empty());
}

TEST_F(AssociationReaderTest, KeyWithStrayTabOrCarriageReturnStillMatches) {
    Read("A\t\nB\r\n C \t\r\n");
    EXPECT_TRUE(Of(0).empty());
    EXPECT_TRUE(Of(1).empty());
    EXPECT_TRUE(Of(2).empty());
}

TEST_F(AssociationReaderTest, CrLfRowsAndExtraTabsReadLikePlainOnes) {
    Read("A\tY1\r\n\tB\t\tY2\t\r\n");
    EXPECT_EQ(Of(0), (AssociationList{"Y1"}));
    EXPECT_EQ(Of(1), (AssociationList{"Y2"}));
}

TEST_F(AssociationReaderTest, FirstRowOfAKeyWins) {
    Read("A\tY1\nA\tY2\n");
    EXPECT_EQ(Of(0), (AssociationList{"Y1"}));
}

TEST_F(AssociationReaderTest, KeysMatchCaseSensitively) {
    Read("a\tY1\n");
    EXPECT_EQ(Of(0), (AssociationList{"A"}));
}

TEST_F(AssociationReaderTest, ByteOrderMarkDoesNotHideTheFirstKey) {
    Read(
        "\xEF\xBB\xBF"
        "A\tY1\n");
    EXPECT_EQ(Of(0), (AssociationList{"Y1"}));
}

TEST_F(AssociationReaderTest, ListsAreAppendedToAndOnlyListedNodesTouched) {
    associations[nodes[0]] = {"Z9"};
    nodes.pop_back();  // C is not in the node list
    Read("A\tY1\nC\tY3\n");
    EXPECT_EQ(Of(0), (AssociationList{"Y1", "Z9"}));
    EXPECT_TRUE(associations.get(2).empty());
}

TEST_F(AssociationReaderTest, FileWithoutNonEmptyLineStopsTheRun) {
    for (const char* text : {"", "\n\n", "\xEF\xBB\xBF"}) {
        try {
            Read(text);
            ADD_FAILURE() << "no error for \"" << text << '"';
        } catch (const RunError& error) {
            EXPECT_STREQ(error.what(),
                         "\nError:get_column:column index exceeds matrix size:giving up..");
            EXPECT_EQ(error.status(), 1);
        }
    }
}

TEST_F(AssociationReaderTest, SingleBlankLineIsEnoughToGoOn) {
    Read(" \n");
    EXPECT_EQ(Of(0), (AssociationList{"A"}));
}

}  // namespace
}  // namespace tarnvale
