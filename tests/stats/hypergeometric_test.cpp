// Hypergeometric upper tails against values computed independently, and
// Benjamini-Hochberg q-values against R's p.adjust.

#include "stats/hypergeometric.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tarnvale {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// P(X >= k) for X hypergeometric (population N, K marked, n drawn). `p` is
// scipy 1.10.1's hypergeom.sf(k - 1, N, K, n) (0 where the tail is below the
// double range); `logP` is the natural log of the exact tail, summed over
// Python integers (math.comb) and taken to 60 digits with decimal. scipy's
// logsf agrees with it to 1e-11 relative in every case.
struct Tail {
    std::int64_t k, N, K, n;
    double p, logP;
};
constexpr Tail kTails[] = {
    {0, 10, 4, 3, 1, 0},  // k = 0
    {1, 10, 4, 3, 0.83333333333333337, -0.18232155679395462},
    {2, 10, 4, 3, 0.33333333333333331, -1.0986122886681098},
    {3, 10, 4, 3, 0.033333333333333333, -3.4011973816621555},  // k = min(n, K)
    {4, 10, 4, 3, 0, -kInf},                                   // above the support
    {5, 10, 8, 7, 1, 0},                                       // at its lower end
    {6, 10, 8, 7, 0.53333333333333344, -0.62860865942237409},
    {5, 50, 5, 10, 0.00011893749174045195, -9.0369124823523475},
    {2, 100, 10, 5, 0.076856722070271402, -2.5658123428127726},
    {1, 20000, 500, 100, 0.92098743204180811, -0.082308888811459688},
    {2, 20000, 30, 10, 9.7151569529095426e-05, -9.2392382265420903},
    {5, 20000, 200, 100, 0.0033238834908452452, -5.7066214534921471},
    {10, 20000, 500, 50, 3.6508775578858874e-07, -14.823128085443763},
    {20, 20000, 5000, 80, 0.54299045571134275, -0.61066353616153168},  // below the mode
    {30, 20000, 5000, 80, 0.0088190598253650512, -4.7308400104087687},
    {50, 20000, 300, 200, 6.3137108124984307e-47, -106.37877578263128},
    {100, 20000, 100, 100, 9.4334525227352709e-273, -626.36146823655429},  // k = n = K
    {150, 20000, 150, 150, 0, -879.94287958543248},  // below the smallest double
    {300, 20000, 500, 300, 0, -1220.6940161064899},
    {2500, 20000, 5000, 5000, 0, -1026.5164737360783},  // thousands of terms
    {1300, 20000, 5000, 5000, 0.031233820057610523, -3.466253795039226},
    {3600, 3600, 3600, 3600, 1, 0},
    {2, 3600, 500, 2, 0.019256892346639503, -3.9498862383495217},
    {12, 3600, 12, 40, 5.752343259675002e-25, -55.815020029635257},
};

TEST(Hypergeometric, UpperTailsMatchExactValuesFarBelowTheDoubleRange) {
    for (const Tail& t : kTails) {
        const Hypergeometric law(t.N);
        const double logP = law.LogUpperTail(t.k, t.K, t.n);
        const std::string where = "k=" + std::to_string(t.k) + " N=" + std::to_string(t.N) +
                                  " K=" + std::to_string(t.K) + " n=" + std::to_string(t.n);
        if (std::isinf(t.logP)) {
            EXPECT_EQ(logP, -kInf) << where;
            continue;
        }
        EXPECT_NEAR(logP, t.logP, 1e-10 * std::max(1.0, -t.logP)) << where;
        // Where the tail is a double, so is its exp, to a relative 1e-9.
        if (t.p > 0) {
            EXPECT_NEAR(std::exp(logP), t.p, 1e-9 * t.p) << where;
        }
        EXPECT_DOUBLE_EQ(HypergeometricLogUpperTail(t.k, t.N, t.K, t.n), logP) << where;
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
        {{}, {}},
    };
    for (const auto& [p, q] : cases) {
        std::vector<double> logP;
        for (const double v : p) logP.push_back(std::log(v));
        const std::vector<double> logQ = LogBenjaminiHochberg(logP);
        ASSERT_EQ(logQ.size(), q.size());
        for (std::size_t i = 0; i < q.size(); ++i) {
            if (q[i] == 0) {
                EXPECT_EQ(logQ[i], -kInf) << i;
            } else {  // exp turns an absolute error of the log into a relative one
                EXPECT_NEAR(std::exp(logQ[i]), q[i], 1e-15 * q[i] * std::max(1.0, -logQ[i])) << i;
            }
            EXPECT_LE(logQ[i], 0.0);
            EXPECT_GE(logQ[i], logP[i]);
            // q never falls as p rises
            for (std::size_t j = 0; j < q.size(); ++j)
                if (logP[j] >= logP[i]) {
                    EXPECT_GE(logQ[j], logQ[i]) << i << ' ' << j;
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
