#include "stats/background_model.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "stats/exact_sum.hpp"
#include "stats/normal.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 77031u;

const std::string kHeader = "\nCalculating background scores..\n\nMean(data)= 2\nStdDev(data)= 1";
const std::string kPowerFitConstants =
    "\nError: PowerFit: zero or negative values in data, returning constants instead\n";
const FloatList kOneTwoThree = {1, 2, 3};

// How many words CalculateBackground drew from a generator of kSeed: the
// generator's next word is located in the reference sequence.
long WordsDrawn(Random& rng) {
    std::mt19937 reference(kSeed);
    reference.discard(37);
    const std::uint32_t next = rng.NextWord();
    for (long n = 0; n < 100000; ++n) {
        if (reference() == next) return n;
    }
    return -1;
}

TEST(CalculateBackgroundTest, ScoresOneTwoThreePrintExactlyTheHeaderBlock) {
    Random rng(kSeed);
    std::ostringstream out;
    const auto r = CalculateBackground(kOneTwoThree, 0, 10, rng, out);
    EXPECT_EQ(out.str(), kHeader);  // kmax 0: no size, and the empty fit is silent
    EXPECT_EQ(r[0], 2.0f);
    EXPECT_EQ(r[1], 1.0f);
    EXPECT_TRUE(std::isnan(r[2]));
    EXPECT_TRUE(std::isnan(r[3]));
    EXPECT_TRUE(std::isnan(r[4]));
}

TEST(CalculateBackgroundTest, SizesTwoToKmaxPlusOneShowInDrawCounts) {
    struct Case {
        int kmax, imax;
        long draws;
    };
    // kmax 5 samples sizes 2, 4, 6; kmax 1 only size 2; kmax 100 sizes 2..100.
    for (const Case c : {Case{5, 3, 3 * 12}, Case{1, 4, 4 * 2}, Case{0, 5, 0},
                         Case{100, 1, 2550}, Case{-3, 5, 0}}) {
        Random rng(kSeed);
        std::ostringstream out;
        CalculateBackground(kOneTwoThree, c.kmax, c.imax, rng, out);
        EXPECT_EQ(WordsDrawn(rng), c.draws) << "kmax " << c.kmax << ", imax " << c.imax;
    }
}

TEST(CalculateBackgroundTest, OneGroupPerSizeFallsBackToConstantZeroLaw) {
    Random rng(kSeed);
    std::ostringstream out;
    const auto r = CalculateBackground(kOneTwoThree, 5, 1, rng, out);
    EXPECT_EQ(out.str(), kHeader + kPowerFitConstants);  // single-value StdDev is silent
    EXPECT_TRUE(std::isfinite(r[2]));
    EXPECT_EQ(r[3], 0.0f);
    EXPECT_EQ(r[4], 0.0f);
}

TEST(CalculateBackgroundTest, NoGroupsGiveNaNMeanAndConstantZeroLaw) {
    Random rng(kSeed);
    std::ostringstream out;
    const auto r = CalculateBackground(kOneTwoThree, 5, 0, rng, out);
    EXPECT_EQ(out.str(), kHeader + kPowerFitConstants);
    EXPECT_TRUE(std::isnan(r[2]));
    EXPECT_EQ(r[3], 0.0f);
    EXPECT_EQ(r[4], 0.0f);
}

TEST(CalculateBackgroundTest, SingleScoreHasZeroSdAndDrawsNothing) {
    Random rng(kSeed);
    std::ostringstream out;
    const auto r = CalculateBackground({2.5f}, 4, 3, rng, out);
    EXPECT_EQ(r[0], 2.5f);
    EXPECT_EQ(r[1], 0.0f);
    EXPECT_EQ(out.str().find("MSD"), std::string::npos);
    EXPECT_EQ(WordsDrawn(rng), 0);
}

TEST(CalculateBackgroundTest, EmptyScoresAreRefusedBeforeAnyOutput) {
    Random rng(kSeed);
    std::ostringstream out;
    EXPECT_THROW(CalculateBackground({}, 4, 3, rng, out), std::invalid_argument);
    EXPECT_EQ(out.str(), "");
}

TEST(CalculateBackgroundTest, NormalScoresGiveUnitSpreadAtEverySize) {
    // Group scores standardize sums of random members, so their spread is 1
    // (up to the n / (n - 1) of the sample sd) for every size: law 1 * k^0.
    FloatList scores;
    for (int i = 1; i <= 999; ++i) scores.push_back(static_cast<float>(NormInv(i / 1000.0)));
    Random rng(kSeed);
    std::ostringstream out;
    const auto r = CalculateBackground(scores, 20, 2000, rng, out);
    EXPECT_NEAR(r[0], 0.0f, 1e-6f);
    EXPECT_NEAR(r[2], 0.0f, 0.02f);
    EXPECT_NEAR(r[3], 0.0f, 0.02f);
    EXPECT_NEAR(r[4], 1.0f, 0.03f);
}

// The background build drawn the plain way: every group built as a list and
// scored with GroupScore.
std::array<float, 5> ReferenceBackground(const FloatList& scores, int kmax, int imax, Random& rng,
                                         std::ostream& out) {
    out << '\n' << "Calculating background scores.." << '\n';
    const auto mean = static_cast<float>(Mean(scores));
    const auto sd = static_cast<float>(StdDev(scores, out));
    out << '\n' << "Mean(data)= " << mean << '\n' << "StdDev(data)= " << sd;
    const auto last = static_cast<std::int32_t>(scores.size() - 1);
    FloatList sizes, sds, means;
    for (std::int64_t k = 2; k < static_cast<std::int64_t>(kmax) + 2; k += 2) {
        sizes.push_back(static_cast<float>(k));
        FloatList groupScores;
        for (int i = 0; i < imax; ++i) {
            FloatList group;
            for (std::int64_t j = 0; j < k; ++j)
                group.push_back(scores[static_cast<std::size_t>(rng.Integer(0, last))]);
            groupScores.push_back(GroupScore(group, mean, sd));
        }
        sds.push_back(static_cast<float>(StdDev(groupScores, out)));
        means.push_back(static_cast<float>(Mean(groupScores)));
    }
    float exponent = 0, coefficient = 0;
    PowerFit(sizes, sds, exponent, coefficient, out);
    return {mean, sd, static_cast<float>(Mean(means)), exponent, coefficient};
}

std::vector<std::uint32_t> Bits(const std::array<float, 5>& r) {
    std::vector<std::uint32_t> bits;
    for (float x : r) bits.push_back(std::bit_cast<std::uint32_t>(x));
    return bits;
}

TEST(CalculateBackgroundTest, SameResultsAndOutputAsBuildingEveryGroup) {
    // Normal scores take the integer sums. Scores that cancel (+-1) next to
    // 2^-40 (kept in extended precision, lost in float) and 2^-62 (beyond
    // 63 bits from 1) are added in draw order instead, and there the order
    // and the precision show in the group scores.
    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<float> z(-3.0f, 3.0f);
    FloatList normal(3000);
    for (float& v : normal) v = z(rng);
    const FloatList tiny = {1.0f, -1.0f, 0x1p-40f, 0x1p-62f, 0.5f, -0.5f};
    ASSERT_TRUE(CheckSumExactness(normal.data(), normal.size(), 101, 63).exact);
    ASSERT_FALSE(CheckSumExactness(tiny.data(), tiny.size(), 101, 63).exact);
    struct Case {
        const FloatList* scores;
        int kmax, imax;
    };
    const FloatList few = {0.5f, -1.25f, 2.0f};
    for (const Case c : {Case{&normal, 100, 300}, Case{&normal, 7, 1000}, Case{&tiny, 60, 300},
                         Case{&few, 11, 50}, Case{&normal, 20, 1}}) {
        Random fast(kSeed);
        Random plain(kSeed);
        std::ostringstream fastOut, plainOut;
        const auto expected = ReferenceBackground(*c.scores, c.kmax, c.imax, plain, plainOut);
        const auto result = CalculateBackground(*c.scores, c.kmax, c.imax, fast, fastOut);
        EXPECT_EQ(Bits(result), Bits(expected)) << "kmax " << c.kmax << ", imax " << c.imax;
        EXPECT_EQ(fastOut.str(), plainOut.str());
        EXPECT_EQ(fast.NextWord(), plain.NextWord()) << "both drew as many words";
    }
}

TEST(BackgroundModelTest, FilledFromResultInDriverOrder) {
    const BackgroundModel m = ModelFromBackground({1, 2, 3, 0.5f, 4});
    EXPECT_EQ(m.mean, 1.0f);
    EXPECT_EQ(m.sd, 2.0f);
    EXPECT_EQ(m.meanCoef, 3.0f);
    EXPECT_EQ(m.meanExp, 0.0f);
    EXPECT_EQ(m.sdExp, 0.5f);
    EXPECT_EQ(m.sdCoef, 4.0f);
    EXPECT_EQ(m.MeanAt(0), 3.0f);  // pow(0, 0) = 1
    EXPECT_EQ(m.MeanAt(17), 3.0f);
    EXPECT_EQ(m.SdAt(9), 12.0f);  // 4 * 9^0.5
    EXPECT_TRUE(IsUsable(m));
}

TEST(BackgroundModelTest, UnusableWithZeroSpreadOrNonFiniteField) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(IsUsable(ModelFromBackground({1, 0, 3, 0.5f, 4})));
    EXPECT_FALSE(IsUsable(ModelFromBackground({1, 2, 3, 0, 0})));
    EXPECT_FALSE(IsUsable(ModelFromBackground({1, 2, nan, 0.5f, 4})));
    EXPECT_FALSE(IsUsable(ModelFromBackground({1, 2, 3, inf, 4})));
}

}  // namespace
}  // namespace tarnvale
