#include "stats/statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "base/no_score.hpp"

namespace tarnvale {
namespace {

constexpr const char* kMsdZeroMessage = "Error:StdDev(vector<T> v):MSD=0; returning 0";
constexpr const char* kLinearFitSizeMessage = "Error: LinearFit: Size of x and y data doesnt agree";
constexpr const char* kPowerFitSizeMessage =
    "Error: PowerFit: Size of x and y data doesnt agree, aborting";
constexpr const char* kPowerFitNonPositiveMessage =
    "Error: PowerFit: zero or negative values in data, returning constants instead";

// The score of an empty group: stands for "no score".

// Every message of this module stands on a line of its own after a line end.
void Message(std::ostream& log, const char* text) { log << '\n' << text << '\n'; }

}  // namespace

Extended Sum(const FloatList& v) {
    Extended s = 0;
    for (float x : v) s += x;
    return s;
}

Extended SumPow(const FloatList& v, int k) {
    Extended s = 0;
    // Each power is rounded to float before it is added: the squares of equal
    // values then need not cancel exactly against the square of their sum,
    // which is why StdDev of equal tenths is tiny but not zero.
    for (float x : v) s += static_cast<float>(std::pow(static_cast<double>(x), k));
    return s;
}

float SumProduct(const FloatList& x, const FloatList& y) {
    Extended s = 0;
    // Bounded by y as well so that a shorter y cannot be read past its end.
    const std::size_t n = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < n; ++i) s += x[i] * y[i];  // product in float
    return static_cast<float>(s);
}

Extended Mean(const FloatList& v) { return Sum(v) / static_cast<float>(v.size()); }

double StdDev(const FloatList& v, std::ostream& log) {
    const Extended s2 = SumPow(v, 2);
    const Extended s1 = Sum(v);
    const double s1Squared = static_cast<double>(s1) * static_cast<double>(s1);
    const std::size_t n = v.size();
    const std::size_t pairs = n < 2 ? 0 : n * (n - 1);
    if (pairs == 0) return 0.0;
    const auto count = static_cast<Extended>(n);
    const Extended variance = (count * s2 - s1Squared) / static_cast<Extended>(pairs);
    if (variance == 0) {
        Message(log, kMsdZeroMessage);
        return 0.0;
    }
    // The one-pass formula can leave a small negative residue of cancellation.
    return static_cast<double>(std::sqrt(std::fabs(variance)));
}

float Median(FloatList v) {
    const std::size_t n = v.size();
    if (n == 0) return 0.0f;
    if (n == 1) return v[0];
    std::sort(v.begin(), v.end());
    if (n % 2 == 0) return (v[n / 2 - 1] + v[n / 2]) / 2.0f;
    return v[(n - 1) / 2];
}

float GroupScore(const FloatList& v, float mean, float sd) {
    if (v.empty()) return kNoScore;
    const Extended sum = Sum(v);
    const float q = std::sqrt(static_cast<float>(v.size()));
    const auto s = static_cast<float>(sum / q);
    return (s - mean * q) / sd;
}

bool AnyNonPositive(const FloatList& v) {
    return std::any_of(v.begin(), v.end(), [](float x) { return x <= 0.0f; });
}

void LinearFit(const FloatList& x, const FloatList& y, float& slope, float& intercept,
               std::ostream& log) {
    if (x.size() != y.size()) {
        Message(log, kLinearFitSizeMessage);
        return;
    }
    const auto n = static_cast<float>(x.size());
    const Extended sumX = Sum(x);
    const Extended sumY = Sum(y);
    const Extended sumXX = SumPow(x, 2);
    const float sumXY = SumProduct(x, y);
    // No guard for a vanishing denominator (one point, or all x equal): the
    // outputs are then infinite or not-a-number.
    const auto d = static_cast<float>(n * sumXX - sumX * sumX);
    const float nSumXY = n * sumXY;  // formed in float
    slope = static_cast<float>((nSumXY - sumX * sumY) / d);
    intercept = static_cast<float>((sumY * sumXX - sumX * sumXY) / d);
}

void PowerFit(const FloatList& x, const FloatList& y, float& exponent, float& coefficient,
              std::ostream& log) {
    if (x.size() != y.size()) {
        Message(log, kPowerFitSizeMessage);
        return;
    }
    if (AnyNonPositive(x) || AnyNonPositive(y)) {
        Message(log, kPowerFitNonPositiveMessage);
        exponent = 0.0f;
        coefficient = static_cast<float>(Mean(y));
        return;
    }
    FloatList lnX;
    FloatList lnY;
    lnX.reserve(x.size());
    lnY.reserve(y.size());
    for (float value : x) lnX.push_back(std::log(value));  // float logarithm
    for (float value : y) lnY.push_back(std::log(value));
    LinearFit(lnX, lnY, exponent, coefficient, log);
    coefficient = std::exp(coefficient);  // float exponential
}

}  // namespace tarnvale
