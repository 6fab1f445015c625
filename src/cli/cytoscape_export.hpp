#pragma once
// The reported groups as two files that Cytoscape imports: the groups' edges
// as a network and the groups' nodes as a node table to style by score.

#include <ostream>
#include <string>
#include <vector>

#include "network/graph.hpp"
#include "search/evaluate.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {

// What both files read, owned by the driver.
struct ExportInputs {
    const SearchGraph& graph;          // the run's network
    const std::vector<Group>& groups;  // best first, as reported
    const NodeMap<std::string>& names;
    const NodeMap<double>& nodeScores;
    const EdgeMap<float>& edgeValues;
    // Each node's label (--labels), "" for none; null when no labels were
    // asked for, which leaves every file as it is without them.
    const NodeMap<std::string>* labels = nullptr;
};

// One line per edge inside a group, groups best first and edges in edge
// order: "source<TAB>g<TAB>target<TAB>edge value", the group number g taking
// the place of the interaction type. The program reads the file back as a
// network of its own.
void WriteGroupSif(std::ostream& out, const ExportInputs& inputs);

// The header "name<TAB>group<TAB>group_score<TAB>node_score<TAB>p_value"
// ("name<TAB>label<TAB>group..." with labels), then one line per node of
// every group, in the report's order and with the report's numbers.
void WriteNodeTable(std::ostream& out, const ExportInputs& inputs);

// Writes BASE.sif and BASE.nodes.tsv, each atomically; throws RunError when
// one cannot be written.
void WriteCytoscapeFiles(const std::string& base, const ExportInputs& inputs);

}  // namespace tarnvale
