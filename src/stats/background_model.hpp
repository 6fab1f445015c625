#pragma once
// The background score model: how the group score of random groups of each
// size is distributed, condensed into a mean and a power law for the spread.

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>

#include "stats/random.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

struct BackgroundModel {
    float mean = 0;
    float sd = 0;
    float sdCoef = 0;
    float sdExp = 0;
    float meanCoef = 0;
    float meanExp = 0;

    // float(pow(n, meanExp) * meanCoef), evaluated in double.
    float MeanAt(int n) const;
    // float(pow(n, sdExp) * sdCoef), evaluated in double.
    float SdAt(int n) const;
};

// Called before the first group size (with 0) and after each one with the
// number of scores drawn so far and the number the whole background draws.
using BackgroundProgress = std::function<void(std::uint64_t drawn, std::uint64_t total)>;

// Samples imax groups (with replacement) for every even size 2, 4, ... below
// kmax + 2 and returns {mean, sd, mean of per-size means, sd exponent, sd
// coefficient}. Prints the progress block to out and, when given, reports to
// `progress`. Throws std::invalid_argument for an empty score list, before
// printing anything.
std::array<float, 5> CalculateBackground(const FloatList& scores, int kmax, int imax, Random& rng,
                                         std::ostream& out,
                                         const BackgroundProgress& progress = {});

// The model the driver fills from a CalculateBackground result (meanExp 0).
BackgroundModel ModelFromBackground(const std::array<float, 5>& r);

// True when every field is finite and sd and sdCoef are positive, so that
// every score computed against the model is finite.
bool IsUsable(const BackgroundModel& model);

}  // namespace tarnvale
