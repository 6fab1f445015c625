#include "search/heuristics.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "stats/normal.hpp"

namespace tarnvale {

namespace {

// The node scores as floats, in node order.
FloatList ScoresInNodeOrder(const SearchGraph& graph, const NodeMap<double>& nodeScores) {
    FloatList scores;
    scores.reserve(graph.NumberOfNodes());
    graph.ForEachNode([&](NodeId n) { scores.push_back(static_cast<float>(nodeScores.get(n))); });
    return scores;
}

FloatList SortedScores(const SearchGraph& graph, const NodeMap<double>& nodeScores) {
    FloatList v = ScoresInNodeOrder(graph, nodeScores);
    std::sort(v.begin(), v.end(), std::greater<float>());
    return v;
}

// Mean and standard deviation of a score list, both kept as floats.
struct Spread {
    float mu;
    float sd;
};

Spread SpreadOf(const FloatList& scores, std::ostream& out) {
    return {static_cast<float>(Mean(scores)), static_cast<float>(StdDev(scores, out))};
}

// How far the mean of the first c sorted values lies above the mean of all,
// in standard errors of a mean of c values. `sum` is the extended-precision
// sum of those c values, added from the first, as Sum adds them.
float PrefixScore(Extended sum, std::size_t c, float muAll, float sdAll) {
    const float prefixSum = static_cast<float>(sum);
    const double count = static_cast<double>(c);
    const float mean = static_cast<float>(static_cast<double>(prefixSum) * (1.0 / count));
    const float se = static_cast<float>(static_cast<double>(sdAll) / std::sqrt(count));
    return (mean - muAll) / se;
}

// One uniform draw of the move generator, rounded to float.
float Draw(Random& rng) { return static_cast<float>(rng.Uniform()); }

// The chance that a standard normal value lies above z, as a float.
float UpperTail(double z) { return static_cast<float>(1.0 - NormCdf(z)); }

// The upper tail of the neighbour statistic t of a node: the mean score of its
// neighbours in standard errors above the mean of all nodes. A node whose
// neighbours were all deleted by an earlier run has no such statistic: the
// mean of no scores is undefined (NaN), which exceeds no draw, so the test
// by neighbours never clears such a node.
float NeighbourTail(const SearchGraph& graph, NodeId node, const NodeMap<double>& nodeScores,
                    Spread all) {
    const std::int64_t degree = graph.Degree(node);
    if (degree == 0) return std::numeric_limits<float>::quiet_NaN();
    float sum = 0;
    for (const SearchGraph::Adjacent& a : graph.Neighbours(node))
        sum += static_cast<float>(nodeScores.get(a.node));
    const double d = static_cast<double>(degree);
    const float mean = static_cast<float>(static_cast<double>(sum) * (1.0 / d));
    const float t = static_cast<float>(static_cast<double>(mean - all.mu) /
                                       (static_cast<double>(all.sd) / std::sqrt(d)));
    return UpperTail(t);
}

// Selects exactly the nodes whose score, in double, is not below the cut.
void ApplyCut(const SearchGraph& graph, NodeMap<bool>& selection, const NodeMap<double>& nodeScores,
              float cut) {
    const double threshold = static_cast<double>(cut);
    graph.ForEachNode([&](NodeId n) { selection[n] = nodeScores.get(n) >= threshold; });
}

void RandomStart(const SearchGraph& graph, NodeMap<bool>& selection, Random& rng) {
    // A draw of 0 leaves the flag as it was.
    graph.ForEachNode([&](NodeId n) {
        if (rng.Integer(0, 1) != 0) selection[n] = true;
    });
}

void P0(const SearchGraph& graph, NodeMap<bool>& selection, const NodeMap<double>& nodeScores,
        Random& rng) {
    graph.ForEachNode([&](NodeId n) {
        const float q = UpperTail(nodeScores.get(n));
        selection[n] = true;
        if (q > Draw(rng)) selection[n] = false;
    });
}

void P1(const SearchGraph& graph, NodeMap<bool>& selection, const NodeMap<double>& nodeScores,
        Random& rng, std::ostream& out) {
    const Spread all = SpreadOf(ScoresInNodeOrder(graph, nodeScores), out);
    graph.ForEachNode([&](NodeId n) {
        const float q = NeighbourTail(graph, n, nodeScores, all);
        selection[n] = true;
        if (q > Draw(rng)) selection[n] = false;
    });
}

void POP1(const SearchGraph& graph, NodeMap<bool>& selection, const NodeMap<double>& nodeScores,
          Random& rng, std::ostream& out) {
    const Spread all = SpreadOf(ScoresInNodeOrder(graph, nodeScores), out);
    graph.ForEachNode([&](NodeId n) {
        const float qNode = UpperTail(nodeScores.get(n));
        const float qNeighbours = NeighbourTail(graph, n, nodeScores, all);
        selection[n] = true;
        // One draw serves both tests: either passing keeps the node.
        const float u = Draw(rng);
        if (qNeighbours > u && qNode > u) selection[n] = false;
    });
}

void LowerBound(const SearchGraph& graph, NodeMap<bool>& selection,
                const NodeMap<double>& nodeScores, std::ostream& out) {
    const FloatList v = SortedScores(graph, nodeScores);
    if (v.empty()) return;
    const Spread all = SpreadOf(v, out);
    ApplyCut(graph, selection, nodeScores, v[LowerBoundCutIndex(v, all.mu, all.sd)]);
}

void LowerBoundApproximation(const SearchGraph& graph, NodeMap<bool>& selection,
                             const NodeMap<double>& nodeScores, std::ostream& out) {
    const FloatList v = SortedScores(graph, nodeScores);
    if (v.empty()) return;
    const float cut = v[ApproximationCutIndex(v.size())];
    out << "z-cut: " << cut << '\n';
    ApplyCut(graph, selection, nodeScores, cut);
}

void LowerBoundLocalSearch(const SearchGraph& graph, NodeMap<bool>& selection,
                           const NodeMap<double>& nodeScores, std::ostream& out) {
    const FloatList v = SortedScores(graph, nodeScores);
    if (v.empty()) return;
    const Spread all = SpreadOf(v, out);
    const float cut = v[LocalSearchCutIndex(v, all.mu, all.sd, out)];
    out << "z-cut: " << cut << '\n';
    ApplyCut(graph, selection, nodeScores, cut);
}

}  // namespace

std::size_t LowerBoundCutIndex(const FloatList& v, float muAll, float sdAll) {
    float previous = 0;
    float current = 1;
    std::size_t c = 0;
    Extended sum = 0;
    while (current > previous && c < v.size()) {
        previous = c == 0 ? 0.0f : current;
        sum += v[c];
        current = PrefixScore(sum, c + 1, muAll, sdAll);
        ++c;
    }
    return c - 1;
}

std::size_t ApproximationCutIndex(std::size_t nodeCount) {
    return static_cast<std::size_t>(static_cast<int>(static_cast<double>(nodeCount) * 0.27));
}

std::size_t LocalSearchCutIndex(const FloatList& v, float muAll, float sdAll, std::ostream& out) {
    const std::size_t m = ApproximationCutIndex(v.size());
    Extended sum = 0;
    for (std::size_t k = 0; k <= m; ++k) sum += v[k];
    float previous = 0;
    float current = PrefixScore(sum, m + 1, muAll, sdAll);
    std::size_t j = m + 1;
    while (current > previous && j < v.size()) {
        previous = current;
        sum += v[j];
        current = PrefixScore(sum, j + 1, muAll, sdAll);
        ++j;
        out << ".\n";
    }
    // The last value added; m itself when the starting prefix did not score
    // above 0 and never grew.
    return j - 1;
}

void Initialize(int number, const SearchGraph& graph, NodeMap<bool>& selection,
                const NodeMap<double>& nodeScores, Random& rng, std::ostream& out) {
    switch (number) {
        case 1:
            out << "Heuristic: Random\n";
            RandomStart(graph, selection, rng);
            break;
        case 3:
            out << "Heuristic: P1\n";
            P1(graph, selection, nodeScores, rng, out);
            break;
        case 4:
            out << "Heuristic: POP1\n";
            POP1(graph, selection, nodeScores, rng, out);
            break;
        case 5:
            out << "Heuristic: LowerBound\n";
            LowerBound(graph, selection, nodeScores, out);
            break;
        case 6:
            out << "Heuristic: LowerBound Approximation\n";
            LowerBoundApproximation(graph, selection, nodeScores, out);
            break;
        case 7:
            out << "Heuristic: LowerBound Local Search\n";
            LowerBoundLocalSearch(graph, selection, nodeScores, out);
            break;
        default:  // 2, and every number outside 1 to 7
            out << "Heuristic: P0\n";
            P0(graph, selection, nodeScores, rng);
            break;
    }
}

}  // namespace tarnvale
