// Random scored networks for the differential tests of the search, with
// node and edge scores of kinds that stress how group scores are summed.
#pragma once

#include <array>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "search/score_context.hpp"
#include "search/search_graph.hpp"
#include "stats/random.hpp"

namespace tarnvale {

enum class Scores {
    Normal,    // z-scores: every sum exact, kept incrementally
    Wide,      // +-2^70 among small values: sums depend on their order
    Negative,  // mostly negative: states without a group get accepted
    Few,       // three values: many equal group scores
    Spread,    // magnitudes from 2^-40 to 4: no sum provably exact, yet
               // every score the same in every order of summing
};

inline float DrawScore(Scores kind, std::mt19937& rng) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    switch (kind) {
        case Scores::Normal:
            return 2.5f * unit(rng) + 0.3f;
        // A small value added to 2^70 is lost: a sum depends on whether the
        // large ones cancel first.
        case Scores::Wide:
            return rng() % 3 == 0 ? (rng() % 2 ? 0x1p70f : -0x1p70f) : 2.5f * unit(rng);
        case Scores::Negative:
            return unit(rng) - 1.2f;
        case Scores::Few:
            return std::array<float, 3>{-1.0f, 0.5f, 2.0f}[rng() % 3];
        case Scores::Spread:
            return std::ldexp(unit(rng), -static_cast<int>(rng() % 43) + 2);
    }
    return 0;
}

// How many words `rng`, seeded `seed`, has drawn: the position of its next
// word in a fresh generator's sequence (at most 64).
inline int WordsTaken(Random& rng, std::uint32_t seed) {
    const std::uint32_t next = rng.NextWord();
    Random twin(seed);
    int words = 0;
    while (words < 64 && twin.NextWord() != next) ++words;
    return words;
}

struct ScoredNetwork {
    Graph graph;
    SearchGraph search;  // what the searches read
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeScores;
    ScoreContext context;
    std::vector<NodeId> nodes;

    ScoreInputs Inputs() const { return {nodeScores, edgeScores, context}; }
};

// `edges` lists node index pairs (loops and repeated pairs welcome). Every
// 17th node is deleted afterwards, so that ids and node-list positions differ.
// The background models are skewed, so that no correction is neutral.
inline ScoredNetwork Build(int n, const std::vector<std::pair<int, int>>& edges, Scores kind,
                           bool nodeOnly, std::mt19937& rng) {
    ScoredNetwork net;
    for (int k = 0; k < n; ++k) net.nodeScores[net.graph.NewNode()] = DrawScore(kind, rng);
    for (auto [a, b] : edges)
        net.edgeScores[net.graph.NewEdge(a, b)] =
            DrawScore(kind == Scores::Negative ? Scores::Normal : kind, rng);
    for (int k = 0; k < n; k += 17) net.graph.DelNode(k);
    net.graph.Compact();
    net.graph.MakeUndirected();
    net.context = {
        {0.05f, 1.2f, 0.8f, 0.2f, 0.3f, 0.0f}, {-0.2f, 0.9f, 1.1f, 0.1f, 0.1f, 0.0f}, nodeOnly};
    net.nodes = net.graph.Nodes();
    net.search = SearchGraph(net.graph, nodeOnly ? nullptr : &net.edgeScores);
    return net;
}

// m random edges; with probability one half an edge starts at one of the
// first `hubs` nodes.
inline std::vector<std::pair<int, int>> RandomEdges(int n, int m, int hubs, std::mt19937& rng) {
    std::vector<std::pair<int, int>> edges;
    for (int k = 0; k < m; ++k) {
        const auto below = [&rng](int count) {
            return static_cast<int>(rng() % static_cast<unsigned>(count));
        };
        const int a = rng() % 2 == 0 ? below(hubs) : below(n);
        edges.push_back({a, below(n)});
    }
    return edges;
}

}  // namespace tarnvale
