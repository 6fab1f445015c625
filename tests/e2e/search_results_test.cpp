// What the search finds, judged from outside: the real binary runs on a
// synthetic network with one planted active module and the input quirks of
// real files, and every report it writes must pass the independent checker.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/planted_network.hpp"
#include "support/report_checker.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

constexpr std::uint32_t kNetworkSeed = 20240917u;  // every choice of the network
constexpr int kNoiseNodes = 300, kModuleNodes = 12, kKmax = 20, kImax = 200;

class SearchResults : public ::testing::Test {
protected:
    // Standard output without its clock-dependent end, then the reports A and B.
    std::vector<std::string> Run(std::uint32_t seed, std::vector<std::string> options) const {
        ScratchDir work;
        options.insert(options.begin(), {"--seed", std::to_string(seed), "-k", std::to_string(kKmax), "-i",
                                         std::to_string(kImax), "-d", files_.pvalues, "-a", files_.association});
        options.insert(options.end(), {files_.sif, "out"});
        const RunResult r = RunTarnvale(options, work.path());
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        std::vector<std::string> outcome{r.out.substr(0, r.out.rfind("\nTime taken"))};
        for (const char* report : {"outA", "outB"}) outcome.push_back(work.Exists(report) ? work.Read(report) : "");
        return outcome;
    }
    ReportChecker Checker(std::uint32_t seed) const { return {files_, {kKmax, kImax, seed, true}}; }

    const PlantedNetwork net_ = MakePlantedNetwork(kNetworkSeed, kNoiseNodes, kModuleNodes, {2.0, true});
    ScratchDir dir_;
    const InputFiles files_{dir_.Write("net.sif", net_.sif), dir_.Write("p.txt", net_.pvalues),
                            dir_.Write("a.txt", net_.association)};
};

// The last run's report as printed: "Top.size()=" counts the file's groups,
// and the group header lines are the file's.
void ExpectStdoutMatchesReport(const std::string& out, const std::string& report, std::size_t groups) {
    auto headers = [](const std::string& text) {
        std::vector<std::string> found;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("Group ", 0) == 0) found.push_back(line);
        return found;
    };
    const auto at = out.rfind("Top.size()=");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(std::stoul(out.substr(at + 11)), groups);
    EXPECT_EQ(headers(out.substr(at)), headers(report));
}

// Every start heuristic and a run without quenching give valid reports; every
// start but the cut start (-p 1) keeps most of the module in the best group.
// With the Random start the module is missed for some seeds (about one in
// twelve here): it then sits in a large random component ranked below the
// groups that the acceptance rule compares. The seeds here are not such ones.
TEST_F(SearchResults, EveryStartGivesValidReportsAndFindsThePlantedModule) {
    const ReportChecker checker = Checker(5);
    // The merged pair and the two nodes without data are gone; edges vary.
    EXPECT_EQ(checker.NumberOfNodes(), static_cast<std::size_t>(kNoiseNodes + kModuleNodes - 3));
    EXPECT_TRUE(checker.EdgesVary());
    std::vector<std::pair<std::uint32_t, std::vector<std::string>>> rows{
        {1, {"-n", "3000", "-p", "2"}}, {2, {"-n", "3000", "-p", "2"}}, {5, {"-n", "1500", "-q", "0"}}};
    for (int p = 0; p <= 7; ++p) rows.push_back({5, {"-n", "1500", "-p", std::to_string(p)}});
    for (const auto& [seed, options] : rows) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " " + options[2] + " " + options[3]);
        std::vector<std::string> args{"-r", "1"};
        args.insert(args.end(), options.begin(), options.end());
        const auto o = Run(seed, args);
        const CheckResult r = (seed == 5 ? checker : Checker(seed)).CheckFirstRun(o[1]);
        EXPECT_TRUE(r.ok()) << r.Describe() << "\n" << o[1];
        ASSERT_FALSE(r.groups.empty()) << o[1];
        ExpectStdoutMatchesReport(o[0], o[1], r.groups.size());
        const auto planted = std::count_if(r.groups[0].nodes.begin(), r.groups[0].nodes.end(), [&](const auto& n) {
            return std::count(net_.module.begin(), net_.module.end(), n.name) > 0;
        });
        if (options[2] == "-p" && options[3] != "1") {
            EXPECT_GE(4 * planted, 3 * kModuleNodes) << o[1];
        }
    }
}

// The same seed gives the same runs; another seed another search; the second
// run searches inside the first run's groups.
TEST_F(SearchResults, SameSeedSameRunsAndTheSecondRunStaysInsideTheFirst) {
    const auto first = Run(4, {"-n", "2000"}), other = Run(8, {"-n", "2000"});
    EXPECT_EQ(first, Run(4, {"-n", "2000"}));
    EXPECT_NE(first[0], other[0]);
    EXPECT_NE(first[0].find("Iteration no 1.."), std::string::npos);
    for (const auto& [seed, o] : {std::pair{4u, &first}, std::pair{8u, &other}}) {
        const ReportChecker checker = Checker(seed);
        const CheckResult a = checker.CheckFirstRun((*o)[1]);
        EXPECT_TRUE(a.ok()) << a.Describe() << "\n" << (*o)[1];
        const CheckResult b = checker.CheckLaterRun((*o)[1], (*o)[2]);
        EXPECT_TRUE(b.ok()) << b.Describe() << "\nA:\n" << (*o)[1] << "\nB:\n" << (*o)[2];
        ASSERT_FALSE(b.groups.empty()) << (*o)[2];
        ExpectStdoutMatchesReport((*o)[0], (*o)[2], b.groups.size());
    }
}

}  // namespace
}  // namespace tarnvale::testing
