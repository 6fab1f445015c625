#include "cli/cytoscape_export.hpp"

#include "base/export_file.hpp"
#include "cli/report.hpp"
#include "search/group_edges.hpp"

namespace tarnvale {

void WriteGroupSif(std::ostream& out, const ExportInputs& inputs) {
    const auto edges = GroupEdges(inputs.graph, inputs.groups);
    for (std::size_t g = 0; g < edges.size(); ++g) {
        for (const GroupEdge& e : edges[g]) {
            out << inputs.names.at(e.source) << '\t' << g << '\t' << inputs.names.at(e.target)
                << '\t' << inputs.edgeValues.get(e.edge) << '\n';
        }
    }
}

void WriteNodeTable(std::ostream& out, const ExportInputs& inputs) {
    out << (inputs.labels != nullptr ? "name\tlabel\t" : "name\t")
        << "group\tgroup_score\tnode_score\tp_value\n";
    for (std::size_t g = 0; g < inputs.groups.size(); ++g) {
        const Group& group = inputs.groups[g];
        for (NodeId n : group.nodes) {
            const double score = inputs.nodeScores.get(n);
            out << inputs.names.at(n) << '\t';
            if (inputs.labels != nullptr) out << inputs.labels->at(n) << '\t';
            out << g << '\t' << group.score << '\t' << score << '\t' << NodePValue(score) << '\n';
        }
    }
}

void WriteCytoscapeFiles(const std::string& base, const ExportInputs& inputs) {
    WriteExportFile(base + ".sif", [&](std::ostream& out) { WriteGroupSif(out, inputs); });
    WriteExportFile(base + ".nodes.tsv", [&](std::ostream& out) { WriteNodeTable(out, inputs); });
}

}  // namespace tarnvale
