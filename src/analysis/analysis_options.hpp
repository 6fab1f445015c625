#pragma once
// What follows each run's report when asked for: the permutation test, the
// ensemble, and how many threads share their searches.

#include <algorithm>
#include <thread>

namespace tarnvale {

// What a permutation chain shuffles: the node scores among all nodes of the
// prepared network, or only among nodes of similar degree.
enum class NullModel { Scores, Degree };

// The name of a null model on the command line and in the summary table.
inline const char* NullName(NullModel null) {
    return null == NullModel::Degree ? "degree" : "scores";
}

struct AnalysisOptions {
    int permutations = 0;  // permutation chains: every run again on shuffled scores
    NullModel null = NullModel::Scores;
    int ensemble = 0;  // searches with other seeds after each run
    // Permutation and ensemble searches side by side.
    int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

}  // namespace tarnvale
