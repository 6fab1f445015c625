#pragma once
// The table of a run's gene-set enrichment: OUTBASE<letter>.enrichment.tsv.

#include <ostream>
#include <string>
#include <vector>

#include "analysis/enrichment.hpp"
#include "network/gene_sets.hpp"
#include "network/graph.hpp"

namespace tarnvale {

// A probability given by its natural log, as the stream's default format
// (6 significant digits) prints the probability itself, also below the
// smallest double: -1000 gives "5.07596e-435", never 0.
std::string ProbabilityText(double logValue);

// The header "group set description overlap group_size set_size universe
// p_hypergeometric q_bh p_empirical members" (tab-separated), then one line
// per row, by group, then p, then set order. `set` and `description` come
// from sets[row.set]; p_empirical is empty when a row has none; members are
// the display names of the row's nodes, in group order, joined by ';'
// (names of metabolites hold commas, seldom semicolons).
void WriteEnrichmentTable(std::ostream& out, const std::vector<GeneSet>& sets,
                          const NodeMap<std::string>& displayNames,
                          const std::vector<EnrichmentRow>& rows);

}  // namespace tarnvale
