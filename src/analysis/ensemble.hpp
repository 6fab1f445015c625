#pragma once
// How stable a run's groups are: the run's search is repeated with the real
// node scores and other seeds, and every node gets the fraction of
// repetitions that put it into one of their nmax best groups.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/permutation_test.hpp"
#include "analysis/shards.hpp"
#include "search/search_groups.hpp"

namespace tarnvale {

// Repetition k of a run's ensemble searches with seed
// PermutationSeed(base, run, kEnsembleIndex + k): far past every index a
// permutation uses, so the two never share a seed.
inline constexpr std::uint64_t kEnsembleIndex = std::uint64_t{1} << 40;

// For each node, in how many of the repetitions `share` (on setup.threads
// threads) it was in one of the first `nmax` ranked groups; a warning on
// `out` tells of threads that could not be started.
NodeMap<std::uint32_t> EnsembleCounts(const PermutedRun& setup, int nmax, Share share,
                                      std::uint32_t base, int run, ProgressBar& progress,
                                      std::ostream& out);

// The header "name<TAB>selected_in<TAB>repetitions<TAB>fraction", then one
// line per node of `graph` counted at least once, by fraction (highest
// first), then name.
void WriteStabilityTable(std::ostream& out, const SearchGraph& graph,
                         const NodeMap<std::string>& names, const NodeMap<std::string>* labels,
                         const NodeMap<std::uint32_t>& counts, int repetitions);

// What the counts of run `run`'s ensemble of `repetitions` searches tell:
// BASE.stability.tsv (atomically; throws RunError when it cannot be written)
// and one line on `out` counting the nodes of the run's ranked groups (the
// first nmax of `groups`) with a fraction of at least 0.5. Returns each
// node's fraction.
NodeMap<double> ReportStability(const SearchGraph& graph, const NodeMap<std::uint32_t>& counts,
                                const std::vector<Group>& groups, int nmax, int repetitions,
                                int run, const NodeMap<std::string>& names,
                                const NodeMap<std::string>* labels, const std::string& reportName,
                                std::ostream& out);

}  // namespace tarnvale
