#include "search/acceptance.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 20240611u;

// At kHot a worse entry's chance rounds to 1, above every draw; at kCold it
// rounds to 0, below every draw; so outcomes do not depend on the draws.
constexpr float kHot = 1e9f;
constexpr float kCold = 1e-9f;
const float kNan = std::numeric_limits<float>::quiet_NaN();

struct Case {
    std::string name;
    std::vector<float> proposal, current;
    float T;
    bool accepted;
    int draws;  // acceptance draws the rule must consume
};

// How many words the rule took from a generator: the position of its next
// word in a twin's sequence.
int DrawsConsumed(Random& used) {
    const std::uint32_t next = used.NextWord();
    Random twin(kSeed);
    for (int k = 0; k < 8; ++k)
        if (twin.NextWord() == next) return k;
    return -1;
}

TEST(Accept, RankedListCases) {
    const Case cases[] = {
        {"better first entry", {5, 1}, {4, 3}, 1, true, 0},
        {"equal lists", {5, 2, 1}, {5, 2, 1}, kHot, false, 0},
        {"empty lists", {}, {}, 1, false, 0},
        {"equal entries pass on", {5, 2, 1.5f}, {5, 2, 1}, 1, true, 0},
        {"worse passes, nothing better after", {4, 2}, {5, 2}, kHot, false, 1},
        {"worse passes, then better", {4, 1, 3}, {5, 2, 2}, kHot, true, 2},
        {"worse fails at once", {4, 9, 9}, {5, 2, 2}, kCold, false, 1},
        {"not a number counts as worse", {kNan, 9}, {5, 2}, kHot, false, 1},
        {"negative temperature never passes worse", {1, 9}, {2, 2}, -1, false, 1},
        {"T=0 first difference higher", {5, 3}, {5, 2}, 0, true, 0},
        {"T=0 worse still draws", {5, 1, 9}, {5, 2, 2}, 0, false, 1},
        {"T=0 single better entry", {3}, {2}, 0, true, 0},
        {"single better entry draws and passes", {3}, {2}, kCold, true, 1},
        {"single worse entry, cold", {1}, {2}, kCold, false, 1},
        {"single worse entry, hot", {1}, {2}, kHot, false, 1},
        {"single equal entry", {2}, {2}, kHot, false, 0},
    };
    for (const Case& c : cases) {
        Random rng(kSeed);
        EXPECT_EQ(Accept(c.proposal, c.current, c.T, rng), c.accepted) << c.name;
        EXPECT_EQ(DrawsConsumed(rng), c.draws) << c.name;
    }
}

TEST(Accept, WorseEntryPassesExactlyWhenItsChanceExceedsTheDraw) {
    // A drop of 0.7 at T = 1, then a better entry: each call's outcome is
    // that of its one Metropolis test, replayed on a twin generator.
    const float chance = std::exp((1.3f - 2.0f) / 1.0f);
    Random replay(kSeed);
    Random rng(kSeed);
    int accepted = 0;
    for (int k = 0; k < 200; ++k) {
        const bool expected = chance > replay.Uniform();
        ASSERT_EQ(Accept({1.3f, 5}, {2, 4}, 1.0f, rng), expected) << k;
        accepted += expected;
    }
    EXPECT_GT(accepted, 60);  // about exp(-0.7) = 50% of 200
    EXPECT_LT(accepted, 140);
}

}  // namespace
}  // namespace tarnvale
