#pragma once
// The group scores of random groups of scores, drawn with replacement, as the
// background model samples them.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

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
                return static_cast<std::int64_t>(std::ldexp(static_cast<double>(scores[i]), -unit_));
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
        const std::uint64_t draws = k * static_cast<std::uint64_t>(count);
        std::uint64_t drawnInGroup = 0;
        if (exact_) {
            std::int64_t sum = 0;
            units_.ForEachDraw(rng, last_, draws, [&](std::int64_t unit) {
                sum += unit;
                if (++drawnInGroup == k) {
                    const long double total = std::ldexp(static_cast<long double>(sum), unit_);
                    groupScores.push_back(GroupScoreOfSum(total, k, mean_, sd_));
                    sum = 0;
                    drawnInGroup = 0;
                }
            });
            return;
        }
        long double sum = 0;
        floats_.ForEachDraw(rng, last_, draws, [&](float value) {
            sum += value;
            if (++drawnInGroup == k) {
                groupScores.push_back(GroupScoreOfSum(sum, k, mean_, sd_));
                sum = 0;
                drawnInGroup = 0;
            }
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

        // Calls f(value) for `count` draws of Integer(0, last), in order.
        template <class F>
        void ForEachDraw(Random& rng, std::int32_t last, std::uint64_t count, F&& f) const {
            const T* values = distinct_.data();
            if (codes_.empty()) {
                InBatches(rng, last, count, values, [&](std::int32_t i) { f(values[i]); });
                return;
            }
            const std::uint16_t* codes = codes_.data();
            InBatches(rng, last, count, codes, [&](std::int32_t i) { f(values[codes[i]]); });
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

    // Calls f(index) for `count` draws of Integer(0, last), in order, a batch
    // at a time: the whole batch is drawn and its entries of `table` fetched
    // ahead, so that the reads of a table larger than the caches (an edge
    // list has millions of scores) overlap instead of waiting one by one.
    template <class T, class F>
    static void InBatches(Random& rng, std::int32_t last, std::uint64_t count, const T* table, F&& f) {
        constexpr int kBatch = 64;
        std::int32_t batch[kBatch];
        int filled = 0;
        rng.ForEachIndex(last, count, [&](std::int32_t index) {
            __builtin_prefetch(table + index);
            batch[filled++] = index;
            if (filled < kBatch) return;
            for (int j = 0; j < kBatch; ++j) f(batch[j]);
            filled = 0;
        });
        for (int j = 0; j < filled; ++j) f(batch[j]);
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
