#pragma once
// The result report of one annealing run: the selected nodes' groups, ranked
// by subnetwork score, on standard output and in the run's file.

#include <ostream>
#include <string>
#include <vector>

#include "network/graph.hpp"
#include "search/evaluate.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {

// Evaluates the selection, prints "Number of components = ", "Top.size()="
// and each group's two header lines to `out`, and writes every group, best
// first, to `file`: an empty line, "Group No. g: size(k)", "Group s-score =
// s", then one "name<TAB>node score<TAB>p-value" line per node. Returns the
// groups, best first.
std::vector<Group> WriteReport(const SearchGraph& graph, const NodeMap<bool>& selection,
                               const ScoreInputs& inputs, const NodeMap<std::string>& names,
                               std::ostream& file, std::ostream& out);

// The p-value a node score stands for, as the report lists it: the upper
// tail 1 - Phi(score) in double, narrowed to float; where that falls below
// 1e-10 (and would soon cancel to 0), Phi(-score) instead.
float NodePValue(double nodeScore);

}  // namespace tarnvale
