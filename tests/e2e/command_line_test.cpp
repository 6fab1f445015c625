// The run driver of the real binary on small networks: the order of its
// messages, run letters and step counts, --quiet, and how it ends when a
// later run has nothing to search. (Parse failures, range checks and output
// names are judged in process: tests/cli/options_test.cpp; a name that
// looks like an option reaches dot as a path: tests/cli/export_test.cpp.)

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "support/report_checker.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

class CommandLine : public ::testing::Test {
protected:
    // A run on the ring (or the given files) with the options in `extra`,
    // and a small background and a fixed seed unless they are in `extra`.
    RunResult Run(const std::vector<std::string>& extra, const std::string& sif = kRingSif,
                  const std::string& pvalues = kRingPValues) {
        std::vector<std::string> args{"-d", dir_.Write("p.txt", pvalues), "-a",
                                      dir_.Write("a.txt", "A\tA\n")};
        for (const auto& [option, value] :
             {std::pair{"--seed", kRingSeed}, {"-k", "6"}, {"-i", "50"}})
            if (std::find(extra.begin(), extra.end(), option) == extra.end())
                args.insert(args.end(), {option, value});
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {dir_.Write("net.sif", sif), "out"});
        return RunTarnvale(args, dir_.path());
    }
    ScratchDir dir_;
};

std::size_t Steps(const std::string& text) {
    const std::regex step("\n[0-9]+:\t");
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), step), {}));
}

// The preparation's messages in order (that -r 0 writes no report is
// careless_use_test.cpp's). Without quenching every step prints one progress
// line; run B searches inside A's selection and makes 10 + 10/5 steps, but
// below five iterations every run makes the same number.
TEST_F(CommandLine, PreparationMessagesInOrderAndLaterRunsGetMoreSteps) {
    std::string expected = "NOTE:SifReader:Duplicate edges allowed\n";
    for (int i = 0; i < 10; ++i) expected += "Reading interaction " + std::to_string(i) + "\n";
    expected +=
        "\nNumber_of_nodes in the graph = 8\n\nNumber_of_edges in the graph = 10\nRDE: 10RDE: 10\n"
        "Number of edges removed 0\n\nNumber of nodes without data = 0\n\nCalculating background "
        "scores..\n";
    for (const auto& [iterations, later] :
         std::vector<std::pair<std::string, std::size_t>>{{"10", 12}, {"4", 4}}) {
        const RunResult r = Run({"-r", "2", "-n", iterations, "-q", "0", "-p", "5"});
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.substr(0, expected.size()), expected);
        EXPECT_EQ(r.out.substr(r.out.size() - 8), " seconds");
        const auto b = r.out.find("\nSimulated annealing Algorithm:Iteration no 1..\n");
        ASSERT_NE(b, std::string::npos) << r.out;
        EXPECT_EQ(Steps(r.out.substr(0, b)), std::stoul(iterations));
        EXPECT_EQ(Steps(r.out.substr(b)), later);
        EXPECT_EQ(r.out.find("NOTE:", b), std::string::npos);
        EXPECT_TRUE(dir_.Exists("outA") && dir_.Exists("outB"));
    }
}

// --quiet keeps the messages, a table of each run's ranked groups (group 0
// of the report first) and the end, and drops every progress line; the
// files are the same.
TEST_F(CommandLine, QuietPrintsMessagesAndAResultTableOnly) {
    const std::vector<std::string> options = Split("-r 2 -n 200 -g 2 --permutations 3", ' ');
    const RunResult loud = Run(options);
    const std::string reportA = dir_.Read("outA"), reportB = dir_.Read("outB");
    std::vector<std::string> quietOptions = options;
    quietOptions.push_back("--quiet");
    const RunResult quiet = Run(quietOptions);
    ASSERT_EQ(quiet.status, 0) << quiet.out;
    EXPECT_EQ(dir_.Read("outA") + dir_.Read("outB"), reportA + reportB);
    std::vector<std::string> problems;
    const auto groupsA = ParseReport(reportA, problems);
    ASSERT_FALSE(groupsA.empty());
    auto ranked = [&problems](const std::string& report) {
        const auto groups = std::min<std::size_t>(ParseReport(report, problems).size(), 2);
        return std::to_string(groups) + (groups == 1 ? " ranked group" : " ranked groups");
    };
    auto messages = [](const std::string& out) {
        std::string kept;
        for (const std::string& line : Split(out))
            if (line.rfind("Warning", 0) == 0 || line.rfind("NOTE", 0) == 0) kept += line + "\n";
        return kept;
    };
    EXPECT_EQ(messages(quiet.out), messages(loud.out));
    for (const std::string& part :
         {"Result of run A: " + ranked(reportA) + ", family-wise p from 3 permutation chains\n",
          "members\n  0    " + std::to_string(groupsA[0].nodes.size()),
          "\nResult of run B: " + ranked(reportB),
          std::string("\nProgram finished\nTime taken = ")})
        EXPECT_NE(quiet.out.find(part), std::string::npos) << part << quiet.out;
    for (const char* progress : {"Reading interaction", "Calculating background"})
        EXPECT_EQ(quiet.out.find(progress), std::string::npos) << progress;
    EXPECT_EQ(Steps(quiet.out), 0u);
}

TEST_F(CommandLine, EqualEdgeScoresFallBackToNodeScoresWithAWarning) {
    const RunResult r = Run({"-r", "1", "-n", "50"}, "A pp B 0.5\nB pp C 0.5\nC pp D 0.5\n",
                            "A 0.01\nB 0.02\nC 0.5\nD 0.9\n");
    ASSERT_EQ(r.status, 0) << r.out;
    // No edge background is built: the first background block is the nodes'.
    EXPECT_NE(r.out.find("\nWarning: all edge scores are equal; groups are scored with node "
                         "scores only\n\nSimulated annealing Algorithm:Iteration no 0..\n\n"
                         "Calculating background scores..\n"),
              std::string::npos)
        << r.out;
    // The independent checker agrees with node scores only, and only with them.
    const InputFiles files{(dir_.path() / "net.sif").string(), (dir_.path() / "p.txt").string(),
                           (dir_.path() / "a.txt").string()};
    const std::string report = dir_.Read("outA");
    const CheckResult right = ReportChecker(files, {6, 50, 4242u, false}).CheckFirstRun(report);
    EXPECT_TRUE(right.ok() && !right.groups.empty()) << right.Describe() << report;
    EXPECT_FALSE(ReportChecker(files, {6, 50, 4242u, true}).CheckFirstRun(report).ok());
}

TEST_F(CommandLine, ALaterRunWithNothingToSearchEndsTheRunsWithANote) {
    // Two pairs of weak nodes. With these seeds the first run's selection
    // leaves nothing (seed 8), or a single node (seed 6), for the next run.
    const std::string sif = "A pp B 0.5\nC pp D 0.6\n", pvalues = "A 0.9\nB 0.8\nC 0.95\nD 0.7\n";
    // An earlier invocation's report of run C is named, not taken for this one's.
    dir_.Write("outC", "earlier\n");
    // A run without groups has nothing for the permutation test to compare.
    const RunResult empty =
        Run({"--seed", "8", "-r", "3", "-n", "20", "--permutations", "19"}, sif, pvalues);
    ASSERT_EQ(empty.status, 0) << empty.out;
    EXPECT_NE(
        empty.out.find(
            "Top.size()=0\n\nSimulated annealing Algorithm:Iteration no 1..\n\nNOTE: no node "
            "is left for run B; the runs end here\nNOTE: removed files of an earlier invocation "
            "for runs not made: outC\n\nPermutation test of run A: the run reported no group; "
            "nothing to compare\n\nProgram finished"),
        std::string::npos)
        << empty.out;
    // An empty report and a significance table of its header alone (the
    // header is pinned in tests/analysis/permutation_test.cpp).
    EXPECT_EQ(dir_.Read("outA"), "");
    EXPECT_EQ(dir_.Read("outA.significance.tsv").find('\n') + 1,
              dir_.Read("outA.significance.tsv").size());
    EXPECT_FALSE(dir_.Exists("outB"));
    const RunResult single = Run({"--seed", "6", "-r", "3", "-n", "20"}, sif, pvalues);
    ASSERT_EQ(single.status, 0);
    EXPECT_NE(
        single.out.find(
            "\nNOTE: all 1 nodes left for run C have the same node score; the runs end here\n"),
        std::string::npos)
        << single.out;
    EXPECT_EQ(single.out.find("nan"), std::string::npos);
}

}  // namespace
}  // namespace tarnvale::testing
