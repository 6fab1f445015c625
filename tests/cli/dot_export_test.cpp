// The Graphviz drawing: one cluster per group labelled with rank and score,
// nodes filled on one diverging scale with a legend, and the SVG rendering.

#include "cli/dot_export.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/export_fixture.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

using testing::ExportFixture;

TEST(ScoreColour, ZeroIsNearWhiteAndTheLimitsAreTheSchemesEnds) {
    EXPECT_EQ(ScoreColour(0.0, 3.0), "#f7f7f7");
    EXPECT_EQ(ScoreColour(3.0, 3.0), "#b2182b");
    EXPECT_EQ(ScoreColour(-3.0, 3.0), "#2166ac");
    // Beyond the limit the end colours stay.
    EXPECT_EQ(ScoreColour(30.0, 3.0), "#b2182b");
    EXPECT_EQ(ScoreColour(-30.0, 3.0), "#2166ac");
    // Halfway: the mean of white and the end, rounded half away from zero.
    EXPECT_EQ(ScoreColour(1.5, 3.0), "#d58891");   // (212.5, 135.5, 145)
    EXPECT_EQ(ScoreColour(-1.5, 3.0), "#8cafd2");  // (140, 174.5, 209.5)
}

TEST(ScaleLimit, TheLargestAbsoluteScoreRoundedUpToATenth) {
    ExportFixture net;
    EXPECT_DOUBLE_EQ(ScaleLimit(net.Inputs()), 3.1);  // A's 3.09023
    // D (-2.0) is in no group, so it does not widen the scale; a negative
    // score counts by its size.
    net.nodeScores[net.c] = -4.2;
    EXPECT_DOUBLE_EQ(ScaleLimit(net.Inputs()), 4.2);
    for (NodeId n : {net.a, net.b, net.c, net.e, net.f}) net.nodeScores[n] = 0.0;
    EXPECT_DOUBLE_EQ(ScaleLimit(net.Inputs()), 1.0);
}

TEST(DotExport, OneGroupDrawnInFull) {
    ExportFixture net;
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
}

TEST(DotExport, EveryGroupIsAClusterInRankOrderWithOnlyItsOwnEdges) {
    const ExportFixture net;
    std::ostringstream dot;
    WriteDot(dot, net.Inputs(), "outB");
    const std::string text = dot.str();
    EXPECT_NE(text.find("label=\"outB: 2 groups, fill colour = node score\""), std::string::npos);
    const auto first = text.find("subgraph cluster_0 {\n    label=\"Group No. 0: s-score = 4.5\"");
    const auto second =
        text.find("subgraph cluster_1 {\n    label=\"Group No. 1: s-score = 2.25\"");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_EQ(text.find("n3 "), std::string::npos);  // D belongs to no group
    const std::string groupOne = text.substr(second, text.find("  }\n", second) - second);
    for (const char* line : {"    n0 -- n1 [tooltip=\"edge value 0.9\"];\n",
                             "    n1 -- n2 [tooltip=\"edge value 0.25\"];\n",
                             "    n0 -- n2 [tooltip=\"edge value 0.75\"];\n"})
        EXPECT_NE(groupOne.find(line), std::string::npos) << line;
    EXPECT_EQ(text.find("n2 -- n3"), std::string::npos);
    EXPECT_EQ(text.find("n3 -- n4"), std::string::npos);
}

TEST(DotExport, QuotesAndBackslashesInNamesAreEscaped) {
    ExportFixture net;
    net.names[net.e] = "a\"b\\c";
    std::ostringstream dot;
    WriteDot(dot, net.Inputs(), "out\"A");
    EXPECT_NE(dot.str().find("n4 [label=\"a\\\"b\\\\c\""), std::string::npos) << dot.str();
    EXPECT_NE(dot.str().find("tooltip=\"a\\\"b\\\\c: node score"), std::string::npos);
    EXPECT_NE(dot.str().find("label=\"out\\\"A: 2 groups"), std::string::npos);
}

class DrawSvgTest : public ::testing::Test {
protected:
    // An executable script in the scratch directory (shell by default).
    std::string Script(const std::string& name, const std::string& body,
                       const std::string& interpreter = "/bin/sh") {
        const std::string path = dir_.Write(name, "#!" + interpreter + "\n" + body);
        ::chmod(path.c_str(), 0755);
        return path;
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(
            std::filesystem::directory_iterator(dir_.path()), std::filesystem::directory_iterator()));
    }

    testing::ScratchDir dir_;
    std::string dotFile_ = dir_.Write("outA.dot", "graph g { a -- b; }\n");
    std::string svgFile_ = (dir_.path() / "outA.svg").string();
};

TEST_F(DrawSvgTest, AMissingProgramIsToldApart) {
    const SvgResult r = DrawSvg(dotFile_, svgFile_, "tarnvale-test-no-such-program");
    EXPECT_EQ(r.status, SvgResult::Status::noProgram);
    EXPECT_FALSE(dir_.Exists("outA.svg"));
}

TEST_F(DrawSvgTest, AFailureGivesTheProgramsFirstLineAndLeavesNothing) {
    // Writes half a file, complains and fails, as dot does on a syntax error.
    const std::string program = Script(
        "fake-dot", "echo half\necho 'Error: syntax error in line 1' >&2\n"
                    "echo 'more' >&2\nexit 3\n");
    const std::size_t before = Entries();
    const SvgResult r = DrawSvg(dotFile_, svgFile_, program);
    EXPECT_EQ(r.status, SvgResult::Status::failed);
    EXPECT_EQ(r.reason, "Error: syntax error in line 1");
    EXPECT_EQ(Entries(), before);

    const SvgResult silent = DrawSvg(dotFile_, svgFile_, Script("silent-dot", "exit 2\n"));
    EXPECT_EQ(silent.reason, "exit status 2");
    const SvgResult lazy = DrawSvg(dotFile_, svgFile_, Script("lazy-dot", "exit 0\n"));
    EXPECT_EQ(lazy.status, SvgResult::Status::failed);
    EXPECT_EQ(lazy.reason, "it drew nothing");
    EXPECT_FALSE(dir_.Exists("outA.svg"));
}

TEST_F(DrawSvgTest, TheProgramIsAskedForSvgOfTheDotFile) {
    const std::string program =
        Script("echo-dot", "printf '%s|' \"$@\"\n");
    const SvgResult r = DrawSvg(dotFile_, svgFile_, program);
    ASSERT_EQ(r.status, SvgResult::Status::drawn) << r.reason;
    const std::string args = dir_.Read("outA.svg");
    EXPECT_EQ(args, "-Tsvg|" + dotFile_ + "|");
}

// Ctrl-C while dot draws: it is passed on to dot, the drawing's temporary
// file goes, and only then does the signal reach the program. (raise()
// delivers it inside DrawSvg, so the handler may look at the directory.)
const std::filesystem::path* heldDirectory = nullptr;
volatile std::sig_atomic_t interruptsSeen = 0, entriesAtInterrupt = 0;
void SeeInterrupt(int) {
    interruptsSeen = interruptsSeen + 1;
    entriesAtInterrupt = static_cast<std::sig_atomic_t>(std::distance(
        std::filesystem::directory_iterator(*heldDirectory), std::filesystem::directory_iterator()));
}

TEST_F(DrawSvgTest, InterruptIsPassedOnAndWaitsUntilTheTemporaryDrawingIsGone) {
    heldDirectory = &dir_.path();
    interruptsSeen = 0;
    // Draws half, then would take long: only the passed-on signal ends it.
    const std::string program =
        Script("interrupted-dot", "echo half\nkill -INT $PPID\nexec sleep 30\n");
    const std::size_t before = Entries();
    const auto previous = std::signal(SIGINT, SeeInterrupt);
    const auto start = std::chrono::steady_clock::now();
    const SvgResult r = DrawSvg(dotFile_, svgFile_, program);
    std::signal(SIGINT, previous);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(r.status, SvgResult::Status::failed);
    EXPECT_EQ(interruptsSeen, 1);
    EXPECT_EQ(static_cast<std::size_t>(entriesAtInterrupt), before);
    EXPECT_FALSE(dir_.Exists("outA.svg"));
}

TEST_F(DrawSvgTest, TheProgramItselfCanBeInterrupted) {
    // Perl (part of every Debian system), not the shell: dash clears the
    // signal mask it starts with, as dot does not.
    const SvgResult r = DrawSvg(
        dotFile_, svgFile_,
        Script("mask-dot",
               "open(my $f, '<', '/proc/self/status') or die;\n"
               "while (<$f>) { print STDERR $_ if /^SigBlk/ }\nexit 1;\n",
               "/usr/bin/perl"));
    ASSERT_EQ(r.reason.rfind("SigBlk:", 0), 0u) << r.reason;
    const unsigned long long blocked = std::stoull(r.reason.substr(7), nullptr, 16);
    EXPECT_EQ(blocked & (1ull << (SIGINT - 1)), 0u) << r.reason;
    EXPECT_EQ(blocked & (1ull << (SIGTERM - 1)), 0u);
}

}  // namespace
}  // namespace tarnvale
