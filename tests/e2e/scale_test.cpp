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
#include <cstdio>
#include <fstream>
#include <string>

#include "e2e/child_process.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

constexpr int kNodes = 1'000'000;
// Generous for the measured peak (about half of it), small enough to catch
// memory that grows faster than the network.
constexpr rlim_t kMemoryLimit = rlim_t{2} << 30;
// AddressSanitizer reserves far more address space than any limit allows.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimitMemory = false;
#else
constexpr bool kLimitMemory = true;
#endif

// A p-value in (0, 1) that varies with i, with 6 significant digits.
std::string PValue(int i) {
    char text[32];
    const auto spread = static_cast<double>((std::int64_t{i} * 7919) % 9973);
    std::snprintf(text, sizeof text, "%.6g", (spread + 1) / 9974.0);
    return text;
}

class Scale : public ::testing::Test {
protected:
    RunResult Run() {
        ChildOptions options;
        if (kLimitMemory) options.memoryLimit = kMemoryLimit;
        return RunChild(Tarnvale({"-d", "p.txt", "-a", "a.txt", "--seed", "5", "-k", "4", "-i", "2",
                                  "-n", "3", "-q", "0", "-r", "2", "net.sif", "out"}),
                        dir_.path(), options);
    }
    void ExpectFinished(const RunResult& r, std::size_t nodes) {
        ASSERT_EQ(r.status, 0) << r.out.substr(0, 2000) << r.err;
        EXPECT_NE(r.out.find("\nNumber_of_nodes in the graph = " + std::to_string(nodes) + "\n"),
                  std::string::npos);
        EXPECT_NE(r.out.find("\nProgram finished\n"), std::string::npos);
        if (const auto line = NonFiniteLine(r.out)) ADD_FAILURE() << "not finite: " << *line;
        EXPECT_TRUE(dir_.Exists("outA"));
        EXPECT_EQ(TemporaryFiles(dir_.path()), std::vector<std::string>{});
    }

    ScratchDir dir_;
};

TEST_F(Scale, PathOfAMillionNodes) {
    {
        std::ofstream sif(dir_.path() / "net.sif"), p(dir_.path() / "p.txt");
        for (int i = 0; i < kNodes; ++i) {
            if (i + 1 < kNodes) sif << 'n' << i << " pp n" << i + 1 << " 0." << i % 9 + 1 << '\n';
            p << 'n' << i << '\t' << PValue(i) << '\n';
        }
    }
    dir_.Write("a.txt", "n0\tn0\n");
    ExpectFinished(Run(), kNodes);
}

TEST_F(Scale, StarOfAMillionLeaves) {
    {
        std::ofstream sif(dir_.path() / "net.sif"), p(dir_.path() / "p.txt");
        p << "hub\t0.001\n";
        for (int i = 0; i < kNodes; ++i) {
            sif << "hub pp l" << i << " 0." << i % 9 + 1 << '\n';
            p << 'l' << i << '\t' << PValue(i) << '\n';
        }
    }
    dir_.Write("a.txt", "hub\thub\n");
    ExpectFinished(Run(), kNodes + 1);
}

}  // namespace
}  // namespace tarnvale::testing
