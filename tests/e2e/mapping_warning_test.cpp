// The warning the real binary gives when p-value identifiers hardly meet the
// network's nodes, and its silence when they do.

#include <gtest/gtest.h>

#include <string>

#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

constexpr const char* kSeed = "5";

// A ring of 24 proteins P00..P23.
std::string Ring() {
    std::string sif;
    for (int i = 0; i < 24; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "P%02d pp P%02d 0.%d\n", i, (i + 1) % 24, 1 + i % 9);
        sif += line;
    }
    return sif;
}

RunResult RunOnRing(const ScratchDir& dir, const std::string& pvalues,
                    const std::string& association) {
    return RunTarnvale({"-d", dir.Write("p.txt", pvalues), "-a", dir.Write("a.txt", association),
                        "--seed", kSeed, "-k", "6", "-i", "50", "-n", "50", "-r", "1",
                        dir.Write("net.sif", Ring()), "out"},
                       dir.path());
}

TEST(MappingWarning, GeneSymbolsAgainstProteinIdsAreNamed) {
    ScratchDir dir;
    // Two proteins are reached through the association file; the p-value
    // file is keyed by gene symbols, most of which match nothing.
    const RunResult r = RunOnRing(dir,
                            "TP53\t0.001\nBRCA1\t0.01\nEGFR\t0.02\nMYC\t0.5\nKRAS\t0.03\n"
                            "PTEN\t0.04\nAKT1\t0.2\n",
                            "P00\tTP53\nP01\tEGFR\n");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nNumber of nodes without data = 22\n"
                         "Warning: only 2 of 24 nodes found a p-value; the p-value file holds 7 "
                         "identifiers, of which 5 match no node (BRCA1, MYC, KRAS, PTEN, AKT1); "
                         "check that node names (or the association file) and p-value "
                         "identifiers are of the same kind, e.g. gene symbols against protein "
                         "ids\n\n"),
              std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace tarnvale::testing
