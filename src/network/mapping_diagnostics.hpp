#pragma once
// A warning for input whose node names and p-value identifiers hardly meet:
// the most common reason for a run without results is a p-value file keyed
// by one kind of identifier (gene symbols) and a network by another
// (protein ids).

#include <cstddef>
#include <string>
#include <vector>

#include "network/association_reader.hpp"
#include "network/graph.hpp"
#include "network/pvalue_reader.hpp"

namespace tarnvale {

// How many identifiers of the p-value file no node uses are named.
inline constexpr std::size_t kUnmatchedExamples = 5;

// When fewer than a tenth of `nodes` nodes found a p-value (`withData` of
// them), the warning line (no line end): how many identifiers the p-value
// file holds, how many of them no association list of `scored` uses, the
// first few of those in file order, and the hint that names and identifiers
// may be of different kinds. Empty otherwise.
std::string MappingWarning(std::size_t nodes, std::size_t withData, const PValueTable& pvalues,
                           const std::vector<NodeId>& scored,
                           const NodeMap<AssociationList>& associations);

}  // namespace tarnvale
