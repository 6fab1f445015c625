#pragma once
// Node scores from the p-values file and edge scores from the edge values.

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "network/association_reader.hpp"
#include "network/graph.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

// Marks a node for which none of its identifiers has a p-value.
inline constexpr double kNoData = -10000.0;

// The two columns of the p-values file, in file order, and the position of
// each identifier's first occurrence.
struct PValueTable {
    std::vector<std::string> ids;
    FloatList values;
    std::unordered_map<std::string, std::size_t> first;
};

// Reads identifier / p-value pairs separated by any white space. A value
// that is not a number, or lies outside [0, 1], is skipped with a warning
// naming fileName and its line, and reading resumes at the next line. Exact
// 1 and 0 become 0.9999 and 0.0001; a positive value too small for a float
// becomes the smallest positive float. An identifier given again with a
// different value is named in a warning (the first value counts). A line
// holding a NUL byte is skipped with a warning. Lines end at LF, CR LF or a
// lone CR.
PValueTable ReadPValues(std::istream& in, const std::string& fileName, std::ostream& out);

// Gives every node of `nodes` the median of -NormInv(p) over the p-values of
// its association entries (first occurrence of each identifier), or kNoData.
void ScoreNodes(const std::vector<NodeId>& nodes, const NodeMap<AssociationList>& associations,
                const PValueTable& pvalues, NodeMap<double>& nodeScores);

// Gives every visible edge, in edge order, the score NormInv(value) after
// clamping an exact 0 or 1 of its value (written back) to 0.00001 or 0.99999.
// Returns the scores in edge order.
FloatList ScoreEdges(const Graph& graph, EdgeMap<float>& edgeValues, EdgeMap<float>& edgeScores);

}  // namespace tarnvale
