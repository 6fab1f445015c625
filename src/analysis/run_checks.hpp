#pragma once
// What an invocation's reports are followed by when asked for: each run's
// ensemble and gene-set enrichment, the permutation chains of all runs with
// every ranked group's p-values, and the summary table. The repetitions
// (chains, ensemble searches) may be shared out over shards and gathered
// again by a merge, which then writes what one invocation would.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis_options.hpp"
#include "analysis/enrichment.hpp"
#include "analysis/permutation_test.hpp"
#include "analysis/shards.hpp"
#include "analysis/summary.hpp"
#include "base/progress.hpp"
#include "network/gene_sets.hpp"
#include "search/search_groups.hpp"

namespace tarnvale {

// The gene sets and how each node of the prepared network can be named in
// them.
struct EnrichmentInputs {
    const std::vector<GeneSet>& sets;
    NodeMap<std::vector<std::string>> keys;  // EnrichmentKeys of every node
    std::string fileName;
};

struct CheckSettings {
    AnalysisOptions analysis;
    int nmax = 5;
    // With --summary or --permutations, ranked groups of the first run that
    // owe most of their score to their edges are named.
    bool sayEdgeShare = false;
    std::string summaryName;                       // OUTBASE.summary.tsv, or empty
    const EnrichmentInputs* enrichment = nullptr;  // none without gene sets
    Sharding sharding;
    const NodeMap<std::string>* labels = nullptr;  // --labels; none without
};

// What the checks keep of a run that was made.
struct CheckedRun {
    std::string reportName;     // OUTBASE<letter>
    std::vector<Group> groups;  // best first, as reported
    // The edges inside each ranked group (the first nmax), in edge order.
    std::vector<std::vector<GroupEdge>> edges;
    std::vector<SummaryRow> rows;
    std::optional<UniverseSets> sets;     // the gene sets against the run's nodes
    std::vector<EnrichmentRow> enriched;  // of every ranked group
    NodeMap<std::uint32_t> ensemble;      // searches that put each node in a ranked group
};

// The enrichment rows of `group` named as its best terms: those with a
// q-value of at most 0.05 (and, with permutations, an empirical p of at most
// 0.05), best first, at most three. `rows` are ordered by group, then p.
std::vector<const EnrichmentRow*> BestTermRows(const std::vector<EnrichmentRow>& rows,
                                               std::size_t group);

class InvocationChecks {
public:
    // `names` are the nodes' names; tables meant to be read show labels
    // instead where settings.labels has one.
    InvocationChecks(const CheckSettings& settings, const NodeMap<std::string>& names,
                     ProgressBar& progress, std::ostream& out);

    // After run `run`'s report (`groups` best first, none for a shard): its
    // summary rows and enrichment, then the ensemble's searches, this
    // shard's share of them, or the shards' counts. `base` is the seed the
    // ensemble's seeds derive from. Writes BASE.stability.tsv unless this is
    // a shard; throws RunError when it cannot.
    void AfterRun(int run, std::uint32_t base, const std::string& reportName,
                  const PermutedRun& setup, std::vector<Group> groups);

    // After the last run: the permutation chains (this shard's share, or
    // those of the shards when merging), each run's p-value lines on `out`,
    // BASE.significance.tsv, BASE.enrichment.tsv and the summary. A shard
    // keeps what it computed for its shard file instead.
    void AfterRuns(ChainStart start, const ShardHeader& header);

    const std::vector<CheckedRun>& runs() const { return runs_; }
    // What a shard computed, once AfterRuns is done.
    const ShardContent& shard() const { return shard_; }
    // Reads the shards' files before the first run (merge only).
    void LoadShards(const ShardHeader& header, const std::string& outBase);

private:
    CheckSettings settings_;
    const NodeMap<std::string>& names_;
    NodeMap<std::string> display_;  // DisplayNames
    ProgressBar& progress_;
    std::ostream& out_;
    std::vector<CheckedRun> runs_;
    std::vector<ShardContent> shards_;  // read by a merge
    ShardContent shard_;                // computed by a shard
};

}  // namespace tarnvale
