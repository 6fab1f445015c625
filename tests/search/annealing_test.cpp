// The annealing run: the move rule, the step schedule with its quench
// passes, what a run prints, and whole runs with the incremental step
// evaluation against the from-scratch one on random networks.

#include "search/annealing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <sstream>
#include <string>

#include "search/evaluate.hpp"
#include "search/random_network.hpp"

namespace tarnvale {
namespace {

// A search's length, quench passes and start heuristic; the rest default.
AnnealOptions Options(std::uint64_t iterations, int quenching, int heuristic) {
    AnnealOptions options;
    options.iterations = iterations;
    options.quenching = quenching;
    options.heuristic = heuristic;
    return options;
}

constexpr std::uint32_t kSeed = 4242u;

using Nodes = std::vector<NodeId>;

Nodes Selected(const Graph& graph, const NodeMap<bool>& selection) {
    Nodes result;
    for (NodeId n = 0; n < static_cast<NodeId>(graph.NumberOfNodeIds()); ++n)
        if (selection.get(n)) result.push_back(n);
    return result;
}

TEST(Move, HubRuleAndUndo) {
    // Node 0 is joined to 1, 2, 3, 4 (in that adjacency order), so its degree
    // is 4; node 5 stands apart and only serves as a member of best groups.
    Graph graph;
    for (int k = 0; k < 6; ++k) graph.NewNode();
    for (NodeId k = 1; k <= 4; ++k) graph.NewEdge(0, k);
    graph.MakeUndirected();
    struct Case {
        Nodes before, bestGroup;
        int hub;
        Nodes toggled, after;
    };
    const Case cases[] = {
        {{1, 2, 3, 4},
         {5, 3},
         3,
         {0, 1, 2, 4},
         {0, 3}},                                // clears neighbours outside the best group
        {{1, 3, 4}, {5}, 3, {0, 1}, {0, 3, 4}},  // the scan stops at the first unselected neighbour
        {{1, 2, 3, 4}, {5}, 4, {0}, {0, 1, 2, 3, 4}},  // degree equal to hub is no hub
        {{0, 1, 2, 3, 4}, {5}, 0, {0}, {1, 2, 3, 4}},  // unselecting a hub never scans
        {{1, 2, 3, 4}, {}, 0, {0}, {0, 1, 2, 3, 4}},   // an empty best group: only the node flips
    };
    for (const Case& c : cases) {
        NodeMap<bool> selection;
        for (NodeId n : c.before) selection[n] = true;
        const Nodes toggled = Move(graph, selection, 0, c.bestGroup, c.hub);
        EXPECT_EQ(toggled, c.toggled);
        EXPECT_EQ(Selected(graph, selection), c.after);
        Undo(selection, toggled);
        EXPECT_EQ(Selected(graph, selection), c.before);
    }
    // Warm steps take the drawn node; at T = 0 they walk the list and wrap.
    std::uint64_t quench = 1;
    EXPECT_EQ(StepIndex(5, 0.5f, quench, 8), 5u);
    std::vector<std::uint64_t> walk;
    for (int k = 0; k < 4; ++k) walk.push_back(StepIndex(2, 0.0f, quench, 3));
    EXPECT_EQ(walk, (std::vector<std::uint64_t>{1, 2, 0, 1}));
}

// A graph with node scores (neutral models), the selection and one run's output.
struct Net {
    Net(const std::vector<double>& nodeScores, const std::vector<std::pair<int, int>>& edges) {
        for (double s : nodeScores) scores[graph.NewNode()] = s;
        for (auto [a, b] : edges) graph.NewEdge(a, b);
        context.nodeModel = {0, 1, 1, 0, 0, 0};
    }
    AnnealResult Run(std::uint64_t iterations, int quenching, int heuristic, float tStart = 2,
                     float tEnd = 0.01f) {
        AnnealOptions options = Options(iterations, quenching, heuristic);
        options.tStart = tStart;
        options.tEnd = tEnd;
        std::ostringstream out;
        const AnnealResult result =
            AnnealRun(graph, {scores, edgeScores, context}, selection, options, kSeed, out);
        printed = out.str();
        progress.clear();
        std::istringstream in(printed);
        // Lines "<step>:<tab><size><tab><score>"; no other line starts with a digit.
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
                progress.push_back(line);
        requenches = 0;
        for (auto at = printed.find("\nQuenching again..\n"); at != std::string::npos;
             at = printed.find("\nQuenching again..\n", at + 1))
            ++requenches;
        return result;
    }
    Graph graph;
    NodeMap<double> scores;
    EdgeMap<float> edgeScores;
    NodeMap<bool> selection;
    ScoreContext context;
    std::string printed;
    std::vector<std::string> progress;
    std::uint64_t requenches = 0;
};

// Twelve nodes: a strong path 0-1-2-3, weak and mixed nodes around it.
Net Mixed() {
    return Net({2.5, 1.8, 2.2, 1.1, -0.5, -1.2, 0.3, 0.9, -2.0, 1.5, 0.1, -0.7},
               {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 9}, {9, 10},
                {10, 11}, {11, 0}, {2, 7}, {1, 9}});
}

TEST(Anneal, StepsQuenchPassesAndProgressLines) {
    Net off = Mixed();  // without quenching exactly N steps, each with its line
    EXPECT_EQ(off.Run(200, 0, 1).steps, 200u);
    ASSERT_EQ(off.progress.size(), 200u);
    EXPECT_EQ(off.progress.back().substr(0, 4), "199:");
    EXPECT_EQ(off.requenches, 0u);
    // Without edges no state has a group and no move is accepted: N steps,
    // then one quench pass of n steps without lines; the best size stays 0.
    Net none({1, 2, 3, 4, 5}, {});
    const AnnealResult result = none.Run(30, 1, 1);
    EXPECT_EQ(result.steps, 35u);
    EXPECT_EQ(result.bestScore, -10000.0f);
    ASSERT_EQ(none.progress.size(), 30u);
    EXPECT_EQ(none.progress[29], "29:\t0\t-10000");
    // Each repeated quench pass adds n steps; with tEnd = 0 the cooling factor
    // is 0 and every step after the first walks the nodes.
    Net warm = Mixed();
    const std::uint64_t warmSteps = warm.Run(10, 1, 5).steps;
    EXPECT_EQ(warmSteps, 10u + 12u * (1u + warm.requenches));
    EXPECT_GE(warm.requenches, 1u);
    Net cold = Mixed();
    const std::uint64_t coldSteps = cold.Run(100, 1, 2, 1, 0).steps;
    EXPECT_EQ(coldSteps, 100u + 12u * (1u + cold.requenches));
    EXPECT_EQ(cold.progress.size(), 1u);
    Net one({3.0}, {});  // fewer than two nodes: no step, nothing selected
    one.selection[0] = true;
    EXPECT_EQ(one.Run(50, 1, 2).steps, 0u);
    EXPECT_TRUE(Selected(one.graph, one.selection).empty());
    EXPECT_EQ(one.printed.substr(one.printed.find("Heuristic")),
              "Heuristic: P0\ninitialization: done!\nStart SA\n");
    // Once a group was seen, the best size shown stays that of the last state
    // that had one.
    Net pair({3, 2}, {{0, 1}});
    pair.Run(60, 0, 6);
    const auto first =
        std::ranges::find_if(pair.progress, [](auto& l) { return l.find(":\t2\t") != l.npos; });
    ASSERT_LT(first - pair.progress.begin(), 10);
    for (auto line = first; line != pair.progress.end(); ++line)
        EXPECT_NE(line->find(":\t2\t"), line->npos);
}

TEST(Anneal, StartLinesCoolingFactorAndTheRepeatedQuench) {
    // Equal scores on a complete graph of four: LowerBound selects all (its
    // deviation of 0 prints the StdDev message), and every first move leaves
    // a triangle, which beats the absent score of the start.
    Net net({-1, -1, -1, -1}, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}});
    EXPECT_FLOAT_EQ(net.Run(1, 0, 5, 1, 0.25f).bestScore, -1.7320508f);
    EXPECT_EQ(net.printed.substr(0, 10), "\nr= 0.25\nH");
    EXPECT_NE(net.printed.find("Heuristic: LowerBound\n"), std::string::npos);
    EXPECT_TRUE(net.printed.ends_with("initialization: done!\nStart SA\n0:\t3\t-1.73205\n"));
    EXPECT_EQ(Selected(net.graph, net.selection).size(), 3u);
    // Path 0-1-2 with scores 3, 2, 1. The approximation starts from {0}; the
    // quench pass accepts {0,1} (5/sqrt 2 = 3.536) and rejects {0,1,2}
    // (6/sqrt 3 = 3.464), so a second pass follows and accepts nothing: it
    // must compare against 3.536, not start over from the absent score.
    Net path({3, 2, 1}, {{0, 1}, {1, 2}});
    EXPECT_FLOAT_EQ(path.Run(0, 1, 6).bestScore, 5.0f / std::sqrt(2.0f));
    EXPECT_EQ(path.requenches, 1u);
    EXPECT_EQ(Selected(path.graph, path.selection), (Nodes{0, 1}));
}

// Whole runs with both step evaluations must be the same run: the same
// printed lines, final selection, best score bits and step count.
void ExpectSameRun(int n, int m, int hubs, Scores kind, bool nodeOnly, int hub, int heuristic,
                   int quenching, int nmax, std::uint64_t iterations, std::mt19937& rng) {
    const ScoredNetwork net = Build(n, RandomEdges(n, m, hubs, rng), kind, nodeOnly, hub, rng);
    std::string outcomes[2];
    for (StepEvaluation evaluation : {StepEvaluation::FromScratch, StepEvaluation::Incremental}) {
        Graph graph = net.graph;
        NodeMap<bool> selection;
        AnnealOptions options = Options(iterations, quenching, heuristic);
        options.nmax = nmax;
        options.evaluation = evaluation;
        std::ostringstream out;
        const AnnealResult result = AnnealRun(graph, net.Inputs(), selection, options, kSeed, out);
        out << "\nselected:";
        for (NodeId v : Selected(graph, selection)) out << ' ' << v;
        out << "\nbest " << std::bit_cast<std::uint32_t>(result.bestScore) << ", steps "
            << result.steps;
        outcomes[evaluation == StepEvaluation::Incremental] = out.str();
    }
    EXPECT_EQ(outcomes[1], outcomes[0])
        << n << " nodes, " << m << " edges, scores " << static_cast<int>(kind)
        << (nodeOnly ? ", node-only" : ", with edges") << ", hub " << hub << ", heuristic "
        << heuristic << ", quenching " << quenching << ", nmax " << nmax << ", N " << iterations;
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
    // Dense and sparse graphs at longer runs.
    ExpectSameRun(30, 400, 3, Scores::Normal, false, 10, 1, 1, 5, 2000, rng);
    ExpectSameRun(200, 900, 8, Scores::Normal, false, 100, 7, 0, 3, 3000, rng);
}

}  // namespace
}  // namespace tarnvale
