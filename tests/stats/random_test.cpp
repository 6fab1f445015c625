#include "stats/random.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ctime>
#include <limits>
#include <random>

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 20240611u;

// The reference generator as our own should look after its 37 discarded words.
std::mt19937 ReferenceAfterDiscard(std::uint32_t seed) {
    std::mt19937 mt(seed);
    mt.discard(37);
    return mt;
}

TEST(RandomTest, TenThousandthMt19937OutputOfSeed5489Is4123659995) {
    // The published check value counts from the first output; ours skips 37.
    Random rng(5489u);
    for (int i = 38; i < 10000; ++i) rng.NextWord();
    EXPECT_EQ(rng.NextWord(), 4123659995u);
}

TEST(RandomTest, WordsEqualStdMt19937FromThe38thOn) {
    Random rng(kSeed);
    std::mt19937 reference = ReferenceAfterDiscard(kSeed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(rng.NextWord(), reference()) << "word " << i;
}

TEST(Mt19937Test, MillionsOfWordsEqualStdMt19937ForSeveralSeeds) {
    // Across thousands of regenerations of the state, including the seeds at
    // both ends of the range.
    for (std::uint32_t seed : {kSeed, 0u, 5489u, 0xffffffffu}) {
        Mt19937 ours(seed);
        std::mt19937 reference(seed);
        for (int i = 0; i < 2'500'000; ++i) ASSERT_EQ(ours(), reference()) << "seed " << seed << ", word " << i;
    }
}

TEST(Mt19937Test, WordRunsAcrossBlockEdgesContinueTheSequence) {
    Mt19937 ours(kSeed);
    std::mt19937 reference(kSeed);
    std::mt19937 lengths(kSeed + 1);
    for (int run = 0; run < 400; ++run) {
        const std::uint64_t length = lengths() % 1500;  // often more than a block
        std::uint64_t seen = 0;
        ours.ForEachWord(length, [&](std::uint32_t word) {
            ASSERT_EQ(word, reference()) << "run " << run;
            ++seen;
        });
        ASSERT_EQ(seen, length);
        ASSERT_EQ(ours(), reference()) << "single word after run " << run;
    }
}

TEST(RandomTest, IndexRunsGiveWhatIntegerGives) {
    // ForEachIndex(last, count) must be count calls of Integer(0, last), for
    // one-value ranges (no word drawn), the widest range (clamped at the
    // top) and runs that cross block edges.
    const std::int32_t lasts[] = {0, 1, 2, 999, 24999, std::numeric_limits<std::int32_t>::max()};
    Random runs(kSeed);
    Random single(kSeed);
    std::mt19937 lengths(kSeed + 2);
    for (int round = 0; round < 300; ++round) {
        const std::int32_t last = lasts[round % 6];
        const std::uint64_t count = lengths() % 1300;
        std::uint64_t seen = 0;
        runs.ForEachIndex(last, count, [&](std::int32_t index) {
            ASSERT_EQ(index, single.Integer(0, last)) << "round " << round << ", last " << last;
            ++seen;
        });
        ASSERT_EQ(seen, count);
        ASSERT_EQ(runs.NextWord(), single.NextWord()) << "round " << round;
    }
}

TEST(RandomTest, IntegerZeroOneIsOneExactlyWhenUniformIsAtLeastHalf) {
    // Two generators of one seed: one draws integers, its twin the uniforms.
    Random integers(kSeed);
    Random uniforms(kSeed);
    for (int i = 0; i < 2000; ++i) {
        const double u = uniforms.Uniform();
        ASSERT_EQ(integers.Integer(0, 1), u >= 0.5 ? 1 : 0) << "u = " << u;
    }
}

TEST(RandomTest, DegenerateRangesDrawNothing) {
    Random rng(kSeed);
    std::mt19937 reference = ReferenceAfterDiscard(kSeed);
    EXPECT_EQ(rng.Integer(0, 0), 0);
    EXPECT_EQ(rng.Integer(-7, -7), -7);
    EXPECT_EQ(rng.Integer(3, 2), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(rng.NextWord(), reference());  // no word was consumed above
}

TEST(RandomTest, IntegerHitsEveryValueOfANegativeRange) {
    // Truncation toward zero would almost never give -3 and fold [-1, 1) onto 0.
    Random rng(kSeed);
    std::array<int, 7> counts{};
    for (int i = 0; i < 7000; ++i) {
        const std::int32_t r = rng.Integer(-3, 3);
        ASSERT_GE(r, -3);
        ASSERT_LE(r, 3);
        ++counts[static_cast<std::size_t>(r + 3)];
    }
    for (int c : counts) EXPECT_NEAR(c, 1000, 150);
}

TEST(RandomTest, IntegerStaysInRangeAtTheInt32Limits) {
    Random rng(kSeed);
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    bool sawNonMin = false;
    for (int i = 0; i < 1000; ++i) {
        const std::int32_t top = rng.Integer(hi - 1, hi);
        EXPECT_TRUE(top == hi - 1 || top == hi);
        sawNonMin = sawNonMin || rng.Integer(lo, hi) != lo;  // full width, 2^32 values
    }
    EXPECT_TRUE(sawNonMin);
}

TEST(SeedSourceTest, FixedSeedWinsElseCalendarSeconds) {
    EXPECT_EQ((SeedSource{kSeed}.Next()), kSeed);
    const auto before = static_cast<std::uint32_t>(std::time(nullptr));
    const std::uint32_t seed = SeedSource{}.Next();
    const auto after = static_cast<std::uint32_t>(std::time(nullptr));
    EXPECT_GE(seed, before);
    EXPECT_LE(seed, after);
}

}  // namespace
}  // namespace tarnvale
