// The start heuristics against the chances and cuts worked out by hand, the
// annealing run's cooling factor and quench passes on small graphs, and whole
// runs with the incremental step evaluation (the group tracker) against the
// from-scratch one on random networks. Last, the subnetwork score of a group
// and the rule that accepts or rejects a proposed state.

#include "search/annealing.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "search/acceptance.hpp"
#include "search/evaluate.hpp"
#include "search/heuristics.hpp"
#include "search/random_network.hpp"
#include "search/subnetwork_score.hpp"
#include "stats/normal.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 4242u;

using Nodes = std::vector<NodeId>;

Nodes Selected(const Graph& graph, const NodeMap<bool>& selection) {
    Nodes result;
    for (NodeId n = 0; n < static_cast<NodeId>(graph.NumberOfNodeIds()); ++n)
        if (selection.get(n)) result.push_back(n);
    return result;
}

// A small graph with the given node scores, scored by nodes alone against
// neutral models.
ScoredNetwork Small(const std::vector<double>& nodeScores,
                    const std::vector<std::pair<int, int>>& edges) {
    ScoredNetwork net;
    for (double s : nodeScores) net.nodeScores[net.graph.NewNode()] = s;
    for (auto [a, b] : edges) net.graph.NewEdge(a, b);
    net.graph.MakeUndirected();
    net.context.nodeModel = {0, 1, 1, 0, 0, 0};
    net.search = SearchGraph(net.graph, nullptr);
    return net;
}

// One run, its printed lines in `printed`.
AnnealResult RunOnce(const ScoredNetwork& net, NodeMap<bool>& selection,
                     const AnnealOptions& options, std::string& printed) {
    std::ostringstream out;
    const AnnealResult result = AnnealRun(net.search, net.Inputs(), selection, options, kSeed, out);
    printed = out.str();
    return result;
}

TEST(Anneal, StartLinesCoolingFactorAndTheRepeatedQuench) {
    // Equal scores on a complete graph of four: LowerBound selects all (its
    // deviation of 0 prints the StdDev message), and every first move leaves
    // a triangle, which beats the absent score of the start.
    const ScoredNetwork net =
        Small({-1, -1, -1, -1}, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}});
    NodeMap<bool> selection, pathSelection;
    std::string printed;
    const AnnealOptions one{
        .iterations = 1, .tStart = 1, .tEnd = 0.25f, .heuristic = 5, .quenching = 0};
    EXPECT_FLOAT_EQ(RunOnce(net, selection, one, printed).bestScore, -1.7320508f);
    EXPECT_EQ(printed.substr(0, 10), "\nr= 0.25\nH");
    EXPECT_TRUE(printed.ends_with("initialization: done!\nStart SA\n0:\t3\t-1.73205\n"));
    EXPECT_EQ(Selected(net.graph, selection).size(), 3u);
    // Path 0-1-2 with scores 3, 2, 1. The approximation starts from {0}; the
    // quench pass accepts {0,1} (5/sqrt 2 = 3.536) and rejects {0,1,2}
    // (6/sqrt 3 = 3.464), so a second pass follows (once) and accepts nothing:
    // it must compare against 3.536, not start over from the absent score.
    const ScoredNetwork path = Small({3, 2, 1}, {{0, 1}, {1, 2}});
    const AnnealOptions quench{.iterations = 0, .heuristic = 6, .quenching = 1};
    EXPECT_FLOAT_EQ(RunOnce(path, pathSelection, quench, printed).bestScore,
                    5.0f / std::sqrt(2.0f));
    const auto again = printed.find("\nQuenching again..\n");
    EXPECT_TRUE(again != std::string::npos && again == printed.rfind("\nQuenching again..\n"));
    EXPECT_EQ(Selected(path.graph, pathSelection), (Nodes{0, 1}));
}

// Path 0-1-2-3 with scores 1, -1, 1, -1 and an isolated node 4 of score 0:
// the mean of all scores is 0 and their sample deviation exactly 1, so the
// neighbour statistics are -1, sqrt 2, -sqrt 2, 1, and NaN for node 4 (as for
// a node whose neighbours an earlier run deleted), whose tail exceeds no draw.
TEST(Initialize, ChanceStartsDecideEachNodeByItsDrawInNodeOrder) {
    const double t[] = {-1, std::sqrt(2.0), -std::sqrt(2.0), 1, NAN};
    auto tail = [](double z) { return static_cast<float>(1.0 - NormCdf(z)); };
    for (int number : {1, 2, 3, 4}) {
        const ScoredNetwork s = Small({1, -1, 1, -1, 0}, {{0, 1}, {1, 2}, {2, 3}});
        NodeMap<bool> selection;
        selection[2] = true;  // Random never clears a flag; the others overwrite it
        Random rng(kSeed);
        std::ostringstream out;
        Initialize(number, s.search, selection, s.nodeScores, rng, out);
        EXPECT_EQ(WordsTaken(rng, kSeed), 5) << number;
        Random replay(kSeed);
        for (NodeId n = 0; n < 5; ++n) {
            const auto u =
                static_cast<float>(number == 1 ? replay.Integer(0, 1) : replay.Uniform());
            const bool own = tail(s.nodeScores.get(n)) > u, neighbours = tail(t[n]) > u;
            const bool expected[] = {u != 0 || n == 2, !own, !neighbours, !(own && neighbours)};
            EXPECT_EQ(selection.get(n), expected[number - 1]) << number << " node " << n;
        }
    }
}

TEST(Initialize, LocalSearchCut) {
    // Five 3s and five -1s: mean 1, deviation sqrt(40/9). From the first
    // three values the prefix scores 1.643, 1.897, 2.121, then 1.549.
    const FloatList v = {3, 3, 3, 3, 3, -1, -1, -1, -1, -1};
    // At 100 the start is not above 0: no growth. At -100 the score still
    // rises at the last value. At 2.5 the start is the mean of all three first
    // values, 3, above 2.5; it grows while the mean stays above 2.5 (up to 14/6).
    // One dot a line per value taken after the first three.
    const std::pair<float, std::size_t> cases[] = {{1.0f, 5}, {100.0f, 2}, {-100.0f, 9}, {2.5f, 5}};
    for (const auto& [mu, cut] : cases) {
        std::ostringstream out;
        EXPECT_EQ(LocalSearchCutIndex(v, mu, std::sqrt(40.0f / 9.0f), out), cut) << mu;
        std::string dots;
        for (std::size_t k = 3; k <= cut; ++k) dots += ".\n";
        EXPECT_EQ(out.str(), dots) << mu;
    }
}

// Whole runs with both step evaluations must be the same run: the same
// printed lines, final selection, best score bits and step count.
void ExpectSameRun(int n, int m, int hubs, Scores kind, bool nodeOnly, int hub, int heuristic,
                   int quenching, int nmax, std::int64_t iterations, std::mt19937& rng) {
    const ScoredNetwork net = Build(n, RandomEdges(n, m, hubs, rng), kind, nodeOnly, rng);
    std::string outcomes[2];
    for (StepEvaluation evaluation : {StepEvaluation::FromScratch, StepEvaluation::Incremental}) {
        NodeMap<bool> selection;
        const AnnealOptions options{.iterations = iterations,
                                    .nmax = nmax,
                                    .heuristic = heuristic,
                                    .quenching = quenching,
                                    .hub = hub,
                                    .evaluation = evaluation};
        std::ostringstream out;
        const AnnealResult result =
            AnnealRun(net.search, net.Inputs(), selection, options, kSeed, out);
        out << "\nselected:";
        for (NodeId v : Selected(net.graph, selection)) out << ' ' << v;
        out << "\nbest " << std::bit_cast<std::uint32_t>(result.bestScore) << ", steps "
            << result.steps;
        outcomes[evaluation == StepEvaluation::Incremental] = out.str();
    }
    // n, m, kind, node-only, hub, heuristic, quenching, nmax, N
    EXPECT_EQ(outcomes[1], outcomes[0])
        << n << ' ' << m << ' ' << static_cast<int>(kind) << ' ' << nodeOnly << ' ' << hub << ' '
        << heuristic << ' ' << quenching << ' ' << nmax << ' ' << iterations;
}

// Only selecting a node of degree above the hub value, while the search has
// a best group, cuts its neighbours loose: a degree equal to it is no hub.
TEST(HubRule, OnlyANewlySelectedNodeAboveTheHubDegreeWithABestGroup) {
    EXPECT_TRUE(IsHubMove(true, true, 101, 100));
    EXPECT_FALSE(IsHubMove(true, true, 100, 100));
    EXPECT_FALSE(IsHubMove(false, true, 500, 100));  // no best group yet
    EXPECT_FALSE(IsHubMove(true, false, 500, 100));  // a node let go
    EXPECT_TRUE(IsHubMove(true, true, 1, 0));
    EXPECT_FALSE(IsHubMove(true, true, 0, 0));
}

TEST(StepEvaluation, IncrementalRunIsTheFromScratchRun) {
    std::mt19937 rng(kSeed);
    for (int heuristic = 0; heuristic <= 8; ++heuristic)
        ExpectSameRun(120, 300, 6, Scores::Normal, heuristic % 2 == 0, 8, heuristic,
                      heuristic / 2 % 2, 5, 600, rng);
    // Low hub thresholds: most selecting moves apply the hub rule, read
    // against best groups of accepted and of rejected proposals.
    for (int hub : {0, 2, 5})
        for (int nmax : {1, 5, 40})
            ExpectSameRun(90, 260, 4, Scores::Normal, nmax != 5, hub, 1 + hub % 3, 1, nmax, 500,
                          rng);
    // Sums not provably exact, and large sparse groups.
    for (Scores kind : {Scores::Wide, Scores::Spread})
        for (int heuristic : {1, 2, 5})
            ExpectSameRun(100, 240, 5, kind, heuristic != 2, 4, heuristic, 1, 5, 500, rng);
    ExpectSameRun(1500, 1800, 20, Scores::Spread, false, 8, 4, 1, 5, 1500, rng);
    // Negative groups lose against the 0 that pads a proposal without any
    // group, so such proposals are accepted; the hub rule then reads a best
    // group of a state the run has left.
    for (int hub : {0, 1, 3})
        for (int heuristic : {1, 2, 6}) {
            ExpectSameRun(40, 70, 3, Scores::Negative, true, hub, heuristic, 1, 1 + hub, 800, rng);
            ExpectSameRun(25, 30, 2, Scores::Negative, false, hub, heuristic, 1, 4 - hub, 300, rng);
        }
    for (int hub : {1, 4})  // equal group scores rank in component order
        for (int nmax : {1, 3, 30})
            ExpectSameRun(80, 110, 4, Scores::Few, true, hub, 1 + nmax % 4, 1, nmax, 700, rng);
    // A longer run on a denser graph.
    ExpectSameRun(200, 900, 8, Scores::Normal, false, 100, 7, 0, 3, 3000, rng);
}

const BackgroundModel kNeutral = {0, 1, 1, 0, 0, 0};  // the part is GroupScore

TEST(SubnetworkScore, PartsCorrectedByTheirModelsAtTheGroupSize) {
    // MeanAt(k) = 0.5 k and SdAt(k) = 0.25 k: at size 2, (sqrt 2 - 1) / 0.5;
    // edge scores are ignored.
    const ScoreContext linear{{0, 1, 0.25f, 1, 0.5f, 1}, kNeutral, true};
    EXPECT_NEAR(SubnetworkScore({1, 1}, {100}, linear), (std::sqrt(2.0) - 1.0) / 0.5, 1e-5);
    // Node part 2 / sqrt 4 = 1, edge part 1 / sqrt 1 = 1: 2 over sqrt 2.
    EXPECT_EQ(
        SubnetworkScore({0.5f, 0.5f, 0.5f, 0.5f}, {1}, ScoreContext{kNeutral, kNeutral, false}),
        static_cast<float>(2.0 / std::sqrt(2.0)));
    // Two nodes, one edge. Node part: GroupScore(2, 2) = 2.828 less MeanAt(2)
    // = 2. Edge part: GroupScore({5}; 1, 2) = 2 less MeanAt(1) = 3, over
    // SdAt(1) = 0.5, giving -2.
    const BackgroundModel nodes = {0, 1, 1, 0, 1, 1}, edges = {1, 2, 0.5f, 0, 3, 1};
    const double expected = (2.0 * std::sqrt(2.0) - 2.0 - 2.0) / std::sqrt(2.0);
    EXPECT_NEAR(SubnetworkScore({2, 2}, {5}, ScoreContext{nodes, edges, false}), expected, 1e-5);
    EXPECT_GT(std::abs(SubnetworkScore({2, 2}, {5}, ScoreContext{edges, nodes, false}) - expected),
              0.1);
}

TEST(Accept, RankedListsAndTheDrawsTheyTake) {
    // At kHot a worse entry's chance rounds to 1, above every draw; at kCold
    // to 0, below every draw; so outcomes do not depend on the draws.
    constexpr float kHot = 1e9f, kCold = 1e-9f, kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::string name;
        std::vector<float> proposal, current;
        float T;
        bool accepted;
        int draws;
    };
    const Case cases[] = {
        {"better first entry", {5, 1}, {4, 3}, 1, true, 0},
        {"equal lists", {5, 2, 1}, {5, 2, 1}, kHot, false, 0},
        {"equal entries pass on", {5, 2, 1.5f}, {5, 2, 1}, 1, true, 0},
        {"worse passes, then better", {4, 1, 3}, {5, 2, 2}, kHot, true, 2},
        {"worse fails at once", {4, 9, 9}, {5, 2, 2}, kCold, false, 1},
        {"not a number counts as worse", {kNaN, 9}, {5, 2}, kHot, false, 1},
        {"T=0 first difference higher", {5, 3}, {5, 2}, 0, true, 0},
        {"single better entry draws and passes", {3}, {2}, kCold, true, 1},
    };
    for (const Case& c : cases) {
        Random rng(20240611u);
        EXPECT_EQ(Accept(c.proposal, c.current, c.T, rng), c.accepted) << c.name;
        EXPECT_EQ(WordsTaken(rng, 20240611u), c.draws) << c.name;
    }
}

}  // namespace
}  // namespace tarnvale
