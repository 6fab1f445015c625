#pragma once
// The reported groups as GraphML, the XML graph format that Cytoscape,
// Gephi, igraph and networkx read with every attribute typed.

#include <ostream>
#include <string>
#include <string_view>

#include "cli/cytoscape_export.hpp"

namespace tarnvale {

// What the GraphML file says about the run beyond the groups.
struct GraphmlRun {
    char letter = 'A';  // the run's letter
    int nmax = 5;       // groups ranked below this are the ones the search compared
    // Each node's stability (the fraction of ensemble searches that put it
    // into a ranked group); null when it is not known.
    const NodeMap<double>* stability = nullptr;
};

// Text as XML character data: markup characters as entity references, and
// what XML 1.0 cannot carry at all (bytes that are not UTF-8, control
// characters other than tab and line feed) as U+FFFD.
std::string XmlText(std::string_view text);

// Writes one undirected graph: every node of every group with its name,
// label (with labels), z-score and p-value as the report gives them, group
// ("A0": run letter and rank), group rank, group s-score, whether the group
// is ranked (rank below nmax) and, when known, its stability; every edge
// inside a group with its edge value, group and rank. Groups best first, the
// nodes of a group in the report's order, its edges in edge order.
void WriteGraphml(std::ostream& out, const ExportInputs& inputs, const GraphmlRun& run);

// Writes BASE.graphml atomically; throws RunError when it cannot be written.
void WriteGraphmlFile(const std::string& base, const ExportInputs& inputs, const GraphmlRun& run);

}  // namespace tarnvale
