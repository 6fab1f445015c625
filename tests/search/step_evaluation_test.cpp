// Whole annealing runs with both step evaluations must be the same run: the
// same printed lines (every step's best group size and score), the same
// final selection, best score and step count.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "search/annealing.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 31337u;

enum class Scores {
    Normal,    // z-scores: sums kept incrementally
    Wide,      // +-2^70 among small values: sums redone in visiting order
    Negative,  // mostly negative: states without a group get accepted
    Few,       // three values: many groups score the same
    Spread,    // magnitudes from 2^-40 to 4: settled by the exact sums
};

struct Network {
    Graph graph;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeScores;
    ScoreContext context;
};

float Draw(Scores kind, std::mt19937& rng) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    switch (kind) {
        case Scores::Normal:
            return 2.0f * unit(rng) + 0.3f;
        case Scores::Wide:
            // +-2^70 against small values: a small value added to 2^70 is
            // lost, so a sum depends on whether the large ones cancel first.
            if (rng() % 4 == 0) return rng() % 2 == 0 ? 0x1p70f : -0x1p70f;
            return 2.0f * unit(rng) + 0.3f;
        case Scores::Negative:
            return unit(rng) - 1.2f;
        case Scores::Few:
            return std::array<float, 3>{-1.0f, 0.5f, 2.0f}[rng() % 3];
        case Scores::Spread:
            return std::ldexp(unit(rng), -static_cast<int>(rng() % 43) + 2) + 0.3f * unit(rng);
    }
    return 0;
}

// A random graph with a few hubs: every edge has one end among the first
// `hubs` nodes with probability one half. Loops and repeated pairs included.
Network Build(int n, int m, int hubs, Scores kind, bool nodeOnly, int hub, std::mt19937& rng) {
    Network net;
    for (int k = 0; k < n; ++k) net.nodeScores[net.graph.NewNode()] = Draw(kind, rng);
    std::uniform_int_distribution<int> any(0, n - 1);
    std::uniform_int_distribution<int> hubPick(0, hubs - 1);
    for (int k = 0; k < m; ++k) {
        const int a = rng() % 2 == 0 ? hubPick(rng) : any(rng);
        const EdgeId e = net.graph.NewEdge(a, any(rng));
        net.edgeScores[e] = Draw(kind == Scores::Negative ? Scores::Normal : kind, rng);
    }
    net.context.nodeModel.mean = 0.05f;
    net.context.nodeModel.sd = 1.2f;
    net.context.nodeModel.meanCoef = 0.3f;
    net.context.nodeModel.sdCoef = 0.8f;
    net.context.nodeModel.sdExp = 0.2f;
    net.context.edgeModel.mean = -0.2f;
    net.context.edgeModel.sd = 0.9f;
    net.context.edgeModel.meanCoef = 0.1f;
    net.context.edgeModel.sdCoef = 1.1f;
    net.context.edgeModel.sdExp = 0.1f;
    net.context.nodeOnly = nodeOnly;
    net.context.hub = hub;
    return net;
}

struct Outcome {
    std::string printed;
    std::vector<NodeId> selected;
    std::uint32_t bestBits = 0;
    std::uint64_t steps = 0;
};

Outcome Run(const Network& net, const AnnealOptions& options, StepEvaluation evaluation) {
    Graph graph = net.graph;
    NodeMap<bool> selection;
    AnnealOptions with = options;
    with.evaluation = evaluation;
    std::ostringstream out;
    const AnnealResult result =
        AnnealRun(graph, {net.nodeScores, net.edgeScores, net.context}, selection, with, kSeed, out);
    Outcome outcome;
    outcome.printed = out.str();
    for (NodeId v = 0; v < static_cast<NodeId>(graph.NumberOfNodeIds()); ++v)
        if (selection.get(v)) outcome.selected.push_back(v);
    outcome.bestBits = std::bit_cast<std::uint32_t>(result.bestScore);
    outcome.steps = result.steps;
    return outcome;
}

struct Case {
    int nodes, edges, hubs;
    Scores scores;
    bool nodeOnly;
    int hub;
    int heuristic;
    int quenching;
    int nmax;
    std::uint64_t iterations;
};

std::string Describe(const Case& c) {
    std::ostringstream s;
    s << c.nodes << " nodes, " << c.edges << " edges, scores " << static_cast<int>(c.scores)
      << (c.nodeOnly ? ", node-only" : ", with edges") << ", hub " << c.hub << ", heuristic "
      << c.heuristic << ", quenching " << c.quenching << ", nmax " << c.nmax << ", N "
      << c.iterations;
    return s.str();
}

void ExpectSameRun(const Case& c, std::mt19937& rng) {
    const Network net = Build(c.nodes, c.edges, c.hubs, c.scores, c.nodeOnly, c.hub, rng);
    AnnealOptions options;
    options.iterations = c.iterations;
    options.heuristic = c.heuristic;
    options.quenching = c.quenching;
    options.nmax = c.nmax;
    const Outcome reference = Run(net, options, StepEvaluation::FromScratch);
    const Outcome incremental = Run(net, options, StepEvaluation::Incremental);
    EXPECT_EQ(incremental.printed, reference.printed) << Describe(c);
    EXPECT_EQ(incremental.selected, reference.selected) << Describe(c);
    EXPECT_EQ(incremental.bestBits, reference.bestBits) << Describe(c);
    EXPECT_EQ(incremental.steps, reference.steps) << Describe(c);
}

TEST(StepEvaluation, EveryHeuristicGivesTheSameRunBothWays) {
    std::mt19937 rng(kSeed);
    for (int heuristic = 0; heuristic <= 8; ++heuristic) {
        for (int quenching : {0, 1}) {
            ExpectSameRun({120, 300, 6, Scores::Normal, heuristic % 2 == 0, 8, heuristic, quenching,
                           5, 600},
                          rng);
        }
    }
}

TEST(StepEvaluation, HubsCutTheirNeighboursTheSameWayBothWays) {
    // Low hub thresholds make most selecting moves apply the hub rule, read
    // against best groups of accepted and of rejected proposals.
    std::mt19937 rng(kSeed);
    for (int hub : {0, 2, 5}) {
        for (int nmax : {1, 5, 40}) {
            ExpectSameRun({90, 260, 4, Scores::Normal, nmax != 5, hub, 1 + hub % 3, 1, nmax, 500},
                          rng);
        }
    }
}

TEST(StepEvaluation, SumsNotProvablyExactGiveTheSameRunBothWays) {
    std::mt19937 rng(kSeed);
    for (Scores kind : {Scores::Wide, Scores::Spread}) {
        for (bool nodeOnly : {true, false}) {
            for (int heuristic : {1, 2, 5}) {
                ExpectSameRun({100, 240, 5, kind, nodeOnly, 4, heuristic, 1, 5, 500}, rng);
            }
        }
    }
    // Many nodes, few edges: large sparse groups.
    ExpectSameRun({3000, 3600, 20, Scores::Spread, false, 8, 4, 1, 5, 2000}, rng);
}

TEST(StepEvaluation, AcceptedStatesWithoutGroupsKeepTheOldBestGroup) {
    // Negative groups lose against the 0 that pads a proposal without any
    // group, so such proposals are accepted; the hub rule then reads a best
    // group of a state the run has left.
    std::mt19937 rng(kSeed);
    for (int hub : {0, 1, 3}) {
        for (int heuristic : {1, 2, 6}) {
            for (int nmax : {1, 4}) {
                ExpectSameRun({40, 70, 3, Scores::Negative, true, hub, heuristic, 1, nmax, 800}, rng);
                ExpectSameRun({25, 30, 2, Scores::Negative, false, hub, heuristic, 1, nmax, 300}, rng);
            }
        }
    }
}

TEST(StepEvaluation, EqualGroupScoresRankInComponentOrderBothWays) {
    std::mt19937 rng(kSeed);
    for (int hub : {1, 4}) {
        for (int nmax : {1, 3, 30}) {
            ExpectSameRun({80, 110, 4, Scores::Few, true, hub, 1 + nmax % 4, 1, nmax, 700}, rng);
        }
    }
}

TEST(StepEvaluation, DenseAndSparseGraphsAtLongerRuns) {
    std::mt19937 rng(kSeed);
    ExpectSameRun({30, 400, 3, Scores::Normal, false, 10, 1, 1, 5, 2000}, rng);
    ExpectSameRun({300, 330, 10, Scores::Normal, true, 6, 4, 1, 5, 2000}, rng);
    ExpectSameRun({200, 900, 8, Scores::Normal, false, 100, 7, 0, 3, 3000}, rng);
}

}  // namespace
}  // namespace tarnvale
