#include "analysis/run_checks.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <utility>

#include "analysis/enrichment_table.hpp"
#include "analysis/ensemble.hpp"
#include "base/export_file.hpp"
#include "base/run_error.hpp"
#include "network/label_reader.hpp"

namespace tarnvale {
namespace {

// Database confidence is not evidence of activity: a ranked group that owes
// most of its score to its edges is named.
void WarnOfEdgeShare(const std::vector<SummaryRow>& rows, std::ostream& out) {
    std::string groups, shares;
    for (const SummaryRow& row : rows) {
        if (!row.rank || !row.ranked || !(row.score > 0) || !(row.edgeShare > 0.5)) continue;
        std::ostringstream share;
        share << row.edgeShare;
        groups += (groups.empty() ? "" : ", ") + std::to_string(*row.rank);
        shares += (shares.empty() ? "" : ", ") + share.str();
    }
    if (groups.empty()) return;
    out << "\nWarning: ranked group(s) " << groups << " of run " << rows.front().run
        << " owe most of their s-score to their edges (edge share " << shares
        << "); edge values such as database confidence say how sure an interaction is, not that "
           "it is active\n";
}

// Each thread keeps a search of its own: fewer threads need less memory.
RunError OutOfMemory(const std::string& what, int threads) {
    return RunError("\nError: out of memory in " + what + " on " + std::to_string(threads) +
                        " threads (--threads); every thread keeps a search of its own, so fewer "
                        "threads need less memory\n",
                    1);
}

// The sets named in the summary for a group, by their descriptions (their
// names when they have none), best first.
std::string BestTerms(const std::vector<EnrichmentRow>& rows, std::size_t group,
                      const std::vector<GeneSet>& sets) {
    std::string terms;
    for (const EnrichmentRow* row : BestTermRows(rows, group)) {
        const GeneSet& set = sets[row->set];
        terms +=
            (terms.empty() ? "" : "; ") + (set.description.empty() ? set.name : set.description);
    }
    return terms;
}

}  // namespace

std::vector<const EnrichmentRow*> BestTermRows(const std::vector<EnrichmentRow>& rows,
                                               std::size_t group) {
    std::vector<const EnrichmentRow*> best;
    for (const EnrichmentRow& row : rows) {
        if (row.group != group || row.logQ > std::log(0.05)) continue;
        if (row.empiricalP && *row.empiricalP > 0.05) continue;
        best.push_back(&row);
        if (best.size() == 3) break;
    }
    return best;
}

InvocationChecks::InvocationChecks(const CheckSettings& settings, const NodeMap<std::string>& names,
                                   ProgressBar& progress, std::ostream& out)
    : settings_(settings),
      names_(names),
      display_(DisplayNames(names, settings.labels)),
      progress_(progress),
      out_(out) {}

void InvocationChecks::LoadShards(const ShardHeader& header, const std::string& outBase) {
    for (int k = 1; k <= header.count; ++k) {
        const std::string name = ShardFileName(outBase, k, header.count);
        std::ifstream in(name);
        if (!in)
            throw RunError("\nError: the shard file " + name +
                               " is missing; every shard from 1 to " +
                               std::to_string(header.count) + " must have run\n",
                           1);
        shards_.push_back(ReadShard(in, name, k, header));
    }
}

void InvocationChecks::AfterRun(int run, std::uint32_t base, const std::string& reportName,
                                const PermutedRun& setup, std::vector<Group> groups) {
    const AnalysisOptions& analysis = settings_.analysis;
    const int nmax = settings_.nmax;
    CheckedRun& checked = runs_.emplace_back();
    checked.reportName = reportName;
    checked.groups = std::move(groups);
    const ScoreInputs inputs{setup.nodeScores, setup.edgeScores, setup.context};
    const bool shard = settings_.sharding.IsShard();
    if (!shard) {
        checked.edges = GroupEdges(setup.graph, checked.groups);
        checked.rows =
            RunRows(static_cast<char>('A' + run), checked.groups, checked.edges, inputs, nmax);
        for (SummaryRow& row : checked.rows) {
            if (!row.rank) continue;
            for (NodeId n : checked.groups[*row.rank].nodes)
                row.members += (row.members.empty() ? "" : ";") + display_.at(n);
        }
        if (settings_.sayEdgeShare) WarnOfEdgeShare(checked.rows, out_);
        checked.edges.resize(std::min(checked.edges.size(), static_cast<std::size_t>(nmax)));
    }
    if (settings_.enrichment != nullptr && !shard) {
        checked.sets = MatchGeneSets(settings_.enrichment->sets, setup.graph.Nodes(),
                                     settings_.enrichment->keys);
        PrintGeneSetMatching(out_, settings_.enrichment->fileName, *checked.sets);
        const std::size_t ranked = std::min(checked.groups.size(), static_cast<std::size_t>(nmax));
        for (std::size_t g = 0; g < ranked; ++g) {
            const auto rows = EnrichGroup(*checked.sets, g, checked.groups[g].nodes);
            checked.enriched.insert(checked.enriched.end(), rows.begin(), rows.end());
        }
    }
    if (analysis.ensemble <= 0) return;

    const auto repetitions = static_cast<std::uint64_t>(analysis.ensemble);
    if (settings_.sharding.merge) {
        checked.ensemble.assign(setup.graph.NumberOfNodeIds(), 0);
        for (const ShardContent& content : shards_)
            for (const auto& [node, count] : content.ensemble.at(static_cast<std::size_t>(run)))
                checked.ensemble[node] += count;
    } else {
        try {
            checked.ensemble = EnsembleCounts(setup, nmax, ShareOf(repetitions, settings_.sharding),
                                              base, run, progress_, out_);
        } catch (const std::bad_alloc&) {
            throw OutOfMemory("the ensemble (--ensemble " + std::to_string(analysis.ensemble) + ")",
                              analysis.threads);
        }
    }
    if (shard) return;
    const NodeMap<double> fractions =
        ReportStability(setup.graph, checked.ensemble, checked.groups, nmax, analysis.ensemble, run,
                        names_, settings_.labels, reportName, out_);
    for (SummaryRow& row : checked.rows) {
        if (!row.rank) continue;
        double sum = 0;
        for (NodeId n : checked.groups[*row.rank].nodes) sum += fractions.get(n);
        row.stability = sum / static_cast<double>(row.size);
    }
}

void InvocationChecks::AfterRuns(ChainStart start, const ShardHeader& header) {
    const AnalysisOptions& analysis = settings_.analysis;
    const auto permutations = static_cast<std::uint64_t>(std::max(analysis.permutations, 0));
    if (settings_.enrichment != nullptr) {
        // A chain's ranked groups are measured against its own run's nodes,
        // as the invocation's groups are; the first run's nodes are everyone's.
        const UniverseSets* first =
            runs_.empty() || !runs_.front().sets ? nullptr : &*runs_.front().sets;
        const EnrichmentInputs& inputs = *settings_.enrichment;
        start.enrich = [first, &inputs, &start](const SearchGraph& run,
                                                const std::vector<Group>& ranked) {
            std::vector<std::vector<NodeId>> groups;
            for (const Group& group : ranked) groups.push_back(group.nodes);
            if (first != nullptr && run.NumberOfNodes() == start.first.NumberOfNodes())
                return BestStatistics(*first, groups);
            return BestStatistics(MatchGeneSets(inputs.sets, run.Nodes(), inputs.keys), groups);
        };
    }
    std::vector<ChainResult> chains;
    if (settings_.sharding.merge) {
        chains.resize(permutations);
        for (ShardContent& content : shards_)
            for (auto& [k, chain] : content.chains) chains[k] = std::move(chain);
    } else if (permutations > 0 && !runs_.empty()) {
        const Share share = ShareOf(permutations, settings_.sharding);
        try {
            chains =
                PermutationChains(start, share.begin, share.end, analysis.threads, progress_, out_);
        } catch (const std::bad_alloc&) {
            throw OutOfMemory(
                "the permutation chains (--permutations " + std::to_string(permutations) + ")",
                analysis.threads);
        }
    }
    if (settings_.sharding.IsShard()) {
        shard_.shard = settings_.sharding.shard;
        shard_.header = header;
        const Share share = ShareOf(permutations, settings_.sharding);
        for (std::uint64_t k = share.begin; k < share.end && k - share.begin < chains.size(); ++k)
            shard_.chains.emplace_back(k, std::move(chains[k - share.begin]));
        for (const CheckedRun& run : runs_) {
            auto& counts = shard_.ensemble.emplace_back();
            for (std::size_t n = 0; n < run.ensemble.size(); ++n)
                if (run.ensemble.get(static_cast<NodeId>(n)) > 0)
                    counts.emplace_back(static_cast<NodeId>(n),
                                        run.ensemble.get(static_cast<NodeId>(n)));
        }
        return;
    }

    for (std::size_t r = 0; r < runs_.size(); ++r) {
        CheckedRun& run = runs_[r];
        const auto letter = static_cast<char>('A' + r);
        if (permutations > 0) {
            const std::vector<RankSignificance> ranks =
                Significance(run.groups, settings_.nmax, chains, static_cast<int>(r));
            PrintSignificance(out_, letter, analysis.permutations, ranks, start.null);
            WriteExportFile(run.reportName + ".significance.tsv", [&](std::ostream& file) {
                WriteSignificanceTable(file, analysis.permutations, ranks);
            });
            for (SummaryRow& row : run.rows) {
                row.null = NullName(start.null);
                if (row.rank && *row.rank < ranks.size()) {
                    row.pValue = ranks[*row.rank].pValue;
                    row.familywiseP = ranks[*row.rank].familywiseP;
                }
            }
        }
        if (settings_.enrichment == nullptr) continue;
        if (permutations > 0) {
            std::vector<std::vector<SetStatistic>> statistics;
            for (const ChainResult& chain : chains)
                statistics.push_back(r < chain.size() ? chain[r].enrichment
                                                      : std::vector<SetStatistic>{});
            const std::vector<double> empirical = EmpiricalPValues(run.enriched, statistics);
            for (std::size_t i = 0; i < run.enriched.size(); ++i)
                run.enriched[i].empiricalP = empirical[i];
        }
        WriteExportFile(run.reportName + ".enrichment.tsv", [&](std::ostream& file) {
            WriteEnrichmentTable(file, settings_.enrichment->sets, display_, run.enriched);
        });
        for (SummaryRow& row : run.rows)
            if (row.rank && row.ranked)
                row.bestTerms = BestTerms(run.enriched, *row.rank, settings_.enrichment->sets);
    }
    if (!settings_.summaryName.empty()) {
        std::vector<SummaryRow> rows;
        for (const CheckedRun& run : runs_)
            rows.insert(rows.end(), run.rows.begin(), run.rows.end());
        WriteExportFile(settings_.summaryName,
                        [&](std::ostream& file) { WriteSummaryTable(file, rows); });
    }
}

}  // namespace tarnvale
