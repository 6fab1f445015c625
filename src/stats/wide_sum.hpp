#pragma once
// Sums of single-precision scores that stay exact under any mix of additions
// and subtractions, and what they tell about a sum in extended precision.
//
// Every finite float is an integer multiple of 2^-149 below 2^128, so a
// two's-complement count of 2^-149 units in five 64-bit words holds any sum
// of fewer than 2^40 of them exactly, whatever their magnitudes: the result
// is the same in every order. An extended-precision sum of the same terms in
// some order lies within t * u * (1 + u)^t * sum|x| of the exact sum (t terms,
// u the unit roundoff), so the exact sum and the exact sum of magnitudes
// bound it; when the whole interval leads to one float, that float is the
// one the ordered sum gives.

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "stats/statistics.hpp"

namespace tarnvale {

class WideSum {
public:
    // v must be finite.
    void Add(float v) { AddFloat(v, std::signbit(v)); }
    void Subtract(float v) { AddFloat(v, !std::signbit(v)); }
    void AddMagnitude(float v) { AddFloat(v, false); }
    void SubtractMagnitude(float v) { AddFloat(v, true); }

    WideSum& operator+=(const WideSum& other) {
        std::uint64_t carry = 0;
        for (std::size_t k = 0; k < kWords; ++k) {
            const std::uint64_t a = word_[k] + carry;
            carry = a < carry ? 1 : 0;
            word_[k] = a + other.word_[k];
            carry += word_[k] < a ? 1 : 0;
        }
        return *this;
    }
    WideSum& operator-=(const WideSum& other) {
        std::uint64_t borrow = 0;
        for (std::size_t k = 0; k < kWords; ++k) {
            const std::uint64_t b = other.word_[k] + borrow;
            borrow = b < borrow ? 1 : 0;
            borrow += word_[k] < b ? 1 : 0;
            word_[k] -= b;
        }
        return *this;
    }

    // The sum to within 8 units of roundoff of its magnitude.
    Extended Approximate() const {
        std::array<std::uint64_t, kWords> m = word_;
        const bool negative = (m[kWords - 1] >> 63) != 0;
        if (negative) {
            std::uint64_t carry = 1;
            for (auto& w : m) {
                w = ~w + carry;
                carry = carry != 0 && w == 0 ? 1 : 0;
            }
        }
        Extended value = 0;
        for (std::size_t k = kWords; k-- > 0;)
            value += std::ldexp(static_cast<Extended>(m[k]), static_cast<int>(64 * k) - 149);
        return negative ? -value : value;
    }

private:
    static constexpr std::size_t kWords = 5;

    void AddFloat(float v, bool subtract) {
        const auto bits = std::bit_cast<std::uint32_t>(v);
        std::uint64_t mantissa = bits & 0x7fffffu;
        const int biased = static_cast<int>((bits >> 23) & 0xffu);
        if (biased != 0) mantissa |= 0x800000u;
        if (mantissa == 0) return;
        // |v| = mantissa * 2^(shift - 149).
        const int shift = biased == 0 ? 0 : biased - 1;
        const auto at = static_cast<std::size_t>(shift / 64);
        const int bit = shift % 64;
        std::array<std::uint64_t, 2> part{mantissa << bit, bit == 0 ? 0 : mantissa >> (64 - bit)};
        std::uint64_t carry = 0;
        for (std::size_t k = at; k < kWords; ++k) {
            const std::uint64_t p = (k - at < 2 ? part[k - at] : 0) + carry;
            carry = p < carry ? 1 : 0;
            if (subtract) {
                carry += word_[k] < p ? 1 : 0;
                word_[k] -= p;
            } else {
                word_[k] += p;
                carry += word_[k] < p ? 1 : 0;
            }
            if (carry == 0 && k >= at + 1) break;
        }
    }

    std::array<std::uint64_t, kWords> word_{};
};

// A group's sum of scores: in extended precision in the order of its
// additions, and exactly, with the exact sum of magnitudes that bounds the
// error of any ordered sum.
struct TrackedSum {
    Extended value = 0;
    WideSum exact;
    WideSum magnitude;

    TrackedSum& operator+=(float v) {
        value += v;
        exact.Add(v);
        magnitude.AddMagnitude(v);
        return *this;
    }
    TrackedSum& operator-=(float v) {
        value -= v;
        exact.Subtract(v);
        magnitude.SubtractMagnitude(v);
        return *this;
    }
    TrackedSum& operator+=(const TrackedSum& other) {
        value += other.value;
        exact += other.exact;
        magnitude += other.magnitude;
        return *this;
    }
    TrackedSum& operator-=(const TrackedSum& other) {
        value -= other.value;
        exact -= other.exact;
        magnitude -= other.magnitude;
        return *this;
    }
};

// An extended-precision value that gives the same float(sum / sqrt(count))
// as the sum of the `count` finite terms of `sum` in every order, or nothing
// when the orders may differ there. Every term is a multiple of
// 2^unitExponent.
inline std::optional<Extended> OrderFreeSum(const TrackedSum& sum, std::size_t count,
                                            int unitExponent) {
    if (count == 0) return Extended{0};
    if (count >= (std::size_t{1} << 40)) return std::nullopt;
    constexpr int kDigits = std::numeric_limits<Extended>::digits;
    const Extended u = std::ldexp(Extended{1}, -kDigits);
    const Extended centre = sum.exact.Approximate();
    const Extended magnitude = sum.magnitude.Approximate();
    // Every partial sum lies between minus the negative terms and the
    // positive ones, (magnitude -+ sum) / 2, and is a multiple of the unit:
    // when that range fits the significand, every order sums exactly, and
    // the conversion of the exact sum is exact too.
    const Extended reach = (magnitude + std::fabs(centre)) / 2 * (1 + 64 * u);
    if (reach < std::ldexp(Extended{1}, kDigits + unitExponent)) return centre;
    // (1 + u)^count < 2 for fewer than 2^40 terms; the rest covers the
    // conversions of the wide sums.
    const Extended radius = 2 * static_cast<Extended>(count) * u * magnitude * (1 + 64 * u) +
                            16 * u * std::fabs(centre) + std::ldexp(Extended{1}, -149);
    Extended low = centre - radius;
    Extended high = centre + radius;
    for (int k = 0; k < 2; ++k) {
        low = std::nextafter(low, -std::numeric_limits<Extended>::infinity());
        high = std::nextafter(high, std::numeric_limits<Extended>::infinity());
    }
    const float q = std::sqrt(static_cast<float>(count));
    const auto a = static_cast<float>(low / q);
    const auto b = static_cast<float>(high / q);
    if (std::bit_cast<std::uint32_t>(a) != std::bit_cast<std::uint32_t>(b)) return std::nullopt;
    return low;
}

}  // namespace tarnvale
