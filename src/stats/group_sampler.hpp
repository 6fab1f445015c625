#pragma once
// The group scores of random groups of scores, drawn with replacement, as the
// background model samples them.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/prefetch.hpp"
#include "stats/exact_sum.hpp"
#include "stats/random.hpp"

namespace tarnvale {

// Each group score is GroupScore of the drawn list (index draws
// Integer(0, last), one after the other), but the list is never built: the
// draws are summed as they come. When every sum of up to maxSize scores is
// exact in a signed 64-bit integer counting units of the scores' lowest bit
// (exact_sum.hpp), the sum is kept in that integer: exact sums do not depend
// on order, so the extended-precision sum GroupScore forms is the same
// number. Otherwise the draws are added in extended precision in draw order,
// exactly as GroupScore adds them.
class GroupSampler {
public:
    // `scores` must not be empty.
    GroupSampler(const std::vector<float>& scores, std::int64_t maxSize, float mean, float sd)
        : mean_(mean), sd_(sd), last_(static_cast<std::int32_t>(scores.size() - 1)) {
        const auto terms = static_cast<std::uint64_t>(maxSize > 0 ? maxSize : 0);
        const SumExactness exactness = CheckSumExactness(scores.data(), scores.size(), terms, 63);
        exact_ = exactness.exact;
        unit_ = exactness.unitExponent;
        if (exact_) {
            units_.Fill(scores.size(), [&](std::size_t i) {
                return static_cast<std::int64_t>(
                    std::ldexp(static_cast<double>(scores[i]), -unit_));
            });
        } else {
            floats_.Fill(scores.size(), [&](std::size_t i) { return scores[i]; });
        }
    }

    // True when sums are kept in integers.
    bool IntegerSums() const { return exact_; }

    // Appends the group scores of `count` groups of `size` (at most maxSize)
    // draws each.
    void Sample(std::int64_t size, int count, Random& rng, std::vector<float>& groupScores) const {
        if (size <= 0 || count <= 0) return;
        const auto k = static_cast<std::uint64_t>(size);
        if (exact_) {
            // ldexp(sum, unit_), without a library call per group: a power of
            // two far inside the range of long double scales exactly.
            const long double scale = std::ldexp(1.0L, unit_);
            units_.SumGroups(rng, last_, k, count, std::int64_t{0}, [&](std::int64_t sum) {
                const long double total = static_cast<long double>(sum) * scale;
                groupScores.push_back(GroupScoreOfSum(total, k, mean_, sd_));
            });
            return;
        }
        floats_.SumGroups(rng, last_, k, count, static_cast<long double>(0), [&](long double sum) {
            groupScores.push_back(GroupScoreOfSum(sum, k, mean_, sd_));
        });
    }

private:
    // The table the draws index. A long table of few distinct values (an edge
    // list of millions holds a few thousand confidences) is kept as 16-bit
    // codes into its distinct values: a quarter or less of the memory, so
    // that random reads mostly hit the caches. The values read are the same.
    template <class T>
    class DrawTable {
    public:
        template <class At>
        void Fill(std::size_t size, At&& at) {
            if (size >= kCodedFrom && Encode(size, at)) return;
            codes_.clear();
            distinct_.resize(size);
            for (std::size_t i = 0; i < size; ++i) distinct_[i] = at(i);
        }

        // For `count` groups of k draws of Integer(0, last) each, in draw
        // order, calls done(sum) with the sum of the group's values, added
        // one by one in draw order to `zero`.
        template <class S, class Done>
        void SumGroups(Random& rng, std::int32_t last, std::uint64_t k, int count, S zero,
                       Done&& done) const {
            const T* values = distinct_.data();
            if (codes_.empty()) {
                SumGroupsOf(
                    rng, last, k, count, zero, values,
                    [values](std::int32_t i) { return values[i]; }, done);
                return;
            }
            const std::uint16_t* codes = codes_.data();
            SumGroupsOf(
                rng, last, k, count, zero, codes,
                [values, codes](std::int32_t i) { return values[codes[i]]; }, done);
        }

    private:
        static constexpr std::size_t kCodedFrom = std::size_t{1} << 16;
        static constexpr std::size_t kMaxDistinct = std::size_t{1} << 16;

        // Gives each value the code of its first occurrence; false when there
        // are more distinct values than codes.
        template <class At>
        bool Encode(std::size_t size, At&& at) {
            constexpr int kSlotBits = 18;
            constexpr std::uint64_t kMask = (std::uint64_t{1} << kSlotBits) - 1;
            std::vector<std::int32_t> slots(std::size_t{1} << kSlotBits, -1);
            distinct_.clear();
            codes_.resize(size);
            for (std::size_t i = 0; i < size; ++i) {
                const T value = at(i);
                const auto bits = Bits(value);
                std::uint64_t h = (bits * 0x9E3779B97F4A7C15ULL) >> (64 - kSlotBits);
                while (slots[h] >= 0 && Bits(distinct_[static_cast<std::size_t>(slots[h])]) != bits)
                    h = (h + 1) & kMask;
                if (slots[h] < 0) {
                    if (distinct_.size() == kMaxDistinct) return false;
                    slots[h] = static_cast<std::int32_t>(distinct_.size());
                    distinct_.push_back(value);
                }
                codes_[i] = static_cast<std::uint16_t>(slots[h]);
            }
            return true;
        }
        static std::uint64_t Bits(T value) {
            if constexpr (sizeof(T) == 4)
                return std::bit_cast<std::uint32_t>(value);
            else
                return std::bit_cast<std::uint64_t>(value);
        }

        std::vector<T> distinct_;  // every entry when codes_ is empty
        std::vector<std::uint16_t> codes_;
    };

    // The draws come a chunk at a time into a local buffer, and the group
    // sum is a local, so that the loop adding the values keeps both in
    // registers. Each value's entry of `fetched` (the array the draw reads
    // at random) is fetched a few draws ahead when the table is larger than
    // the caches, as an edge list of millions of scores is: the reads then
    // overlap instead of waiting one by one.
    template <class S, class U, class At, class Done>
    static void SumGroupsOf(Random& rng, std::int32_t last, std::uint64_t k, int count, S zero,
                            const U* fetched, At at, Done& done) {
        constexpr std::size_t kFetchFrom = std::size_t{1} << 15;  // entries
        if (static_cast<std::size_t>(last) >= kFetchFrom)
            SumGroupsChunked<true>(rng, last, k, count, zero, fetched, at, done);
        else
            SumGroupsChunked<false>(rng, last, k, count, zero, fetched, at, done);
    }

    template <bool kFetch, class S, class U, class At, class Done>
    static void SumGroupsChunked(Random& rng, std::int32_t last, std::uint64_t k, int count, S zero,
                                 const U* fetched, At at, Done& done) {
        constexpr std::size_t kChunk = 1024;
        constexpr std::size_t kAhead = 32;
        // Padded so that fetching ahead needs no bound: every entry, also
        // one left from an earlier chunk, is an index of the table.
        std::int32_t chunk[kChunk + kAhead] = {};
        std::uint64_t left = k * static_cast<std::uint64_t>(count);  // draws not yet made
        std::size_t have = 0;
        std::size_t next = 0;
        for (int g = 0; g < count; ++g) {
            S sum = zero;
            std::uint64_t need = k;
            while (need > 0) {
                if (next == have) {
                    have = static_cast<std::size_t>(left < kChunk ? left : kChunk);
                    rng.FillIndices(last, have, chunk);
                    left -= have;
                    next = 0;
                    if constexpr (kFetch)
                        for (std::size_t j = 0; j < kAhead; ++j)
                            PrefetchAddress(fetched + chunk[j]);
                }
                const std::size_t end =
                    next + static_cast<std::size_t>(need < have - next ? need : have - next);
                for (std::size_t j = next; j < end; ++j) {
                    if constexpr (kFetch) PrefetchAddress(fetched + chunk[j + kAhead]);
                    sum += at(chunk[j]);
                }
                need -= end - next;
                next = end;
            }
            done(sum);
        }
    }

    float mean_;
    float sd_;
    std::int32_t last_;  // the last index of the table
    bool exact_ = false;
    int unit_ = 0;
    DrawTable<std::int64_t> units_;  // each score in units of 2^unit_, when exact_
    DrawTable<float> floats_;        // the scores themselves, otherwise
};

}  // namespace tarnvale
