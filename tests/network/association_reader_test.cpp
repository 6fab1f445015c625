// Tab-separated tables and the association file: which identifiers each node
// gets, whatever the line ends, stray tabs or byte-order mark of the file.

#include "network/association_reader.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "base/run_error.hpp"
#include "network/tables.hpp"

namespace tarnvale {
namespace {

using Fields = std::vector<std::string>;

TEST(Tables, TrimSplitAndColumns) {
    EXPECT_EQ(trim(" \t\rA B\r\t "), "A B");
    EXPECT_EQ(trim("\nA\v"), "\nA\v");
    EXPECT_EQ(SplitLine("\tA\t\tY1\t\r", "\t"), (Fields{"A", "Y1"}));
    EXPECT_EQ(SplitLine(" A \t Y 1 ", "\t"), (Fields{"A", "Y 1"}));
    EXPECT_EQ(SplitLine("A\r", "\t"), (Fields{"A\r"}));  // no inner delimiter: untouched
    EXPECT_EQ(SplitLine("A  B", ""), (Fields{"A", "B"}));
    std::istringstream in("\xEF\xBB\xBF" "A\tY1\n\n  \nB\tY2\tY3\n");
    const Matrix matrix = ReadMatrix(in, "\t");
    EXPECT_EQ(matrix, (Matrix{{"A", "Y1"}, {"  "}, {"B", "Y2", "Y3"}}));
    EXPECT_EQ(get_column(Matrix{{"A", "Y1"}, {"B", "Y2", "Y3"}}, 1), (Fields{"Y1", "Y2"}));
    EXPECT_THROW(get_column({{"A", "Y1"}, {"B"}}, 1), RunError);
}

// Reads `text` for the nodes A, B and C and gives each node's list.
std::vector<AssociationList> Read(const std::string& text, const std::string& mode = "name") {
    Graph graph;
    NodeMap<std::string> names;
    NodeMap<AssociationList> associations;
    std::vector<NodeId> nodes;
    for (const char* name : {"A", "B", "C"}) {
        nodes.push_back(graph.NewNode());
        names[nodes.back()] = name;
    }
    std::istringstream in(text);
    EXPECT_EQ(AssociationReader(in, names, associations, nodes, mode), 0);
    return {associations[nodes[0]], associations[nodes[1]], associations[nodes[2]]};
}

TEST(AssociationReader, ListsOfEveryKindOfFile) {
    using L = std::vector<AssociationList>;
    const std::pair<std::string, L> cases[] = {
        {"A\tYBR002C\tYAL001C\nB\tY10\tY1\ty1\n", {{"YAL001C", "YBR002C"}, {"Y1", "Y10", "y1"}, {"C"}}},
        {"A\tY1\r\n\tB\t\tY2\t\r\n", {{"Y1"}, {"Y2"}, {"C"}}},  // CR LF, stray tabs
        {"A\t\nB\r\n C \t\r\n", {{}, {}, {}}},                    // keys alone
        {"A\tY1\nA\tY2\na\tY3\n", {{"Y1"}, {"B"}, {"C"}}},        // first row wins; case counts
        {"\xEF\xBB\xBF" "A\tY1\n", {{"Y1"}, {"B"}, {"C"}}},
        {" \n", {{"A"}, {"B"}, {"C"}}},
    };
    for (const auto& [text, lists] : cases) EXPECT_EQ(Read(text), lists) << text;
    EXPECT_EQ(Read("A\tY1\n", "null")[1], AssociationList{"NULL"});
    EXPECT_EQ(Read("A\tY1\n", "none")[1], AssociationList{});
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

}  // namespace
}  // namespace tarnvale
