// The warning for p-value identifiers that hardly meet the network's nodes.

#include "cli/mapping_diagnostics.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "network/input_text.hpp"

namespace tarnvale {
namespace {

constexpr const char* kHint =
    "; check that node names (or the association file) and p-value identifiers are of the "
    "same kind, e.g. gene symbols against protein ids";

class MappingWarningTest : public ::testing::Test {
protected:
    // Nodes P0..P(count-1), each looked up under its own name; p-values
    // read from `text`.
    void Nodes(int count) {
        for (int i = 0; i < count; ++i) {
            const NodeId n = graph.NewNode();
            associations[n] = {"P" + std::to_string(i)};
            scored.push_back(n);
        }
    }
    void PValues(const std::string& text) {
        std::istringstream in(text);
        std::ostringstream ignored;
        pvalues = ReadPValues(in, "p.txt", ignored);
    }
    std::string Warning(std::size_t nodes, std::size_t withData) const {
        return MappingWarning(nodes, withData, pvalues, scored, associations);
    }

    Graph graph;
    NodeMap<AssociationList> associations;
    std::vector<NodeId> scored;
    PValueTable pvalues;
};

TEST_F(MappingWarningTest, ATenthOrMoreIsNoCauseForWarning) {
    Nodes(20);
    PValues("P0 0.1\nP1 0.2\nTP53 0.01\n");
    EXPECT_EQ(Warning(20, 2), "");
    EXPECT_EQ(Warning(20, 20), "");
    EXPECT_EQ(Warning(0, 0), "");
}

TEST_F(MappingWarningTest, NamesTheFirstUnusedIdentifiersInFileOrder) {
    Nodes(30);
    // P1 is used by a node; TP53 is listed twice but counts once.
    PValues("TP53 0.01\nP1 0.2\nBRCA1 0.03\nTP53 0.5\nEGFR 0.04\nMYC 0.05\nKRAS 0.06\n"
            "PTEN 0.07\n");
    EXPECT_EQ(Warning(30, 2),
              "Warning: only 2 of 30 nodes found a p-value; the p-value file holds 7 "
              "identifiers, of which 6 match no node (for example TP53, BRCA1, EGFR, MYC, "
              "KRAS)" +
                  std::string(kHint));
}

TEST_F(MappingWarningTest, AFewUnusedIdentifiersAreAllNamed) {
    Nodes(50);
    PValues("P0 0.1\nP1 0.1\nGENE1 0.2\nGENE2 0.3\n");
    EXPECT_EQ(Warning(50, 2),
              "Warning: only 2 of 50 nodes found a p-value; the p-value file holds 4 "
              "identifiers, of which 2 match no node (GENE1, GENE2)" +
                  std::string(kHint));
}

TEST_F(MappingWarningTest, IdentifiersAreShownEscapedAndCut) {
    Nodes(50);
    PValues("P0 0.1\n\x1b[2J\t0.2\n" + std::string(100, 'G') + "\t0.3\n");
    EXPECT_EQ(Warning(50, 1),
              "Warning: only 1 of 50 nodes found a p-value; the p-value file holds 3 "
              "identifiers, of which 2 match no node (\\x1b[2J, " +
                  std::string(kMaxShown, 'G') + "...)" + std::string(kHint));
}

TEST_F(MappingWarningTest, IdentifiersReachedThroughTheAssociationFileAreUsed) {
    Nodes(40);
    associations[scored[5]] = {"ENSP5", "TP53"};
    PValues("TP53 0.01\n");
    EXPECT_EQ(Warning(40, 1),
              "Warning: only 1 of 40 nodes found a p-value; the p-value file holds 1 "
              "identifier" +
                  std::string(kHint));
}

TEST_F(MappingWarningTest, AnEmptyFileIsCountedAsNoIdentifier) {
    Nodes(10);
    PValues("");
    EXPECT_EQ(Warning(10, 0),
              "Warning: only 0 of 10 nodes found a p-value; the p-value file holds 0 "
              "identifiers" +
                  std::string(kHint));
}

}  // namespace
}  // namespace tarnvale
