#include "network/sif_reader.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <unordered_set>

#include "network/input_text.hpp"
#include "network/preparation.hpp"

namespace tarnvale {
namespace {

constexpr const char* kNote = "NOTE:SifReader:Duplicate edges allowed\n";

// Reads a SIF text into a fresh graph and keeps what the reader printed.
class SifReaderTest : public ::testing::Test {
protected:
    void Read(const std::string& text, bool allowDuplicates = true) {
        std::istringstream in(text);
        std::ostringstream out;
        EXPECT_EQ(SifReader(in, "net.sif", graph, {names, types, values}, allowDuplicates, out), 0);
        output = out.str();
    }

    std::vector<std::string> NodeNames() const {
        std::vector<std::string> result;
        graph.ForEachNode([&](NodeId n) { result.push_back(names.get(n)); });
        return result;
    }
    // "source-type-target:value" of every edge in edge order.
    std::vector<std::string> EdgeTexts() {
        std::vector<std::string> result;
        graph.ForEachEdge([&](EdgeId e) {
            std::ostringstream text;
            text << names.get(graph.Source(e)) << '-' << types.Of(e) << '-'
                 << names.get(graph.Target(e)) << ':' << values.get(e);
            result.push_back(text.str());
        });
        return result;
    }
    // The output without the note and the progress lines.
    std::string Rest() const {
        std::istringstream in(output);
        std::string line, rest;
        while (std::getline(in, line))
            if (line + '\n' != kNote && !line.starts_with("Reading interaction "))
                rest += line + '\n';
        return rest;
    }

    Graph graph;
    NodeMap<std::string> names;
    EdgeTypes types;
    EdgeMap<float> values;
    std::string output;
};

using Texts = std::vector<std::string>;

TEST_F(SifReaderTest, EveryLineMakesOneEdgeInLineOrder) {
    Read("A pp B 0.5\nA pp B 0.2\nB pd A 0.3\nC pp C 0.1\n");
    EXPECT_EQ(NodeNames(), (Texts{"A", "B", "C"}));
    EXPECT_EQ(EdgeTexts(), (Texts{"A-pp-B:0.5", "A-pp-B:0.2", "B-pd-A:0.3", "C-pp-C:0.1"}));
    EXPECT_EQ(types.distinct(), 2u);  // each type's text is held once
    EXPECT_EQ(graph.Degree(2), 2);  // the loop, counted at both ends
    EXPECT_TRUE(graph.IsDirected());
}

TEST_F(SifReaderTest, NodesAppearInFirstMentionOrderSourceFirst) {
    Read("x pp x 0.1\nb pp a 1\nabc pp ABC 0\n");
    EXPECT_EQ(NodeNames(), (Texts{"x", "b", "a", "abc", "ABC"}));
}

TEST_F(SifReaderTest, PrintsTheNoteThenOneProgressLinePerStep) {
    Read("A pp B 0.5\nB pp C 0.5\n");
    EXPECT_EQ(output, std::string(kNote) + "Reading interaction 0\nReading interaction 1\n");
    Read("A pp B 0.5\n", false);
    EXPECT_EQ(output, "Reading interaction 0\n");
}

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "N" + std::to_string(i) + " pp M 0.5\n";
    return text;
}

// The note and the progress lines for i = 0, step, 2 step, ... up to last.
std::string Progress(int last, int step) {
    std::string text = kNote;
    for (int i = 0; i <= last; i += step) text += "Reading interaction " + std::to_string(i) + '\n';
    return text;
}

TEST_F(SifReaderTest, ProgressStepIsOneHundredthAboveOneHundredLines) {
    Read(Lines(100));
    EXPECT_EQ(output, Progress(99, 1));
    Read(Lines(101));
    EXPECT_EQ(output, Progress(100, 1));
    Read(Lines(250));
    EXPECT_EQ(output, Progress(248, 2));
}

// Whole readings: the edges made and everything printed after the note.
TEST_F(SifReaderTest, LinesAndWhatIsPrintedForThem) {
    struct Case {
        std::string text;
        Texts edges;
        std::string printed;
    };
    const std::string note = kNote;
    const std::vector<Case> cases{
        // Blank lines are neither counted nor read.
        {"\n  \t\r\nA pp B 0.5\n\r\n\t\nB pp C 0.4\n   ", {"A-pp-B:0.5", "B-pp-C:0.4"},
         note + "Reading interaction 0\nReading interaction 1\n"},
        // Text after the fourth field is echoed without line end.
        {"A pp B 0.5 C D\nB pp C 0.5\t# note\n", {"A-pp-B:0.5", "B-pp-C:0.5"},
         note + "Reading interaction 0\n C DReading interaction 1\n\t# note"},
        // CR LF reads like LF, and its carriage returns are echoed.
        {"A pp B 0.5\r\nB\tpd\tC\t1\r\n", {"A-pp-B:0.5", "B-pd-C:1"},
         note + "Reading interaction 0\n\rReading interaction 1\n\r"},
        // A short line is skipped without taking the next line.
        {"A pp B\n\nC pp D 0.5\n", {"C-pp-D:0.5"},
         note + "Reading interaction 0\nWarning: net.sif:1: fewer than four fields; line "
                "skipped\nReading interaction 1\n"},
        // Warnings name physical lines, counting blank ones.
        {"\n\nA pp B 0.5\n \nA pp\n", {"A-pp-B:0.5"},
         note + "Reading interaction 0\nReading interaction 1\nWarning: net.sif:5: fewer than four fields; line "
                "skipped\n"},
        // A byte-order mark is not part of the first name; alone it makes a blank line.
        {"\xEF\xBB\xBF" "A pp B 0.5\n", {"A-pp-B:0.5"}, note + "Reading interaction 0\n"},
        {"\xEF\xBB\xBF\nC pp D 0.5\n", {"C-pp-D:0.5"}, note + "Reading interaction 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        graph = Graph();
        names = {};
        types = {};
        values = {};
        Read(c.text);
        EXPECT_EQ(EdgeTexts(), c.edges);
        EXPECT_EQ(output, c.printed);
    }
}

TEST_F(SifReaderTest, ValueMustBeAWholeFiniteNumberFromZeroToOne) {
    auto expectSkipped = [&](const std::string& value, const std::string& reason) {
        Read("X pp Y " + value + " tail\nA pp B 0.5\n");
        // Nothing of the skipped line is echoed.
        EXPECT_EQ(Rest(), "Warning: net.sif:1: " + reason + "; line skipped\n") << value;
    };
    for (const char* value : {"abc", "0.05abc", "0,05", "0x1p-2", "+-1"})
        expectSkipped(value, "edge value '" + std::string(value) + "' is not a number");
    for (const char* value : {"1.5", "-0.1", "1.00000001", "inf", "nan", "1e400"})
        expectSkipped(value, "edge value " + std::string(value) + " lies outside [0, 1]");
    EXPECT_EQ(NodeNames(), (Texts{"A", "B"}));
}

TEST_F(SifReaderTest, EdgeValuesAtTheLimitsAreAccepted) {
    Read("A pp B +0.5\nA pp B 1\nA pp B 0\nA pp B 1e-400\nA pp B 1E-3\nA pp B .25\n");
    EXPECT_EQ(EdgeTexts(), (Texts{"A-pp-B:0.5", "A-pp-B:1", "A-pp-B:0", "A-pp-B:0", "A-pp-B:0.001",
                                  "A-pp-B:0.25"}));
    EXPECT_EQ(Rest(), "");
}

TEST_F(SifReaderTest, AtMostTenWarningsThenTheTotal) {
    std::string text;
    for (int i = 0; i < 12; ++i) text += "A pp\n";
    Read(text);
    std::string expected;
    for (int line = 1; line <= 10; ++line)
        expected +=
            "Warning: net.sif:" + std::to_string(line) + ": fewer than four fields; line skipped\n";
    expected += "Warning: net.sif: 12 lines skipped in all\n";
    EXPECT_EQ(Rest(), expected);
    EXPECT_EQ(graph.NumberOfNodes(), 0u);
}

TEST_F(SifReaderTest, WithoutDuplicatesTheFirstEdgeBetweenTwoNodesStays) {
    Read("A pp B 0.5\nB pd A 0.3\nA pp B 0.2\nA pp C 0.1\n", false);
    EXPECT_EQ(EdgeTexts(), (Texts{"A-pp-B:0.5", "A-pp-C:0.1"}));
}

TEST_F(SifReaderTest, MillionLineHubReadsAndDeduplicates) {
    std::string text;
    text.reserve(20'000'000);
    for (int i = 0; i < 1'000'000; ++i) {
        text += "hub pp n";
        text += std::to_string(i % 500'000);
        text += " 0.5\n";
    }
    Read(text);
    std::ostringstream rdeOut;
    EXPECT_EQ(RDE(graph, rdeOut), 500'000);
    EXPECT_EQ(graph.NumberOfNodes(), 500'001u);
    EXPECT_EQ(graph.NumberOfEdges(), 500'000u);
    EXPECT_EQ(graph.Degree(0), 500'000);
}

// A file of many read blocks, with names repeating at random distances and
// a bad line now and then: nodes, edges and warnings come out as a plain
// one-line-at-a-time reading gives them.
TEST_F(SifReaderTest, LargeFileReadsLikeOneLineAtATime) {
    std::string text;
    Texts expectedNodes, expectedEdges;
    std::unordered_set<std::string> seen;
    std::uint32_t state = 12345;
    auto next = [&] { return state = state * 1664525u + 1013904223u; };
    auto mention = [&](const std::string& name) {
        if (seen.insert(name).second) expectedNodes.push_back(name);
    };
    int skippedLines = 0;
    for (int i = 0; i < 120'000; ++i) {
        const std::string a = "gene" + std::to_string(next() % 30'000);
        const std::string b = "prot" + std::to_string(next() % 50'000) + std::string(next() % 40, 'x');
        if (next() % 1000 == 0) {
            text += a + " pp " + b + " 2\r\n";  // outside [0, 1]: skipped
            ++skippedLines;
            continue;
        }
        const std::string type = next() % 2 ? "pp" : "pd";
        text += a + '\t' + type + ' ' + b + " 0.25\r\n";
        mention(a);
        mention(b);
        expectedEdges.push_back(a + '-' + type + '-' + b + ":0.25");
    }
    ASSERT_GT(text.size(), 8 * LineReader::kBlockSize);
    Read(text);
    EXPECT_EQ(NodeNames(), expectedNodes);
    EXPECT_EQ(EdgeTexts(), expectedEdges);
    EXPECT_NE(Rest().find("Warning: net.sif: " + std::to_string(skippedLines) +
                          " lines skipped in all"),
              std::string::npos);
}

}  // namespace
}  // namespace tarnvale
