// The command line of the real binary: help, version, parse failures and the
// range checks, with their exact texts and exit statuses.

#include <gtest/gtest.h>

#include <algorithm>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        sif_ = dir_.Write("net.sif", "A pp B 0.5\nB pp C 0.7\n");
        pv_ = dir_.Write("p.txt", "A\t0.01\nB\t0.2\nC\t0.5\n");
        as_ = dir_.Write("a.txt", "A\tA\n");
    }
    RunResult Run(std::vector<std::string> extra) {
        std::vector<std::string> args{"-d", pv_, "-a", as_};
        if (std::find(extra.begin(), extra.end(), "-r") == extra.end())
            extra.push_back("-r"), extra.push_back("0");
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(sif_);
        args.push_back("out");
        return RunTarnvale(args, dir_.path());
    }

    ScratchDir dir_;
    std::string sif_, pv_, as_;
};

TEST_F(CommandLine, HelpVersionAndParseFailures) {
    const RunResult help = RunTarnvale({"-h"}, dir_.path());
    EXPECT_EQ(help.status, 0);
    for (const char* text :
         {"Tarnvale command line description message", "p-values (tab delimited)",
          "node-ORF association (tab delimited)", "Number of iterations",
          "Number of groups to search", "Number of times to repeat algorithm",
          "Hub diameter for heuristic search", "Start temperature", "End temperature",
          "kmax for background", "imax for background", "Quenching search",
          "initialization heuristics (1-2-3-4-5)",
          "File containing list of interactions, sif format", "Name for the output file", "--seed"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    const RunResult version = RunTarnvale({"--version"}, dir_.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("1.0"), std::string::npos);

    // Missing required options, a fractional kmax (though its type text says
    // float), an option given twice, an unknown flag, a surplus argument.
    const std::vector<RunResult> failures{
        RunTarnvale({sif_, "out"}, dir_.path()), Run({"-k", "50.5"}), Run({"-r", "1", "-r", "2"}),
        Run({"-z", "1"}), RunTarnvale({"-d", pv_, "-a", as_, sif_, "out", "extra"}, dir_.path())};
    for (const RunResult& r : failures) {
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("PARSE ERROR:"), std::string::npos) << r.err;
    }
    EXPECT_NE(failures[0].err.find("Brief USAGE:"), std::string::npos);
    EXPECT_NE(failures[1].err.find("-k"), std::string::npos);
    EXPECT_FALSE(dir_.Exists("outA"));
}

TEST_F(CommandLine, OutOfRangeValuesAreRefusedWithTheArgumentNamed) {
    struct Case {
        std::vector<std::string> args;
        std::string line;
    };
    const std::vector<Case> cases{
        {{"-n", "-1"},
         "error: value -1 is below the smallest allowed, 0 for arg Argument: -n (--iterations)"},
        {{"-g", "0"},
         "error: value 0 is below the smallest allowed, 1 for arg Argument: -g (--nmax)"},
        {{"-k", "3"},
         "error: value 3 is below the smallest allowed, 4 for arg Argument: -k (--kmax)"},
        {{"-i", "1"},
         "error: value 1 is below the smallest allowed, 2 for arg Argument: -i (--imax)"},
        {{"-s", "0"},
         "error: value 0 must be a finite number above 0 for arg Argument: -s (--Tstart)"},
        {{"-e", "-0.5"},
         "error: value -0.5 must be a finite number above 0 for arg Argument: -e (--Tend)"},
        {{"-r", "63"},
         "error: value 63 is above the largest allowed, 62 (run letters go from A to ~) for arg "
         "Argument: -r (--repeat)"},
        {{"--seed", "-1"},
         "error: value -1 is not an unsigned 32-bit integer for arg Argument: --seed"},
        {{"--seed", "4294967296"},
         "error: value 4294967296 is not an unsigned 32-bit integer for arg Argument: --seed"},
        // Backgrounds that would take longer than anyone waits.
        {{"-k", "1000000000"},
         "error: kmax 1000000000 with imax 10000 would take 2.5e+21 draws for each background "
         "model, more than the largest allowed, 1e+10; lower -k (--kmax) or -i (--imax) for arg "
         "Argument: -k (--kmax)"},
        {{"-k", "20", "-i", "100000000"},
         "error: kmax 20 with imax 100000000 would take 1.1e+10 draws for each background model, "
         "more than the largest allowed, 1e+10; lower -k (--kmax) or -i (--imax) for arg "
         "Argument: -i (--imax)"},
    };
    for (const Case& c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.line;
        EXPECT_EQ(r.err, c.line + "\n");
        EXPECT_EQ(r.out, "") << c.line;
    }
}

TEST_F(CommandLine, EveryRangeProblemIsReportedAtOnce) {
    const RunResult r = Run({"-n", "-5", "-g", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("(--iterations)"), std::string::npos);
    EXPECT_NE(r.err.find("(--nmax)"), std::string::npos);
}

TEST_F(CommandLine, BoundaryValuesAreAccepted) {
    const RunResult ok =
        Run({"-n", "0", "-g", "1", "-k", "4", "-i", "2", "-r", "62", "--seed", "4294967295"});
    EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
    EXPECT_EQ(ok.err, "");
    EXPECT_NE(ok.out.find("Program finished"), std::string::npos);
}

TEST_F(CommandLine, MissingInputFilesStopWithTheirName) {
    const RunResult r = RunTarnvale({"-d", pv_, "-a", as_, "nosuch.sif", "out"}, dir_.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\nWarning: File opening failed. Check name of the file nosuch.sif\n");

    const RunResult dirAsFile =
        RunTarnvale({"-d", dir_.path().string(), "-a", as_, sif_, "out"}, dir_.path());
    EXPECT_EQ(dirAsFile.status, 1);
    EXPECT_NE(dirAsFile.out.find("Warning: File opening failed. Check name of the file " +
                                 dir_.path().string() + "\n"),
              std::string::npos);

    // A file that fails while it is read is an error, not a crash.
    const RunResult failing = RunTarnvale({"-d", "/proc/self/mem", "-a", as_, sif_, "out"}, dir_.path());
    EXPECT_EQ(failing.status, 1);
    EXPECT_NE(failing.out.find("\nError: reading /proc/self/mem failed: Input/output error\n"),
              std::string::npos)
        << failing.out;
    EXPECT_FALSE(dir_.Exists("outA"));
}

}  // namespace
}  // namespace tarnvale::testing
