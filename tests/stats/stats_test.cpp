// Exact values of the statistics, fits and normal functions; our Mersenne
// twister against std::mt19937; the fast background sampler against building
// every group one by one; hypergeometric upper tails against values computed
// independently, and Benjamini-Hochberg q-values against R's p.adjust.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "stats/background_model.hpp"
#include "stats/group_sampler.hpp"
#include "stats/hypergeometric.hpp"
#include "stats/normal.hpp"
#include "stats/random.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 20240611u;

TEST(Statistics, ExactValuesAndMessages) {
    std::ostringstream log;
    EXPECT_EQ(Sum({std::ldexp(1.0f, 60), 1.0f, -std::ldexp(1.0f, 60)}), 1.0L);
    EXPECT_DOUBLE_EQ(StdDev({1, 2, 3}, log), 1.0);
    EXPECT_NEAR(StdDev({2, 4, 4, 4, 5, 5, 7, 9}, log), 2.1380899353, 1e-9);  // population: 2
    EXPECT_NEAR(StdDev({0.1f, 0.1f, 0.1f}, log), 2.47925976e-5, 1e-13);      // tiny, not zero
    // One value has no spread and says nothing; equal values say so. The
    // group score is (4 / 2 - 0.5 * 2) / 1; an empty group scores -10000.
    EXPECT_EQ((std::vector<double>{StdDev({5}, log), StdDev({5, 5, 5}, log), Median({4, 1, 3, 2}),
                                   Median({3, 1, 2}), GroupScore({1, 1, 1, 1}, 0.5f, 1.0f),
                                   GroupScore({}, 0.0f, 1.0f)}),
              (std::vector<double>{0, 0, 2.5, 2, 1, -10000}));
    float e = 0, c = 0, zeroE = 1, zeroC = 0;
    PowerFit({2, 4, 8}, {3, 6, 12}, e, c, log);
    PowerFit({1, 2, 3}, {0.5f, 0, 0.7f}, zeroE, zeroC, log);  // a zero: constants, the mean of y
    EXPECT_NEAR(e, 1.0f, 1e-6f);
    EXPECT_NEAR(c, 1.5f, 1e-6f);
    EXPECT_EQ(zeroE, 0.0f);
    EXPECT_FLOAT_EQ(zeroC, 0.4f);
    EXPECT_EQ(log.str(),
              "\nError:StdDev(vector<T> v):MSD=0; returning 0\n"
              "\nError: PowerFit: zero or negative values in data, returning constants instead\n");
}

TEST(Normal, PublishedValues) {
    const std::pair<double, double> quantiles[] = {{0.025, -1.959964},   {0.975, 1.959964},
                                                   {0.0001, -3.719016},  {0.9999, 3.719016},
                                                   {0.00001, -4.264891}, {0.99999, 4.264891}};
    for (const auto& [p, z] : quantiles) EXPECT_NEAR(NormInv(p), z, 1e-6) << p;
    const std::pair<double, double> lower[] = {{-1.959964, 0.0249999990964424},
                                               {-0.6629126073623883, 0.253693263391031},
                                               {-4.0, 3.16712418331199e-5},
                                               {-5.0, 2.86651571879194e-7},
                                               {-8.0, 6.22096057427178e-16}};
    for (const auto& [x, phi] : lower) {
        EXPECT_NEAR(NormCdf(x), phi, phi * 1e-10) << x;
        EXPECT_NEAR(NormCdf(-x), 1 - phi, 1e-15) << x;
    }
}

TEST(Random, OurTwisterIsStdMt19937AndIntegersCoverTheirRange) {
    // Both the plain and the vector loops, where the processor has them.
    for (std::uint32_t seed : {kSeed, 0u, 0xffffffffu})
        for (const bool wide : {false, true}) {
            Mt19937 ours(seed, wide);
            std::mt19937 reference(seed);
            for (int i = 0; i < 700'000; ++i)
                ASSERT_EQ(ours(), reference()) << seed << " word " << i << ", wide " << wide;
        }
    Random rng(kSeed);  // the generator of a run skips the first 37 words
    std::mt19937 reference(kSeed);
    reference.discard(37);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(rng.NextWord(), reference());
    std::array<int, 7> counts{};
    for (int i = 0; i < 7000; ++i) ++counts.at(static_cast<std::size_t>(rng.Integer(-3, 3) + 3));
    for (int n : counts) EXPECT_NEAR(n, 1000, 150);
}

// The background as the plain definition builds it: every group drawn and
// scored one by one.
std::array<float, 5> PlainBackground(const FloatList& scores, int kmax, int imax, Random& rng,
                                     std::ostream& out) {
    out << "\nCalculating background scores..\n";
    const auto mean = static_cast<float>(Mean(scores));
    const auto sd = static_cast<float>(StdDev(scores, out));
    out << "\nMean(data)= " << mean << "\nStdDev(data)= " << sd;
    const auto last = static_cast<std::int32_t>(scores.size() - 1);
    FloatList sizes, sds, means;
    for (int k = 2; k < kmax + 2; k += 2) {
        sizes.push_back(static_cast<float>(k));
        FloatList groupScores;
        for (int i = 0; i < imax; ++i) {
            FloatList group;
            for (int j = 0; j < k; ++j)
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

TEST(Background, FastSamplingEqualsBuildingEveryGroupBitForBit) {
    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<float> z(-3.0f, 3.0f);
    FloatList normal(3000);
    for (float& v : normal) v = z(rng);
    const FloatList tiny = {1.0f, -1.0f, 0x1p-40f, 0x1p-62f, 0.5f, -0.5f};  // order-dependent sums
    ASSERT_TRUE(GroupSampler(normal, 101, 0, 1).IntegerSums());
    ASSERT_FALSE(GroupSampler(tiny, 101, 0, 1).IntegerSums());
    const FloatList few = {0.5f, -1.25f, 2.0f};
    // Long tables: of few distinct values (kept as codes, exact or not), and
    // of more distinct values than there are codes.
    FloatList longFew(70000), longTiny(70000), longMany(70000);
    for (std::size_t i = 0; i < longFew.size(); ++i) {
        longFew[i] = normal[i * 7 % 1000];
        longTiny[i] = tiny[i * 5 % tiny.size()];
        longMany[i] = z(rng);
    }
    struct Case {
        const FloatList* scores;
        int kmax, imax;
    };
    for (const auto& [scores, kmax, imax] :
         {Case{&normal, 100, 300}, Case{&normal, 7, 1000}, Case{&tiny, 60, 300}, Case{&few, 11, 50},
          Case{&normal, 20, 1}, Case{&longFew, 30, 40}, Case{&longTiny, 30, 40},
          Case{&longMany, 30, 40}}) {
        Random plain(kSeed);
        std::ostringstream plainOut;
        const auto expected = PlainBackground(*scores, kmax, imax, plain, plainOut);
        const std::uint32_t next = plain.NextWord();
        // The fast sampler with the plain loops, and the vector ones where the processor has them.
        for (const bool wide : {false, true}) {
            Random fast(kSeed, wide);
            std::ostringstream fastOut;
            const auto result = CalculateBackground(*scores, kmax, imax, fast, fastOut);
            using Bits = std::array<std::uint32_t, 5>;
            EXPECT_EQ(std::bit_cast<Bits>(result), std::bit_cast<Bits>(expected))
                << "kmax " << kmax << ", imax " << imax << ", wide " << wide;
            EXPECT_EQ(fastOut.str(), plainOut.str());
            EXPECT_EQ(fast.NextWord(), next) << "both drew as many words";
        }
    }
    EXPECT_TRUE(IsUsable(ModelFromBackground({1, 2, 3, 0.5f, 4})));
    EXPECT_FALSE(IsUsable(ModelFromBackground({1, 2, 3, 0, 0})));  // no spread
    EXPECT_FALSE(IsUsable(ModelFromBackground({1, 2, NAN, 0.5f, 4})));
}

constexpr double kInf = std::numeric_limits<double>::infinity();

// log P(X >= k) for X hypergeometric (population N, K marked, n drawn): the
// natural log of the exact tail, summed over Python integers (math.comb) and
// taken to 60 digits with decimal; scipy 1.10.1's logsf agrees with it to
// 1e-11 relative in every case. The rows take k = 0, k = min(n, K), k above
// the support, at its lower end and below the mode, k = n = K, tails below the
// smallest double, thousands of terms, and N = k.
struct Tail {
    std::int64_t k, N, K, n;
    double logP;
};
// clang-format off
constexpr Tail kTails[] = {
    {0, 10, 4, 3, 0},                               {1, 10, 4, 3, -0.18232155679395462},
    {2, 10, 4, 3, -1.0986122886681098},             {3, 10, 4, 3, -3.4011973816621555},
    {4, 10, 4, 3, -kInf},                           {5, 10, 8, 7, 0},
    {6, 10, 8, 7, -0.62860865942237409},            {5, 50, 5, 10, -9.0369124823523475},
    {2, 100, 10, 5, -2.5658123428127726},           {1, 20000, 500, 100, -0.082308888811459688},
    {2, 20000, 30, 10, -9.2392382265420903},        {5, 20000, 200, 100, -5.7066214534921471},
    {10, 20000, 500, 50, -14.823128085443763},      {20, 20000, 5000, 80, -0.61066353616153168},
    {30, 20000, 5000, 80, -4.7308400104087687},     {50, 20000, 300, 200, -106.37877578263128},
    {100, 20000, 100, 100, -626.36146823655429},    {150, 20000, 150, 150, -879.94287958543248},
    {300, 20000, 500, 300, -1220.6940161064899},    {2500, 20000, 5000, 5000, -1026.5164737360783},
    {1300, 20000, 5000, 5000, -3.466253795039226},  {3600, 3600, 3600, 3600, 0},
    {2, 3600, 500, 2, -3.9498862383495217},         {12, 3600, 12, 40, -55.815020029635257},
};
// clang-format on

TEST(Hypergeometric, UpperTailsMatchExactValuesFarBelowTheDoubleRange) {
    for (const Tail& t : kTails) {
        SCOPED_TRACE(::testing::Message()
                     << "k=" << t.k << " N=" << t.N << " K=" << t.K << " n=" << t.n);
        const double logP = Hypergeometric(t.N).LogUpperTail(t.k, t.K, t.n);
        if (std::isinf(t.logP)) {
            EXPECT_EQ(logP, -kInf);
        } else {
            EXPECT_NEAR(logP, t.logP, 1e-10 * std::max(1.0, -t.logP));
        }
        EXPECT_DOUBLE_EQ(HypergeometricLogUpperTail(t.k, t.N, t.K, t.n), logP);
    }
    const Hypergeometric law(60);
    EXPECT_NEAR(law.LogBinomial(60, 30), std::log(118264581564861424.0), 1e-12);
    EXPECT_EQ(law.LogBinomial(5, 6), -kInf);
    EXPECT_THROW(law.LogUpperTail(1, 61, 2), std::invalid_argument);
    EXPECT_THROW(law.LogUpperTail(1, 2, -1), std::invalid_argument);
    EXPECT_THROW(Hypergeometric(-1), std::invalid_argument);
}

// q-values from R 4.2.2, p.adjust(p, "BH").
TEST(BenjaminiHochberg, TiesCapAndZerosAsRGivesThem) {
    const std::pair<std::vector<double>, std::vector<double>> cases[] = {
        {{0.01, 0.04, 0.03, 0.04, 0.2, 0.5}, {0.06, 0.06, 0.06, 0.06, 0.24, 0.5}},
        {{0.9, 0.95}, {0.95, 0.95}},
        {{0, 1e-300, 0.02, 0.02, 0.02, 1, 0.6}, {0, 3.5e-300, 0.028, 0.028, 0.028, 1, 0.7}},
        {{0.3}, {0.3}},
        {{}, {}}};
    for (const auto& [p, q] : cases) {
        std::vector<double> logP;
        for (const double v : p) logP.push_back(std::log(v));
        const std::vector<double> logQ = LogBenjaminiHochberg(logP);
        ASSERT_EQ(logQ.size(), q.size());
        // The exact values pin the rest: q within [p, 1], never falling as p rises.
        for (std::size_t i = 0; i < q.size(); ++i) {
            if (q[i] == 0) {
                EXPECT_EQ(logQ[i], -kInf) << i;
            } else {  // exp turns an absolute error of the log into a relative one
                EXPECT_NEAR(std::exp(logQ[i]), q[i], 1e-15 * q[i] * std::max(1.0, -logQ[i])) << i;
            }
        }
    }
    // In log space a family far below the double range keeps its digits.
    const std::vector<double> logQ = LogBenjaminiHochberg(std::vector<double>{-2000, -1000});
    EXPECT_NEAR(logQ[0], -2000 + std::log(2.0), 1e-9);
    EXPECT_DOUBLE_EQ(logQ[1], -1000);
}

}  // namespace
}  // namespace tarnvale
