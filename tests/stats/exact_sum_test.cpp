#include "stats/exact_sum.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "stats/statistics.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 5150u;

SumExactness Check(const std::vector<float>& v, std::uint64_t terms, int bits) {
    return CheckSumExactness(v.data(), v.size(), terms, bits);
}

TEST(SumExactness, BitsNeededAreTermsPlusSpanFromLowestToHighestBit) {
    // 1 and 2^-39 span 40 bits (2^0 down to 2^-39): 2^24 terms fit in 64
    // bits, one more term needs a 65th.
    const std::vector<float> v = {1.0f, 0x1p-39f};
    EXPECT_TRUE(Check(v, std::uint64_t{1} << 24, 64).exact);
    EXPECT_FALSE(Check(v, (std::uint64_t{1} << 24) + 1, 64).exact);
    EXPECT_FALSE(Check(v, std::uint64_t{1} << 24, 63).exact);
    EXPECT_EQ(Check(v, 2, 64).unitExponent, -39);
    // The lowest set bit counts, not the last bit of the format: 3 * 2^-40
    // has its lowest bit at 2^-40.
    EXPECT_EQ(Check({3.0f * 0x1p-40f, 8.0f}, 2, 64).unitExponent, -40);
    // Subnormal values have their lowest bit as low as 2^-149.
    EXPECT_EQ(Check({std::numeric_limits<float>::denorm_min(), 0.0f}, 2, 64).unitExponent, -149);
}

TEST(SumExactness, ZerosAddNothingAndNonFiniteValuesAreNeverExact) {
    EXPECT_TRUE(Check({0.0f, -0.0f, 0.0f}, 1000, 64).exact);
    EXPECT_TRUE(Check({}, 1000, 64).exact);
    EXPECT_TRUE(Check({0.0f, 1.5f, -0.0f}, 1000, 64).exact);
    EXPECT_FALSE(Check({1.0f, std::numeric_limits<float>::infinity()}, 2, 64).exact);
    EXPECT_FALSE(Check({1.0f, std::numeric_limits<float>::quiet_NaN()}, 2, 64).exact);
}

TEST(SumExactness, ExactListsSumAlikeInEveryOrderAndOthersNeedNot) {
    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<float> z(-4.0f, 4.0f);
    std::vector<float> normal(5000);
    for (float& v : normal) v = z(rng);
    ASSERT_TRUE(Check(normal, normal.size(), 64).exact);
    const Extended inOrder = Sum(normal);
    for (int shuffle = 0; shuffle < 20; ++shuffle) {
        std::shuffle(normal.begin(), normal.end(), rng);
        ASSERT_EQ(Sum(normal), inOrder);
    }
    // Removing values again by subtraction gives the sum of the rest.
    Extended rest = inOrder;
    for (std::size_t k = 0; k < 2500; ++k) rest -= normal[k];
    EXPECT_EQ(rest, Sum(std::vector<float>(normal.begin() + 2500, normal.end())));

    // 1 + 2^-64 - 1 loses the small value in one order and not in another.
    const std::vector<float> wide = {1.0f, 0x1p-64f, -1.0f};
    EXPECT_FALSE(Check(wide, wide.size(), 64).exact);
    EXPECT_NE(Sum(wide), Sum({1.0f, -1.0f, 0x1p-64f}));
}

TEST(GroupScoreOfSum, MatchesGroupScoreOfTheListBitForBit) {
    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<float> z(-5.0f, 5.0f);
    for (int round = 0; round < 2000; ++round) {
        FloatList v(1 + rng() % 300);
        for (float& x : v) x = z(rng);
        const float mean = z(rng) / 5;
        const float sd = 0.2f + std::abs(z(rng));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(GroupScoreOfSum(Sum(v), v.size(), mean, sd)),
                  std::bit_cast<std::uint32_t>(GroupScore(v, mean, sd)))
            << "round " << round;
    }
    EXPECT_EQ(GroupScoreOfSum(0, 0, 1, 1), GroupScore({}, 1, 1));
}

}  // namespace
}  // namespace tarnvale
