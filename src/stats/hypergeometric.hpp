#pragma once
// The hypergeometric distribution in log space, and Benjamini-Hochberg
// adjusted p-values: the statistics of gene-set over-representation.

#include <cstdint>
#include <span>
#include <vector>

namespace tarnvale {

// Drawing `draws` items without replacement from `population` items of which
// `successes` are marked: the law of the number of marked items drawn. It
// keeps log(i!) for i = 0..population, each from one lgamma call (not a
// running sum, so that the error does not grow with i), so that the many
// tails of one universe cost no further lgamma calls and the object can be
// read from any number of threads.
class Hypergeometric {
public:
    // Throws std::invalid_argument when population is negative.
    explicit Hypergeometric(std::int64_t population);

    std::int64_t population() const { return population_; }

    // log C(n, k) for 0 <= k <= n <= population; -infinity for k outside [0, n].
    double LogBinomial(std::int64_t n, std::int64_t k) const;

    // log P(X = k); -infinity outside the support.
    double LogPmf(std::int64_t k, std::int64_t successes, std::int64_t draws) const;

    // log P(X >= k), the natural log of the upper tail: 0 when k is at or
    // below the support's lower end, -infinity above its upper end. The terms
    // are summed with their largest factored out (log-sum-exp), so a tail far
    // below the smallest double (1e-300 and less) keeps its exact log.
    // Throws std::invalid_argument unless 0 <= successes, draws <= population.
    double LogUpperTail(std::int64_t k, std::int64_t successes, std::int64_t draws) const;

private:
    std::int64_t population_;
    std::vector<double> logFactorial_;
};

// Hypergeometric(population).LogUpperTail(k, successes, draws), for one
// value; builds the table of log factorials for the call.
double HypergeometricLogUpperTail(std::int64_t k, std::int64_t population, std::int64_t successes,
                                  std::int64_t draws);

// Benjamini-Hochberg adjusted p-values (q-values) in log space: the input
// holds the natural logs of the p-values of one family of tests, the result
// the logs of q_i = min over j with p_j >= p_i of min(1, m p_j / rank_j),
// where m is the family's size and rank_j the position of p_j in increasing
// order. Equal p-values get equal q-values, and q never decreases as p grows.
// The log of 0 (-infinity) is allowed; not-a-number is not (the result is
// then unspecified).
std::vector<double> LogBenjaminiHochberg(std::span<const double> logP);

}  // namespace tarnvale
