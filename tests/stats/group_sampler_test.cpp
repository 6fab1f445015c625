#include "stats/group_sampler.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "stats/statistics.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 271828u;

// Every group score must be GroupScore of the list the same draws give.
void ExpectGroupScoresOfDrawnLists(const FloatList& scores, std::int64_t maxSize,
                                   const std::string& name) {
    const float mean = static_cast<float>(Mean(scores));
    const float sd = 0.75f;
    const GroupSampler sampler(scores, maxSize, mean, sd);
    Random fast(kSeed);
    Random plain(kSeed);
    const auto last = static_cast<std::int32_t>(scores.size() - 1);
    for (std::int64_t size = 1; size <= maxSize; size += 3) {
        FloatList sampled;
        sampler.Sample(size, 40, fast, sampled);
        ASSERT_EQ(sampled.size(), 40u);
        for (int g = 0; g < 40; ++g) {
            FloatList group;
            for (std::int64_t j = 0; j < size; ++j)
                group.push_back(scores[static_cast<std::size_t>(plain.Integer(0, last))]);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(sampled[static_cast<std::size_t>(g)]),
                      std::bit_cast<std::uint32_t>(GroupScore(group, mean, sd)))
                << name << ", size " << size << ", group " << g;
        }
    }
    EXPECT_EQ(fast.NextWord(), plain.NextWord()) << name;
}

TEST(GroupSampler, IntegerSumsGiveGroupScoreOfEveryDrawnList) {
    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<float> z(-3.0f, 3.0f);
    FloatList normal(5000);
    for (float& v : normal) v = z(rng);
    ASSERT_TRUE(GroupSampler(normal, 101, 0, 1).IntegerSums());
    ExpectGroupScoresOfDrawnLists(normal, 101, "normal");
    // Up to the last bit the check allows: 1 and 2^-55 with 2^7 terms fill 63.
    const FloatList edge = {1.0f, -1.0f, 0x1p-55f, 0.75f};
    ASSERT_TRUE(GroupSampler(edge, 128, 0, 1).IntegerSums());
    ExpectGroupScoresOfDrawnLists(edge, 128, "edge of the check");
}

TEST(GroupSampler, OrderDependentSumsAreAddedInDrawOrder) {
    // 2^-40 next to 1 is kept in extended precision and lost in float; with
    // 2^-62 the sums no longer fit 63 bits; the +-1 cancel, so what is left
    // of the small values decides the group score.
    const FloatList tiny = {1.0f, -1.0f, 0x1p-40f, 0x1p-62f, 0.5f, -0.5f};
    ASSERT_FALSE(GroupSampler(tiny, 101, 0, 1).IntegerSums());
    ExpectGroupScoresOfDrawnLists(tiny, 101, "tiny");
    const FloatList wide = {0x1p70f, -0x1p70f, 1.5f, -2.25f, 3.0f};
    ASSERT_FALSE(GroupSampler(wide, 101, 0, 1).IntegerSums());
    ExpectGroupScoresOfDrawnLists(wide, 101, "wide");
}

TEST(GroupSampler, OneScoreDrawsNothing) {
    const FloatList one = {2.5f};
    const GroupSampler sampler(one, 10, 2.5f, 1);
    Random rng(kSeed);
    Random untouched(kSeed);
    FloatList sampled;
    sampler.Sample(10, 3, rng, sampled);
    EXPECT_EQ(sampled, FloatList(3, GroupScore(FloatList(10, 2.5f), 2.5f, 1)));
    EXPECT_EQ(rng.NextWord(), untouched.NextWord());
}

}  // namespace
}  // namespace tarnvale
