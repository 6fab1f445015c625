#include "search/scoring.hpp"

#include <bit>
#include <cstdint>

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
