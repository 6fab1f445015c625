// The Graphviz drawing written beside a report, its SVG rendering by an
// outside program, and the GraphML text, which any XML reader must accept
// whatever bytes a name holds. (The Cytoscape files and the GraphML file as
// a whole are judged end to end.)

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>

#include "cli/dot_export.hpp"
#include "cli/graphml_export.hpp"
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
        const double scores[] = {3.09023, 1.0, -0.5, -2.0, 2.32635, 0.0};
        for (const char* name : {"A", "B", "C", "D", "E", "F"}) {
            const NodeId n = graph.NewNode();
            names[n] = name, nodeScores[n] = scores[n];
        }
        const float values[] = {0.9f, 0.25f, 0.5f, 0.3f, 0.125f};
        for (NodeId n = a; n < f; ++n) edgeValues[graph.NewEdge(n, n + 1)] = values[n];
        edgeValues[graph.NewEdge(a, c)] = 0.75f;
        graph.MakeUndirected();
        search = SearchGraph(graph, nullptr);
    }
    ExportInputs Inputs() const { return {search, groups, names, nodeScores, edgeValues}; }
    SearchGraph search;
};

TEST(DotExport, ColoursOnOneDivergingScaleUpToTheLargestScoreInAGroup) {
    // White at 0, the ends at the limit and beyond it, and halfway the mean
    // of white and the end, rounded half away from zero.
    const std::vector<std::pair<double, std::string>> colours{
        {0.0, "#f7f7f7"}, {30.0, "#b2182b"}, {-3.0, "#2166ac"}, {-1.5, "#8cafd2"}};
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
    // Limit 2.4 (E's 2.32635 rounded up): E at 0.969 of it, F at 0; the
    // legend spans the limit; every node and edge of the group is drawn.
    EXPECT_EQ(dot.str(), testing::ReadFile(std::string(TARNVALE_TEST_DATA) + "/e2e/one_group.dot"));
    net.names[net.e] = "a\"b\\c";
    dot.str("");
    WriteDot(dot, net.Inputs(), "out\"A");
    EXPECT_NE(dot.str().find("n4 [label=\"a\\\"b\\\\c\""), std::string::npos) << dot.str();
    EXPECT_NE(dot.str().find("tooltip=\"a\\\"b\\\\c: node score"), std::string::npos);
    EXPECT_NE(dot.str().find("label=\"out\\\"A: 1 group"), std::string::npos);
}

// Stand-ins for the dot program, as scripts in a scratch directory.
class DrawSvgTest : public ::testing::Test {
protected:
    SvgResult Draw(const std::string& body, const std::string& interpreter = "/bin/sh") {
        const std::string path = dir_.Write("fake-dot", "#!" + interpreter + "\n" + body);
        ::chmod(path.c_str(), 0755);
        return DrawSvg(dotFile_, svgFile_, path);
    }

    testing::ScratchDir dir_;
    std::string dotFile_ = dir_.Write("outA.dot", "graph g { a -- b; }\n");
    std::string svgFile_ = (dir_.path() / "outA.svg").string();
};

TEST_F(DrawSvgTest, TheProgramDrawsTheDotFileOrItsFailureIsToldAndLeavesNothing) {
    EXPECT_EQ(DrawSvg(dotFile_, svgFile_, "tarnvale-test-no-such-program").status,
              SvgResult::Status::noProgram);
    // Writes half a file, complains and fails, as dot does on a syntax error.
    SvgResult r =
        Draw("echo half\necho 'Error: syntax error in line 1' >&2\necho more >&2\nexit 3\n");
    EXPECT_EQ(r.status, SvgResult::Status::failed);
    EXPECT_EQ(r.reason, "Error: syntax error in line 1");
    EXPECT_EQ(Draw("exit 2\n").reason, "exit status 2");
    EXPECT_EQ(Draw("exit 0\n").reason, "it drew nothing");
    EXPECT_EQ(testing::Entries(dir_.path()), (std::set<std::string>{"fake-dot", "outA.dot"}));
    r = Draw("printf '%s|' \"$@\"\n");
    ASSERT_EQ(r.status, SvgResult::Status::drawn) << r.reason;
    EXPECT_EQ(dir_.Read("outA.svg"), "-Tsvg|" + dotFile_ + "|");
    // A relative name that looks like an option is passed as a path.
    ASSERT_EQ(DrawSvg("-xA.dot", svgFile_, (dir_.path() / "fake-dot").string()).status,
              SvgResult::Status::drawn);
    EXPECT_EQ(dir_.Read("outA.svg"), "-Tsvg|./-xA.dot|");
}

TEST(GraphmlExport, TextIsEscapedAndAlwaysValidXml) {
    const std::string replacement = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"a&b<c>\"d'e", "a&amp;b&lt;c&gt;&quot;d&apos;e"},
        {"M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\xA7\xAC",
         "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\xA7\xAC"},
        {"tab\tand\nline", "tab\tand\nline"},
        {"M\xFCller", "M" + replacement + "ller"},  // Latin-1
        {"a\x01"
         "b\rc",
         "a" + replacement + "b" + replacement + "c"},              // control bytes
        {"\xC0\xAF", replacement + replacement},                    // overlong '/'
        {"\xED\xA0\x80", replacement + replacement + replacement},  // a UTF-16 surrogate
        {"\xEF\xBF\xBE", replacement + replacement + replacement},  // U+FFFE
        {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},
        {"cut \xE2\x82", "cut " + replacement + replacement},
    };
    for (const auto& [text, xml] : cases) EXPECT_EQ(XmlText(text), xml) << text;
}

}  // namespace
}  // namespace tarnvale
