#include "stats/hypergeometric.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace tarnvale {

namespace {
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
std::size_t Index(std::int64_t i) { return static_cast<std::size_t>(i); }
}  // namespace

Hypergeometric::Hypergeometric(std::int64_t population) : population_(population) {
    if (population < 0) throw std::invalid_argument("Hypergeometric: negative population");
    logFactorial_.resize(Index(population) + 1);
    for (std::int64_t i = 0; i <= population; ++i)
        logFactorial_[Index(i)] = std::lgamma(static_cast<double>(i) + 1.0);
}

double Hypergeometric::LogBinomial(std::int64_t n, std::int64_t k) const {
    if (k < 0 || k > n) return kMinusInfinity;
    return logFactorial_[Index(n)] - logFactorial_[Index(k)] - logFactorial_[Index(n - k)];
}

double Hypergeometric::LogPmf(std::int64_t k, std::int64_t successes, std::int64_t draws) const {
    const std::int64_t low = std::max<std::int64_t>(0, draws + successes - population_);
    const std::int64_t high = std::min(draws, successes);
    if (k < low || k > high) return kMinusInfinity;
    return LogBinomial(successes, k) + LogBinomial(population_ - successes, draws - k) -
           LogBinomial(population_, draws);
}

double Hypergeometric::LogUpperTail(std::int64_t k, std::int64_t successes,
                                    std::int64_t draws) const {
    if (successes < 0 || draws < 0 || successes > population_ || draws > population_)
        throw std::invalid_argument("Hypergeometric: successes or draws outside [0, population]");
    const std::int64_t low = std::max<std::int64_t>(0, draws + successes - population_);
    const std::int64_t high = std::min(draws, successes);
    if (k <= low) return 0.0;
    if (k > high) return kMinusInfinity;
    // The terms rise up to the mode and fall after it, so the largest term
    // of the tail is at the mode or at k, whichever is larger.
    const auto mode = static_cast<std::int64_t>(
        std::floor(static_cast<double>(draws + 1) * static_cast<double>(successes + 1) /
                   static_cast<double>(population_ + 2)));
    const double top = LogPmf(std::max(k, std::min(mode, high)), successes, draws);
    double sum = 0;
    for (std::int64_t i = k; i <= high; ++i) {
        const double term = std::exp(LogPmf(i, successes, draws) - top);
        sum += term;
        // Past the mode the terms fall at least geometrically; once one no
        // longer changes the sum, none after it can.
        if (i > mode && term < sum * 1e-20) break;
    }
    // Rounding may push a tail of (nearly) 1 a hair above it.
    return std::min(0.0, top + std::log(sum));
}

double HypergeometricLogUpperTail(std::int64_t k, std::int64_t population, std::int64_t successes,
                                  std::int64_t draws) {
    return Hypergeometric(population).LogUpperTail(k, successes, draws);
}

std::vector<double> LogBenjaminiHochberg(std::span<const double> logP) {
    const std::size_t m = logP.size();
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return logP[a] < logP[b]; });
    std::vector<double> logQ(m);
    double running = 0.0;  // log 1: q is capped at 1
    // From the largest p down, so each q is the minimum over larger p too;
    // among equal p the largest rank comes first and sets the q of all. The
    // factor m / rank is at least 1, so its log is never negative and q is
    // never below p, even after rounding.
    for (std::size_t r = m; r-- > 0;) {
        const std::size_t i = order[r];
        const double factor = static_cast<double>(m) / static_cast<double>(r + 1);
        running = std::min(running, logP[i] + std::log(factor));
        logQ[i] = running;
    }
    return logQ;
}

}  // namespace tarnvale
