// Node scores from p-values and edge scores from edge values.

#include "cli/scoring.hpp"
#include "cli/report.hpp"
#include "stats/normal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace tarnvale {
namespace {

PValueTable Read(const std::string& text, std::string* printed = nullptr) {
    std::istringstream in(text);
    std::ostringstream out;
    PValueTable table = ReadPValues(in, "p.txt", out);
    if (printed) *printed = out.str();
    return table;
}

TEST(ReadPValues, EachLineIsOneRecord) {
    // A lone identifier is reported at its own line and takes nothing from
    // the next; a third field is counted once and loses no row.
    std::string printed;
    const auto t = Read("A\t0.5\nB 0.25 C\nD\n0.125 x\nE 0.2\n\"F\",\"0.1\"\nG,0.3\n", &printed);
    ASSERT_EQ(t.ids, (std::vector<std::string>{"A", "B", "E"}));
    EXPECT_EQ(t.values, (FloatList{0.5f, 0.25f, 0.2f}));
    EXPECT_EQ(printed,
              "Warning: p.txt:3: identifier 'D' has no p-value; line skipped\n"
              "Warning: p.txt:4: p-value 'x' of '0.125' is not a number; line skipped\n"
              "Warning: p.txt:6: is a quoted CSV line; save the file as tab-delimited text; "
              "line skipped\n"
              "Warning: p.txt:7: 'G,0.3' is comma-separated (CSV); save the file as "
              "tab-delimited text; line skipped\n"
              "Warning: p.txt: 1 line has more than two fields; only the first two are read\n");
}

TEST(ReadPValues, ExactZeroAndOneAreClampedToTheFloatNearestTheirStandIns) {
    const auto t = Read("A 0\nB 1\nC 0.99999999\n");
    EXPECT_EQ(t.values, (FloatList{0.0001f, 0.9999f, 0.9999f}));
}

TEST(ReadPValues, ValuesBelowTheFloatRangeRankAboveEveryRepresentableOne) {
    const auto t = Read("A 1e-300\nB 1e-400\nC 1e-30\n");
    const float tiny = std::numeric_limits<float>::denorm_min();
    EXPECT_EQ(t.values, (FloatList{tiny, tiny, 1e-30f}));
}

TEST(ReadPValues, AHeaderLineIsSkippedWithAWarningAndReadingGoesOn) {
    std::string printed;
    const auto t = Read("gene\tpvalue\nA\t0.01\n", &printed);
    EXPECT_EQ(t.ids, (std::vector<std::string>{"A"}));
    EXPECT_EQ(printed,
              "Warning: p.txt:1: p-value 'pvalue' of 'gene' is not a number; line skipped\n");
}

TEST(ReadPValues, BadNumbersAreSkippedLineByLine) {
    std::string printed;
    const auto t = Read("A 0,05\nB 0.05abc\nC 1.5\nD -0.1\nE nan\nF inf\nG 0x1p-3\nH 0.2\n",
                        &printed);
    EXPECT_EQ(t.ids, (std::vector<std::string>{"H"}));
    EXPECT_EQ(printed,
              "Warning: p.txt:1: p-value '0,05' of 'A' is not a number; line skipped\n"
              "Warning: p.txt:2: p-value '0.05abc' of 'B' is not a number; line skipped\n"
              "Warning: p.txt:3: p-value 1.5 of 'C' lies outside [0, 1]; line skipped\n"
              "Warning: p.txt:4: p-value -0.1 of 'D' lies outside [0, 1]; line skipped\n"
              "Warning: p.txt:5: p-value nan of 'E' lies outside [0, 1]; line skipped\n"
              "Warning: p.txt:6: p-value inf of 'F' lies outside [0, 1]; line skipped\n"
              "Warning: p.txt:7: p-value '0x1p-3' of 'G' is not a number; line skipped\n");
}

TEST(ReadPValues, ALastIdentifierWithoutValueIsReported) {
    std::string printed;
    const auto t = Read("A 0.1\nB", &printed);
    EXPECT_EQ(t.ids.size(), 1u);
    EXPECT_EQ(printed, "Warning: p.txt:2: identifier 'B' has no p-value; line skipped\n");
}

TEST(ReadPValues, FirstOccurrenceOfAnIdentifierWins) {
    const auto t = Read("A 0.01\nA 0.5\n");
    EXPECT_EQ(t.first.at("A"), 0u);
}

TEST(ReadPValues, ByteOrderMarkAndCarriageReturnsDoNotHideTheFirstIdentifier) {
    const auto t = Read("\xEF\xBB\xBF" "A\t0.01\r\nB\t0.02\r\n");
    EXPECT_EQ(t.ids, (std::vector<std::string>{"A", "B"}));
}

class ScoreNodesTest : public ::testing::Test {
protected:
    double Score(const AssociationList& entries, const std::string& file) {
        NodeMap<AssociationList> associations;
        associations[0] = entries;
        std::istringstream in(file);
        std::ostringstream out;
        const auto table = ReadPValues(in, "p.txt", out);
        NodeMap<double> scores;
        ScoreNodes({0}, associations, table, scores);
        return scores.get(0);
    }
};

TEST_F(ScoreNodesTest, OneMatchedEntryGivesMinusItsQuantile) {
    EXPECT_NEAR(Score({"X"}, "X 0.05\n"), 1.645, 5e-4);
    EXPECT_NEAR(Score({"X"}, "X 0.01\n"), 2.32635, 1e-5);
}

TEST_F(ScoreNodesTest, TwoEntriesGiveTheMeanOfTheirZValues) {
    EXPECT_NEAR(Score({"X", "Y"}, "X 0.01\nY 0.05\n"), 1.986, 5e-4);
}

TEST_F(ScoreNodesTest, ThreeEntriesGiveTheMiddleZValue) {
    EXPECT_FLOAT_EQ(static_cast<float>(Score({"X", "Y", "Z"}, "X 0.5\nY 0.01\nZ 0.05\n")),
                    1.6448536f);
}

TEST_F(ScoreNodesTest, NoMatchIsTheNoDataMarker) {
    EXPECT_EQ(Score({"Q"}, "X 0.5\n"), kNoData);
}

TEST_F(ScoreNodesTest, ClampedExtremesGiveTheKnownScores) {
    EXPECT_NEAR(Score({"X"}, "X 0\n"), 3.719016, 1e-5);
    EXPECT_NEAR(Score({"X"}, "X 1\n"), -3.718975, 1e-5);
}

TEST_F(ScoreNodesTest, GwasSizedPValueScoresHigherThanOneInTenToTheThirty) {
    EXPECT_GT(Score({"X"}, "X 1e-300\n"), Score({"X"}, "X 1e-30\n"));
    EXPECT_TRUE(std::isfinite(Score({"X"}, "X 1e-300\n")));
}

TEST(ScoreEdges, ExactZeroAndOneAreClampedAndWrittenBack) {
    Graph g;
    const NodeId a = g.NewNode(), b = g.NewNode(), c = g.NewNode();
    const EdgeId e0 = g.NewEdge(a, b), e1 = g.NewEdge(b, c), e2 = g.NewEdge(a, c);
    EdgeMap<float> values, scores;
    values[e0] = 1.0f;
    values[e1] = 0.0f;
    values[e2] = 0.5f;
    const FloatList list = ScoreEdges(g, values, scores);
    EXPECT_EQ(values.get(e0), 0.99999f);
    EXPECT_EQ(values.get(e1), 0.00001f);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_NEAR(list[0], 4.264588, 1e-5);
    EXPECT_NEAR(list[1], -4.264891, 1e-5);
    EXPECT_EQ(list[2], 0.0f);
    EXPECT_EQ(scores.get(e0), list[0]);
}

}  // namespace
}  // namespace tarnvale

namespace tarnvale {
namespace {

TEST(ReadPValues, TabDelimitedIdentifiersMayHoldSpaces) {
    std::string printed;
    const auto t = Read("FERMT3\t0.0772727\nSep 01\t0.0774711\nNKX2-3\t0.0775649\n", &printed);
    EXPECT_EQ(t.ids, (std::vector<std::string>{"FERMT3", "Sep 01", "NKX2-3"}));
    EXPECT_EQ(printed, "");
}

// The listed p-value is 1 - Phi(z) wherever that is at least 1e-10, and
// Phi(-z) in the far tail, where 1 - Phi(z) cancels (to 0 above z of 8.3).
TEST(NodePValue, UpperTailExceptFarOutWhereItIsNeverZero) {
    for (double z : {-3.0, 0.0, 1.0, 3.0, 6.0, 6.3}) {
        const double upper = 1.0 - NormCdf(z);
        ASSERT_GE(upper, 1e-10) << z;
        EXPECT_EQ(NodePValue(z), static_cast<float>(upper)) << z;
    }
    for (double z : {6.5, 8.3, 9.0, 12.0, 13.0}) {
        EXPECT_LT(1.0 - NormCdf(z), 1e-10) << z;
        EXPECT_EQ(NodePValue(z), static_cast<float>(NormCdf(-z))) << z;
        EXPECT_GT(NodePValue(z), 0.0f) << z;
    }
}

}  // namespace
}  // namespace tarnvale
