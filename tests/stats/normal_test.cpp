#include "stats/normal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace tarnvale {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Phi from the C library's erfc, accurate to a few ulps in the lower tail.
double ReferenceCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

TEST(NormInvTest, PublishedQuantilesAndFloatSubstitutesToSixDecimals) {
    EXPECT_EQ(NormInv(0.5), 0.0);
    EXPECT_NEAR(NormInv(0.025), -1.959964, 1e-6);
    EXPECT_NEAR(NormInv(0.975), 1.959964, 1e-6);
    EXPECT_NEAR(NormInv(0.0001), -3.719016, 1e-6);
    EXPECT_NEAR(NormInv(0.9999), 3.719016, 1e-6);
    EXPECT_NEAR(NormInv(0.00001), -4.264891, 1e-6);
    EXPECT_NEAR(NormInv(0.99999), 4.264891, 1e-6);
    // The float substitutes for 0 and 1: 0.9999f and 0.99999f lie below 1 - 1e-4
    // and 1 - 1e-5, so the upper scores are smaller.
    EXPECT_NEAR(NormInv(static_cast<double>(0.0001f)), -3.719016, 1e-6);
    EXPECT_NEAR(NormInv(static_cast<double>(0.9999f)), 3.718975, 1e-6);
    EXPECT_NEAR(NormInv(static_cast<double>(0.00001f)), -4.264891, 1e-6);
    EXPECT_NEAR(NormInv(static_cast<double>(0.99999f)), 4.264588, 1e-6);
}

TEST(NormInvTest, BreakPointPointZeroTwoFourTwoFiveBelongsToTheTail) {
    // The two formulas differ by about 5e-9 here; the values are those of
    // Acklam's tail formula at 0.02425 and his central one at 0.0243.
    EXPECT_NEAR(NormInv(0.02425), -1.972961053530962, 1e-13);
    EXPECT_NEAR(NormInv(0.0243), -1.9720841572098133, 1e-13);
}

TEST(NormInvTest, OutsideTheOpenUnitIntervalIsNaN) {
    for (double p : {0.0, 1.0, -1.0, 2.0, std::nan("")}) EXPECT_TRUE(std::isnan(NormInv(p))) << p;
}

TEST(NormInvTest, InvertsNormCdfToAcklamAccuracy) {
    // One Newton step on NormCdf gives the exact quantile to far better than
    // Acklam's relative error of 1.15e-9.
    for (double p = 1e-10; p < 1.0 - 1e-6; p = p < 0.5 ? p * 1.05 : 1.0 - (1.0 - p) / 1.05) {
        const double z = NormInv(p);
        const double density = std::exp(-z * z / 2.0) / std::sqrt(2.0 * std::numbers::pi);
        const double exact = z - (NormCdf(z) - p) / density;
        ASSERT_NEAR(z, exact, 1.2e-9 * std::fabs(exact) + 1e-15) << "p = " << p;
    }
}

TEST(NormCdfTest, ValuesAcrossTheBreakPointsFromHighPrecisionPhi) {
    EXPECT_EQ(NormCdf(0.0), 0.5);
    EXPECT_NEAR(NormCdf(-1.959964), 0.0249999990964424, 1e-15);
    EXPECT_NEAR(NormCdf(-0.6629126073623883), 0.253693263391031, 1e-14);
    EXPECT_NEAR(NormCdf(-4.0), 3.16712418331199e-5, 1e-15);
    EXPECT_NEAR(NormCdf(-4.0001), 3.16578614868134e-5, 1e-15);
    EXPECT_NEAR(NormCdf(-5.0), 2.86651571879194e-7, 1e-18);
    EXPECT_NEAR(NormCdf(-8.0), 6.22096057427178e-16, 1e-26);
    EXPECT_EQ(NormCdf(5.0), 1.0 - NormCdf(-5.0));
}

TEST(NormCdfTest, FarFormulaStartsAtXFourNotAtTFour) {
    // Cody's middle and far formulas differ by 1.6e-11 relative here; the
    // expected values are each formula evaluated in double on its side of 4.
    EXPECT_NEAR(NormCdf(-4.0), 3.167124183311992e-05, 5e-20);
    EXPECT_NEAR(NormCdf(-4.0001), 3.1657861486299397e-05, 5e-20);
}

TEST(NormCdfTest, SaturatesAndPropagatesNaN) {
    EXPECT_EQ(NormCdf(40.0), 1.0);
    EXPECT_EQ(NormCdf(-40.0), 0.0);
    EXPECT_EQ(NormCdf(kInf), 1.0);
    EXPECT_EQ(NormCdf(-kInf), 0.0);
    EXPECT_TRUE(std::isnan(NormCdf(std::nan(""))));
}

TEST(NormCdfTest, LowerTailWithinTwoE11OfErfcAndSymmetric) {
    for (double x = -37.0; x <= 0.0; x += 0.00037) {
        const double ref = ReferenceCdf(x);
        ASSERT_LE(std::fabs(NormCdf(x) - ref), 2e-11 * ref) << "x = " << x;
        ASSERT_NEAR(NormCdf(x) + NormCdf(-x), 1.0, 1e-15) << "x = " << x;
    }
}

}  // namespace
}  // namespace tarnvale
