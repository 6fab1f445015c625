#include "stats/normal.hpp"

#include <cmath>
#include <cstddef>

namespace tarnvale {
namespace {

// Acklam's rational approximation of the normal quantile, as published.
// Central region, numerator a1..a6 and denominator b1..b5 (constant term 1).
constexpr double kA1 = -3.969683028665376e+01;
constexpr double kA2 = 2.209460984245205e+02;
constexpr double kA3 = -2.759285104469687e+02;
constexpr double kA4 = 1.383577518672690e+02;
constexpr double kA5 = -3.066479806614716e+01;
constexpr double kA6 = 2.506628277459239e+00;
constexpr double kB1 = -5.447609879822406e+01;
constexpr double kB2 = 1.615858368580409e+02;
constexpr double kB3 = -1.556989798598866e+02;
constexpr double kB4 = 6.680131188771972e+01;
constexpr double kB5 = -1.328068155288572e+01;
// Tail region, numerator c1..c6 and denominator d1..d4 (constant term 1).
constexpr double kC1 = -7.784894002430293e-03;
constexpr double kC2 = -3.223964580411365e-01;
constexpr double kC3 = -2.400758277161838e+00;
constexpr double kC4 = -2.549732539343734e+00;
constexpr double kC5 = 4.374664141464968e+00;
constexpr double kC6 = 2.938163982698783e+00;
constexpr double kD1 = 7.784695709041462e-03;
constexpr double kD2 = 3.224671290700398e-01;
constexpr double kD3 = 2.445134137142996e+00;
constexpr double kD4 = 3.754408661907416e+00;
// Acklam's split between the central and the tail formula.
constexpr double kTailLimit = 0.02425;

// Cody's erf approximation on |t| <= 0.46875, rewritten for Phi directly in x:
// t^2 = x^2 / 2 substituted into his numerator and denominator, and the factor
// 1 / (2 sqrt 2) folded into the denominator. Each coefficient was computed in
// double from the published one and is written with 16 significant digits.
constexpr double kCentralNum[5] = {1.161110663653770e-02, 3.951404679838207e-01,
                                   2.846603853776254e+01, 1.887426188426510e+02,
                                   3.209377589138469e+03};
constexpr double kCentralDen[5] = {1.767766952966369e-01, 8.344316438579620e+00,
                                   1.725514762600375e+02, 1.813893686502485e+03,
                                   8.044716608901563e+03};
// Cody's erfc approximation on 0.46875 <= t <= 4 (numerator and denominator of
// degree 8, highest power first; the denominator's leading coefficient is 1).
constexpr double kMiddleNum[9] = {
    2.15311535474403846e-8, 5.64188496988670089e-1, 8.88314979438837594e00,
    6.61191906371416295e01, 2.98635138197400131e02, 8.81952221241769090e02,
    1.71204761263407058e03, 2.05107837782607147e03, 1.23033935479799725e03};
constexpr double kMiddleDen[9] = {1.0,
                                  1.57449261107098347e01,
                                  1.17693950891312499e02,
                                  5.37181101862009858e02,
                                  1.62138957456669019e03,
                                  3.29079923573345963e03,
                                  4.36261909014324716e03,
                                  3.43936767414372164e03,
                                  1.23033935480374942e03};
// Cody's erfc approximation for t >= 4 in the variable 1/t^2 (degree 5,
// highest power first; the denominator's leading coefficient is 1).
constexpr double kFarNum[6] = {1.63153871373020978e-2, 3.05326634961232344e-1,
                               3.60344899949804439e-1, 1.25781726111229246e-1,
                               1.60837851487422766e-2, 6.58749161529837803e-4};
constexpr double kFarDen[6] = {1.0,
                               2.56852019228982242e00,
                               1.87295284992346725e00,
                               5.27905102951428412e-1,
                               6.05183413124413191e-2,
                               2.33520497626869185e-3};

constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kInvSqrtPi = 0.5641895835477563;
// 0.46875 * sqrt 2: Cody's first break point, moved from t = x / sqrt 2 to x.
constexpr double kCentralLimit = 0.6629126073623883;
// The far region starts at |x| = 4 itself, not at t = 4.
constexpr double kFarLimit = 4.0;

// Horner evaluation, highest power first.
template <std::size_t N>
double Poly(const double (&c)[N], double x) {
    double r = c[0];
    for (std::size_t i = 1; i < N; ++i) r = r * x + c[i];
    return r;
}

}  // namespace

double NormInv(double p) {
    // Work on the lower half; the result's sign is restored at the end.
    const double x = (1.0 - p < p) ? 1.0 - p : p;
    double z;
    if (x > kTailLimit) {
        const double q = x - 0.5;
        const double r = q * q;
        z = q * (((((kA1 * r + kA2) * r + kA3) * r + kA4) * r + kA5) * r + kA6) /
            (((((kB1 * r + kB2) * r + kB3) * r + kB4) * r + kB5) * r + 1.0);
    } else {
        // x = 0 gives infinity over infinity, a negative or NaN x a NaN log:
        // both end as not-a-number, as documented.
        const double q = std::sqrt(-2.0 * std::log(x));
        z = (((((kC1 * q + kC2) * q + kC3) * q + kC4) * q + kC5) * q + kC6) /
            ((((kD1 * q + kD2) * q + kD3) * q + kD4) * q + 1.0);
    }
    return p > 0.5 ? -z : z;
}

double NormCdf(double x) {
    const double a = std::fabs(x);
    if (a <= kCentralLimit) {
        const double s = x * x;
        return 0.5 + x * Poly(kCentralNum, s) / Poly(kCentralDen, s);
    }
    // Both tail formulas give T = Phi(-a) and carry the Gaussian factor here;
    // for a far beyond 38 it underflows to 0, so NormCdf(-40) is 0 and
    // NormCdf(40) exactly 1. A NaN x falls through to the far formula and
    // stays NaN.
    const double h = std::exp(-a * a / 2.0) / 2.0;
    double tail;
    if (a <= kFarLimit) {
        const double t = a / kSqrt2;
        tail = h * (Poly(kMiddleNum, t) / Poly(kMiddleDen, t));
    } else {
        const double u = 2.0 / (a * a);
        tail = (kSqrt2 * h / a) * (kInvSqrtPi - u * Poly(kFarNum, u) / Poly(kFarDen, u));
    }
    return x < 0.0 ? tail : 1.0 - tail;
}

}  // namespace tarnvale
