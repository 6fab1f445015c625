#pragma once
// What follows each run's report when asked for: the permutation test, the
// ensemble, and how many threads share their searches.

#include <algorithm>
#include <thread>

namespace tarnvale {

// What the permutations search: the run's node scores shuffled among its
// nodes, or the run's graph rewired with its degrees kept and the edge scores
// shuffled onto the new edges.
enum class NullModel { Scores, Network };

// The name of a null model on the command line and in the summary table.
inline const char* NullName(NullModel null) {
    return null == NullModel::Network ? "network" : "scores";
}

struct AnalysisOptions {
    int permutations = 0;             // searches on shuffled scores after each run
    NullModel null = NullModel::Scores;
    int ensemble = 0;                 // searches with other seeds after each run
    // Permutation and ensemble searches side by side.
    int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

}  // namespace tarnvale
