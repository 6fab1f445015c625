// The command line of the real binary (help, version, the manual page, parse
// failures and range checks, with their exact texts and exit statuses) and
// the run driver on small networks: the order of its messages, run letters
// and step counts, and how it ends when a later run has nothing to search.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "e2e/child_process.hpp"

namespace tarnvale::testing {
namespace {

class CommandLine : public ::testing::Test {
protected:
    // Arguments for a run on the ring (or the given files) with the options
    // in `extra`, and a small background and a fixed seed unless they are in `extra`.
    std::vector<std::string> Args(const std::vector<std::string>& extra, const std::string& sif = kRingSif,
                                  const std::string& pvalues = kRingPValues) {
        std::vector<std::string> args{"-d", dir_.Write("p.txt", pvalues), "-a", dir_.Write("a.txt", "A\tA\n")};
        for (const auto& [option, value] : {std::pair{"--seed", kRingSeed}, {"-k", "6"}, {"-i", "50"}})
            if (std::find(extra.begin(), extra.end(), option) == extra.end()) args.insert(args.end(), {option, value});
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {dir_.Write("net.sif", sif), "out"});
        return args;
    }
    RunResult Run(const std::vector<std::string>& extra, const std::string& sif = kRingSif,
                  const std::string& pvalues = kRingPValues) {
        return RunTarnvale(Args(extra, sif, pvalues), dir_.path());
    }
    ScratchDir dir_;
};

std::size_t Steps(const std::string& text) {
    const std::regex step("\n[0-9]+:\t");
    return static_cast<std::size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), step), {}));
}

// The option names of a text: "--name" and "-x" as separate words.
std::set<std::string> Options(const std::string& text, const char* pattern) {
    std::set<std::string> found;
    const std::regex option(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert((*it)[1]);
    return found;
}

TEST_F(CommandLine, HelpAndTheManualPageNameTheSameOptions) {
    const RunResult help = RunTarnvale({"--help"}, dir_.path());
    ASSERT_EQ(help.status, 0);
    const RunResult version = RunTarnvale({"--version"}, dir_.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("1.0"), std::string::npos);
    std::ifstream in(std::string(TARNVALE_EXAMPLES) + "/../man/tarnvale.1");
    std::ostringstream text;
    text << in.rdbuf();
    const std::string roff = text.str();
    EXPECT_EQ(roff.rfind(".TH TARNVALE 1 ", 0), 0u) << "man/tarnvale.1 not found";
    // Roff writes a minus sign as "\-" and switches fonts with "\fB" and friends.
    const std::string page = std::regex_replace(std::regex_replace(roff, std::regex("\\\\-"), "-"),
                                                std::regex("\\\\f[BIRP]"), "");
    const char* longOption = "(?:^|[^-\\w])(--[A-Za-z][A-Za-z_-]*)";
    const char* shortOption = "(?:^|[\\s\\[,])(-[A-Za-z])\\b";
    EXPECT_GE(Options(help.out, longOption).size(), 17u);  // a pattern that finds nothing must not pass
    EXPECT_EQ(Options(page, longOption), Options(help.out, longOption));
    EXPECT_EQ(Options(page, shortOption), Options(help.out, shortOption));
}

TEST_F(CommandLine, ParseFailuresAndValuesOutOfRangeAreRefusedWithTheArgumentNamed) {
    // Missing required options, a fractional kmax (though its type text says
    // float), an option given twice, an unknown flag, a surplus argument, an
    // empty value.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"net.sif", "out"}, {"-d", "p", "-a", "a", "-k", "50.5", "n", "o"},
             {"-d", "p", "-a", "a", "-r", "1", "-r", "2", "n", "o"}, {"-d", "p", "-a", "a", "-z", "1", "n", "o"},
             {"-d", "p", "-a", "a", "n", "o", "extra"}, {"-d", "p", "-a", "a", "--seed", "", "n", "o"}}) {
        const RunResult r = RunTarnvale(args, dir_.path());
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("PARSE ERROR:"), std::string::npos) << r.err;
    }
    const std::string below = "is below the smallest allowed, ", finite = "must be a finite number above 0";
    const std::string draws = " draws for each background model, more than the largest allowed, 1e+10; lower -k "
                              "(--kmax) or -i (--imax) for arg Argument: ";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"-n", "-1"}, "value -1 " + below + "0 for arg Argument: -n (--iterations)"},
        {{"-g", "0"}, "value 0 " + below + "1 for arg Argument: -g (--nmax)"},
        {{"-k", "3"}, "value 3 " + below + "4 for arg Argument: -k (--kmax)"},
        {{"-i", "1"}, "value 1 " + below + "2 for arg Argument: -i (--imax)"},
        {{"-s", "0"}, "value 0 " + finite + " for arg Argument: -s (--Tstart)"},
        {{"-e", "-0.5"}, "value -0.5 " + finite + " for arg Argument: -e (--Tend)"},
        {{"-r", "63"}, "value 63 is above the largest allowed, 62 (run letters go from A to ~) for arg Argument: "
                       "-r (--repeat)"},
        {{"--seed", "4294967296"}, "value 4294967296 is not an unsigned 32-bit integer for arg Argument: --seed"},
        // Backgrounds that would take longer than anyone waits.
        {{"-k", "1000000000", "-i", "10000"}, "kmax 1000000000 with imax 10000 would take 2.5e+21" + draws + "-k (--kmax)"},
        {{"-k", "20", "-i", "100000000"}, "kmax 20 with imax 100000000 would take 1.1e+10" + draws + "-i (--imax)"},
    };
    for (const auto& [extra, line] : cases) {
        const RunResult r = Run(extra);
        EXPECT_EQ(r.status, 1) << line;
        EXPECT_EQ(r.err, "error: " + line + "\n");
        EXPECT_EQ(r.out, "") << line;
    }
    // Every range problem is reported at once; the boundary values pass.
    const RunResult both = Run({"-n", "-5", "-g", "0"});
    EXPECT_NE(both.err.find("(--iterations)"), std::string::npos);
    EXPECT_NE(both.err.find("(--nmax)"), std::string::npos);
    const RunResult ok = Run({"-n", "0", "-g", "1", "-k", "4", "-i", "2", "-r", "62", "--seed", "4294967295"});
    EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
    EXPECT_EQ(ok.err, "");
}

TEST_F(CommandLine, PreparationMessagesInOrderAndLaterRunsGetMoreSteps) {
    const RunResult none = Run({"-r", "0"});
    ASSERT_EQ(none.status, 0) << none.out;
    std::string expected = "NOTE:SifReader:Duplicate edges allowed\n";
    for (int i = 0; i < 10; ++i) expected += "Reading interaction " + std::to_string(i) + "\n";
    expected += "\nNumber_of_nodes in the graph = 8\n\nNumber_of_edges in the graph = 10\nRDE: 10RDE: 10\n"
                "Number of edges removed 0\n\nNumber of nodes without data = 0\n\nCalculating background scores..\n";
    EXPECT_EQ(none.out.substr(0, expected.size()), expected);
    EXPECT_NE(none.out.find("\nProgram finished\nTime taken = "), std::string::npos);
    EXPECT_EQ(none.out.substr(none.out.size() - 8), " seconds");
    EXPECT_FALSE(dir_.Exists("outA"));

    // Without quenching every step prints one progress line; run B searches
    // inside A's selection and makes 10 + 10/5 steps, but below five
    // iterations every run makes the same number.
    for (const auto& [iterations, later] : std::vector<std::pair<std::string, std::size_t>>{{"10", 12}, {"4", 4}}) {
        const RunResult r = Run({"-r", "2", "-n", iterations, "-q", "0", "-p", "5"});
        ASSERT_EQ(r.status, 0) << r.out;
        const auto b = r.out.find("\nSimulated annealing Algorithm:Iteration no 1..\n");
        ASSERT_NE(b, std::string::npos) << r.out;
        EXPECT_EQ(Steps(r.out.substr(0, b)), std::stoul(iterations));
        EXPECT_EQ(Steps(r.out.substr(b)), later);
        EXPECT_EQ(r.out.find("NOTE:", b), std::string::npos);
        EXPECT_TRUE(dir_.Exists("outA") && dir_.Exists("outB"));
    }
}

TEST_F(CommandLine, EqualEdgeScoresFallBackToNodeScoresWithAWarning) {
    const RunResult r = Run({"-r", "1", "-n", "50"}, "A pp B 0.5\nB pp C 0.5\nC pp D 0.5\n",
                            "A 0.01\nB 0.02\nC 0.5\nD 0.9\n");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nWarning: all edge scores are equal; groups are scored with node scores only\n"),
              std::string::npos);
    // No edge background is built: the first background block is the nodes'.
    EXPECT_LT(r.out.find("Iteration no 0.."), r.out.find("Calculating background scores.."));
}

TEST_F(CommandLine, ALaterRunWithNothingToSearchEndsTheRunsWithANote) {
    // Two pairs of weak nodes. With these seeds the first run's selection
    // leaves nothing (seed 8), or a single node (seed 6), for the next run.
    const std::string sif = "A pp B 0.5\nC pp D 0.6\n", pvalues = "A 0.9\nB 0.8\nC 0.95\nD 0.7\n";
    // An earlier invocation's report of run C is named, not taken for this one's.
    dir_.Write("outC", "earlier\n");
    const RunResult empty = Run({"--seed", "8", "-r", "3", "-n", "20"}, sif, pvalues);
    ASSERT_EQ(empty.status, 0) << empty.out;
    EXPECT_NE(empty.out.find("Top.size()=0\n\nSimulated annealing Algorithm:Iteration no 1..\n\nNOTE: no node is "
                             "left for run B; the runs end here\nNOTE: not written by this invocation, left from "
                             "an earlier one: outC\n\nProgram finished"),
              std::string::npos)
        << empty.out;
    EXPECT_EQ(dir_.Read("outA"), "");
    EXPECT_FALSE(dir_.Exists("outB"));
    const RunResult single = Run({"--seed", "6", "-r", "3", "-n", "20"}, sif, pvalues);
    ASSERT_EQ(single.status, 0);
    EXPECT_NE(single.out.find("\nNOTE: all 1 nodes left for run C have the same node score; the runs end here\n"),
              std::string::npos)
        << single.out;
    EXPECT_EQ(single.out.find("nan"), std::string::npos);
}

// The progress bar, drawn on standard error when that is a terminal (the
// pseudo-terminal of script(1) here): one finished line per phase, and
// standard output the same as without a terminal.
TEST_F(CommandLine, OnATerminalEveryPhaseEndsAtHundredPercentAndStandardOutputIsUnchanged) {
    const std::vector<std::string> extra{"-n", "300", "-r", "2", "--permutations", "2"};
    const RunResult plain = Run(extra);
    const RunResult shown = RunShell("script -qec \"" + Command(Tarnvale(Args(extra))) + "> stdout.txt\" /dev/null",
                                     dir_.path());
    ASSERT_EQ(shown.status, 0) << shown.out;
    EXPECT_EQ(plain.err, "");
    const std::string out = dir_.Read("stdout.txt");
    EXPECT_EQ(plain.out.substr(0, plain.out.rfind("\nTime taken")), out.substr(0, out.rfind("\nTime taken")));
    // The terminal turns each line end into CR LF; the finished line of each
    // phase is the last drawing before it.
    std::vector<std::string> finished;
    const std::regex line("\r([^\r\n]*)\r\n");
    for (auto it = std::sregex_iterator(shown.out.begin(), shown.out.end(), line); it != std::sregex_iterator(); ++it)
        finished.push_back((*it)[1]);
    const std::vector<std::string> phases{"edge background", "node background, run A", "annealing, run A",
                                          "permutations, run A", "node background, run B", "annealing, run B",
                                          "permutations, run B"};
    ASSERT_EQ(finished.size(), phases.size()) << shown.out;
    for (std::size_t i = 0; i < phases.size(); ++i)
        EXPECT_EQ(finished[i].rfind(phases[i] + std::string(24 - phases[i].size(), ' ') + " [####################] 100%", 0),
                  0u) << finished[i];
    EXPECT_NE(finished[2].find(" steps/s  best "), std::string::npos) << finished[2];
    EXPECT_NE(finished[0].find(" draws/s"), std::string::npos) << finished[0];
}

}  // namespace
}  // namespace tarnvale::testing
