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

struct Outcome {
    RunResult result;
    std::string reportA, reportB;
};

class SearchResults : public ::testing::Test {
protected:
    Outcome Run(std::uint32_t seed, std::vector<std::string> options) {
        ScratchDir work;
        std::vector<std::string> args{"--seed", std::to_string(seed), "-k", std::to_string(kKmax),
                                      "-i", std::to_string(kImax), "-d", files_.pvalues, "-a",
                                      files_.association};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {files_.sif, "out"});
        Outcome o{RunTarnvale(args, work.path()), "", ""};
        EXPECT_EQ(o.result.status, 0) << o.result.out << o.result.err;
        if (work.Exists("outA")) o.reportA = work.Read("outA");
        if (work.Exists("outB")) o.reportB = work.Read("outB");
        return o;
    }
    ReportChecker Checker(std::uint32_t seed) const { return {files_, {kKmax, kImax, seed, true}}; }
    std::size_t PlantedIn(const ReportGroup& group) const {
        return std::count_if(group.nodes.begin(), group.nodes.end(), [&](const ReportNode& n) {
            return std::count(net_.module.begin(), net_.module.end(), n.name) > 0;
        });
    }

    const PlantedNetwork net_ = MakePlantedNetwork(kNetworkSeed, kNoiseNodes, kModuleNodes, {2.0, true});
    ScratchDir dir_;
    const InputFiles files_{dir_.Write("net.sif", net_.sif), dir_.Write("p.txt", net_.pvalues),
                            dir_.Write("a.txt", net_.association)};
};

// The last run's report as printed: "Top.size()=" counts the file's groups,
// and the group header lines are the file's.
void ExpectStdoutMatchesReport(const std::string& out, const std::string& report,
                               std::size_t groups) {
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
        const Outcome o = Run(seed, args);
        const CheckResult r = (seed == 5 ? checker : Checker(seed)).CheckFirstRun(o.reportA);
        EXPECT_TRUE(r.ok()) << r.Describe() << "\n" << o.reportA;
        ASSERT_FALSE(r.report.groups.empty()) << o.reportA;
        ExpectStdoutMatchesReport(o.result.out, o.reportA, r.report.groups.size());
        if (options[2] == "-p" && options[3] != "1") {
            EXPECT_GE(4 * PlantedIn(r.report.groups.front()), 3u * net_.module.size()) << o.reportA;
        }
    }
}

// The same seed gives the same runs; another seed another search; the second
// run searches inside the first run's groups.
TEST_F(SearchResults, SameSeedSameRunsAndTheSecondRunStaysInsideTheFirst) {
    const Outcome first = Run(4, {"-n", "2000"}), again = Run(4, {"-n", "2000"});
    const Outcome other = Run(8, {"-n", "2000"});
    auto withoutTime = [](const std::string& out) { return out.substr(0, out.rfind("\nTime taken")); };
    EXPECT_EQ(withoutTime(first.result.out), withoutTime(again.result.out));
    EXPECT_EQ(first.reportA + first.reportB, again.reportA + again.reportB);
    EXPECT_NE(withoutTime(first.result.out), withoutTime(other.result.out));
    EXPECT_NE(first.result.out.find("Iteration no 1.."), std::string::npos);
    for (const auto& [seed, o] : {std::pair{4u, &first}, std::pair{8u, &other}}) {
        const ReportChecker checker = Checker(seed);
        const CheckResult a = checker.CheckFirstRun(o->reportA);
        EXPECT_TRUE(a.ok()) << a.Describe() << "\n" << o->reportA;
        const CheckResult b = checker.CheckLaterRun(o->reportA, o->reportB);
        EXPECT_TRUE(b.ok()) << b.Describe() << "\nA:\n" << o->reportA << "\nB:\n" << o->reportB;
        ASSERT_FALSE(b.report.groups.empty()) << o->reportB;
        ExpectStdoutMatchesReport(o->result.out, o->reportB, b.report.groups.size());
    }
}

}  // namespace
}  // namespace tarnvale::testing
