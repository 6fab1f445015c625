// The command line in process: parse failures and values out of range, with
// the exact texts and exit statuses of the binary (main only hands argv to
// RunCommandLine), all refused before any file is read.

#include "cli/options.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/driver.hpp"

namespace tarnvale {
namespace {

struct Outcome {
    int status;
    std::string out, err;
};

// The command line with `args` (argv[1..]); what TCLAP prints itself goes
// to std::cout and std::cerr, so those are captured too.
Outcome Invoke(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"tarnvale"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    std::streambuf* const cout = std::cout.rdbuf(out.rdbuf());
    std::streambuf* const cerr = std::cerr.rdbuf(err.rdbuf());
    const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err, false);
    std::cout.rdbuf(cout);
    std::cerr.rdbuf(cerr);
    return {status, out.str(), err.str()};
}

// The files, a small background and a seed unless `extra` gives them, `extra`,
// and the network and output base, none of which exist.
Outcome RunWith(const std::vector<std::string>& extra) {
    std::vector<std::string> args{"-d", "no-p.txt", "-a", "no-a.txt"};
    for (const auto& [option, value] : {std::pair{"--seed", "4242"}, {"-k", "6"}, {"-i", "50"}})
        if (std::find(extra.begin(), extra.end(), option) == extra.end())
            args.insert(args.end(), {option, value});
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"no-net.sif", "out"});
    return Invoke(args);
}

TEST(Options, ParseFailuresAndValuesOutOfRangeAreRefusedWithTheArgumentNamed) {
    // Missing required options, a fractional kmax (though its type text says
    // float), an option given twice, an unknown flag, a surplus argument, an
    // empty value, an unknown null model.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"net.sif", "out"},
             {"-d", "p", "-a", "a", "-k", "50.5", "n", "o"},
             {"-d", "p", "-a", "a", "-r", "1", "-r", "2", "n", "o"},
             {"-d", "p", "-a", "a", "-z", "1", "n", "o"},
             {"-d", "p", "-a", "a", "n", "o", "extra"},
             {"-d", "p", "-a", "a", "--seed", "", "n", "o"},
             {"-d", "p", "-a", "a", "--null", "edges", "n", "o"}}) {
        const Outcome r = Invoke(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("PARSE ERROR:"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const std::string below = "is below the smallest allowed, ",
                      above = "is above the largest allowed, ",
                      finite = "must be a finite number above 0";
    const std::string draws =
        " draws for each background model, more than the largest allowed, 1e+10; lower -k "
        "(--kmax) or -i (--imax) for arg Argument: ";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"-n", "-1"}, "value -1 " + below + "0 for arg Argument: -n (--iterations)"},
        {{"-g", "0"}, "value 0 " + below + "1 for arg Argument: -g (--nmax)"},
        {{"-k", "3"}, "value 3 " + below + "4 for arg Argument: -k (--kmax)"},
        {{"-i", "1"}, "value 1 " + below + "2 for arg Argument: -i (--imax)"},
        {{"-s", "0"}, "value 0 " + finite + " for arg Argument: -s (--Tstart)"},
        {{"-e", "-0.5"}, "value -0.5 " + finite + " for arg Argument: -e (--Tend)"},
        {{"-r", "63"},
         "value 63 " + above + "62 (run letters go from A to ~) for arg Argument: -r (--repeat)"},
        {{"--seed", "4294967296"},
         "value 4294967296 is not an unsigned 32-bit integer for arg Argument: --seed"},
        {{"--permutations", "-1"}, "value -1 " + below + "0 for arg Argument: --permutations"},
        {{"--permutations", "100001"},
         "value 100001 " + above + "100000 for arg Argument: --permutations"},
        {{"--ensemble", "100001"}, "value 100001 " + above + "100000 for arg Argument: --ensemble"},
        {{"--threads", "0"}, "value 0 " + below + "1 for arg Argument: --threads"},
        {{"--threads", "1025"}, "value 1025 " + above + "1024 for arg Argument: --threads"},
        {{"--min-score", "1.5"},
         "value 1.5 lies outside [0, 1] (STRING's scores / 1000) for arg Argument: --min-score"},
        // Backgrounds that would take longer than anyone waits.
        {{"-k", "1000000000", "-i", "10000"},
         "kmax 1000000000 with imax 10000 would take 2.5e+21" + draws + "-k (--kmax)"},
        {{"-k", "20", "-i", "100000000"},
         "kmax 20 with imax 100000000 would take 1.1e+10" + draws + "-i (--imax)"},
        // Every range problem is reported at once.
        {{"-n", "-5", "-g", "0"},
         "value -5 " + below + "0 for arg Argument: -n (--iterations)\nerror: value 0 " + below +
             "1 for arg Argument: -g (--nmax)"},
    };
    for (const auto& [extra, line] : cases) {
        const Outcome r = RunWith(extra);
        EXPECT_EQ(r.status, 1) << line;
        EXPECT_EQ(r.err, "error: " + line + "\n");
        EXPECT_EQ(r.out, "") << line;
    }
    // The boundary values pass.
    const std::vector<std::string> edge{"-d", "p",  "-a",     "a",          "-n", "0",
                                        "-g", "1",  "-k",     "4",          "-i", "2",
                                        "-r", "62", "--seed", "4294967295", "n",  "out"};
    std::vector<const char*> argv{"tarnvale"};
    for (const std::string& a : edge) argv.push_back(a.c_str());
    const ParseResult parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->validate(), std::vector<std::string>{});
    // An empty output base (an unset shell variable) would name the reports
    // A, B, ... in the current folder.
    const Outcome empty = Invoke({"-d", "p", "-a", "a", "n", ""});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err,
              "error: the output name is empty; no file can be named after it for arg Argument: "
              "--out\n");
}

}  // namespace
}  // namespace tarnvale
