// Careless use of the output name and of the machine: files of an earlier
// invocation, a summary of runs without groups, more threads than the
// system gives and searches that outgrow the memory. (Outputs that cannot be
// written: file_handling_test.cpp.) Each row runs the real binary; none may
// end in an abort, and every file left must be this invocation's.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

constexpr const char* kPValues = "A\t0.01\nB\t0.02\nC\t0.2\nD\t0.6\nE\t0.03\n";
constexpr const char* kSif =
    "A\tpp\tB\t0.6\nB\tpp\tC\t0.7\nC\tpp\tD\t0.4\nD\tpp\tE\t0.8\nE\tpp\tA\t0.3\nA\tpp\tC\t0.55\n";

class CarelessUse : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("p.txt", kPValues);
        dir_.Write("net.sif", kSif);
        dir_.Write("a.txt", "zz\tyy\n");
    }
    // -d p.txt -a a.txt -k 4 -i 20 -n 100 --seed 1 (-n unless `more` sets
    // it), then `more`, the network and the output name.
    RunResult Run(std::vector<std::string> more, const std::string& out = "res",
                  const std::string& sif = "net.sif") {
        std::vector<std::string> args{"-d", "p.txt", "-a", "a.txt",  "-k",
                                      "4",  "-i",    "20", "--seed", "1"};
        if (std::find(more.begin(), more.end(), "-n") == more.end())
            args.insert(args.end(), {"-n", "100"});
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), {sif, out});
        return RunTarnvale(args, dir_.path());
    }
    std::set<std::string> Outputs() const {
        std::set<std::string> names = Entries(dir_.path());
        for (const char* input : {"p.txt", "net.sif", "a.txt", "two.sif"}) names.erase(input);
        return names;
    }
    ScratchDir dir_;
};

// No file of an earlier invocation survives one that does not write it: it
// is removed and named. A summary lists every run made, one without groups
// too, and an invocation without runs writes its header alone.
TEST_F(CarelessUse, FilesOfAnEarlierInvocationDoNotPassForThisOnes) {
    ASSERT_EQ(Run({"-r", "2", "--permutations", "9", "--ensemble", "3", "--summary", "--cytoscape"})
                  .status,
              0);
    // (What the first invocation wrote: the note below names every file
    // that the second one removes, and what is left is the second's.)
    dir_.Write("p.txt", "A\t0.5\nB\t0.02\nC\t0.2\nD\t0.01\nE\t0.03\n");
    RunResult r = Run({"-r", "2"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nNOTE: removed files of an earlier invocation that this one does not "
                         "write: resA.sif resA.nodes.tsv resA.significance.tsv resA.stability.tsv "
                         "resB.sif resB.nodes.tsv resB.significance.tsv resB.stability.tsv "
                         "res.summary.tsv\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Outputs(), (std::set<std::string>{"resA", "resB"}));
    r = Run({"-r", "1"});
    EXPECT_NE(r.out.find("does not write: resB\n"), std::string::npos) << r.out;
    EXPECT_EQ(Outputs(), (std::set<std::string>{"resA"}));
    ASSERT_EQ(Run({"-r", "0", "--summary"}).status, 0);
    EXPECT_EQ(Outputs(), (std::set<std::string>{"res.summary.tsv"}));
    const std::string header =
        "run\trank\tsize\tedges\ts_score\tranked\tpermutation_p\tnull\tstability\tfamilywise_"
        "p\tnode_evidence\tedge_share\tbest_terms\tmembers\n";
    EXPECT_EQ(dir_.Read("res.summary.tsv"), header);
    // A run made without finding a group has its row.
    dir_.Write("two.sif", "A\tpp\tB\t0.6\n");
    r = Run({"-n", "0", "-q", "0", "-r", "1", "--summary"}, "two", "two.sif");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir_.Read("two.summary.tsv"), header + "A\t\t0\t0\t\tnone\t\t\t\t\t\t\t\t\n");
}

// Threads the system will not start are done without; searches that outgrow
// the memory end with a message naming what to lower. A limit on address
// space stands in for both (sanitizer builds reserve far more than any).
TEST_F(CarelessUse, ThreadsThatCannotStartAndSearchesOutOfMemoryEndCleanly) {
#if defined(TARNVALE_SANITIZED)
    GTEST_SKIP() << "address-space limits do not apply under the sanitizers";
#endif
    // The binary under a limit of `kib` KiB of address space.
    const auto limited = [&](const std::string& kib, const std::string& args) {
        return RunShell("ulimit -v " + kib + "; exec " + Command(Tarnvale(Split(args, ' '))),
                        dir_.path());
    };
    const RunResult threads = limited("1000000",
                                      "-d p.txt -a a.txt -k 4 -i 20 -n 100 --seed 1 -r 1 "
                                      "--permutations 2000 --threads 512 net.sif res");
    EXPECT_EQ(threads.status, 0) << threads.out;
    EXPECT_NE(threads.out.find(" of the 512 threads asked for (--threads) could be started; the "
                               "searches run on those\n"),
              std::string::npos)
        << threads.out;
    // 200,000 nodes in a chain with a chord every third node.
    std::string sif, pvalues;
    for (int i = 1; i < 200000; ++i) {
        sif += "n" + std::to_string(i - 1) + "\tpp\tn" + std::to_string(i) + "\t0.5\n";
        if (i % 3 == 0)
            sif += "n" + std::to_string(i - 3) + "\tpp\tn" + std::to_string(i) + "\t0.7\n";
        pvalues += "n" + std::to_string(i) + "\t0." + std::to_string(1 + i % 97) + "\n";
    }
    dir_.Write("big.sif", sif);
    dir_.Write("big.txt", pvalues);
    const RunResult memory = limited("600000",
                                     "-d big.txt -a a.txt -k 6 -i 50 -n 10 -q 0 -r 1 "
                                     "--permutations 40 --threads 16 big.sif big");
    EXPECT_EQ(memory.status, 1) << memory.out;
    EXPECT_NE(memory.out.find("Error: out of memory in the permutation chains (--permutations 40) "
                              "on 16 threads (--threads)"),
              std::string::npos)
        << memory.out.substr(memory.out.size() > 2000 ? memory.out.size() - 2000 : 0);
    EXPECT_EQ(TemporaryFiles(dir_.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarnvale::testing
