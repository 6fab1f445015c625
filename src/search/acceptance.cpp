#include "search/acceptance.hpp"

#include <algorithm>
#include <cmath>

namespace tarnvale {

bool Accept(const std::vector<float>& proposal, const std::vector<float>& current, float T,
            Random& rng) {
    // The lists are aligned by the caller; the shorter length only guards
    // against reading past either of them.
    const std::size_t length = std::min(proposal.size(), current.size());
    for (std::size_t j = 0; j < length; ++j) {
        const float p = proposal[j];
        const float c = current[j];
        if (p > c) {
            // A single ranked entry is a plain Metropolis step, which a
            // better value always passes at a positive temperature.
            if (length > 1 || T == 0) return true;
            return std::exp((p - c) / T) > rng.Uniform();
        }
        if (p == c) continue;
        // Worse, or not comparable: this position may only be passed over.
        const float chance = T > 0 ? std::exp((p - c) / T) : 0.0f;
        if (!(chance > rng.Uniform())) return false;
    }
    return false;
}

}  // namespace tarnvale
