#include "stats/statistics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace tarnvale {
namespace {

const std::string kMsdMessage = "\nError:StdDev(vector<T> v):MSD=0; returning 0\n";
const std::string kPowerFitConstants =
    "\nError: PowerFit: zero or negative values in data, returning constants instead\n";
const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(SumTest, ExtendedPrecisionKeepsOneBesideTwoToTheSixtyMeanOfEmptyIsNaN) {
    // Lost in double (53-bit mantissa), kept in the 64-bit extended mantissa.
    const float big = std::ldexp(1.0f, 60);
    EXPECT_EQ(Sum({big, 1.0f, -big}), 1.0L);
    EXPECT_EQ(SumPow({1.0f, 2.0f, 3.0f}, 3), 36.0L);
    EXPECT_EQ(Mean({1.0f, 2.0f}), 1.5L);
    EXPECT_TRUE(std::isnan(Mean({})));
}

TEST(SumTest, SumProductFormsEachProductInFloat) {
    // (1 + 2^-12)^2 = 1 + 2^-11 + 2^-24; the 2^-24 is lost per product in
    // float, but three of them in a wider sum would round the total up.
    const float a = 1.0f + std::ldexp(1.0f, -12);
    EXPECT_EQ(SumProduct({a, a, a}, {a, a, a}), 3.0f + 3.0f * std::ldexp(1.0f, -11));
}

TEST(StdDevTest, SampleDeviationWithDivisorNMinusOne) {
    std::ostringstream log;
    EXPECT_DOUBLE_EQ(StdDev({1, 2, 3}, log), 1.0);
    EXPECT_NEAR(StdDev({2, 4, 4, 4, 5, 5, 7, 9}, log), 2.1380899353, 1e-9);  // population: 2
    EXPECT_EQ(log.str(), "");
}

TEST(StdDevTest, ZeroSilentlyBelowTwoValuesWithMsdMessageForEqualFives) {
    std::ostringstream log;
    EXPECT_EQ(StdDev({5}, log), 0.0);
    EXPECT_EQ(StdDev({}, log), 0.0);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(StdDev({5, 5, 5}, log), 0.0);
    EXPECT_EQ(log.str(), kMsdMessage);
}

TEST(StdDevTest, StdDevOfEqualTenthsIsTinyNotZero) {
    // Squares rounded to float do not cancel against the double square of the sum.
    std::ostringstream log;
    EXPECT_NEAR(StdDev({0.1f, 0.1f, 0.1f}, log), 2.47925976e-5, 1e-13);
    // For 0.3 the residue is negative (-5.36e-9); its absolute value is used.
    EXPECT_NEAR(StdDev({0.3f, 0.3f, 0.3f}, log), 7.32421890e-5, 1e-13);
    EXPECT_EQ(log.str(), "");
}

TEST(MedianTest, OddEvenAndEmpty) {
    const FloatList v = {4, 1, 3, 2};
    EXPECT_EQ(Median(v), 2.5f);
    EXPECT_EQ(v, (FloatList{4, 1, 3, 2}));
    EXPECT_EQ(Median({3, 1, 2}), 2.0f);
    EXPECT_EQ(Median({7}), 7.0f);
    EXPECT_EQ(Median({}), 0.0f);
}

TEST(GroupScoreTest, StandardizedSumAgainstMeanAndSd) {
    EXPECT_EQ(GroupScore({1, 1, 1, 1}, 0.0f, 1.0f), 2.0f);  // 4 / sqrt 4
    // (8 - 2 * 1) / (2 * sqrt 2) = 3 / sqrt 2
    EXPECT_FLOAT_EQ(GroupScore({3, 5}, 1.0f, 2.0f), 3.0f / std::sqrt(2.0f));
    EXPECT_EQ(GroupScore({}, 0.0f, 1.0f), -10000.0f);
}

TEST(AnyNonPositiveTest, ZeroCountsNaNDoesNot) {
    EXPECT_TRUE(AnyNonPositive({1, 0}));
    EXPECT_TRUE(AnyNonPositive({-0.0f}));
    EXPECT_FALSE(AnyNonPositive({1, kNaN}));
    EXPECT_FALSE(AnyNonPositive({}));
}

TEST(LinearFitTest, ExactLinesAndSizeMismatch) {
    std::ostringstream log;
    float slope = 0, intercept = 0;
    LinearFit({1, 2, 3}, {2, 4, 6}, slope, intercept, log);
    EXPECT_EQ(slope, 2.0f);
    EXPECT_EQ(intercept, 0.0f);
    LinearFit({1, 2, 3}, {3, 5, 7}, slope, intercept, log);
    EXPECT_EQ(slope, 2.0f);
    EXPECT_EQ(intercept, 1.0f);
    EXPECT_EQ(log.str(), "");

    LinearFit({1, 2, 3}, {3, 5}, slope, intercept, log);
    EXPECT_EQ(log.str(), "\nError: LinearFit: Size of x and y data doesnt agree\n");
    EXPECT_EQ(slope, 2.0f);
    EXPECT_EQ(intercept, 1.0f);
}

TEST(PowerFitTest, LawsToSinglePrecision) {
    std::ostringstream log;
    float e = 0, c = 0;
    PowerFit({2, 4, 8}, {3, 6, 12}, e, c, log);
    EXPECT_NEAR(e, 1.0f, 1e-6f);
    EXPECT_NEAR(c, 1.5f, 1e-6f);
    PowerFit({1, 2, 4}, {5, 5, 5}, e, c, log);
    EXPECT_NEAR(e, 0.0f, 1e-6f);
    EXPECT_NEAR(c, 5.0f, 1e-6f);
    EXPECT_EQ(log.str(), "");
}

TEST(PowerFitTest, ZeroInYOrXFallsBackToMeanOfY) {
    std::ostringstream log;
    float e = 9, c = 9;
    PowerFit({1, 2, 3}, {0.5f, 0, 0.7f}, e, c, log);
    EXPECT_EQ(e, 0.0f);
    EXPECT_FLOAT_EQ(c, 0.4f);
    EXPECT_EQ(log.str(), kPowerFitConstants);

    log.str("");
    PowerFit({0, 2, 3}, {1, 2, 4}, e, c, log);
    EXPECT_EQ(e, 0.0f);
    EXPECT_FLOAT_EQ(c, 7.0f / 3.0f);
    EXPECT_EQ(log.str(), kPowerFitConstants);  // once, and nothing from LinearFit
}

TEST(PowerFitTest, SizeMismatchAbortsLeavingOutputs) {
    std::ostringstream log;
    float e = 9, c = 8;
    PowerFit({1, 2, 3}, {1, 2}, e, c, log);
    EXPECT_EQ(log.str(), "\nError: PowerFit: Size of x and y data doesnt agree, aborting\n");
    EXPECT_EQ(e, 9.0f);
    EXPECT_EQ(c, 8.0f);
}

TEST(PowerFitTest, EmptyListsGiveNaNSilently) {
    std::ostringstream log;
    float e = 0, c = 0;
    PowerFit({}, {}, e, c, log);
    EXPECT_TRUE(std::isnan(e));
    EXPECT_TRUE(std::isnan(c));
    EXPECT_EQ(log.str(), "");
}

}  // namespace
}  // namespace tarnvale
