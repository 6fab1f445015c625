#pragma once
// One table of every group of every run: OUTBASE.summary.tsv.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "search/evaluate.hpp"
#include "search/group_edges.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {

struct SummaryRow {
    char run = 'A';
    // The group's number in the run's report; none for the row of a run that
    // found no group.
    std::optional<std::size_t> rank;
    std::size_t size = 0;               // nodes
    std::size_t edges = 0;              // edges joining two of its nodes
    float score = 0;                    // its subnetwork score, as the report gives it
    bool ranked = false;                // one of the nmax groups the search compared
    std::optional<double> pValue;       // rank-wise, from the permutation chains
    std::string null;                   // the permutations' null, or empty
    std::optional<double> stability;    // mean stability of its nodes
    std::optional<double> familywiseP;  // against the chains' best groups
    double nodeEvidence = 0;            // Stouffer's z of its node scores
    double edgeShare = 0;               // the share of its score its edge part gives
    std::string bestTerms;              // its most enriched gene sets, "; "-separated
    std::string members;                // its nodes' display names, ';'-separated
};

// Where a group's subnetwork score comes from: its node scores as one
// standardized sum (Stouffer's z, the sum over the square root of the
// count), and the share of the score that the edge part contributes (0 when
// the run scores nodes only).
struct ScoreSource {
    double nodeEvidence = 0;
    double edgeShare = 0;
};
ScoreSource SourceOfScore(const std::vector<float>& nodeScores,
                          const std::vector<float>& edgeScores, const ScoreContext& context);

// The rows of one run's groups (best first; the first nmax ranked, `edges`
// the edges inside each), with size, edges, score and where it comes from;
// one row saying so when the run found no group.
std::vector<SummaryRow> RunRows(char run, const std::vector<Group>& groups,
                                const std::vector<std::vector<GroupEdge>>& edges,
                                const ScoreInputs& inputs, int nmax);

// The header "run rank size edges s_score ranked permutation_p null stability
// familywise_p node_evidence edge_share best_terms members" (tab-separated), then one
// line per row; a value not known is an empty field. The row of a run without groups
// has an empty rank and s-score, size and edges 0, and "none" as ranked.
void WriteSummaryTable(std::ostream& out, const std::vector<SummaryRow>& rows);

}  // namespace tarnvale
