#include "search/annealing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "search/acceptance.hpp"
#include "search/evaluate.hpp"

namespace tarnvale {
namespace {

constexpr std::uint32_t kSeed = 4242u;

using Nodes = std::vector<NodeId>;

// Node 0 is joined to 1, 2, 3, 4 (in that adjacency order), so its degree is
// 4; node 5 stands apart and only serves as a member of best groups.
struct HubCase {
    std::string name;
    Nodes selectedBefore;
    Nodes bestGroup;
    int hub;
    Nodes toggled;
    Nodes selectedAfter;
};

TEST(Move, HubRule) {
    const HubCase cases[] = {
        {"hub clears neighbours outside best group", {1, 2, 3, 4}, {5, 3}, 3, {0, 1, 2, 4}, {0, 3}},
        {"scan stops at the first unselected neighbour", {1, 3, 4}, {5}, 3, {0, 1}, {0, 3, 4}},
        {"degree equal to hub is no hub", {1, 2, 3, 4}, {5}, 4, {0}, {0, 1, 2, 3, 4}},
        {"unselecting a hub never scans", {0, 1, 2, 3, 4}, {5}, 0, {0}, {1, 2, 3, 4}},
        {"empty best group flips only the node", {1, 2, 3, 4}, {}, 0, {0}, {0, 1, 2, 3, 4}},
    };
    for (const HubCase& c : cases) {
        Graph graph;
        for (int k = 0; k < 6; ++k) graph.NewNode();
        for (NodeId k = 1; k <= 4; ++k) graph.NewEdge(0, k);
        graph.MakeUndirected();
        NodeMap<bool> selection;
        auto selected = [&] {
            Nodes result;
            for (NodeId k = 0; k < 6; ++k)
                if (selection.get(k)) result.push_back(k);
            return result;
        };
        for (NodeId n : c.selectedBefore) selection[n] = true;
        const Nodes toggled = Move(graph, selection, 0, c.bestGroup, c.hub);
        EXPECT_EQ(toggled, c.toggled) << c.name;
        EXPECT_EQ(selected(), c.selectedAfter) << c.name;
        Undo(selection, toggled);
        EXPECT_EQ(selected(), c.selectedBefore) << c.name;
    }
}

TEST(StepIndex, DrawnIndexWhileWarm) {
    std::uint64_t quench = 1;
    EXPECT_EQ(StepIndex(5, 0.5f, quench, 8), 5u);
    EXPECT_EQ(quench, 1u);
}

TEST(StepIndex, ZeroTemperatureWalksTheListAndWrapsAtItsEnd) {
    std::uint64_t quench = 0;
    std::vector<std::uint64_t> walk;
    for (int k = 0; k < 7; ++k) walk.push_back(StepIndex(2, 0.0f, quench, 3));
    EXPECT_EQ(walk, (std::vector<std::uint64_t>{0, 1, 2, 0, 1, 2, 0}));
}

ScoreContext NeutralContext() {
    ScoreContext context;
    context.nodeModel.mean = 0;
    context.nodeModel.sd = 1;
    context.nodeModel.sdCoef = 1;
    context.nodeOnly = true;
    return context;
}

// A graph with node scores, the selection and what one run printed.
struct Network {
    Graph graph;
    NodeMap<double> scores;
    EdgeMap<float> edgeScores;
    NodeMap<bool> selection;
    ScoreContext context = NeutralContext();
    std::string printed;

    Network(const std::vector<double>& nodeScores, const std::vector<std::pair<int, int>>& edges) {
        for (double s : nodeScores) scores[graph.NewNode()] = s;
        for (auto [a, b] : edges) graph.NewEdge(a, b);
    }

    AnnealResult Run(const AnnealOptions& options, std::uint32_t seed = kSeed) {
        std::ostringstream out;
        const AnnealResult result =
            AnnealRun(graph, {scores, edgeScores, context}, selection, options, seed, out);
        printed = out.str();
        return result;
    }
    Nodes Selected() const {
        Nodes result;
        for (NodeId n = 0; n < static_cast<NodeId>(graph.NumberOfNodeIds()); ++n)
            if (selection.get(n)) result.push_back(n);
        return result;
    }
    // Lines "<step>:<tab><size><tab><score>"; no other line starts with a digit.
    std::vector<std::string> ProgressLines() const {
        std::vector<std::string> lines;
        std::istringstream in(printed);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) &&
                line.find(":\t") != std::string::npos)
                lines.push_back(line);
        return lines;
    }
    std::size_t Requenches() const {
        std::size_t count = 0;
        for (auto at = printed.find("\nQuenching again..\n"); at != std::string::npos;
             at = printed.find("\nQuenching again..\n", at + 1))
            ++count;
        return count;
    }
};

AnnealOptions Options(std::uint64_t iterations, int quenching, int heuristic = 1) {
    AnnealOptions options;
    options.iterations = iterations;
    options.quenching = quenching;
    options.heuristic = heuristic;
    return options;
}

// Twelve nodes: a strong path 0-1-2-3, weak and mixed nodes around it.
Network Mixed() {
    return Network({2.5, 1.8, 2.2, 1.1, -0.5, -1.2, 0.3, 0.9, -2.0, 1.5, 0.1, -0.7}, {{0, 1},
                                                                                      {1, 2},
                                                                                      {2, 3},
                                                                                      {3, 4},
                                                                                      {4, 5},
                                                                                      {5, 6},
                                                                                      {6, 7},
                                                                                      {7, 8},
                                                                                      {8, 9},
                                                                                      {9, 10},
                                                                                      {10, 11},
                                                                                      {11, 0},
                                                                                      {2, 7},
                                                                                      {1, 9}});
}

TEST(AnnealSteps, QuenchingOffMakesExactlyNStepsAllWithProgressLines) {
    Network net = Mixed();
    const AnnealResult result = net.Run(Options(200, 0));
    EXPECT_EQ(result.steps, 200u);
    const auto lines = net.ProgressLines();
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_EQ(lines.front().substr(0, 2), "0:");
    EXPECT_EQ(lines.back().substr(0, 4), "199:");
    EXPECT_EQ(net.Requenches(), 0u);
}

TEST(AnnealSteps, QuenchingOnWithNothingAcceptedMakesNPlusNodeCountSteps) {
    // Without edges no state has a group, so no move is ever accepted.
    Network net({1, 2, 3, 4, 5}, {});
    const AnnealResult result = net.Run(Options(30, 1));
    EXPECT_EQ(result.steps, 35u);
    // None at temperature 0; the best group size is 0 while none was seen.
    const auto lines = net.ProgressLines();
    ASSERT_EQ(lines.size(), 30u);
    EXPECT_EQ(lines[0], "0:\t0\t-10000");
    EXPECT_EQ(lines[29], "29:\t0\t-10000");
    EXPECT_EQ(net.Requenches(), 0u);
    EXPECT_EQ(result.bestScore, -10000.0f);
}

TEST(AnnealSteps, EveryRepeatedQuenchPassAddsNodeCountSteps) {
    // Ten warm steps leave work for the quench passes.
    Network net = Mixed();
    const AnnealResult result = net.Run(Options(10, 1, 5));
    ASSERT_GE(net.Requenches(), 1u);
    EXPECT_EQ(result.steps, 10u + 12u * (1u + net.Requenches()));
    EXPECT_EQ(net.ProgressLines().size(), 10u);
}

TEST(AnnealSteps, FewerThanTwoNodesMakeNoStepAndSelectNothing) {
    Network one({3.0}, {});
    one.selection[0] = true;
    const AnnealResult result = one.Run(Options(50, 1, 2));
    EXPECT_EQ(result.steps, 0u);
    EXPECT_EQ(result.bestScore, -10000.0f);
    EXPECT_TRUE(one.Selected().empty());
    EXPECT_EQ(one.printed.substr(one.printed.find("Heuristic")),
              "Heuristic: P0\ninitialization: done!\nStart SA\n");

    Network none({}, {});
    EXPECT_EQ(none.Run(Options(50, 1)).steps, 0u);
}

TEST(AnnealOutput, StartLinesAndProgressFormat) {
    // Equal scores on a complete graph of four: LowerBound selects all (its
    // deviation of 0 prints the StdDev message), and every first move leaves
    // a triangle, which beats the absent score of the start.
    Network net({-1, -1, -1, -1}, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}});
    AnnealOptions options = Options(1, 0, 5);
    options.tStart = 1;
    options.tEnd = 0.25f;
    const AnnealResult result = net.Run(options);
    EXPECT_EQ(net.printed.substr(0, 10), "\nr= 0.25\nH");
    EXPECT_NE(net.printed.find("Heuristic: LowerBound\n"), std::string::npos);
    const std::string tail = "initialization: done!\nStart SA\n0:\t3\t-1.73205\n";
    ASSERT_GE(net.printed.size(), tail.size());
    EXPECT_EQ(net.printed.substr(net.printed.size() - tail.size()), tail);
    EXPECT_EQ(net.Selected().size(), 3u);
    EXPECT_FLOAT_EQ(result.bestScore, -1.7320508f);
}

TEST(AnnealOutput, BestGroupSizeStaysOnceAGroupWasSeen) {
    // The only group is {0, 1}; most later proposals have none, yet the best
    // group shown is that of the last state that had one.
    Network net({3, 2}, {{0, 1}});
    net.Run(Options(60, 0, 6));
    const auto lines = net.ProgressLines();
    ASSERT_EQ(lines.size(), 60u);
    const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find(":\t2\t") != std::string::npos;
    });
    ASSERT_LT(first - lines.begin(), 10);
    for (auto line = first; line != lines.end(); ++line)
        EXPECT_NE(line->find(":\t2\t"), std::string::npos) << *line;
}

TEST(AnnealQuench, RepeatedPassKeepsTheAcceptedState) {
    // Path 0-1-2 with scores 3, 2, 1. The approximation starts from {0}; the
    // quench pass accepts {0,1} (5/sqrt 2 = 3.536) and rejects {0,1,2}
    // (6/sqrt 3 = 3.464), so a second pass follows and accepts nothing: it
    // must compare against 3.536, not start over from the absent score.
    Network net({3, 2, 1}, {{0, 1}, {1, 2}});
    const AnnealResult result = net.Run(Options(0, 1, 6));
    EXPECT_EQ(net.Requenches(), 1u);
    EXPECT_EQ(result.steps, 6u);
    EXPECT_EQ(net.Selected(), (Nodes{0, 1}));
    EXPECT_FLOAT_EQ(result.bestScore, 5.0f / std::sqrt(2.0f));
    EXPECT_TRUE(net.ProgressLines().empty());
}

TEST(AnnealQuench, TemperatureReachingZeroEarlyWalksTheNodesInTurn) {
    // Tend = 0 makes the cooling factor 0: from the second step on every
    // step takes its node by the quench index, far more than n times.
    Network net = Mixed();
    AnnealOptions options = Options(100, 1, 2);
    options.tStart = 1;
    options.tEnd = 0;
    const AnnealResult result = net.Run(options);
    EXPECT_EQ(net.ProgressLines().size(), 1u);
    EXPECT_EQ(result.steps, 100u + 12u * (1u + net.Requenches()));
}

// Ranked scores of the selection as it stands.
std::vector<float> RankedNow(Network& net, int nmax) {
    return RankState(Evaluate(net.graph, net.selection, {net.scores, net.edgeScores, net.context}),
                     nmax)
        .scores;
}

TEST(AnnealQuench, EndsInAStateNoSingleFlipImproves) {
    for (int heuristic : {1, 2, 5}) {
        Network net = Mixed();
        const AnnealOptions options = Options(10, 1, heuristic);
        const AnnealResult result = net.Run(options);
        const std::vector<float> final = RankedNow(net, options.nmax);
        ASSERT_FALSE(final.empty()) << heuristic;
        EXPECT_EQ(result.bestScore, final.front()) << heuristic;
        Random rng(kSeed);
        for (NodeId n = 0; n < 12; ++n) {
            net.selection[n] = !net.selection.get(n);
            std::vector<float> proposal = RankedNow(net, options.nmax);
            std::vector<float> current = final;
            const std::size_t length = std::max(proposal.size(), current.size());
            proposal.resize(length, 0.0f);
            current.resize(length, 0.0f);
            EXPECT_FALSE(Accept(proposal, current, 0.0f, rng)) << heuristic << " node " << n;
            net.selection[n] = !net.selection.get(n);
        }
    }
}

}  // namespace
}  // namespace tarnvale
