// Ranking the groups of the applied state: the committed groups that did
// not change, merged with the changed ones, ties in component order.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "search/evaluate.hpp"
#include "search/group_tracker.hpp"

namespace tarnvale {

namespace {

bool RankTie(float x, float y) { return !RanksBefore(x, y) && !RanksBefore(y, x); }

}  // namespace

bool GroupTracker::RankLess::operator()(const RankKey& a, const RankKey& b) const {
    if (RanksBefore(a.score, b.score)) return true;
    if (RanksBefore(b.score, a.score)) return false;
    return a.id < b.id;
}

ComponentId GroupTracker::Rank(int nmax, std::vector<float>& scores) {
    scores.clear();
    const std::size_t want = static_cast<std::size_t>(std::max(nmax, 1));

    // The changed groups, in ranking order, merged with the committed ones
    // that did not change.
    fresh_.clear();
    if (pending_) {
        for (ComponentId c : changed_) {
            const Component& comp = components_[Index(c)];
            if (comp.summary.alive && comp.nodes.size() >= 2)
                fresh_.push_back({comp.summary.score, c});
        }
        std::sort(fresh_.begin(), fresh_.end(), RankLess{});
    }
    auto it = ranked_.begin();
    std::size_t f = 0;
    auto next = [&](RankKey& key) {
        while (it != ranked_.end() && Changed(it->id)) ++it;
        const bool haveOld = it != ranked_.end();
        const bool haveNew = f < fresh_.size();
        if (!haveOld && !haveNew) return false;
        if (haveOld && (!haveNew || RankLess{}(*it, fresh_[f]))) {
            key = *it++;
        } else {
            key = fresh_[f++];
        }
        return true;
    };

    // The first `want` groups and the rest of the last tie among them.
    top_.clear();
    RankKey key{};
    while (next(key)) {
        if (top_.size() >= want && !RankTie(key.score, top_.back().score)) break;
        top_.push_back(key);
    }
    if (top_.empty()) return kNoComponent;

    // Within a tie, component order decides. Ties of one bit pattern give
    // the same list in any order; the best group is the first of the top tie.
    bool sameBits = true;
    std::size_t topTie = 1;
    for (std::size_t k = 1; k < top_.size(); ++k) {
        if (!RankTie(top_[k].score, top_[k - 1].score)) continue;
        if (std::bit_cast<std::uint32_t>(top_[k].score) !=
            std::bit_cast<std::uint32_t>(top_[k - 1].score))
            sameBits = false;
        if (k == topTie) ++topTie;
    }
    if (!sameBits) {
        // A tie of +0 and -0, or of differing not-a-numbers: order every tie.
        std::size_t begin = 0;
        while (begin < top_.size()) {
            std::size_t end = begin + 1;
            while (end < top_.size() && RankTie(top_[end].score, top_[begin].score)) ++end;
            std::stable_sort(top_.begin() + static_cast<std::ptrdiff_t>(begin),
                             top_.begin() + static_cast<std::ptrdiff_t>(end),
                             [&](const RankKey& a, const RankKey& b) {
                                 return FirstPosition(a.id) < FirstPosition(b.id);
                             });
            begin = end;
        }
    }
    ComponentId best = top_.front().id;
    for (std::size_t k = 1; k < topTie; ++k)
        if (FirstPosition(top_[k].id) < FirstPosition(best)) best = top_[k].id;

    const std::size_t keep = std::min(want, top_.size());
    for (std::size_t k = 0; k < keep; ++k) scores.push_back(top_[k].score);
    return best;
}

}  // namespace tarnvale
