// The permutation test of the real binary: a planted module is more than
// shuffled scores on the same network give, pure noise is not, and the
// p-values are reproducible and the same on standard output and in the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
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
constexpr std::uint32_t kPlantedSeed = 4711u;
constexpr std::uint32_t kNoiseSeed = 77u;
constexpr const char* kRunSeed = "31";
constexpr int kPermutations = 19;  // the smallest p-value is 1 / 20

struct RankLine {
    std::string score;
    double pValue = 0;
    int atLeast = 0;
};

// The permutation lines of run `letter` on standard output, under that null.
std::vector<RankLine> Summary(const std::string& out, char letter, const std::string& null = "scores") {
    const std::string head = std::string("\nPermutation test of run ") + letter + ": 19 searches " +
                             (null == "scores" ? "with the node scores shuffled\n"
                                               : "on rewired networks (degrees kept)\n");
    const auto at = out.find(head);
    EXPECT_NE(at, std::string::npos) << out.substr(out.size() > 3000 ? out.size() - 3000 : 0);
    std::vector<RankLine> lines;
    std::istringstream in(at == std::string::npos ? "" : out.substr(at + head.size()));
    const std::regex pattern("Group No\\. ([0-9]+): s-score = (\\S+), empirical p-value = (\\S+) "
                             "\\(([0-9]+) of 19 permutations at least as high\\)");
    std::smatch m;
    for (std::string line; std::getline(in, line) && std::regex_match(line, m, pattern);) {
        EXPECT_EQ(std::stoul(m[1]), lines.size());
        lines.push_back({m[2], std::stod(m[3]), std::stoi(m[4])});
        EXPECT_DOUBLE_EQ(lines.back().pValue, (1.0 + lines.back().atLeast) / (kPermutations + 1));
    }
    return lines;
}

// The significance table that the permutation lines and the report imply.
std::string SignificanceTable(const std::vector<RankLine>& lines, const std::string& report) {
    std::string table = "group\tsize\ts_score\tat_least_as_high\tpermutations\tp_value\n";
    for (std::size_t g = 0; g < lines.size(); ++g) {
        const std::string head = "Group No. " + std::to_string(g) + ": size(";
        const auto at = report.find(head) + head.size();
        std::ostringstream p;
        p << lines[g].pValue;
        table += std::to_string(g) + "\t" + report.substr(at, report.find(')', at) - at) + "\t" +
                 lines[g].score + "\t" + std::to_string(lines[g].atLeast) + "\t19\t" + p.str() + "\n";
    }
    return table;
}

class Permutations : public ::testing::Test {
protected:
    // Small backgrounds and searches with the P0 start, which puts a
    // module's nodes into the start selection.
    RunResult Run(const PlantedNetwork& net, std::vector<std::string> extra,
                  const std::string& seed = kRunSeed,
                  std::vector<std::string> search = {"-k", "10", "-i", "100", "-n", "1000", "-p", "2"}) {
        std::vector<std::string> args{"-d", dir_.Write("p.txt", net.pvalues), "-a",
                                      dir_.Write("a.txt", net.association), "--seed", seed,
                                      "--permutations", std::to_string(kPermutations)};
        args.insert(args.end(), search.begin(), search.end());
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {dir_.Write("net.sif", net.sif), "out"});
        return RunTarnvale(args, dir_.path());
    }

    ScratchDir dir_;
};

TEST_F(Permutations, OnPureNoiseThePValuesSpreadOut) {
    const PlantedNetwork net = MakePlantedNetwork(kNoiseSeed, 120, 0);
    for (const char* null : {"scores", "network"}) {
        SCOPED_TRACE(null);
        std::vector<double> all;
        for (const char* seed : {"1", "2", "3"}) {
            SCOPED_TRACE(seed);
            const RunResult r = Run(net, {"-r", "1", "-g", "5", "--null", null}, seed);
            ASSERT_EQ(r.status, 0) << r.out << r.err;
            const auto lines = Summary(r.out, 'A', null);
            ASSERT_EQ(lines.size(), 5u);
            // The best noise group is nothing that shuffled scores do not give.
            EXPECT_GT(lines[0].pValue, 0.1);
            for (const auto& line : lines) all.push_back(line.pValue);
        }
        // Over the ranks of three searches the p-values reach both ends of the
        // scale instead of piling up at the smallest one.
        EXPECT_LE(*std::min_element(all.begin(), all.end()), 0.25);
        EXPECT_GE(*std::max_element(all.begin(), all.end()), 0.75);
        EXPECT_GE(std::set<double>(all.begin(), all.end()).size(), 5u);
    }
}

TEST_F(Permutations, UnderBothNullsThePlantedModuleIsStableAndSignificantOnAnyThreads) {
    const PlantedNetwork net = MakePlantedNetwork(kPlantedSeed, 200, 12);
    const std::vector<std::string> files{"outA", "outA.significance.tsv", "outA.stability.tsv",
                                         "outB", "outB.stability.tsv",    "out.summary.tsv"};
    for (const char* null : {"scores", "network"}) {
        SCOPED_TRACE(null);
        std::vector<std::string> outputs;
        std::string out;
        for (const char* threads : {"1", "2"}) {
            const RunResult r = Run(net,
                                    {"-r", "2", "-g", "3", "--null", null, "--ensemble", "10",
                                     "--summary", "--threads", threads},
                                    kRunSeed, {"-k", "10", "-i", "100", "-n", "5000", "-p", "5"});
            ASSERT_EQ(r.status, 0) << r.out << r.err;
            out = r.out.substr(0, r.out.rfind("\nTime taken"));
            std::vector<std::string> now{out};
            for (const auto& name : files) now.push_back(dir_.Read(name));
            if (!outputs.empty()) {
                EXPECT_EQ(now, outputs) << "threads " << threads;
            }
            outputs = now;
        }
        const auto lines = Summary(out, 'A', null);
        ASSERT_EQ(lines.size(), 3u);
        // From the cut start the module's group has the smallest p-value of
        // the run, the smallest that 19 permutations can give, under both nulls.
        EXPECT_LE(lines[0].pValue, 0.05);
        EXPECT_LT(lines[0].pValue, std::min(lines[1].pValue, lines[2].pValue));
        // Every planted node is in the ranked groups of at least nine in ten
        // repeated searches.
        std::istringstream stability(dir_.Read("outA.stability.tsv"));
        std::map<std::string, double> fraction;
        std::string name, in, of, value;
        for (std::getline(stability, name); stability >> name >> in >> of >> value;)
            fraction[name] = std::stod(value);
        for (const auto& n : net.module) EXPECT_GE(fraction[n], 0.9) << n;
        const std::string report = dir_.Read("outA");
        EXPECT_EQ(dir_.Read("outA.significance.tsv"), SignificanceTable(lines, report));
        EXPECT_NE(out.find("\nStability of run A: "), std::string::npos);
        const auto problems = CheckSummary(dir_.Read("out.summary.tsv"),
                                           {{'A', report}, {'B', dir_.Read("outB")}}, 3);
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
}

}  // namespace
}  // namespace tarnvale::testing
