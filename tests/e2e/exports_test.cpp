// The files written beside the reports for Cytoscape and Graphviz, judged
// from outside: they must read back into the reports' groups, appear only
// when asked for, and leave the reports and standard output as they were.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support/run_binary.hpp"
#include "support/planted_network.hpp"

namespace tarnvale::testing {
namespace {

// Every random choice of the network and of the runs follows from these.
constexpr std::uint32_t kNetworkSeed = 515u;
constexpr const char* kRunSeed = "77";

std::vector<std::string> Fields(const std::string& line, char separator = '\t') {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
    return fields;
}

// One group of a report, as text: number, s-score, node lines, names.
struct TextGroup { std::string number, score; std::vector<std::string> lines; std::set<std::string> names; };

std::vector<TextGroup> ReadReport(const std::string& text) {
    std::vector<TextGroup> groups;
    for (const std::string& line : Fields(text, '\n')) {
        if (line.rfind("Group No. ", 0) == 0) groups.push_back({line.substr(10, line.find(':') - 10), "", {}, {}});
        else if (line.rfind("Group s-score = ", 0) == 0) groups.back().score = line.substr(16);
        else if (!line.empty()) groups.back().lines.push_back(line), groups.back().names.insert(Fields(line)[0]);
    }
    return groups;
}

std::set<std::string> Entries(const ScratchDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.insert(entry.path().filename());
    return names;
}

// The lines of standard output but the empty ones, the clock-dependent
// last one and those that the export and permutation flags add.
std::vector<std::string> PlainLines(const std::string& out) {
    std::vector<std::string> kept;
    for (const std::string& line : Fields(out.substr(0, out.rfind("\nTime taken = ")), '\n'))
        if (!line.empty() && line.rfind("Permutation test of run ", 0) != 0 &&
            line.rfind("NOTE: the dot program ", 0) != 0 && line.find("empirical p-value") == std::string::npos)
            kept.push_back(line);
    return kept;
}

class Exports : public ::testing::Test {
protected:
    RunResult Run(const ScratchDir& dir, std::vector<std::string> extra) const {
        std::vector<std::string> args{"-d", dir.Write("p.txt", net_.pvalues), "-a", dir.Write("a.txt", net_.association),
                                      "--seed", kRunSeed, "-k", "10", "-i", "100", "-n", "800", "-g", "3", "-r", "2"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {dir.Write("net.sif", net_.sif), "out"});
        return RunTarnvale(args, dir.path());
    }
    const PlantedNetwork net_ = MakePlantedNetwork(kNetworkSeed, 90, 8);
    const bool haveDot_ = std::system("command -v dot > /dev/null 2>&1") == 0;
};

TEST_F(Exports, TheFilesReadBackIntoTheReportsGroupsAndOnlyAdd) {
    ScratchDir plainDir, dir;
    const RunResult plain = Run(plainDir, {});
    ASSERT_EQ(plain.status, 0) << plain.out;
    const std::set<std::string> inputs{"a.txt", "p.txt", "net.sif", "outA", "outB"};
    EXPECT_EQ(Entries(plainDir), inputs);
    const RunResult r = Run(dir, {"--cytoscape", "--dot", "--permutations", "3"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(plain.err + r.err, "");
    EXPECT_EQ(PlainLines(r.out), PlainLines(plain.out));
    std::set<std::string> expected = inputs;
    for (const std::string run : {"outA", "outB"})
        for (const char* suffix : {".sif", ".nodes.tsv", ".dot", ".significance.tsv", ".svg"})
            if (suffix != std::string(".svg") || haveDot_) expected.insert(run + suffix);
    EXPECT_EQ(Entries(dir), expected);

    std::map<std::pair<std::string, std::string>, std::string> inputEdges;  // by ordered names
    for (const std::string& line : Fields(net_.sif, '\n'))
        if (const auto f = Fields(line); f.size() == 4) inputEdges.emplace(std::minmax(f[0], f[2]), f[3]);
    for (const std::string run : {"outA", "outB"}) {
        SCOPED_TRACE(run);
        EXPECT_EQ(dir.Read(run), plainDir.Read(run));
        const std::vector<TextGroup> groups = ReadReport(dir.Read(run));
        ASSERT_FALSE(groups.empty());
        // The node table: the report's lines with group number and score.
        std::string table = "name\tgroup\tgroup_score\tnode_score\tp_value\n";
        std::map<std::string, std::string> groupOf;
        for (const TextGroup& g : groups) {
            for (const auto& f : g.lines) table += Fields(f)[0] + "\t" + g.number + "\t" + g.score + f.substr(f.find('\t')) + "\n";
            for (const auto& name : g.names) groupOf[name] = g.number;
        }
        EXPECT_EQ(dir.Read(run + ".nodes.tsv"), table);
        // The network: every edge is an input edge typed with the group of
        // both its ends, and no edge inside a group is left out.
        std::size_t inside = 0, listed = 0;
        for (const auto& [pair, value] : inputEdges) {
            const auto from = groupOf.find(pair.first), to = groupOf.find(pair.second);
            inside += from != groupOf.end() && to != groupOf.end() && from->second == to->second;
        }
        for (const std::string& line : Fields(dir.Read(run + ".sif"), '\n')) {
            const auto f = Fields(line);
            ASSERT_EQ(f.size(), 4u) << line;
            EXPECT_TRUE(groupOf[f[0]] == f[1] && groupOf[f[2]] == f[1]) << line;
            EXPECT_EQ(inputEdges[std::minmax(f[0], f[2])], f[3]) << line;
            ++listed;
        }
        EXPECT_EQ(listed, inside);
        // The drawing names the run and its number of groups.
        EXPECT_NE(dir.Read(run + ".dot").find("label=\"" + run + ": " + std::to_string(groups.size()) + " groups, "),
                  std::string::npos);
        EXPECT_TRUE(!haveDot_ || dir.Read(run + ".svg").rfind("<?xml", 0) == 0);
    }
    EXPECT_EQ(r.out.find("NOTE: the dot program (Debian package graphviz) is not installed; outA.svg is not drawn\n") ==
                  std::string::npos, haveDot_);
}

TEST_F(Exports, AFileThatCannotBeWrittenStopsTheRunAfterItsReport) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "outA.nodes.tsv");
    const RunResult r = Run(dir, {"--cytoscape"});
    EXPECT_EQ(r.status, 1);
    const std::string tail = "\nError: writing outA.nodes.tsv failed: Is a directory\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_TRUE(dir.Exists("outA") && dir.Exists("outA.sif"));
    EXPECT_FALSE(dir.Exists("outB"));
    EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarnvale::testing
