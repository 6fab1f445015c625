#pragma once
// The ranked acceptance rule of the annealing search.

#include <vector>

#include "stats/random.hpp"

namespace tarnvale {

// Compares the aligned ranked lists position by position from the highest:
// accepts at the first strictly better position (at L <= 1 and T != 0 only
// if its Metropolis draw passes), goes on past equal positions, and past a
// worse position only if its Metropolis draw passes; rejects otherwise. Each
// worse position, and a better one at L <= 1 with T != 0, consumes one draw.
bool Accept(const std::vector<float>& proposal, const std::vector<float>& current, float T,
            Random& rng);

}  // namespace tarnvale
