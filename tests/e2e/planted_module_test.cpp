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
#include <map>
#include <set>
#include <sstream>
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
constexpr int kPermutations = 19;  // the smallest p-value is 1 / 20

struct Rank {
    std::string score, p, familywise;  // as written
    std::size_t size = 0;
    int atLeast = 0, bestAtLeast = 0;
    double pValue = 0, familywiseP = 0;
};

// The rows of OUT<run>.significance.tsv; each p-value is (1 + at least as
// high) / (permutations + 1), and no family-wise p-value is below the
// rank-wise one (a chain's best group is at least its group of any rank).
std::vector<Rank> Significance(const ScratchDir& dir, const std::string& run) {
    const auto rows = Split(dir.Read(run + ".significance.tsv"));
    EXPECT_EQ(rows.at(0),
              "group\tsize\ts_score\tat_least_as_high\tpermutations\tp_value\tbest_at_least_as_"
              "high\tfamilywise_p");
    std::vector<Rank> ranks;
    for (std::size_t g = 1; g < rows.size(); ++g) {
        const auto f = Split(rows[g], '\t');
        if (f.size() != 8 || f[0] != std::to_string(g - 1) || f[4] != "19") {
            ADD_FAILURE() << rows[g];
            break;
        }
        ranks.push_back({f[2], f[5], f[7], std::stoul(f[1]), std::stoi(f[3]), std::stoi(f[6]),
                         std::stod(f[5]), std::stod(f[7])});
        const Rank& rank = ranks.back();
        EXPECT_DOUBLE_EQ(rank.pValue, (1.0 + rank.atLeast) / (kPermutations + 1));
        EXPECT_DOUBLE_EQ(rank.familywiseP, (1.0 + rank.bestAtLeast) / (kPermutations + 1));
        EXPECT_GE(rank.bestAtLeast, rank.atLeast);
    }
    return ranks;
}

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
void ExpectStabilityAgrees(const std::string& table, const std::string& out, char run,
                           const std::string& report, std::size_t ranked) {
    std::map<std::string, double> fraction;
    std::pair<double, std::string> previous{2.0, ""};
    for (auto& f : ReadTable(table)) {
        const std::pair<double, std::string> row{std::stod(f["fraction"]), f["name"]};
        EXPECT_TRUE(row.first < previous.first ||
                    (row.first == previous.first && row.second > previous.second))
            << row.second;
        previous = row;
        fraction[row.second] = row.first;
    }
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

// One search of two runs three times: plain, then with the permutation
// test, the ensemble and the summary on one thread, then with the exports
// too on two threads. The later runs only add files and lines.
TEST_F(PlantedModule, PermutationsStabilityAndExportsOnAnyThreads) {
    const std::vector<std::string> search{"-n", "3000", "-p", "2", "-r", "2", "-g", "3"};
    std::vector<std::string> more = search, all;
    more.insert(more.end(), {"--permutations", "19", "--ensemble", "10", "--summary"});
    all = more;
    more.insert(more.end(), {"--threads", "1"});
    all.insert(all.end(), {"--threads", "2", "--cytoscape", "--dot"});
    ScratchDir plainDir, moreDir, dir;
    const RunResult plain = RunIn(plainDir, files_, kRunSeed, search),
                    one = RunIn(moreDir, files_, kRunSeed, more),
                    r = RunIn(dir, files_, kRunSeed, all);
    // The hub rule reaches the search: a low hub degree changes the runs.
    ScratchDir hubDir;
    std::vector<std::string> hubs = search;
    hubs.insert(hubs.end(), {"-b", "3"});
    RunIn(hubDir, files_, kRunSeed, hubs);
    EXPECT_NE(hubDir.Read("outA"), plainDir.Read("outA"));
    EXPECT_EQ(plain.err + one.err + r.err, "");
    EXPECT_EQ(PlainLines(one.out), PlainLines(plain.out));
    EXPECT_EQ(PlainLines(r.out), PlainLines(plain.out));
    std::set<std::string> expected{"outA", "outB"};
    EXPECT_EQ(Entries(plainDir.path()), expected);
    expected.insert({"outA.significance.tsv", "outA.stability.tsv", "outB.significance.tsv",
                     "outB.stability.tsv", "out.summary.tsv"});
    EXPECT_EQ(Entries(moreDir.path()), expected);
    for (const std::string& name : expected)
        EXPECT_EQ(dir.Read(name), (name.size() == 4 ? plainDir : moreDir).Read(name)) << name;
    const bool haveDot = std::system("command -v dot > /dev/null 2>&1") == 0;
    for (const std::string run : {"outA", "outB"})
        for (const std::string suffix : {".sif", ".nodes.tsv", ".dot", ".svg"})
            if (suffix != ".svg" || haveDot) expected.insert(run + suffix);
    EXPECT_EQ(Entries(dir.path()), expected);
    EXPECT_EQ(
        r.out.find(
            "NOTE: the dot program (Debian package graphviz) is not installed; outA.svg is not "
            "drawn\n") == std::string::npos,
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
    std::map<std::string, double> fraction;
    for (auto& f : ReadTable(dir.Read("outA.stability.tsv")))
        fraction[f["name"]] = std::stod(f["fraction"]);
    for (const auto& n : net_.module) EXPECT_GE(fraction[n], 0.9) << n;
    ExpectStabilityAgrees(dir.Read("outA.stability.tsv"), r.out, 'A', report, 3);
    // In both runs the module's group has the smallest family-wise p-value
    // that 19 permutation chains can give, and the other ranked groups none
    // as small; the table says what the lines say.
    for (const auto& [run, groups] : {std::pair{"A", a.groups}, {"B", b.groups}}) {
        SCOPED_TRACE(run);
        const auto lines = Significance(dir, std::string("out") + run);
        ASSERT_EQ(lines.size(), std::min<std::size_t>(3, groups.size()));
        EXPECT_DOUBLE_EQ(lines[0].familywiseP, 0.05);
        for (std::size_t g = 1; g < lines.size(); ++g) EXPECT_GT(lines[g].familywiseP, 0.05);
        std::string printed = std::string("\nPermutation test of run ") + run +
                              ": 19 permutation chains with the node scores shuffled\n";
        for (std::size_t g = 0; g < lines.size(); ++g) {
            EXPECT_TRUE(lines[g].size == groups[g].nodes.size() &&
                        std::stod(lines[g].score) == groups[g].score);
            printed += "Group No. " + std::to_string(g) + ": s-score = " + lines[g].score +
                       ", family-wise p-value = " + lines[g].familywise + " (" +
                       std::to_string(lines[g].bestAtLeast) +
                       " of 19 best groups at least as high), rank-wise p-value = " + lines[g].p +
                       " (" + std::to_string(lines[g].atLeast) + " at least as high)\n";
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
        const auto groups = ParseReport(dir.Read(run), unread);
        std::string nodes = "name\tgroup\tgroup_score\tnode_score\tp_value\n";
        std::map<std::string, std::string> groupOf;
        for (const ReportGroup& group : groups)
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
        for (const std::string& line : Split(dir.Read(run + ".sif")))
            if (const auto f = Split(line, '\t'); f.size() == 4)
                listed.insert(std::min(f[0], f[2]) + " " + std::max(f[0], f[2]) + " " + f[1] + " " +
                              f[3]);
            else
                ADD_FAILURE() << line;
        EXPECT_EQ(listed, inside);
        EXPECT_NE(dir.Read(run + ".dot")
                      .find("label=\"" + run + ": " + std::to_string(groups.size()) + " groups, "),
                  std::string::npos);
        EXPECT_TRUE(!haveDot || dir.Read(run + ".svg").rfind("<?xml", 0) == 0);
    }
}

// Under the degree null the module stands out as well; on pure noise under
// either null the best group is no finding. (How the p-values spread on
// noise, over many replicates, is the calibration bench's: bench/CALIBRATION.md.)
TEST_F(PlantedModule, DegreeNullFindsTheModuleAndNoiseIsNoFinding) {
    ScratchDir work;
    const RunResult r = RunIn(work, files_, kRunSeed,
                              {"-n", "5000", "-p", "5", "-r", "1", "-g", "3", "--null", "degree",
                               "--permutations", "19"});
    EXPECT_NE(r.out.find("\nPermutation test of run A: 19 permutation chains with the node "
                         "scores shuffled among nodes of similar degree\n"),
              std::string::npos);
    const auto planted = Significance(work, "outA");
    ASSERT_FALSE(planted.empty());
    EXPECT_DOUBLE_EQ(planted[0].familywiseP, 0.05);
    const InputFiles noise = Write(work, MakePlantedNetwork(kNoiseSeed, 120, 0));
    for (const char* null : {"scores", "degree"}) {
        SCOPED_TRACE(null);
        const RunResult noiseRun =
            RunIn(work, noise, 1,
                  Split("-k 10 -i 100 -n 1000 -p 2 -r 2 -g 5 --permutations 19 "
                        "--ensemble 2 --null " +
                            std::string(null),
                        ' '));
        // Two repeated searches give fractions of exactly one half.
        ExpectStabilityAgrees(work.Read("outB.stability.tsv"), noiseRun.out, 'B', work.Read("outB"),
                              5);
        for (const char* run : {"outA", "outB"}) {
            const auto lines = Significance(work, run);
            ASSERT_GE(lines.size(), 1u);
            EXPECT_GT(lines[0].familywiseP, 0.1) << run;
        }
    }
}

}  // namespace
}  // namespace tarnvale::testing
