#pragma once
// The program's one source of chance: MT19937 with its first 37 outputs
// discarded, a uniform draw in [0, 1) and an integer draw over a closed range.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tarnvale {

// Whether this processor runs 256-bit vector (AVX2) code. The generator's
// loops are compiled both plain and for such vectors; both give the same words.
bool HasWideVectors();

// MT19937, word for word the sequence of std::mt19937 for the same seed. The
// state is regenerated a block of 624 words at a time without a branch on the
// data, and the whole block is tempered at once, so both loops compile to
// straight vector code; drawing a word is then a load from the block.
class Mt19937 {
public:
    static constexpr int kStateSize = 624;

    // `wide`: the vector loops, where the processor has them.
    explicit Mt19937(std::uint32_t seed, bool wide = HasWideVectors());
    bool wide() const { return wide_; }

    std::uint32_t operator()() {
        if (pos_ == kStateSize) Refill();
        return block_[pos_++];
    }
    void Discard(unsigned long long count) {
        for (unsigned long long k = 0; k < count; ++k) (*this)();
    }

    // Calls f(words, n) for runs of the next `count` words, in order, each
    // run a part of the current block.
    template <class F>
    void ForEachBlock(std::uint64_t count, F&& f) {
        while (count > 0) {
            if (pos_ == kStateSize) Refill();
            const auto available = static_cast<std::uint64_t>(kStateSize - pos_);
            const auto take = static_cast<int>(count < available ? count : available);
            f(static_cast<const std::uint32_t*>(block_ + pos_), take);
            pos_ += take;
            count -= static_cast<std::uint64_t>(take);
        }
    }

private:
    void Refill();

    std::uint32_t state_[kStateSize];
    std::uint32_t block_[kStateSize];  // tempered outputs of the current state
    int pos_ = kStateSize;
    bool wide_;
};

class Random {
public:
    // Standard MT19937 seeding from one 32-bit word, then 37 outputs discarded.
    explicit Random(std::uint32_t seed, bool wide = HasWideVectors());

    // The next MT19937 output.
    std::uint32_t NextWord() { return mt_(); }
    // The next word times 2^-32: a double in [0, 1), one word per draw.
    double Uniform() { return static_cast<double>(NextWord()) * kWordScale; }
    // An integer in [min, max] from one uniform draw u: floor(min + (max - min
    // + 1) * u) in double, clamped to max. max == min returns min and
    // max < min returns INT32_MIN, neither consuming a word.
    std::int32_t Integer(std::int32_t min, std::int32_t max);

    // Writes the results of `count` calls of Integer(0, last) to out, in
    // order; last must not be negative. The plain loop over the generator's
    // block keeps the draws of a background model in registers.
    void FillIndices(std::int32_t last, std::size_t count, std::int32_t* out);

private:
    static constexpr double kWordScale = 2.3283064365386963e-10;  // 2^-32
    Mt19937 mt_;
};

// Where every generator of a run takes its seed: the --seed value when one was
// given, else the calendar time in whole seconds when the generator is made.
struct SeedSource {
    std::optional<std::uint32_t> fixed;
    std::uint32_t Next() const;
};

}  // namespace tarnvale
