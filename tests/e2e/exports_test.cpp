// The files written beside the reports for Cytoscape and Graphviz, judged
// from outside: they must read back into the reports' groups, appear only
// when asked for, and leave the reports and standard output as they were.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "network/graph.hpp"
#include "network/sif_reader.hpp"
#include "support/planted_network.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// Every random choice of the network and of the runs follows from these.
constexpr std::uint32_t kNetworkSeed = 515u;
constexpr const char* kRunSeed = "77";

// One group of a report, as text.
struct TextGroup {
    std::string number, score;  // as printed
    std::vector<std::string> lines;  // node lines: name, node score, p-value
    std::set<std::string> names;
};

std::vector<TextGroup> ReadReport(const std::string& text) {
    std::vector<TextGroup> groups;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        if (line.rfind("Group No. ", 0) == 0) {
            groups.emplace_back();
            groups.back().number = line.substr(10, line.find(':') - 10);
        } else if (line.rfind("Group s-score = ", 0) == 0) {
            groups.back().score = line.substr(16);
        } else {
            groups.back().lines.push_back(line);
            groups.back().names.insert(line.substr(0, line.find('\t')));
        }
    }
    return groups;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    return fields;
}

std::pair<std::string, std::string> Pair(const std::string& a, const std::string& b) {
    return a < b ? std::pair{a, b} : std::pair{b, a};
}

// True when an executable of that name is in PATH.
bool InPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

// Standard output without the clock-dependent last line.
std::string WithoutTime(const std::string& out) { return out.substr(0, out.rfind("\nTime taken = ")); }

std::set<std::string> Entries(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

class Exports : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        net_ = new PlantedNetwork(MakePlantedNetwork(kNetworkSeed, 90, 8));
    }
    static void TearDownTestSuite() { delete net_; }

    RunResult Run(const ScratchDir& dir, std::vector<std::string> extra) const {
        std::vector<std::string> args{"-d", dir.Write("p.txt", net_->pvalues),
                                      "-a", dir.Write("a.txt", net_->association),
                                      "--seed", kRunSeed, "-k", "10", "-i", "100", "-n", "800",
                                      "-g", "3"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(dir.Write("net.sif", net_->sif));
        args.push_back("out");
        return RunTarnvale(args, dir.path());
    }

    // Edge values of the input network by unordered pair of names, as text.
    static std::map<std::pair<std::string, std::string>, std::string> InputEdges() {
        std::map<std::pair<std::string, std::string>, std::string> edges;
        std::istringstream lines(net_->sif);
        for (std::string line; std::getline(lines, line);) {
            const auto f = Fields(line);
            edges.emplace(Pair(f[0], f[2]), f[3]);
        }
        return edges;
    }

    static PlantedNetwork* net_;
};

PlantedNetwork* Exports::net_ = nullptr;

TEST_F(Exports, CytoscapeFilesReadBackIntoTheReportsGroups) {
    ScratchDir dir;
    const RunResult r = Run(dir, {"-r", "2", "--cytoscape"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto inputEdges = InputEdges();
    for (const std::string run : {"outA", "outB"}) {
        SCOPED_TRACE(run);
        const std::vector<TextGroup> groups = ReadReport(dir.Read(run));
        ASSERT_FALSE(groups.empty());

        // The node table: the report's lines with group number and score.
        std::string expected = "name\tgroup\tgroup_score\tnode_score\tp_value\n";
        std::map<std::string, std::string> groupOf;
        for (const TextGroup& g : groups) {
            for (const std::string& line : g.lines) {
                const auto f = Fields(line);
                expected += f[0] + "\t" + g.number + "\t" + g.score + "\t" + f[1] + "\t" + f[2] + "\n";
                groupOf[f[0]] = g.number;
            }
        }
        EXPECT_EQ(dir.Read(run + ".nodes.tsv"), expected);

        // The network, read back by the program's own reader.
        Graph graph;
        NodeMap<std::string> names;
        EdgeTypes types;
        EdgeMap<float> values;
        std::ifstream in(dir.path() / (run + ".sif"));
        std::ostringstream said;
        SifReader(in, run + ".sif", graph, {names, types, values}, false, said);
        EXPECT_EQ(said.str().find("Warning"), std::string::npos) << said.str();

        // Its components are the report's groups, and every edge is typed
        // with the group of its ends.
        std::set<std::set<std::string>> components, reported;
        for (const Component& c : graph.Components()) {
            std::set<std::string> members;
            for (NodeId n : c.nodes) members.insert(names.at(n));
            components.insert(members);
        }
        for (const TextGroup& g : groups) reported.insert(g.names);
        EXPECT_EQ(components, reported);

        std::map<std::string, std::size_t> edgesPerGroup;
        std::istringstream sif(dir.Read(run + ".sif"));
        for (std::string line; std::getline(sif, line);) {
            const auto f = Fields(line);
            ASSERT_EQ(f.size(), 4u) << line;
            EXPECT_EQ(groupOf[f[0]], f[1]) << line;
            EXPECT_EQ(groupOf[f[2]], f[1]) << line;
            const auto input = inputEdges.find(Pair(f[0], f[2]));
            ASSERT_NE(input, inputEdges.end()) << "not an input edge: " << line;
            EXPECT_EQ(f[3], input->second) << line;
            ++edgesPerGroup[f[1]];
        }
        // No edge inside a group is left out.
        for (const TextGroup& g : groups) {
            std::size_t inside = 0;
            for (const auto& [pair, value] : inputEdges)
                inside += g.names.count(pair.first) != 0 && g.names.count(pair.second) != 0;
            EXPECT_EQ(edgesPerGroup[g.number], inside) << "group " << g.number;
        }
    }
}

TEST_F(Exports, TheDrawingHasOneClusterPerGroupAndAnSvgWhenDotIsInstalled) {
    ScratchDir dir;
    const RunResult r = Run(dir, {"-r", "1", "--dot"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<TextGroup> groups = ReadReport(dir.Read("outA"));
    const std::string dot = dir.Read("outA.dot");
    EXPECT_EQ(dot.rfind("graph tarnvale {\n", 0), 0u);
    EXPECT_NE(dot.find("label=\"outA: " + std::to_string(groups.size()) + " groups, "),
              std::string::npos);
    for (const TextGroup& g : groups) {
        const std::string head = "  subgraph cluster_" + g.number + " {\n    label=\"Group No. " +
                                 g.number + ": s-score = " + g.score + "\";\n";
        const auto at = dot.find(head);
        ASSERT_NE(at, std::string::npos) << head;
        const std::string cluster = dot.substr(at, dot.find("\n  }\n", at) - at);
        std::set<std::string> labels;
        for (std::size_t i = 0; (i = cluster.find("[label=\"", i)) != std::string::npos; i += 8)
            labels.insert(cluster.substr(i + 8, cluster.find('"', i + 8) - i - 8));
        EXPECT_EQ(labels, g.names) << "group " << g.number;
    }
    EXPECT_NE(dot.find("subgraph cluster_legend {"), std::string::npos);

    if (InPath("dot")) {
        ASSERT_TRUE(dir.Exists("outA.svg")) << r.out;
        const std::string svg = dir.Read("outA.svg");
        EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
        EXPECT_NE(svg.find("<svg"), std::string::npos);
        EXPECT_EQ(r.out.find("NOTE: the dot program"), std::string::npos);
    } else {
        EXPECT_FALSE(dir.Exists("outA.svg"));
        EXPECT_NE(r.out.find("\nNOTE: the dot program (Debian package graphviz) is not "
                             "installed; outA.svg is not drawn\n"),
                  std::string::npos);
    }
}

// The lines that the new flags add to standard output, with the empty line
// before each block.
std::string WithoutAddedLines(const std::string& out) {
    std::istringstream in(out);
    std::vector<std::string> kept;
    for (std::string line; std::getline(in, line);) {
        const bool added = line.rfind("Permutation test of run ", 0) == 0 ||
                           line.rfind("NOTE: the dot program ", 0) == 0 ||
                           (line.rfind("Group No. ", 0) == 0 &&
                            line.find("empirical p-value") != std::string::npos);
        if (!added) {
            kept.push_back(line);
            continue;
        }
        if (line.rfind("Group No. ", 0) != 0 && !kept.empty() && kept.back().empty())
            kept.pop_back();
    }
    std::string text;
    for (const auto& line : kept) text += line + "\n";
    return text;
}

TEST_F(Exports, WithoutTheNewFlagsOnlyTheReportsAppearAndTheFlagsOnlyAdd) {
    ScratchDir plainDir, flaggedDir;
    const RunResult plain = Run(plainDir, {"-r", "2"});
    ASSERT_EQ(plain.status, 0) << plain.out;
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(Entries(plainDir.path()),
              (std::set<std::string>{"a.txt", "p.txt", "net.sif", "outA", "outB"}));
    EXPECT_EQ(WithoutAddedLines(plain.out), plain.out + "\n");
    EXPECT_EQ(plain.out.find("Warning: only"), std::string::npos);

    const RunResult flagged =
        Run(flaggedDir, {"-r", "2", "--cytoscape", "--dot", "--permutations", "3"});
    ASSERT_EQ(flagged.status, 0) << flagged.out;
    EXPECT_EQ(flagged.err, "");
    EXPECT_EQ(flaggedDir.Read("outA"), plainDir.Read("outA"));
    EXPECT_EQ(flaggedDir.Read("outB"), plainDir.Read("outB"));
    EXPECT_EQ(WithoutAddedLines(WithoutTime(flagged.out)), WithoutAddedLines(WithoutTime(plain.out)));
    std::set<std::string> expected{"a.txt", "p.txt", "net.sif", "outA", "outB"};
    for (const std::string run : {"outA", "outB"}) {
        for (const char* suffix : {".sif", ".nodes.tsv", ".dot", ".significance.tsv"})
            expected.insert(run + suffix);
        if (InPath("dot")) expected.insert(run + ".svg");
    }
    EXPECT_EQ(Entries(flaggedDir.path()), expected);
}

TEST_F(Exports, AFileThatCannotBeWrittenStopsTheRunAfterItsReport) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "outA.nodes.tsv");
    const RunResult r = Run(dir, {"-r", "2", "--cytoscape"});
    EXPECT_EQ(r.status, 1);
    const std::string tail = "\nError: writing outA.nodes.tsv failed: Is a directory\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_TRUE(dir.Exists("outA"));
    EXPECT_TRUE(dir.Exists("outA.sif"));
    EXPECT_FALSE(dir.Exists("outB"));
    for (const auto& name : Entries(dir.path()))
        EXPECT_EQ(name.find(".tmp."), std::string::npos) << name;
}

}  // namespace
}  // namespace tarnvale::testing
