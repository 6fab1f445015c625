#include "search/scoring.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "stats/normal.hpp"

namespace tarnvale {

void ScoreNodes(const std::vector<NodeId>& nodes, const NodeMap<AssociationList>& associations,
                const PValueTable& pvalues, NodeMap<double>& nodeScores) {
    FloatList z;
    for (NodeId n : nodes) {
        z.clear();
        const auto& entries = associations.at(n);
        for (const std::string& entry : entries) {
            const auto it = pvalues.first.find(entry);
            if (it == pvalues.first.end()) continue;
            const double p = static_cast<double>(pvalues.values[it->second]);
            z.push_back(-static_cast<float>(NormInv(p)));
        }
        nodeScores[n] = z.empty() ? kNoData : static_cast<double>(Median(z));
    }
}

void RankNodeScores(const std::vector<NodeId>& nodes, const NodeMap<AssociationList>& associations,
                    const PValueTable& pvalues, NodeMap<double>& nodeScores) {
    std::vector<std::pair<double, NodeId>> order;
    std::vector<double> logs;
    for (NodeId n : nodes) {
        logs.clear();
        for (const std::string& entry : associations.at(n))
            if (const auto it = pvalues.first.find(entry); it != pvalues.first.end())
                logs.push_back(pvalues.logValues[it->second]);
        if (logs.empty()) continue;
        std::sort(logs.begin(), logs.end());
        const std::size_t m = logs.size();
        const double median = m % 2 == 1 ? logs[m / 2] : (logs[m / 2 - 1] + logs[m / 2]) / 2;
        order.emplace_back(median, n);
    }
    std::sort(order.begin(), order.end());
    const auto n = static_cast<double>(order.size());
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first;
        while (last + 1 < order.size() && order[last + 1].first == order[first].first) ++last;
        // Ranks first + 1 to last + 1 share their mean.
        const double rank = (static_cast<double>(first + last) + 2.0) / 2.0;
        const auto score = static_cast<float>(-NormInv((rank - 0.5) / n));
        for (std::size_t k = first; k <= last; ++k) nodeScores[order[k].second] = score;
        first = last + 1;
    }
}

FloatList ScoreEdges(const Graph& graph, EdgeMap<float>& edgeValues, EdgeMap<float>& edgeScores) {
    FloatList scores;
    scores.reserve(graph.NumberOfEdges());
    // Edge values repeat: confidences are written with a few digits, so
    // millions of edges share a few thousand values. The last score of each
    // value's slot is remembered (a value meeting another's slot is simply
    // computed again), which gives the same scores at a fraction of the cost.
    struct Remembered {
        std::uint32_t bits = 0;
        float score = 0;
        bool used = false;
    };
    constexpr std::size_t kSlots = 1 << 13;
    std::vector<Remembered> remembered(kSlots);
    graph.ForEachEdge([&](EdgeId e) {
        float& v = edgeValues[e];
        if (v == 0.0f) v = 0.00001f;
        if (v == 1.0f) v = 0.99999f;
        const auto bits = std::bit_cast<std::uint32_t>(v);
        Remembered& slot = remembered[(bits * 0x9E3779B1u) >> 19];
        if (!slot.used || slot.bits != bits)
            slot = {bits, static_cast<float>(NormInv(static_cast<double>(v))), true};
        const float score = slot.score;
        edgeScores[e] = score;
        scores.push_back(score);
    });
    return scores;
}

}  // namespace tarnvale
