// What the search finds, judged from outside: the real binary runs on a
// synthetic network with one planted active module, and every report it
// writes must pass the independent report checker. Small iteration counts
// and background sizes keep the whole file to a few seconds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
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

// A noisy random network with one densely connected module of strongly
// significant nodes, denser than MakePlantedNetwork's and with the input
// quirks of real files: interactions listed twice, identifiers shared,
// several identifiers per node, nodes without data.
PlantedNetwork MakeNetwork() {
    Draw draw(kNetworkSeed);
    const int total = kNoiseNodes + kModuleNodes;
    std::vector<std::string> names;
    for (int i = 0; i < total; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "G%03d", i);
        names.push_back(name);
    }
    // Which indices form the module: a random choice, not a block.
    std::vector<int> order(static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i) order[static_cast<std::size_t>(i)] = i;
    for (std::size_t i = order.size() - 1; i > 0; --i) std::swap(order[i], order[draw.Below(i + 1)]);
    const std::vector<int> module(order.begin(), order.begin() + kModuleNodes);
    std::vector<bool> inModule(static_cast<std::size_t>(total), false);
    for (int m : module) inModule[static_cast<std::size_t>(m)] = true;

    std::vector<std::string> lines;
    std::set<std::pair<int, int>> joined;
    auto edge = [&](int a, int b, double value) {
        if (a == b || !joined.insert(std::minmax(a, b)).second) return;
        lines.push_back(names[static_cast<std::size_t>(a)] + " pp " +
                        names[static_cast<std::size_t>(b)] + " " + Format(value));
    };
    // A random spanning tree over all nodes keeps the network connected,
    // then random edges bring the average degree to about four.
    for (std::size_t i = 1; i < order.size(); ++i)
        edge(order[i], order[draw.Below(i)], draw.Between(0.02, 0.98));
    while (joined.size() < static_cast<std::size_t>(2 * total))
        edge(static_cast<int>(draw.Below(static_cast<std::size_t>(total))),
             static_cast<int>(draw.Below(static_cast<std::size_t>(total))),
             draw.Between(0.02, 0.98));
    // The module: a path through all of it plus about half of its pairs, with
    // mostly high edge values.
    for (std::size_t i = 1; i < module.size(); ++i)
        edge(module[i - 1], module[i], draw.Between(0.6, 0.95));
    for (std::size_t i = 0; i < module.size(); ++i)
        for (std::size_t j = i + 1; j < module.size(); ++j)
            if (draw.Open() < 0.5) edge(module[i], module[j], draw.Between(0.6, 0.95));
    // A few interactions listed twice, the second time reversed.
    for (int d = 0; d < 5; ++d) {
        const std::string& line = lines[draw.Below(lines.size())];
        std::istringstream fields(line);
        std::string a, type, b, value;
        fields >> a >> type >> b >> value;
        lines.push_back(b + " pd " + a + " " + value);
    }
    for (std::size_t i = lines.size() - 1; i > 0; --i) std::swap(lines[i], lines[draw.Below(i + 1)]);

    PlantedNetwork net;
    for (const auto& line : lines) net.sif += line + "\n";
    // Even-numbered nodes have their p-value under an identifier given by
    // the association file, the others under their own name; some noise
    // nodes have two or three identifiers. Two noise nodes share one
    // identifier (and so are merged), two have no p-value.
    std::vector<int> noise;
    for (int i = 0; i < total; ++i)
        if (!inModule[static_cast<std::size_t>(i)]) noise.push_back(i);
    const int shareA = noise[10], shareB = noise[11], noDataA = noise[20], noDataB = noise[21];
    for (int i = 0; i < total; ++i) {
        const std::string& name = names[static_cast<std::size_t>(i)];
        const double p = inModule[static_cast<std::size_t>(i)]
                             ? std::pow(10.0, draw.Between(-6.0, -4.0))
                             : draw.Between(0.05, 1.0);
        if (i == shareB) {
            net.association += name + "\tID" + names[static_cast<std::size_t>(shareA)] + "\n";
            continue;
        }
        if (i == noDataA || i == noDataB) continue;
        if (!inModule[static_cast<std::size_t>(i)] && (i % 7 == 3 || i % 11 == 5)) {
            // Several identifiers: the node score is the median of their scores.
            const int count = i % 7 == 3 ? 2 : 3;
            net.association += name;
            for (int k = 0; k < count; ++k) {
                const std::string id = "ID" + name + "_" + std::to_string(k);
                net.association += "\t" + id;
                net.pvalues += id + "\t" + Format(k == 0 ? p : draw.Between(0.05, 1.0)) + "\n";
            }
            net.association += "\n";
            continue;
        }
        std::string id = name;
        if (i % 2 == 0 || i == shareA) {
            id = "ID" + name;
            net.association += name + "\t" + id + "\n";
        }
        net.pvalues += id + "\t" + Format(p) + "\n";
    }
    for (int m : module) net.module.push_back(names[static_cast<std::size_t>(m)]);
    return net;
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
