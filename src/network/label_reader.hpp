#pragma once
// Node labels for the output: a readable name (a gene symbol) to show beside
// each node's name, from a table of two columns or STRING's protein.info file.

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "network/graph.hpp"

namespace tarnvale {

// Whether a file's first line is the header of STRING's protein.info file.
bool IsStringInfoHeader(std::string_view line);

// Reads `in`: either STRING's protein.info (its header line, then the
// protein id, preferred name, size and annotation, tab-separated), whose
// preferred names become the labels, or lines "node name<TAB>label" (further
// fields ignored; a line starting with # is a comment). Gives every node of
// `graph` named in a line the label of the first line naming it. A line
// without a label is skipped with a warning naming fileName and the line;
// lines naming no node, and lines naming a node already labelled, are each
// counted in one warning. Prints a NOTE line with the number of nodes
// labelled. Returns that number.
std::int64_t ReadLabels(std::istream& in, const std::string& fileName, const Graph& graph,
                        const NodeMap<std::string>& names, NodeMap<std::string>& labels,
                        std::ostream& out);

// The name a person reads for each node: its label when `labels` is given
// and the label is not empty, its name otherwise.
NodeMap<std::string> DisplayNames(const NodeMap<std::string>& names,
                                  const NodeMap<std::string>* labels);

}  // namespace tarnvale
