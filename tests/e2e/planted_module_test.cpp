// What the search finds, judged from outside: the real binary runs on a
// synthetic network with one planted active module and the input quirks of
// real files. Every report must pass the independent checker; the module
// must fill the best group, stand out from the permutation test's shuffles
// and be stable over repeated searches; the exported files must read back
// into the reports' groups; and neither the threads nor the extra outputs
// may change a report. On pure noise nothing passes for a finding.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/planted_network.hpp"
#include "support/report_checker.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// Every random choice of the networks and the runs follows from these.
constexpr std::uint32_t kNetworkSeed = 20240917u, kNoiseSeed = 78u, kRunSeed = 31u;
constexpr int kNoiseNodes = 300, kModuleNodes = 12, kKmax = 20, kImax = 200;

// Runs the binary in `work` on `files` with the seed and, unless `options`
// set them, small backgrounds; standard output loses its clock-dependent end.
RunResult RunIn(const ScratchDir& work, const InputFiles& files, std::uint32_t seed,
                std::vector<std::string> options) {
    if (std::find(options.begin(), options.end(), "-k") == options.end())
        options.insert(options.begin(), {"-k", std::to_string(kKmax), "-i", std::to_string(kImax)});
    options.insert(options.begin(),
                   {"--seed", std::to_string(seed), "-d", files.pvalues, "-a", files.association});
    options.insert(options.end(), {files.sif, "out"});
    RunResult r = RunTarnvale(options, work.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r.out = r.out.substr(0, r.out.rfind("\nTime taken"));
    return r;
}

InputFiles Write(const ScratchDir& dir, const PlantedNetwork& net) {
    return {dir.Write("net.sif", net.sif), dir.Write("p.txt", net.pvalues),
            dir.Write("a.txt", net.association)};
}

// The last run's report as printed: "Top.size()=" counts the file's groups,
// and the group header lines are the file's.
void ExpectStdoutMatchesReport(const std::string& out, const std::string& report,
                               std::size_t groups) {
    auto headers = [](const std::string& text) {
        std::vector<std::string> found;
        for (const std::string& line : Split(text))
            if (line.find(": size(") != std::string::npos || line.rfind("Group s-score", 0) == 0)
                found.push_back(line);
        return found;
    };
    const auto at = out.rfind("Top.size()=");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(std::stoul(out.substr(at + 11)), groups);
    EXPECT_EQ(headers(out.substr(at)), headers(report));
}

// The stability table is ordered by fraction, highest first, then by name,
// and the line after the run counts the ranked groups' nodes (the first
// `ranked` groups of the report) with a fraction of at least one half.
// Returns the fractions by name.
std::map<std::string, double> ExpectStabilityAgrees(const std::string& table,
                                                    const std::string& out, char run,
                                                    const std::string& report, std::size_t ranked) {
    std::map<std::string, double> fraction;
    std::vector<std::pair<double, std::string>> order;  // minus the fraction, the name
    for (auto& f : ReadTable(table))
        order.emplace_back(-(fraction[f["name"]] = std::stod(f["fraction"])), f["name"]);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << table;
    std::vector<std::string> problems;
    const auto groups = ParseReport(report, problems);
    std::size_t nodes = 0, stable = 0;
    for (std::size_t g = 0; g < std::min(ranked, groups.size()); ++g)
        for (const ReportNode& node : groups[g].nodes)
            ++nodes, stable += fraction[node.name] >= 0.5;
    EXPECT_NE(out.find(std::string("\nStability of run ") + run + ": " + std::to_string(stable) +
                       " of the " + std::to_string(nodes) + " nodes of its ranked groups"),
              std::string::npos)
        << stable << " of " << nodes;
    return fraction;
}

class PlantedModule : public ::testing::Test {
protected:
    const PlantedNetwork net_ = MakePlantedNetwork(kNetworkSeed, kNoiseNodes, kModuleNodes);
    ScratchDir dir_;
    const InputFiles files_ = Write(dir_, net_);
};

// Standard output but the empty lines and those that the permutations,
// the ensemble and the exports add.
std::vector<std::string> PlainLines(const std::string& out) {
    std::vector<std::string> kept;
    for (const std::string& line : Split(out))
        if (!line.empty() && line.rfind("Permutation test of run ", 0) != 0 &&
            line.rfind("NOTE: the dot ", 0) != 0 && line.rfind("Stability of run ", 0) != 0 &&
            line.find("family-wise p-value") == std::string::npos &&
            line.find("owe most of their s-score") == std::string::npos)
            kept.push_back(line);
    return kept;
}

// One search of two runs three times: plain; with the permutation test, the
// ensemble, the summary and the exports on two threads, which only add files
// and lines (that the number of threads changes no file is shards_test.cpp's);
// and with a low hub degree, which reaches the search and changes the runs.
TEST_F(PlantedModule, PermutationsStabilityAndExportsOfTheModule) {
    const std::string search = "-n 3000 -p 2 -r 2 -g 3";
    ScratchDir plainDir, dir, hubDir;
    const RunResult plain = RunIn(plainDir, files_, kRunSeed, Split(search, ' ')),
                    r = RunIn(dir, files_, kRunSeed,
                              Split(search + " --permutations 19 --ensemble 10 --summary "
                                             "--threads 2 --cytoscape --dot",
                                    ' '));
    RunIn(hubDir, files_, kRunSeed, Split(search + " -b 3", ' '));
    EXPECT_NE(hubDir.Read("outA"), plainDir.Read("outA"));
    EXPECT_EQ(plain.err + r.err, "");
    EXPECT_EQ(PlainLines(r.out), PlainLines(plain.out));
    EXPECT_EQ(Entries(plainDir.path()), (std::set<std::string>{"outA", "outB"}));
    const bool haveDot = std::system("command -v dot > /dev/null 2>&1") == 0;
    std::set<std::string> expected{"out.summary.tsv"};
    for (const std::string run : {"outA", "outB"}) {
        EXPECT_EQ(dir.Read(run), plainDir.Read(run));
        for (const std::string suffix :
             {"", ".significance.tsv", ".stability.tsv", ".sif", ".nodes.tsv", ".dot", ".svg"})
            if (suffix != ".svg" || haveDot) expected.insert(run + suffix);
    }
    EXPECT_EQ(Entries(dir.path()), expected);
    EXPECT_EQ(r.out.find("NOTE: the dot program (Debian package graphviz) is not installed; "
                         "outA.svg is not drawn\n") == std::string::npos,
              haveDot);

    // The reports are valid, the module fills the best group and is found
    // by at least nine in ten repeated searches.
    const ReportChecker checker(files_, {kKmax, kImax, kRunSeed, true});
    // The merged pair and the two nodes without data are gone; edges vary.
    EXPECT_EQ(checker.NumberOfNodes(), static_cast<std::size_t>(kNoiseNodes + kModuleNodes - 3));
    EXPECT_TRUE(checker.EdgesVary());
    const std::string report = dir.Read("outA");
    const CheckResult a = checker.CheckFirstRun(report),
                      b = checker.CheckLaterRun(report, dir.Read("outB"));
    EXPECT_TRUE(a.ok()) << a.Describe() << "\n" << report;
    EXPECT_TRUE(b.ok()) << b.Describe() << "\n" << dir.Read("outB");
    ASSERT_FALSE(a.groups.empty() || b.groups.empty());
    ExpectStdoutMatchesReport(r.out, dir.Read("outB"), b.groups.size());
    const auto planted =
        std::count_if(a.groups[0].nodes.begin(), a.groups[0].nodes.end(), [&](const auto& n) {
            return std::count(net_.module.begin(), net_.module.end(), n.name) > 0;
        });
    EXPECT_GE(4 * planted, 3 * kModuleNodes) << report;
    auto fraction = ExpectStabilityAgrees(dir.Read("outA.stability.tsv"), r.out, 'A', report, 3);
    for (const auto& n : net_.module) EXPECT_GE(fraction[n], 0.9) << n;
    // In both runs the module's group has the smallest family-wise p-value
    // that 19 permutation chains can give (1 / 20), and the other ranked
    // groups none as small; the printed lines say what the table says.
    for (const auto& [run, groups] : {std::pair{"A", a.groups}, {"B", b.groups}}) {
        SCOPED_TRACE(run);
        // (The table's format and p-values: tests/analysis/permutation_test.cpp.)
        auto lines = ReadTable(dir.Read(std::string("out") + run + ".significance.tsv"));
        ASSERT_EQ(lines.size(), std::min<std::size_t>(3, groups.size()));
        std::string printed = std::string("\nPermutation test of run ") + run +
                              ": 19 permutation chains with the node scores shuffled\n";
        for (std::size_t g = 0; g < lines.size(); ++g) {
            auto& f = lines[g];
            EXPECT_EQ(std::stod(f["familywise_p"]) == 0.05, g == 0) << f["familywise_p"];
            EXPECT_TRUE(std::stoul(f["size"]) == groups[g].nodes.size() &&
                        std::stod(f["s_score"]) == groups[g].score);
            printed += "Group No. " + std::to_string(g) + ": s-score = " + f["s_score"] +
                       ", family-wise p-value = " + f["familywise_p"] + " (" +
                       f["best_at_least_as_high"] +
                       " of 19 best groups at least as high), rank-wise p-value = " + f["p_value"] +
                       " (" + f["at_least_as_high"] + " at least as high)\n";
        }
        EXPECT_NE(r.out.find(printed), std::string::npos) << printed << r.out;
    }
    const auto problems = CheckSummary(dir.path(), {{'A', report}, {'B', dir.Read("outB")}}, 3);
    EXPECT_TRUE(problems.empty()) << problems.front();

    // The exports: the report's node lines with group number and score, and
    // exactly the input edges inside a group, typed with it.
    std::map<std::pair<std::string, std::string>, std::string> inputEdges;  // by ordered names
    for (const std::string& line : Split(net_.sif))
        if (const auto f = Split(line, '\t'); f.size() == 4)
            inputEdges.emplace(std::minmax(f[0], f[2]), f[3]);
    for (const std::string run : {"outA", "outB"}) {
        SCOPED_TRACE(run);
        std::vector<std::string> unread;  // judged by the checker above
        std::string nodes = "name\tgroup\tgroup_score\tnode_score\tp_value\n";
        std::map<std::string, std::string> groupOf;
        for (const ReportGroup& group : ParseReport(dir.Read(run), unread))
            for (const ReportNode& node : group.nodes) {
                groupOf[node.name] = std::to_string(group.number);
                nodes += node.name + "\t" + groupOf[node.name] + "\t" + group.scoreText +
                         node.line.substr(node.name.size()) + "\n";
            }
        EXPECT_EQ(dir.Read(run + ".nodes.tsv"), nodes);
        std::multiset<std::string> inside, listed;  // "a b group value", names in order
        for (const auto& [ends, value] : inputEdges)
            if (groupOf.count(ends.first) && groupOf.count(ends.second) &&
                groupOf[ends.first] == groupOf[ends.second])
                inside.insert(ends.first + " " + ends.second + " " + groupOf[ends.first] + " " +
                              value);
        for (const std::string& line : Split(dir.Read(run + ".sif"))) {
            const auto f = Split(line + "\t\t\t", '\t');
            listed.insert(std::min(f[0], f[2]) + " " + std::max(f[0], f[2]) + " " + f[1] + " " +
                          f[3]);
        }
        EXPECT_EQ(listed, inside);
    }
}

// On pure noise the best group is no finding, here under the degree null.
// (That the degree null finds a planted module, and how the p-values spread
// on noise under either null over many replicates, is the calibration
// bench's: bench/CALIBRATION.md.)
TEST_F(PlantedModule, NoiseIsNoFindingUnderTheDegreeNull) {
    const InputFiles noise = Write(dir_, MakePlantedNetwork(kNoiseSeed, 120, 0));
    const RunResult r = RunIn(dir_, noise, 1,
                              Split("-k 10 -i 100 -n 1000 -p 2 -r 2 -g 5 --permutations 19 "
                                    "--ensemble 2 --null degree",
                                    ' '));
    EXPECT_NE(r.out.find("\nPermutation test of run A: 19 permutation chains with the node "
                         "scores shuffled among nodes of similar degree\n"),
              std::string::npos);
    // Two repeated searches give fractions of exactly one half.
    ExpectStabilityAgrees(dir_.Read("outB.stability.tsv"), r.out, 'B', dir_.Read("outB"), 5);
    for (const std::string run : {"outA", "outB"})
        EXPECT_GT(std::stod(ReadTable(dir_.Read(run + ".significance.tsv")).at(0)["familywise_p"]),
                  0.1)
            << run;
}

}  // namespace
}  // namespace tarnvale::testing
