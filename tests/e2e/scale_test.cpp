// Networks of a million nodes run end to end: a path (deep for any
// recursive walk) and a star (one node of a million neighbours). Both must
// finish normally within a fixed address-space limit. Annealing is cut to a
// few steps without quenching and the background to its smallest size, so
// that reading, preparation, evaluation and the report carry the run.
//
// These tests take several seconds each; their suite name, Scale, lets a
// sanitizer run leave them out.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "support/planted_network.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

constexpr int kNodes = 1'000'000;

// A p-value in (0, 1) that varies with i.
std::string PValue(int i) {
    return Format(static_cast<double>((std::int64_t{i} * 7919) % 9973 + 1) / 9974.0);
}

// Two tests, so that a parallel ctest runs them side by side.
void ExpectAMillionNodesFinishWithinTwoGibibytes(bool star) {
    ScratchDir dir;
    {
        std::ofstream sif(dir.path() / "net.sif"), p(dir.path() / "p.txt");
        if (star) p << "hub\t0.001\n";
        for (int i = 0; i < kNodes; ++i) {
            if (star)
                sif << "hub pp n" << i << " 0." << i % 9 + 1 << '\n';
            else if (i + 1 < kNodes)
                sif << 'n' << i << " pp n" << i + 1 << " 0." << i % 9 + 1 << '\n';
            p << 'n' << i << '\t' << PValue(i) << '\n';
        }
    }
    dir.Write("a.txt", "n0\tn0\n");
    // Generous for the measured peak (about half of it), small enough to
    // catch memory that grows faster than the network. AddressSanitizer
    // reserves far more address space than any limit allows.
#if defined(TARNVALE_SANITIZED)
    const std::string limit;
#else
    const std::string limit = "ulimit -v 2097152; ";  // KiB
#endif
    const RunResult r =
        RunShell(limit + "exec " +
                     Command(Tarnvale({"-d", "p.txt", "-a", "a.txt", "--seed", "5", "-k", "4", "-i",
                                       "2", "-n", "3", "-q", "0", "-r", "2", "net.sif", "out"})),
                 dir.path());
    ASSERT_EQ(r.status, 0) << r.out.substr(0, 2000) << r.err;
    const std::string nodes = std::to_string(kNodes + (star ? 1 : 0));
    EXPECT_NE(r.out.find("\nNumber_of_nodes in the graph = " + nodes + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nProgram finished\n"), std::string::npos);
    // No statistic, step or score comes out as nan or inf.
    for (const char* word : {"nan", "inf"}) EXPECT_EQ(r.out.find(word), std::string::npos) << word;
    EXPECT_TRUE(dir.Exists("outA"));
    EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(Scale, PathOfAMillionNodes) { ExpectAMillionNodesFinishWithinTwoGibibytes(false); }
TEST(Scale, StarOfAMillionLeaves) { ExpectAMillionNodesFinishWithinTwoGibibytes(true); }

}  // namespace
}  // namespace tarnvale::testing
