// Replays the fuzz targets' invariant checks (fuzz/checks.hpp) on every
// input that ever broke one, kept in tests/data/fuzz_regressions/<target>/,
// and on the seed corpora in fuzz/corpus/<target>/, so that a fault the
// fuzzers once found stays fixed without a fuzzing build.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz/checks.hpp"

namespace tarnvale::fuzz {
namespace {
namespace fs = std::filesystem;

using Check = std::string (*)(std::string_view);

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `check` on every file of the target's regression and corpus
// directories; returns how many files it read.
int Replay(const std::string& target, Check check) {
    int count = 0;
    for (const fs::path& root : {fs::path(TARNVALE_FUZZ_REGRESSIONS), fs::path(TARNVALE_FUZZ_CORPUS)}) {
        const fs::path dir = root / target;
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            ++count;
            EXPECT_EQ(check(Slurp(entry.path())), "") << entry.path();
        }
    }
    return count;
}

TEST(FuzzRegressions, SifReader) { EXPECT_GT(Replay("sif_reader", CheckSif), 0); }
TEST(FuzzRegressions, AssociationReader) {
    EXPECT_GT(Replay("association_reader", CheckAssociation), 0);
}
TEST(FuzzRegressions, PValueReader) { EXPECT_GT(Replay("pvalue_reader", CheckPValues), 0); }
TEST(FuzzRegressions, Pipeline) { EXPECT_GT(Replay("pipeline", CheckPipeline), 0); }

}  // namespace
}  // namespace tarnvale::fuzz
