#pragma once
// The group scores of random groups of scores, drawn with replacement, as the
// background model samples them.

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
    // `scores` must not be empty and must outlive the sampler.
    GroupSampler(const std::vector<float>& scores, std::int64_t maxSize, float mean, float sd)
        : scores_(scores), mean_(mean), sd_(sd) {
        const auto terms = static_cast<std::uint64_t>(maxSize > 0 ? maxSize : 0);
        const SumExactness exactness = CheckSumExactness(scores.data(), scores.size(), terms, 63);
        exact_ = exactness.exact;
        unit_ = exactness.unitExponent;
        if (exact_) {
            units_.reserve(scores.size());
            for (float v : scores)
                units_.push_back(static_cast<std::int64_t>(std::ldexp(static_cast<double>(v), -unit_)));
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
        const auto last = static_cast<std::int32_t>(scores_.size() - 1);
        std::uint64_t drawnInGroup = 0;
        if (exact_) {
            const std::int64_t* units = units_.data();
            std::int64_t sum = 0;
            InBatches(rng, last, draws, units, [&](std::int32_t index) {
                sum += units[index];
                if (++drawnInGroup == k) {
                    const long double total = std::ldexp(static_cast<long double>(sum), unit_);
                    groupScores.push_back(GroupScoreOfSum(total, k, mean_, sd_));
                    sum = 0;
                    drawnInGroup = 0;
                }
            });
            return;
        }
        const float* values = scores_.data();
        long double sum = 0;
        InBatches(rng, last, draws, values, [&](std::int32_t index) {
            sum += values[index];
            if (++drawnInGroup == k) {
                groupScores.push_back(GroupScoreOfSum(sum, k, mean_, sd_));
                sum = 0;
                drawnInGroup = 0;
            }
        });
    }

private:
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

    const std::vector<float>& scores_;
    float mean_;
    float sd_;
    bool exact_ = false;
    int unit_ = 0;
    std::vector<std::int64_t> units_;  // each score in units of 2^unit_
};

}  // namespace tarnvale
