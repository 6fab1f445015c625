// The files written beside a report: the Cytoscape network and node table,
// and the Graphviz drawing with its SVG rendering by an outside program.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/cytoscape_export.hpp"
#include "cli/dot_export.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

// Two reported groups, a node outside both, and edges inside, between and
// outside the groups:
//
//   A -0.9- B -0.25- C -0.5- D -0.3- E -0.125- F,   A -0.75- C
//
// Group 0 (s-score 4.5): E, F.   Group 1 (s-score 2.25): A, B, C.   D: none.
struct ExportNetwork {
    Graph graph;
    NodeMap<std::string> names;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeValues;
    const NodeId a = 0, b = 1, c = 2, d = 3, e = 4, f = 5;
    std::vector<Group> groups{Group{{e, f}, 4.5f}, Group{{a, b, c}, 2.25f}};

    ExportNetwork() {
        for (const auto& [name, score] : std::vector<std::pair<std::string, double>>{
                 {"A", 3.09023}, {"B", 1.0}, {"C", -0.5}, {"D", -2.0}, {"E", 2.32635}, {"F", 0.0}}) {
            const NodeId n = graph.NewNode();
            names[n] = name, nodeScores[n] = score;
        }
        for (const auto& [from, to, value] : std::vector<std::tuple<NodeId, NodeId, float>>{
                 {a, b, 0.9f}, {b, c, 0.25f}, {c, d, 0.5f}, {d, e, 0.3f}, {e, f, 0.125f}, {a, c, 0.75f}})
            edgeValues[graph.NewEdge(from, to)] = value;
        graph.MakeUndirected();
    }
    ExportInputs Inputs() const { return {graph, groups, names, nodeScores, edgeValues}; }
    template <typename Write>
    std::string Text(Write write) const {
        std::ostringstream out;
        write(out, Inputs());
        return out.str();
    }
};

TEST(CytoscapeExport, GroupsBestFirstWithTheirInsideEdgesAndTheReportsNumbers) {
    ExportNetwork net;
    // C-D and D-E touch a group but leave it.
    EXPECT_EQ(net.Text(WriteGroupSif), "E\t0\tF\t0.125\nA\t1\tB\t0.9\nB\t1\tC\t0.25\nA\t1\tC\t0.75\n");
    // p-values: the normal upper tail of each node score.
    EXPECT_EQ(net.Text(WriteNodeTable),
              "name\tgroup\tgroup_score\tnode_score\tp_value\n"
              "E\t0\t4.5\t2.32635\t0.00999994\nF\t0\t4.5\t0\t0.5\n"
              "A\t1\t2.25\t3.09023\t0.00100001\nB\t1\t2.25\t1\t0.158655\nC\t1\t2.25\t-0.5\t0.691462\n");
    // A hidden node takes its edges along.
    net.graph.HideNode(net.b);
    net.groups[1].nodes = {net.a, net.c};
    EXPECT_EQ(net.Text(WriteGroupSif), "E\t0\tF\t0.125\nA\t1\tC\t0.75\n");
    net.groups.clear();
    EXPECT_EQ(net.Text(WriteGroupSif), "");
    EXPECT_EQ(net.Text(WriteNodeTable), "name\tgroup\tgroup_score\tnode_score\tp_value\n");
}

TEST(DotExport, ColoursOnOneDivergingScaleUpToTheLargestScoreInAGroup) {
    // Halfway: the mean of white and the end, rounded half away from zero.
    const std::vector<std::pair<double, std::string>> colours{
        {0.0, "#f7f7f7"}, {3.0, "#b2182b"}, {-3.0, "#2166ac"}, {30.0, "#b2182b"},
        {-30.0, "#2166ac"}, {1.5, "#d58891"}, {-1.5, "#8cafd2"}};
    for (const auto& [score, colour] : colours) EXPECT_EQ(ScoreColour(score, 3.0), colour) << score;
    ExportNetwork net;
    EXPECT_DOUBLE_EQ(ScaleLimit(net.Inputs()), 3.1);  // A's 3.09023; D's -2 is in no group
    net.nodeScores[net.c] = -4.2;
    EXPECT_DOUBLE_EQ(ScaleLimit(net.Inputs()), 4.2);
    for (NodeId n : {net.a, net.b, net.c, net.e, net.f}) net.nodeScores[n] = 0.0;
    EXPECT_DOUBLE_EQ(ScaleLimit(net.Inputs()), 1.0);
}

TEST(DotExport, OneGroupDrawnInFullAndNamesEscaped) {
    ExportNetwork net;
    net.groups.pop_back();  // only E, F
    std::ostringstream dot;
    WriteDot(dot, net.Inputs(), "outA");
    // Limit 2.4 (E's 2.32635 rounded up): E at 0.969 of it, F at 0.
    EXPECT_EQ(dot.str(),
              "graph tarnvale {\n"
              "  graph [pack=true, packmode=\"array_u\", fontname=\"Helvetica\", labelloc=t, "
              "fontsize=16, label=\"outA: 1 group, fill colour = node score\"];\n"
              "  node [shape=ellipse, style=filled, fontname=\"Helvetica\", fontsize=10];\n"
              "  edge [color=\"#606060\"];\n"
              "  subgraph cluster_legend {\n"
              "    label=\"node score (z); red: small p-value\";\n"
              "    style=rounded; color=\"#888888\";\n"
              "    node [shape=box, width=1.1];\n"
              "    legend0 [label=\"-2.4\\np = 0.99\", fillcolor=\"#2166ac\", fontcolor=white];\n"
              "    legend1 [label=\"-1.2\\np = 0.88\", fillcolor=\"#8cafd2\", fontcolor=black];\n"
              "    legend2 [label=\"0\\np = 0.5\", fillcolor=\"#f7f7f7\", fontcolor=black];\n"
              "    legend3 [label=\"1.2\\np = 0.12\", fillcolor=\"#d58891\", fontcolor=black];\n"
              "    legend4 [label=\"2.4\\np = 0.0082\", fillcolor=\"#b2182b\", fontcolor=white];\n"
              "    { rank=same; legend0; legend1; legend2; legend3; legend4; }\n"
              "    legend0 -- legend1 -- legend2 -- legend3 -- legend4 [style=invis];\n"
              "  }\n"
              "  subgraph cluster_0 {\n"
              "    label=\"Group No. 0: s-score = 4.5\";\n"
              "    style=rounded; color=\"#888888\";\n"
              "    n4 [label=\"E\", fillcolor=\"#b41f31\", fontcolor=white, "
              "tooltip=\"E: node score 2.32635, p-value 0.00999994\"];\n"
              "    n5 [label=\"F\", fillcolor=\"#f7f7f7\", fontcolor=black, "
              "tooltip=\"F: node score 0, p-value 0.5\"];\n"
              "    n4 -- n5 [tooltip=\"edge value 0.125\"];\n"
              "  }\n"
              "}\n");
    net.names[net.e] = "a\"b\\c";
    dot.str("");
    WriteDot(dot, net.Inputs(), "out\"A");
    EXPECT_NE(dot.str().find("n4 [label=\"a\\\"b\\\\c\""), std::string::npos) << dot.str();
    EXPECT_NE(dot.str().find("tooltip=\"a\\\"b\\\\c: node score"), std::string::npos);
    EXPECT_NE(dot.str().find("label=\"out\\\"A: 1 group"), std::string::npos);
}

std::size_t EntriesIn(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()));
}

// Stand-ins for the dot program, as scripts in a scratch directory.
class DrawSvgTest : public ::testing::Test {
protected:
    SvgResult Draw(const std::string& body, const std::string& interpreter = "/bin/sh") {
        const std::string path = dir_.Write("fake-dot", "#!" + interpreter + "\n" + body);
        ::chmod(path.c_str(), 0755);
        return DrawSvg(dotFile_, svgFile_, path);
    }
    std::size_t Entries() const { return EntriesIn(dir_.path()); }

    testing::ScratchDir dir_;
    std::string dotFile_ = dir_.Write("outA.dot", "graph g { a -- b; }\n");
    std::string svgFile_ = (dir_.path() / "outA.svg").string();
};

TEST_F(DrawSvgTest, TheProgramDrawsTheDotFileOrItsFailureIsToldAndLeavesNothing) {
    EXPECT_EQ(DrawSvg(dotFile_, svgFile_, "tarnvale-test-no-such-program").status, SvgResult::Status::noProgram);
    // Writes half a file, complains and fails, as dot does on a syntax error.
    SvgResult r = Draw("echo half\necho 'Error: syntax error in line 1' >&2\necho more >&2\nexit 3\n");
    EXPECT_EQ(r.status, SvgResult::Status::failed);
    EXPECT_EQ(r.reason, "Error: syntax error in line 1");
    EXPECT_EQ(Draw("exit 2\n").reason, "exit status 2");
    EXPECT_EQ(Draw("exit 0\n").reason, "it drew nothing");
    EXPECT_EQ(Entries(), 2u);  // the dot file and the script
    // Perl, not the shell (dash clears the signal mask it starts with, as
    // dot does not): the program itself can be interrupted.
    r = Draw("open(my $f, '<', '/proc/self/status') or die;\nwhile (<$f>) { print STDERR $_ if /^SigBlk/ }\nexit 1;\n",
             "/usr/bin/perl");
    ASSERT_EQ(r.reason.rfind("SigBlk:", 0), 0u) << r.reason;
    EXPECT_EQ(std::stoull(r.reason.substr(7), nullptr, 16) & ((1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1))), 0u);

    r = Draw("printf '%s|' \"$@\"\n");
    ASSERT_EQ(r.status, SvgResult::Status::drawn) << r.reason;
    EXPECT_EQ(dir_.Read("outA.svg"), "-Tsvg|" + dotFile_ + "|");
}

// Ctrl-C while dot draws: it is passed on to dot, the drawing's temporary
// file goes, and only then does the signal reach the program. (raise()
// delivers it inside DrawSvg, so the handler may look at the directory.)
const std::filesystem::path* heldDirectory = nullptr;
volatile std::sig_atomic_t interruptsSeen = 0, entriesAtInterrupt = 0;

TEST_F(DrawSvgTest, InterruptIsPassedOnAndWaitsUntilTheTemporaryDrawingIsGone) {
    heldDirectory = &dir_.path();
    const auto previous = std::signal(SIGINT, [](int) {
        interruptsSeen = interruptsSeen + 1;
        entriesAtInterrupt = static_cast<std::sig_atomic_t>(EntriesIn(*heldDirectory));
    });
    // Draws half, then would go on to its end: only the passed-on signal
    // stops it before.
    const SvgResult r = Draw("echo half\nkill -INT $PPID\nsleep 3\necho late > '" + dir_.path().string() + "/late'\n");
    std::signal(SIGINT, previous);
    EXPECT_EQ(r.status, SvgResult::Status::failed);
    EXPECT_EQ(interruptsSeen, 1);
    EXPECT_EQ(static_cast<std::size_t>(entriesAtInterrupt), 2u);
    EXPECT_FALSE(dir_.Exists("outA.svg") || dir_.Exists("late"));
}

}  // namespace
}  // namespace tarnvale
