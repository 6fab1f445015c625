// The files written beside the reports for Cytoscape and Graphviz, judged
// from outside: they must read back into the reports' groups, appear only
// when asked for, and leave the reports and standard output as they were;
// one that cannot be written stops the run.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support/planted_network.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

std::vector<std::string> Fields(const std::string& line, char separator = '\t') {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
    return fields;
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

RunResult RunExported(const ScratchDir& dir, const PlantedNetwork& net, std::vector<std::string> extra) {
    std::vector<std::string> args{"-d", dir.Write("p.txt", net.pvalues), "-a", dir.Write("a.txt", net.association),
                                  "--seed", "77", "-k", "10", "-i", "100", "-n", "800", "-g", "3", "-r", "2"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {dir.Write("net.sif", net.sif), "out"});
    return RunTarnvale(args, dir.path());
}

TEST(Exports, TheFilesReadBackIntoTheReportsGroupsAndOnlyAdd) {
    const PlantedNetwork net = MakePlantedNetwork(515u, 90, 8);
    const bool haveDot = std::system("command -v dot > /dev/null 2>&1") == 0;
    ScratchDir plainDir, dir;
    const RunResult plain = RunExported(plainDir, net, {});
    ASSERT_EQ(plain.status, 0) << plain.out;
    std::set<std::string> expected{"a.txt", "p.txt", "net.sif", "outA", "outB"};
    EXPECT_EQ(Entries(plainDir), expected);
    const RunResult r = RunExported(dir, net, {"--cytoscape", "--dot", "--permutations", "3"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(plain.err + r.err, "");
    EXPECT_EQ(PlainLines(r.out), PlainLines(plain.out));
    for (const std::string run : {"outA", "outB"})
        for (const std::string suffix : {".sif", ".nodes.tsv", ".dot", ".significance.tsv", ".svg"})
            if (suffix != ".svg" || haveDot) expected.insert(run + suffix);
    EXPECT_EQ(Entries(dir), expected);
    EXPECT_EQ(r.out.find("NOTE: the dot program (Debian package graphviz) is not installed; outA.svg is not drawn\n") ==
                  std::string::npos, haveDot);

    std::map<std::pair<std::string, std::string>, std::string> inputEdges;  // by ordered names
    for (const std::string& line : Fields(net.sif, '\n'))
        if (const auto f = Fields(line); f.size() == 4) inputEdges.emplace(std::minmax(f[0], f[2]), f[3]);
    for (const std::string run : {"outA", "outB"}) {
        SCOPED_TRACE(run);
        const std::string report = dir.Read(run);
        EXPECT_EQ(report, plainDir.Read(run));
        // The node table: the report's node lines with group number and score.
        std::string table = "name\tgroup\tgroup_score\tnode_score\tp_value\n", number, score;
        std::map<std::string, std::string> groupOf;
        std::size_t groups = 0;
        for (const std::string& line : Fields(report, '\n')) {
            if (line.rfind("Group No. ", 0) == 0) number = line.substr(10, line.find(':') - 10), ++groups;
            else if (line.rfind("Group s-score = ", 0) == 0) score = line.substr(16);
            else if (const auto tab = line.find('\t'); tab != std::string::npos)
                table += line.substr(0, tab) + "\t" + number + "\t" + score + line.substr(tab) + "\n",
                    groupOf[line.substr(0, tab)] = number;
        }
        ASSERT_GT(groups, 0u);
        EXPECT_EQ(dir.Read(run + ".nodes.tsv"), table);
        // The network: exactly the input edges inside a group, typed with it.
        std::size_t inside = 0, listed = 0;
        for (const auto& [pair, value] : inputEdges)
            inside += groupOf.count(pair.first) && groupOf.count(pair.second) && groupOf[pair.first] == groupOf[pair.second];
        for (const std::string& line : Fields(dir.Read(run + ".sif"), '\n')) {
            const auto f = Fields(line);
            ASSERT_EQ(f.size(), 4u) << line;
            EXPECT_TRUE(groupOf[f[0]] == f[1] && groupOf[f[2]] == f[1]) << line;
            EXPECT_EQ(inputEdges[std::minmax(f[0], f[2])], f[3]) << line;
            ++listed;
        }
        EXPECT_EQ(listed, inside);
        EXPECT_NE(dir.Read(run + ".dot").find("label=\"" + run + ": " + std::to_string(groups) + " groups, "),
                  std::string::npos);
        EXPECT_TRUE(!haveDot || dir.Read(run + ".svg").rfind("<?xml", 0) == 0);
    }
    // A file that cannot be written stops the run after its report.
    ScratchDir failed;
    std::filesystem::create_directory(failed.path() / "outA.nodes.tsv");
    const RunResult stopped = RunExported(failed, net, {"--cytoscape"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_TRUE(stopped.out.ends_with("\nError: writing outA.nodes.tsv failed: Is a directory\n")) << stopped.out;
    EXPECT_TRUE(failed.Exists("outA") && failed.Exists("outA.sif") && !failed.Exists("outB"));
    EXPECT_EQ(TemporaryFiles(failed.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarnvale::testing
