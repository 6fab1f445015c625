#pragma once
// The program's one source of chance: MT19937 with its first 37 outputs
// discarded, a uniform draw in [0, 1) and an integer draw over a closed range.

#include <cstdint>
#include <optional>
#include <random>

namespace tarnvale {

class Random {
public:
    // Standard MT19937 seeding from one 32-bit word, then 37 outputs discarded.
    explicit Random(std::uint32_t seed);

    // The next MT19937 output.
    std::uint32_t NextWord() { return static_cast<std::uint32_t>(mt_()); }
    // The next word times 2^-32: a double in [0, 1), one word per draw.
    double Uniform() { return static_cast<double>(NextWord()) * 2.3283064365386963e-10; }
    // An integer in [min, max] from one uniform draw u: floor(min + (max - min
    // + 1) * u) in double, clamped to max. max == min returns min and
    // max < min returns INT32_MIN, neither consuming a word.
    std::int32_t Integer(std::int32_t min, std::int32_t max);

private:
    std::mt19937 mt_;
};

// Where every generator of a run takes its seed: the --seed value when one was
// given, else the calendar time in whole seconds when the generator is made.
struct SeedSource {
    std::optional<std::uint32_t> fixed;
    std::uint32_t Next() const;
};

}  // namespace tarnvale
