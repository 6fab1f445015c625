#pragma once
// When sums of single-precision scores are exact, and the group score of a
// sum that is.
//
// Every float is an integer multiple of the power of two of its lowest set
// bit. If the scores of a list lie between 2^lo (lowest set bit of any of
// them) and 2^(hi+1) (above the highest set bit), a sum of at most t of them
// is a multiple of 2^lo below t * 2^(hi+1) in magnitude, so it has at most
// ceil(log2 t) + hi + 1 - lo significant bits. When that fits the
// accumulator's significand, every partial sum is exact: the result is the
// same in every order, and taking a score out again by subtraction is exact
// as well. The long double accumulator has 64 significand bits; a signed
// 64-bit integer counting units of 2^lo has 63.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "base/no_score.hpp"

namespace tarnvale {

struct SumExactness {
    bool exact = false;
    int unitExponent = 0;  // lo: every score is a multiple of 2^lo
};

// Whether any sum of at most `maxTerms` scores of values[0, count), repeats
// allowed, needs no more than `significandBits` bits. Not-finite scores make
// sums depend on order, so they are never exact; zeros add no bits.
inline SumExactness CheckSumExactness(const float* values, std::size_t count,
                                      std::uint64_t maxTerms, int significandBits) {
    SumExactness result;
    int lo = std::numeric_limits<int>::max();
    int hi = std::numeric_limits<int>::min();
    for (std::size_t k = 0; k < count; ++k) {
        const float v = values[k];
        if (!std::isfinite(v)) return result;
        const auto bits = std::bit_cast<std::uint32_t>(v);
        std::uint32_t mantissa = bits & 0x7fffffu;
        const int biased = static_cast<int>((bits >> 23) & 0xffu);
        if (biased == 0 && mantissa == 0) continue;  // +0 or -0
        // v = mantissa * 2^scale with an integer mantissa.
        int scale = -149;
        if (biased != 0) {
            mantissa |= 0x800000u;
            scale = biased - 150;
        }
        const int low = scale + std::countr_zero(mantissa);
        const int high = scale + 31 - std::countl_zero(mantissa);
        if (low < lo) lo = low;
        if (high > hi) hi = high;
    }
    if (hi < lo) {  // nothing but zeros
        result.exact = true;
        return result;
    }
    int termBits = 0;  // ceil(log2 maxTerms)
    while (termBits < 64 && (std::uint64_t{1} << termBits) < maxTerms) ++termBits;
    result.exact = termBits + hi + 1 - lo <= significandBits;
    result.unitExponent = lo;
    return result;
}

// The group score of `count` scores whose extended-precision sum is `sum`,
// with the float steps of GroupScore over the list itself:
// (float(sum / sqrt(count)) - mean * sqrt(count)) / sd, the square root a
// float; -10000 for no score.
inline float GroupScoreOfSum(long double sum, std::size_t count, float mean, float sd) {
    if (count == 0) return kNoScore;
    const float q = std::sqrt(static_cast<float>(count));
    const auto s = static_cast<float>(sum / q);
    return (s - mean * q) / sd;
}

}  // namespace tarnvale
