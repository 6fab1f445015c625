// Replays the fuzz targets' invariant checks (fuzz/checks.hpp) on every
// input that ever broke one, kept in tests/data/fuzz_regressions/<target>/,
// and on the seed corpora in fuzz/corpus/<target>/, so that a fault the
// fuzzers once found stays fixed without a fuzzing build.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz/checks.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::fuzz {
namespace {
namespace fs = std::filesystem;

TEST(FuzzRegressions, EveryKeptInputPassesItsTargetsChecks) {
    using Check = std::string (*)(std::string_view);
    for (const auto& [target, check] :
         std::vector<std::pair<std::string, Check>>{{"sif_reader", CheckSif},
                                                    {"association_reader", CheckAssociation},
                                                    {"pvalue_reader", CheckPValues},
                                                    {"pipeline", CheckPipeline}}) {
        int count = 0;
        for (const fs::path root : {TARNVALE_FUZZ_REGRESSIONS, TARNVALE_FUZZ_CORPUS}) {
            if (!fs::is_directory(root / target)) continue;
            for (const auto& entry : fs::directory_iterator(root / target)) {
                if (!entry.is_regular_file()) continue;
                EXPECT_EQ(check(testing::ReadFile(entry.path())), "") << entry.path();
                ++count;
            }
        }
        EXPECT_GT(count, 0) << target;
    }
}

}  // namespace
}  // namespace tarnvale::fuzz
