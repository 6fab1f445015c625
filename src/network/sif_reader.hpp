#pragma once
// Reads an interaction file (SIF: source, type, target, edge value per line)
// into the network graph.

#include <istream>
#include <ostream>
#include <string>

#include "network/edge_types.hpp"
#include "network/graph.hpp"

namespace tarnvale {

// Everything the reader fills, owned by the caller.
struct SifMaps {
    NodeMap<std::string>& names;  // node -> name, byte for byte
    EdgeTypes& types;             // edge -> interaction type
    EdgeMap<float>& values;       // edge -> edge value
};

// Reads `in` line by line: one node per distinct name (first appearance,
// source before target), one edge per interaction line (unless
// allowDuplicates is false and the two nodes are already joined). Prints
// "NOTE:SifReader:Duplicate edges allowed" (when allowed), the "Reading
// interaction i" progress lines and, without a line end, the text after the
// fourth field of each line. A non-blank line with fewer than four fields,
// an edge value that is not a finite number in [0, 1] or a NUL byte is
// skipped with a warning naming fileName and the line. Lines end at LF, CR LF or a lone CR.
// Returns 0.
int SifReader(std::istream& in, const std::string& fileName, Graph& graph, SifMaps maps,
              bool allowDuplicates, std::ostream& out);

}  // namespace tarnvale
