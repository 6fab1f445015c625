#include "stats/background_model.hpp"

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "stats/group_sampler.hpp"

namespace tarnvale {

float BackgroundModel::MeanAt(int n) const {
    return static_cast<float>(std::pow(static_cast<double>(n), static_cast<double>(meanExp)) *
                              static_cast<double>(meanCoef));
}

float BackgroundModel::SdAt(int n) const {
    return static_cast<float>(std::pow(static_cast<double>(n), static_cast<double>(sdExp)) *
                              static_cast<double>(sdCoef));
}

std::array<float, 5> CalculateBackground(const FloatList& scores, int kmax, int imax, Random& rng,
                                         std::ostream& out, const BackgroundProgress& progress) {
    // Drawing from an empty list has no meaning; the caller must not ask.
    if (scores.empty()) throw std::invalid_argument("CalculateBackground: empty score list");

    out << '\n' << "Calculating background scores.." << '\n';
    const auto mean = static_cast<float>(Mean(scores));
    const auto sd = static_cast<float>(StdDev(scores, out));
    // No line end after the last number: the next message starts with its own.
    out << '\n' << "Mean(data)= " << mean << '\n' << "StdDev(data)= " << sd;

    FloatList sizes;
    FloatList sds;
    FloatList means;
    // Cleared and refilled for every size, so the sampling loop allocates
    // nothing after the first size.
    FloatList groupScores;
    // 64-bit bound so that a kmax near the int limit cannot overflow; every
    // even size up to kmax, and kmax + 1 when kmax is odd.
    const std::int64_t sizeLimit = static_cast<std::int64_t>(kmax) + 2;
    const GroupSampler sampler(scores, sizeLimit - 1, mean, sd);
    // Every size k draws k scores imax times: imax * (2 + 4 + ... + last).
    std::uint64_t drawn = 0;
    std::uint64_t total = 0;
    if (progress) {
        for (std::int64_t k = 2; k < sizeLimit; k += 2)
            total += static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(imax);
        progress(0, total);
    }
    for (std::int64_t k = 2; k < sizeLimit; k += 2) {
        sizes.push_back(static_cast<float>(k));
        groupScores.clear();
        // With replacement: one score may be drawn several times.
        sampler.Sample(k, imax, rng, groupScores);
        sds.push_back(static_cast<float>(StdDev(groupScores, out)));
        means.push_back(static_cast<float>(Mean(groupScores)));
        if (progress) {
            drawn += static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(imax);
            progress(drawn, total);
        }
    }

    float exponent = 0.0f;
    float coefficient = 0.0f;
    PowerFit(sizes, sds, exponent, coefficient, out);
    return {mean, sd, static_cast<float>(Mean(means)), exponent, coefficient};
}

BackgroundModel ModelFromBackground(const std::array<float, 5>& r) {
    BackgroundModel model;
    model.mean = r[0];
    model.sd = r[1];
    model.meanCoef = r[2];
    model.meanExp = 0.0f;  // the expected mean is the same for every size
    model.sdExp = r[3];
    model.sdCoef = r[4];
    return model;
}

bool IsUsable(const BackgroundModel& model) {
    const float fields[] = {model.mean,  model.sd,       model.sdCoef,
                            model.sdExp, model.meanCoef, model.meanExp};
    for (float f : fields) {
        if (!std::isfinite(f)) return false;
    }
    return model.sd > 0.0f && model.sdCoef > 0.0f;
}

}  // namespace tarnvale
