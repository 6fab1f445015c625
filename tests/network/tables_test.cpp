#include "network/tables.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "base/run_error.hpp"

namespace tarnvale {
namespace {

using Fields = std::vector<std::string>;

TEST(Trim, RemovesOnlySpacesTabsAndCarriageReturns) {
    EXPECT_EQ(trim(" \t\rA B\r\t "), "A B");
    EXPECT_EQ(trim("\nA\v"), "\nA\v");
    EXPECT_EQ(trim(" \t\r"), "");
    EXPECT_EQ(trim(""), "");
}

TEST(SplitLine, TabRunsAndOuterTabsActAsOneSeparator) {
    EXPECT_EQ(SplitLine("A\tY1\tY2", "\t"), (Fields{"A", "Y1", "Y2"}));
    EXPECT_EQ(SplitLine("A\t\tY1", "\t"), (Fields{"A", "Y1"}));
    EXPECT_EQ(SplitLine("\tA\tY1\t\r", "\t"), (Fields{"A", "Y1"}));
    EXPECT_EQ(SplitLine(" A \t Y 1 ", "\t"), (Fields{"A", "Y 1"}));
}

TEST(SplitLine, LineWithoutInnerDelimiterIsOneUntouchedField) {
    EXPECT_EQ(SplitLine("A\t", "\t"), (Fields{"A\t"}));
    EXPECT_EQ(SplitLine("A\r", "\t"), (Fields{"A\r"}));
    EXPECT_EQ(SplitLine("\tA", "\t"), (Fields{"\tA"}));
    EXPECT_EQ(SplitLine("   ", "\t"), (Fields{"   "}));
}

TEST(SplitLine, EmptyDelimiterMeansSpace) {
    EXPECT_EQ(SplitLine("A  B", ""), (Fields{"A", "B"}));
    EXPECT_EQ(SplitLine("A\tB", ""), (Fields{"A\tB"}));
}

TEST(ReadMatrix, ReadsFromTheStartAndSkipsOnlyEmptyLines) {
    std::istringstream in("A\tY1\n\n  \nB\tY2\tY3\n");
    std::string ignored;
    while (std::getline(in, ignored)) {
    }
    const Matrix matrix = ReadMatrix(in, "\t");
    EXPECT_EQ(matrix, (Matrix{{"A", "Y1"}, {"  "}, {"B", "Y2", "Y3"}}));
}

TEST(ReadMatrix, DropsAByteOrderMark) {
    std::istringstream in(
        "\xEF\xBB\xBF"
        "A\tY1\n");
    EXPECT_EQ(ReadMatrix(in, "\t"), (Matrix{{"A", "Y1"}}));
    std::istringstream markOnly("\xEF\xBB\xBF\n");
    EXPECT_TRUE(ReadMatrix(markOnly, "\t").empty());
}

void ExpectColumnError(const Matrix& matrix, std::size_t column) {
    try {
        get_column(matrix, column);
        ADD_FAILURE() << "get_column did not throw";
    } catch (const RunError& error) {
        EXPECT_STREQ(error.what(),
                     "\nError:get_column:column index exceeds matrix size:giving up..");
        EXPECT_EQ(error.status(), 1);
    }
}

TEST(GetColumn, ReturnsTheFieldOfEveryRow) {
    const Matrix matrix{{"A", "Y1"}, {"B", "Y2", "Y3"}};
    EXPECT_EQ(get_column(matrix, 0), (Fields{"A", "B"}));
    EXPECT_EQ(get_column(matrix, 1), (Fields{"Y1", "Y2"}));
}

TEST(GetColumn, EmptyMatrixOrShortRowStopsTheRun) {
    ExpectColumnError({}, 0);
    ExpectColumnError({{"A"}}, 1);
    ExpectColumnError({{"A", "Y1"}, {"B"}}, 1);
}

}  // namespace
}  // namespace tarnvale
