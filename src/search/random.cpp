#include "search/random.hpp"

#include <cmath>
#include <ctime>
#include <limits>

namespace tarnvale {
namespace {

// The first outputs after seeding are thrown away; every owner does the same,
// so equal seeds still give equal sequences.
constexpr unsigned long long kDiscardedWords = 37;

}  // namespace

Random::Random(std::uint32_t seed) : mt_(seed) { mt_.discard(kDiscardedWords); }

std::int32_t Random::Integer(std::int32_t min, std::int32_t max) {
    if (max < min) return std::numeric_limits<std::int32_t>::min();
    if (max == min) return min;

    // The width max - min + 1 in 64 bits: as a 32-bit word the full range
    // [INT32_MIN, INT32_MAX] would wrap to 0 and always give min. For every
    // other range it is the same value.
    const auto width = static_cast<double>(static_cast<std::int64_t>(max) - min + 1);
    const double x = static_cast<double>(min) + width * Uniform();
    // Rounded down, which for min >= 0 (every caller) is truncation toward
    // zero; for a negative min it keeps every value equally likely, where
    // truncation would fold [-1, 1) onto 0. x can round up to max + 1 for a
    // word next to 2^32, hence the clamp, done in double before converting.
    const double r = std::floor(x);
    if (r > static_cast<double>(max)) return max;
    return static_cast<std::int32_t>(r);
}

std::uint32_t SeedSource::Next() const {
    if (fixed) return *fixed;
    return static_cast<std::uint32_t>(std::time(nullptr));
}

}  // namespace tarnvale
