#pragma once
// The association table: under which identifiers each node's p-values are
// listed.

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "network/graph.hpp"

namespace tarnvale {

using AssociationList = std::vector<std::string>;

// Reads the tab-delimited association file and appends to the association
// list of every node of nodeList the identifiers of the first row whose
// (trimmed) key equals the node's name, then sorts the list byte-wise. A node
// without a row gets, by missingMode, its own name ("name"), the text "NULL"
// ("null") or nothing. A later row of a key with other identifiers, and a
// line holding a NUL byte, are skipped with a warning on `out` naming
// fileName and the line. Throws RunError through get_column when no line is
// left to read. Returns 0.
int AssociationReader(std::istream& in, const NodeMap<std::string>& names,
                      NodeMap<AssociationList>& associations, const std::vector<NodeId>& nodeList,
                      const std::string& missingMode, const std::string& fileName,
                      std::ostream& out);

}  // namespace tarnvale
