#include "stats/random.hpp"

#include <cmath>
#include <ctime>
#include <limits>

namespace tarnvale {
namespace {

// The first outputs after seeding are thrown away; every owner does the same,
// so equal seeds still give equal sequences.
constexpr unsigned long long kDiscardedWords = 37;

constexpr int kShift = 397;  // the middle word of the recurrence
constexpr std::uint32_t kMatrixA = 0x9908b0dfu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7fffffffu;

// One word of the recurrence: the upper bit of `a`, the lower 31 bits of `b`,
// shifted and folded with `far`. A mask made from the low bit (all ones when
// it is set) replaces the branch "if odd, add the matrix"; unlike a
// multiplication by the bit it is two plain vector instructions.
inline std::uint32_t Twist(std::uint32_t a, std::uint32_t b, std::uint32_t far) {
    const std::uint32_t y = (a & kUpperMask) | (b & kLowerMask);
    return far ^ (y >> 1) ^ ((0u - (y & 1u)) & kMatrixA);
}

// The next state from `s`, in place, and its tempered words into `block`.
[[gnu::always_inline]] inline void Regenerate(std::uint32_t* s, std::uint32_t* block) {
    constexpr int n = Mt19937::kStateSize;
    constexpr int m = kShift;
    // Three loops without wrap-around inside any of them. The second reads
    // words the first wrote, always 227 places back, which is far enough for
    // vector code.
    for (int i = 0; i < n - m; ++i) s[i] = Twist(s[i], s[i + 1], s[i + m]);
    for (int i = n - m; i < n - 1; ++i) s[i] = Twist(s[i], s[i + 1], s[i + m - n]);
    s[n - 1] = Twist(s[n - 1], s[0], s[m - 1]);

    for (int i = 0; i < n; ++i) {
        std::uint32_t z = s[i];
        z ^= z >> 11;
        z ^= (z << 7) & 0x9d2c5680u;
        z ^= (z << 15) & 0xefc60000u;
        z ^= z >> 18;
        block[i] = z;
    }
}

// Integer(0, last) of each of `take` words, into out; width is last + 1.
[[gnu::always_inline]] inline void Indices(const std::uint32_t* words, int take, double width,
                                           std::int32_t last, std::int32_t* out) {
    constexpr double kWordScale = 2.3283064365386963e-10;  // 2^-32
    for (int k = 0; k < take; ++k) {
        // As Integer(0, last): the sum 0 + width * u is width * u, and for a
        // value that is not negative rounding down is truncation. x can round
        // up to width itself, which stands for last. The word is converted
        // as a signed word moved down by 2^31, and moved back in double,
        // exactly: the same number, but a conversion the vector units have.
        const auto low = static_cast<std::int32_t>(words[k] ^ 0x80000000u);
        const double word = static_cast<double>(low) + 2147483648.0;
        const double x = width * (word * kWordScale);
        out[k] = x >= width ? last : static_cast<std::int32_t>(x);
    }
}

void RegeneratePlain(std::uint32_t* s, std::uint32_t* block) { Regenerate(s, block); }

void IndicesPlain(const std::uint32_t* words, int take, double width, std::int32_t last,
                  std::int32_t* out) {
    Indices(words, take, width, last, out);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TARNVALE_WIDE_VECTORS 1
// The same loops compiled for 256-bit vectors, for a processor that has
// them: the words are integers, and an index takes the same rounding steps
// four doubles a vector instead of two, so every result is the same.
[[gnu::target("avx2")]] void RegenerateWide(std::uint32_t* s, std::uint32_t* block) {
    Regenerate(s, block);
}

[[gnu::target("avx2")]] void IndicesWide(const std::uint32_t* words, int take, double width,
                                         std::int32_t last, std::int32_t* out) {
    Indices(words, take, width, last, out);
}
#else
constexpr auto RegenerateWide = RegeneratePlain;
constexpr auto IndicesWide = IndicesPlain;
#endif

}  // namespace

bool HasWideVectors() {
#ifdef TARNVALE_WIDE_VECTORS
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide;
#else
    return false;
#endif
}

Mt19937::Mt19937(std::uint32_t seed, bool wide) : wide_(wide && HasWideVectors()) {
    state_[0] = seed;
    for (int i = 1; i < kStateSize; ++i) {
        const std::uint32_t previous = state_[i - 1];
        state_[i] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<std::uint32_t>(i);
    }
}

void Mt19937::Refill() {
    (wide_ ? RegenerateWide : RegeneratePlain)(state_, block_);
    pos_ = 0;
}

Random::Random(std::uint32_t seed, bool wide) : mt_(seed, wide) { mt_.Discard(kDiscardedWords); }

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

void Random::FillIndices(std::int32_t last, std::size_t count, std::int32_t* out) {
    if (last == 0) {
        for (std::size_t k = 0; k < count; ++k) out[k] = 0;
        return;
    }
    const double width = static_cast<double>(static_cast<std::int64_t>(last) + 1);
    const auto fill = mt_.wide() ? IndicesWide : IndicesPlain;
    mt_.ForEachBlock(count, [&](const std::uint32_t* words, int take) {
        fill(words, take, width, last, out);
        out += take;
    });
}

std::uint32_t SeedSource::Next() const {
    if (fixed) return *fixed;
    return static_cast<std::uint32_t>(std::time(nullptr));
}

}  // namespace tarnvale
