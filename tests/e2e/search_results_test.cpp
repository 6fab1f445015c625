// What the search finds, judged from outside: the real binary runs on a
// synthetic network with one planted active module, and every report it
// writes must pass the independent report checker. Small iteration counts
// and background sizes keep the whole file to a few seconds.

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

// Every random choice of the synthetic network follows from this seed.
constexpr std::uint32_t kNetworkSeed = 20240917u;

constexpr int kNoiseNodes = 300;
constexpr int kModuleNodes = 12;
constexpr int kKmax = 20;
constexpr int kImax = 200;

// Denser than the other tests' networks and with the input quirks of real
// files: interactions listed twice, identifiers shared, several identifiers
// per node, nodes without data.
PlantedNetwork MakeNetwork() {
    return MakePlantedNetwork(kNetworkSeed, kNoiseNodes, kModuleNodes, {2.0, true});
}

// Standard output without the last line, "Time taken = ... seconds", which
// depends on the clock.
std::string WithoutTime(const std::string& out) {
    const auto at = out.rfind("\nTime taken = ");
    EXPECT_NE(at, std::string::npos) << "no final time line";
    return out.substr(0, at);
}

// The group header lines ("Group No. ...", "Group s-score = ...") of a text.
std::vector<std::string> GroupHeaders(const std::string& text) {
    std::vector<std::string> headers;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Group ", 0) == 0) headers.push_back(line);
    return headers;
}

// The last run's report as printed on standard output: its "Top.size()="
// count must be the number of groups in the file, and its header lines must
// be the file's.
void ExpectStdoutMatchesReport(const std::string& out, const std::string& report,
                               std::size_t groups) {
    const auto at = out.rfind("Top.size()=");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(std::stoul(out.substr(at + 11)), groups);
    EXPECT_EQ(GroupHeaders(out.substr(at)), GroupHeaders(report));
}

class SearchResults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new ScratchDir();
        net_ = new PlantedNetwork(MakeNetwork());
        files_ = new InputFiles{dir_->Write("net.sif", net_->sif),
                                dir_->Write("pvalues.txt", net_->pvalues),
                                dir_->Write("association.txt", net_->association)};
    }
    static void TearDownTestSuite() {
        delete files_;
        delete net_;
        delete dir_;
    }

    // Runs the binary in a fresh directory under the suite's directory.
    struct Outcome {
        RunResult result;
        std::string reportA, reportB;
        bool hasA = false, hasB = false;
    };
    static Outcome Run(std::uint32_t seed, std::vector<std::string> options) {
        ScratchDir work;
        std::vector<std::string> args{"--seed", std::to_string(seed), "-k", std::to_string(kKmax),
                                      "-i",     std::to_string(kImax), "-d", files_->pvalues,
                                      "-a",     files_->association};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(files_->sif);
        args.push_back("out");
        Outcome o;
        o.result = RunTarnvale(args, work.path());
        o.hasA = work.Exists("outA");
        o.hasB = work.Exists("outB");
        if (o.hasA) o.reportA = work.Read("outA");
        if (o.hasB) o.reportB = work.Read("outB");
        return o;
    }
    static FirstRunSettings Settings(std::uint32_t seed) {
        return FirstRunSettings{kKmax, kImax, seed, true};
    }
    // How many planted nodes the group holds.
    static std::size_t PlantedIn(const ReportGroup& group) {
        std::size_t count = 0;
        for (const auto& node : group.nodes)
            if (std::find(net_->module.begin(), net_->module.end(), node.name) !=
                net_->module.end())
                ++count;
        return count;
    }

    static ScratchDir* dir_;
    static PlantedNetwork* net_;
    static InputFiles* files_;
};

ScratchDir* SearchResults::dir_ = nullptr;
PlantedNetwork* SearchResults::net_ = nullptr;
InputFiles* SearchResults::files_ = nullptr;

TEST_F(SearchResults, TheGeneratedNetworkIsWhatTheTestsAssume) {
    EXPECT_EQ(MakeNetwork().sif, net_->sif);  // deterministic
    const ReportChecker checker(*files_, Settings(1));
    // The merged pair and the two nodes without data are gone; the rest stay.
    EXPECT_EQ(checker.NodeNames().size(), static_cast<std::size_t>(kNoiseNodes + kModuleNodes - 3));
    for (const auto& name : net_->module) {
        ASSERT_TRUE(checker.NodeScore(name)) << name;
        EXPECT_GT(*checker.NodeScore(name), 3.7) << name;
    }
    EXPECT_TRUE(checker.EdgeModel().has_value());
}

// The P0 start (-p 2) selects each node with probability Phi(node score), so
// the module's nodes start selected. With the Random start the module is
// missed for some seeds (about one in twelve here): half of all nodes start
// selected, the module's nodes sit in a large random component whose diluted
// score ranks below the nmax groups that the acceptance rule compares, and
// changes to it go unseen. That is the search's nature, not a fault, so the
// recovery test does not depend on it.
TEST_F(SearchResults, FindsThePlantedModuleForSeveralSeeds) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Outcome o = Run(seed, {"-r", "1", "-n", "3000", "-p", "2"});
        ASSERT_EQ(o.result.status, 0) << o.result.out << o.result.err;
        ASSERT_TRUE(o.hasA);
        EXPECT_FALSE(o.hasB);
        const CheckResult r = ReportChecker(*files_, Settings(seed)).CheckFirstRun(o.reportA);
        EXPECT_TRUE(r.ok()) << r.Describe() << "\n" << o.reportA;
        ASSERT_FALSE(r.report.groups.empty()) << o.reportA;
        ExpectStdoutMatchesReport(o.result.out, o.reportA, r.report.groups.size());
        const std::size_t found = PlantedIn(r.report.groups.front());
        EXPECT_GE(4 * found, 3u * net_->module.size())
            << "the best group holds " << found << " of " << net_->module.size()
            << " planted nodes\n" << o.reportA;
    }
}

TEST_F(SearchResults, SameSeedGivesTheSameRunAndOtherSeedsValidOnes) {
    const std::vector<std::string> options{"-r", "1", "-n", "2000"};
    const Outcome first = Run(7, options);
    const Outcome again = Run(7, options);
    const Outcome other = Run(8, options);
    for (const Outcome* o : {&first, &again, &other}) {
        ASSERT_EQ(o->result.status, 0) << o->result.out << o->result.err;
        ASSERT_TRUE(o->hasA);
    }
    EXPECT_EQ(WithoutTime(first.result.out), WithoutTime(again.result.out));
    EXPECT_EQ(first.reportA, again.reportA);
    // The seed is really used: the annealing's progress differs.
    EXPECT_NE(WithoutTime(first.result.out), WithoutTime(other.result.out));

    for (const auto& [seed, o] : {std::pair{7u, &first}, std::pair{8u, &other}}) {
        const CheckResult r = ReportChecker(*files_, Settings(seed)).CheckFirstRun(o->reportA);
        EXPECT_TRUE(r.ok()) << "seed " << seed << ": " << r.Describe() << "\n" << o->reportA;
    }
}

TEST_F(SearchResults, SecondRunSearchesInsideTheFirstRunsGroups) {
    // Default repeat count: two runs, files A and B.
    const Outcome o = Run(4, {"-n", "2000"});
    ASSERT_EQ(o.result.status, 0) << o.result.out << o.result.err;
    ASSERT_TRUE(o.hasA);
    ASSERT_TRUE(o.hasB) << o.result.out;
    EXPECT_NE(o.result.out.find("Iteration no 1.."), std::string::npos);
    const ReportChecker checker(*files_, Settings(4));
    const CheckResult a = checker.CheckFirstRun(o.reportA);
    EXPECT_TRUE(a.ok()) << a.Describe() << "\n" << o.reportA;
    const CheckResult b = checker.CheckLaterRun(o.reportA, o.reportB);
    EXPECT_TRUE(b.ok()) << b.Describe() << "\nA:\n" << o.reportA << "\nB:\n" << o.reportB;
    EXPECT_FALSE(b.report.groups.empty()) << o.reportB;
    ExpectStdoutMatchesReport(o.result.out, o.reportB, b.report.groups.size());
}

TEST_F(SearchResults, EveryStartHeuristicAndNoQuenchingGiveValidReports) {
    constexpr std::uint32_t seed = 5;
    const ReportChecker checker(*files_, Settings(seed));
    std::vector<std::vector<std::string>> variants;
    for (int p = 0; p <= 7; ++p) variants.push_back({"-p", std::to_string(p)});
    variants.push_back({"-q", "0"});
    for (const auto& variant : variants) {
        const std::string label = variant[0] + " " + variant[1];
        SCOPED_TRACE(label);
        std::vector<std::string> options{"-r", "1", "-n", "1500"};
        options.insert(options.end(), variant.begin(), variant.end());
        const Outcome o = Run(seed, options);
        ASSERT_EQ(o.result.status, 0) << o.result.out << o.result.err;
        ASSERT_TRUE(o.hasA);
        EXPECT_NE(o.result.out.find("Heuristic"), std::string::npos);
        const CheckResult r = checker.CheckFirstRun(o.reportA);
        EXPECT_TRUE(r.ok()) << r.Describe() << "\n" << o.reportA;
        ASSERT_FALSE(r.report.groups.empty()) << o.reportA;
        ExpectStdoutMatchesReport(o.result.out, o.reportA, r.report.groups.size());
        // Every start that looks at the node scores puts the module's nodes
        // in the initial selection; the search then keeps them together.
        if (variant[0] == "-p" && variant[1] != "1") {
            EXPECT_GE(4 * PlantedIn(r.report.groups.front()), 3u * net_->module.size())
                << o.reportA;
        }
    }
}

}  // namespace
}  // namespace tarnvale::testing
