// The run driver on small networks: the order of its messages, run letters
// and iteration counts, and how it stops on input that leaves nothing to do.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

constexpr const char* kSeed = "4242";

// A ring of eight nodes with two chords; A..D carry small p-values.
constexpr const char* kNetwork =
    "A pp B 0.9\nB pp C 0.8\nC pp D 0.7\nD pp E 0.4\nE pp F 0.3\nF pp G 0.6\n"
    "G pp H 0.2\nH pp A 0.5\nA pp C 0.95\nE pp G 0.1\n";
constexpr const char* kPValues =
    "A\t0.001\nB\t0.002\nC\t0.0005\nD\t0.01\nE\t0.6\nF\t0.4\nG\t0.8\nH\t0.3\n";

class RunDriver : public ::testing::Test {
protected:
    RunResult Run(const std::string& sif, const std::string& pvalues, const std::string& assoc,
                  std::vector<std::string> extra, const std::string& seed = kSeed) {
        std::vector<std::string> args{"-d", dir_.Write("p.txt", pvalues), "-a",
                                      dir_.Write("a.txt", assoc), "--seed", seed,
                                      "-k",  "6", "-i", "50"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(dir_.Write("net.sif", sif));
        args.push_back("out");
        return RunTarnvale(args, dir_.path());
    }
    RunResult RunRing(std::vector<std::string> extra) {
        return Run(kNetwork, kPValues, "A\tA\n", std::move(extra));
    }

    ScratchDir dir_;
};

std::size_t Count(const std::string& text, const std::regex& pattern) {
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), {}));
}

TEST_F(RunDriver, WithoutRunsPrintsThePreparationMessagesInOrder) {
    const RunResult r = RunRing({"-r", "0"});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string expected =
        "NOTE:SifReader:Duplicate edges allowed\n";
    for (int i = 0; i < 10; ++i) expected += "Reading interaction " + std::to_string(i) + "\n";
    expected +=
        "\nNumber_of_nodes in the graph = 8\n"
        "\nNumber_of_edges in the graph = 10\n"
        "RDE: 10RDE: 10\n"
        "Number of edges removed 0\n"
        "\nNumber of nodes without data = 0\n"
        "\nCalculating background scores..\n";
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    EXPECT_NE(r.out.find("\nProgram finished\nTime taken = "), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 8), " seconds");
    EXPECT_FALSE(dir_.Exists("outA"));
}

TEST_F(RunDriver, RunsAreLetteredAndLaterRunsGetMoreIterations) {
    // Without quenching every step prints one progress line.
    const RunResult r = RunRing({"-r", "3", "-n", "10", "-q", "0", "-p", "5"});
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* header :
         {"\nSimulated annealing Algorithm:Iteration no 0..\n",
          "\nSimulated annealing Algorithm:Iteration no 1..\n"})
        EXPECT_NE(r.out.find(header), std::string::npos) << header;
    EXPECT_TRUE(dir_.Exists("outA"));
    EXPECT_TRUE(dir_.Exists("outB"));
    const auto firstRun = r.out.substr(0, r.out.find("Iteration no 1.."));
    EXPECT_EQ(Count(firstRun, std::regex("\n[0-9]+:\t")), 10u);
    // Run B searches inside A's selection and makes 10 + 10/5 steps.
    const auto secondRun = r.out.substr(r.out.find("Iteration no 1.."));
    ASSERT_EQ(secondRun.find("NOTE:"), std::string::npos) << secondRun;
    EXPECT_EQ(Count(secondRun.substr(0, secondRun.find("Iteration no 2..")),
                    std::regex("\n[0-9]+:\t")),
              12u);
}

TEST_F(RunDriver, IterationsBelowFiveGiveEveryRunTheSameCount) {
    const RunResult r = RunRing({"-r", "2", "-n", "4", "-q", "0", "-p", "5"});
    ASSERT_EQ(r.status, 0);
    const auto secondRun = r.out.substr(r.out.find("Iteration no 1.."));
    ASSERT_EQ(secondRun.find("NOTE:"), std::string::npos) << secondRun;
    EXPECT_EQ(Count(secondRun, std::regex("\n[0-9]+:\t")), 4u);
}

TEST_F(RunDriver, NoNodeWithDataIsAnErrorNamingTheFiles) {
    const RunResult r = Run(kNetwork, "X\t0.01\nY\t0.02\n", "A\tA\n", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nNumber of nodes without data = 8\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nError: no node with data and an interaction is left; check that the "
                         "identifiers of "),
              std::string::npos);
    EXPECT_EQ(r.out.find("Program finished"), std::string::npos);
    EXPECT_FALSE(dir_.Exists("outA"));
}

TEST_F(RunDriver, EqualNodeScoresAreAnError) {
    const RunResult r = Run(kNetwork, "A 0.5\nB 0.5\nC 0.5\nD 0.5\nE 0.5\nF 0.5\nG 0.5\nH 0.5\n",
                            "A\tA\n", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nError: all nodes left have the same node score"), std::string::npos);
}

TEST_F(RunDriver, EqualEdgeScoresFallBackToNodeScoresWithAWarning) {
    const RunResult r =
        Run("A pp B 0.5\nB pp C 0.5\nC pp D 0.5\n", "A 0.01\nB 0.02\nC 0.5\nD 0.9\n", "A\tA\n",
            {"-r", "1", "-n", "50"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nWarning: all edge scores are equal; groups are scored with node "
                         "scores only\n"),
              std::string::npos);
    // No edge background is built: the first background block is the nodes'.
    EXPECT_LT(r.out.find("Iteration no 0.."), r.out.find("Calculating background scores.."));
}

TEST_F(RunDriver, ALaterRunWithNothingToSearchEndsTheRunsWithANote) {
    // Two pairs of weak nodes. With these seeds the first run's selection
    // leaves nothing (seed 8), or a single node (seed 6), for the next run.
    const std::string sif = "A pp B 0.5\nC pp D 0.6\n";
    const std::string pvalues = "A 0.9\nB 0.8\nC 0.95\nD 0.7\n";
    // An earlier invocation's report of run C is named, not taken for this one's.
    dir_.Write("outC", "earlier\n");
    const RunResult empty = Run(sif, pvalues, "A\tA\n", {"-r", "3", "-n", "20"}, "8");
    ASSERT_EQ(empty.status, 0) << empty.out;
    EXPECT_NE(empty.out.find("Top.size()=0\n\nSimulated annealing Algorithm:Iteration no 1..\n"
                             "\nNOTE: no node is left for run B; the runs end here\n"
                             "NOTE: not written by this invocation, left from an earlier one: "
                             "outC\n\nProgram finished"),
              std::string::npos)
        << empty.out;
    EXPECT_TRUE(dir_.Exists("outA"));
    EXPECT_EQ(dir_.Read("outA"), "");
    EXPECT_FALSE(dir_.Exists("outB"));

    const RunResult single = Run(sif, pvalues, "A\tA\n", {"-r", "3", "-n", "20"}, "6");
    ASSERT_EQ(single.status, 0);
    EXPECT_NE(single.out.find("\nNOTE: all 1 nodes left for run C have the same node score; the "
                              "runs end here\n"),
              std::string::npos)
        << single.out;
    EXPECT_EQ(single.out.find("nan"), std::string::npos);
}

TEST_F(RunDriver, RepeatZeroMakesNoOutputFile) {
    EXPECT_EQ(RunRing({"-r", "0"}).status, 0);
    EXPECT_FALSE(dir_.Exists("outA"));
}

TEST_F(RunDriver, MissingOutputDirectoryIsReported) {
    std::vector<std::string> args{"-d", dir_.Write("p.txt", kPValues), "-a",
                                  dir_.Write("a.txt", "A\tA\n"), "-r", "1", "-n", "5", "-k", "6",
                                  "-i", "50", dir_.Write("net.sif", kNetwork), "no/such/dir/out"};
    const RunResult r = RunTarnvale(args, dir_.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nWarning: File opening (for write) failed. Check name of the file(/s)\n"),
              std::string::npos);
}

TEST_F(RunDriver, AFullDiskLeavesNoPartialReportAndKeepsEarlierOnes) {
    const RunResult first = RunRing({"-r", "1", "-n", "20"});
    ASSERT_EQ(first.status, 0);
    const std::string reportA = dir_.Read("outA");
    ASSERT_FALSE(reportA.empty());

    // A file-size limit of 0 stands in for a full disk. It applies to files
    // only, so the program's output still reaches us through the pipe.
    const std::string command = "cd '" + dir_.path().string() + "' && (ulimit -f 0; exec " +
                                TARNVALE_BINARY + " -d p.txt -a a.txt --seed " + kSeed +
                                " -k 6 -i 50 -r 1 -n 20 net.sif out) 2>&1; echo \"status=$?\"";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    while (std::size_t got = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
    pclose(pipe);

    EXPECT_NE(out.find("\nError: writing outA failed: "), std::string::npos) << out;
    EXPECT_NE(out.find("; no report was written for this run\n"), std::string::npos);
    EXPECT_NE(out.find("status=1"), std::string::npos);
    EXPECT_EQ(out.find("Program finished"), std::string::npos);
    EXPECT_EQ(dir_.Read("outA"), reportA);
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        EXPECT_NE(entry.path().filename().string().rfind("outA.tmp", 0), 0u) << entry.path();
}

}  // namespace
}  // namespace tarnvale::testing
