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

// Nodes P0..P(nodes-1), each looked up under its own name, except that in
// a network of 40 node 5 is looked up under ENSP5 and TP53.
std::string Warning(int nodes, std::size_t withData, const std::string& pvalueText) {
    Graph graph;
    NodeMap<AssociationList> associations;
    std::vector<NodeId> scored;
    for (int i = 0; i < nodes; ++i) {
        const NodeId n = graph.NewNode();
        associations[n] = {"P" + std::to_string(i)};
        if (nodes == 40 && i == 5) associations[n] = {"ENSP5", "TP53"};
        scored.push_back(n);
    }
    std::istringstream in(pvalueText);
    std::ostringstream ignored;
    const PValueTable pvalues = ReadPValues(in, "p.txt", ignored);
    return MappingWarning(static_cast<std::size_t>(nodes), withData, pvalues, scored, associations);
}

TEST(MappingWarning, NamesTheFirstUnusedIdentifiersWhenFewerThanATenthOfTheNodesHaveData) {
    struct Case {
        int nodes;
        std::size_t withData;
        std::string pvalues, warning;
    };
    const std::vector<Case> cases{
        // A tenth or more is no cause for warning.
        {20, 2, "P0 0.1\nP1 0.2\nTP53 0.01\n", ""},
        {20, 20, "P0 0.1\nP1 0.2\nTP53 0.01\n", ""},
        {0, 0, "", ""},
        // TP53 is listed twice but counts once; at most five are named.
        {30, 2, "TP53 0.01\nP1 0.2\nBRCA1 0.03\nTP53 0.5\nEGFR 0.04\nMYC 0.05\nKRAS 0.06\nPTEN 0.07\n",
         "Warning: only 2 of 30 nodes found a p-value; the p-value file holds 7 identifiers, of "
         "which 6 match no node (for example TP53, BRCA1, EGFR, MYC, KRAS)"},
        {50, 2, "P0 0.1\nP1 0.1\nGENE1 0.2\nGENE2 0.3\n",
         "Warning: only 2 of 50 nodes found a p-value; the p-value file holds 4 identifiers, of "
         "which 2 match no node (GENE1, GENE2)"},
        {50, 1, "P0 0.1\n\x1b[2J\t0.2\n" + std::string(100, 'G') + "\t0.3\n",
         "Warning: only 1 of 50 nodes found a p-value; the p-value file holds 3 identifiers, of "
         "which 2 match no node (\\x1b[2J, " + std::string(kMaxShown, 'G') + "...)"},
        // Identifiers reached through the association file are used.
        {40, 1, "TP53 0.01\n",
         "Warning: only 1 of 40 nodes found a p-value; the p-value file holds 1 identifier"},
        {10, 0, "",
         "Warning: only 0 of 10 nodes found a p-value; the p-value file holds 0 identifiers"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Warning(c.nodes, c.withData, c.pvalues),
                  c.warning.empty() ? "" : c.warning + kHint)
            << c.pvalues;
}

}  // namespace
}  // namespace tarnvale
