// Node scores from p-values, edge scores from edge values, and the warning
// for identifiers that hardly meet the nodes.

#include "search/scoring.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <sstream>

#include "cli/report.hpp"
#include "network/input_text.hpp"
#include "network/mapping_diagnostics.hpp"
#include "stats/normal.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

PValueTable Read(const std::string& text, std::string& printed) {
    std::istringstream in(text);
    std::ostringstream out;
    PValueTable table = ReadPValues(in, "p.txt", out);
    printed = out.str();
    return table;
}

// The warnings each row of the p-value reader's table prints, in order:
// blocks of tests/data/e2e/pvalue_warnings.txt between lines "--".
std::vector<std::string> ExpectedWarnings() {
    std::vector<std::string> blocks{""};
    for (const std::string& line : testing::Split(
             testing::ReadFile(std::string(TARNVALE_TEST_DATA) + "/e2e/pvalue_warnings.txt")))
        if (line == "--")
            blocks.emplace_back();
        else
            blocks.back() += line + "\n";
    return blocks;
}

TEST(ReadPValues, EachLineIsOneRecordAndABadOneIsSkippedWithItsReason) {
    const float tiny = std::numeric_limits<float>::denorm_min();
    struct Row {
        std::string text;
        std::vector<std::string> ids;
        FloatList values;
    };
    // A lone identifier takes nothing from the next line; a third field is
    // counted once; quoted and comma-separated lines are named; values below
    // the float range are read as its smallest value, with one warning; a
    // repeated identifier keeps its first p-value.
    const std::vector<Row> rows{
        {"A\t0.5\nB 0.25 C\nD\n0.125 x\nE 0.2\n\"F\",\"0.1\"\nG,0.3\n",
         {"A", "B", "E"},
         {0.5f, 0.25f, 0.2f}},
        {"A 0\nB 1\nC 0.99999999\n", {"A", "B", "C"}, {0.0001f, 0.9999f, 0.9999f}},
        {"A 1e-300\nB 1e-400\nC 1e-30\n", {"A", "B", "C"}, {tiny, tiny, 1e-30f}},
        {"A 1e-50\nB -1e-400\n", {"A"}, {tiny}},
        {"A 0,05\nB 0.05abc\nC 1.5\nD -0.1\nE nan\nF inf\nG 0x1p-3\nH 0.2\nI", {"H"}, {0.2f}},
        {"\xEF\xBB\xBF"
         "A\t0.01\r\nSep 01\t0.02\r\nA 0.01\nA 0.5\n",
         {"A", "Sep 01", "A", "A"},
         {0.01f, 0.02f, 0.01f, 0.5f}},
    };
    const std::vector<std::string> warnings = ExpectedWarnings();
    ASSERT_EQ(warnings.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        std::string printed;
        const PValueTable t = Read(row.text, printed);
        EXPECT_EQ(t.ids, row.ids) << row.text;
        EXPECT_EQ(t.values, row.values) << row.text;
        EXPECT_EQ(printed, warnings[r]) << row.text;
        EXPECT_EQ(t.first.at(row.ids[0]), 0u);
    }
}

TEST(ScoreNodes, TheMedianOfMinusTheQuantilesOfAllMatchedEntries) {
    struct Row {
        AssociationList entries;
        std::string pvalues;
        double score, tolerance;
    };
    const std::vector<Row> rows{
        {{"X"}, "X 0.05\n", 1.644854, 1e-5},
        {{"X"}, "X 0.01\n", 2.326348, 1e-5},
        {{"X", "Y"}, "X 0.01\nY 0.05\n", 1.985601, 1e-5},
        {{"X", "Y", "Z"}, "X 0.5\nY 0.01\nZ 0.05\n", 1.6448536, 1e-6},
        {{"Q"}, "X 0.5\n", kNoData, 0},
        {{"X"}, "X 0\n", 3.719016, 1e-5},
        {{"X"}, "X 1\n", -3.718975, 1e-5},
        // Far beyond the float range the quantile still grows.
        {{"X"}, "X 1e-30\n", 11.464025, 1e-3},
        {{"X"}, "X 1e-300\n", 14.121427, 1e-3},
    };
    for (const Row& row : rows) {
        NodeMap<AssociationList> associations;
        associations[0] = row.entries;
        std::string printed;
        NodeMap<double> scores;
        ScoreNodes({0}, associations, Read(row.pvalues, printed), scores);
        EXPECT_NEAR(scores.get(0), row.score, row.tolerance) << row.pvalues;
    }
}

// Rank-based normal scores, -NormInv((rank - 1/2) / 8), values from Python's
// statistics.NormalDist: p-values below the float and the double range keep
// their order, a node's p-value is the median of its identifiers', equal
// p-values share their mean rank, and nodes without data take no rank.
TEST(RankNodeScores, OrderOfThePValuesAsReadWithTiesAveraged) {
    std::string printed;
    const PValueTable table =
        Read("a 1e-50\nb 1e-300\nc 1e-5000\nd 4.9e-324\ne 0.5\nf 0.5\ng 0.01\nh1 0.02\nh2 0.04\n",
             printed);
    const std::vector<AssociationList> lists{{"a"}, {"b"}, {"c"},        {"d"},   {"e"},
                                             {"f"}, {"g"}, {"h1", "h2"}, {"none"}};
    const double expected[] = {0.15731068461017067,  0.4887764111146694,  1.5341205443525459,
                               0.8871465590188758,   -1.1503493803760079, -1.1503493803760079,
                               -0.15731068461017067, -0.4887764111146694, kNoData};
    NodeMap<AssociationList> associations;
    NodeMap<double> scores;
    std::vector<NodeId> ids;
    for (std::size_t k = 0; k < lists.size(); ++k) {
        const auto n = static_cast<NodeId>(k);
        associations[n] = lists[k], scores[n] = kNoData;
        ids.push_back(n);
    }
    RankNodeScores(ids, associations, table, scores);
    for (std::size_t k = 0; k < lists.size(); ++k)
        EXPECT_NEAR(scores.get(static_cast<NodeId>(k)), expected[k], 1e-6) << k;
}

TEST(ScoreEdges, ExactZeroAndOneAreClampedAndWrittenBack) {
    Graph g;
    const NodeId a = g.NewNode(), b = g.NewNode(), c = g.NewNode();
    const EdgeId e0 = g.NewEdge(a, b), e1 = g.NewEdge(b, c), e2 = g.NewEdge(a, c);
    EdgeMap<float> values, scores;
    values[e0] = 1.0f, values[e1] = 0.0f, values[e2] = 0.5f;
    const FloatList list = ScoreEdges(g, values, scores);
    EXPECT_EQ(values.get(e0), 0.99999f);
    EXPECT_EQ(values.get(e1), 0.00001f);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_NEAR(list[0], 4.264588, 1e-5);
    EXPECT_NEAR(list[1], -4.264891, 1e-5);
    EXPECT_EQ(list[2], 0.0f);
    EXPECT_EQ(scores.get(e0), list[0]);
    // Far more distinct values than the scores remembered: each edge still
    // gets its own value's score, the very float NormInv gives.
    Graph many;
    EdgeMap<float> manyValues, manyScores;
    const NodeId x = many.NewNode(), y = many.NewNode();
    for (int k = 1; k <= 20000; ++k)
        manyValues[many.NewEdge(x, y)] = static_cast<float>(k) / 20001.0f;
    const FloatList manyList = ScoreEdges(many, manyValues, manyScores);
    for (int k = 0; k < 20000; ++k)
        ASSERT_EQ(manyList[static_cast<std::size_t>(k)],
                  static_cast<float>(NormInv(static_cast<double>(manyValues.get(k)))))
            << k;
}

// The listed p-value is the upper tail 1 - Phi(z), in the far tail too,
// where 1 - Phi(z) in double cancels (to 0 above z of 8.3).
TEST(NodePValue, UpperTailAlsoFarOutWhereItIsNeverZero) {
    const std::pair<double, double> cases[] = {{-3, 0.998650102},     {0, 0.5},
                                               {1, 0.158655254},      {3, 0.00134989803},
                                               {6, 9.86587645e-10},   {6.3, 1.48822822e-10},
                                               {6.5, 4.01600058e-11}, {8.3, 5.20556974e-17},
                                               {13, 6.1171644e-39}};
    for (const auto& [z, p] : cases) EXPECT_NEAR(NodePValue(z), p, p * 1e-5) << z;
}

// Nodes P0..P(nodes-1), each looked up under its own name, except that in
// a network of 40 node 5 is looked up under ENSP5 and TP53.
std::string Warning(int nodes, std::size_t withData, const std::string& pvalueText) {
    Graph graph;
    NodeMap<AssociationList> associations;
    std::vector<NodeId> scored;
    for (int i = 0; i < nodes; ++i) {
        const NodeId n = graph.NewNode();
        std::string id = "P";  // appended: "P" + a temporary trips GCC 12's -Wrestrict at -O3
        id += std::to_string(i);
        associations[n] = {id};
        if (nodes == 40 && i == 5) associations[n] = {"ENSP5", "TP53"};
        scored.push_back(n);
    }
    std::string printed;
    return MappingWarning(static_cast<std::size_t>(nodes), withData, Read(pvalueText, printed),
                          scored, associations);
}

TEST(MappingWarning, NamesTheFirstUnusedIdentifiersWhenFewerThanATenthOfTheNodesHaveData) {
    const std::string hint =
        "; check that node names (or the association file) and p-value identifiers are of the "
        "same kind, e.g. gene symbols against protein ids";
    const std::string only = "Warning: only ";
    struct Row {
        int nodes;
        std::size_t withData;
        std::string pvalues, warning;
    };
    const std::vector<Row> rows{
        // A tenth or more is no cause for warning.
        {20, 2, "P0 0.1\nP1 0.2\nTP53 0.01\n", ""},
        {20, 20, "P0 0.1\nTP53 0.01\n", ""},
        {0, 0, "", ""},
        // TP53 is listed twice but counts once; at most five are named.
        {30, 2,
         "TP53 0.01\nP1 0.2\nBRCA1 0.03\nTP53 0.5\nEGFR 0.04\nMYC 0.05\nKRAS 0.06\nPTEN 0.07\n",
         "2 of 30 nodes found a p-value; the p-value file holds 7 identifiers, of which 6 match no "
         "node (for example TP53, BRCA1, EGFR, MYC, KRAS)"},
        {50, 1, "P0 0.1\n\x1b[2J\t0.2\n" + std::string(100, 'G') + "\t0.3\n",
         "1 of 50 nodes found a p-value; the p-value file holds 3 identifiers, of which 2 match no "
         "node (\\x1b[2J, " +
             std::string(kMaxShown, 'G') + "...)"},
        // Identifiers reached through the association file are used.
        {40, 1, "TP53 0.01\n",
         "1 of 40 nodes found a p-value; the p-value file holds 1 identifier"},
        {10, 0, "", "0 of 10 nodes found a p-value; the p-value file holds 0 identifiers"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Warning(row.nodes, row.withData, row.pvalues),
                  row.warning.empty() ? "" : only + row.warning + hint)
            << row.pvalues;
}

}  // namespace
}  // namespace tarnvale
