#include "network/label_reader.hpp"

#include <unordered_map>

#include "network/input_text.hpp"
#include "network/named_interactions.hpp"
#include "network/tables.hpp"

namespace tarnvale {

bool IsStringInfoHeader(std::string_view line) {
    return line.starts_with("#string_protein_id\tpreferred_name");
}

std::int64_t ReadLabels(std::istream& in, const std::string& fileName, const Graph& graph,
                        const NodeMap<std::string>& names, NodeMap<std::string>& labels,
                        std::ostream& out) {
    std::unordered_map<std::string_view, NodeId> nodes;
    graph.ForEachNode([&](NodeId n) { nodes.emplace(names.at(n), n); });
    NodeMap<bool> given;  // labelled from this file

    LineReader lines(in);
    std::string_view line;
    SkipReporter skipped(fileName, out);
    RowCount unknown, again;
    bool stringInfo = false;
    std::int64_t labelled = 0;
    while (lines.Next(line)) {
        if (lines.number() == 1 && IsStringInfoHeader(line)) stringInfo = true;
        if (line.starts_with('#') || TrimView(line).empty()) continue;
        const std::size_t tab = line.find('\t');
        const std::string_view name = TrimView(line.substr(0, tab));
        const std::string_view rest =
            tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
        const std::string_view label = TrimView(rest.substr(0, rest.find('\t')));
        if (label.empty()) {
            skipped.Skip(lines.number(), "no label after the name and a tab");
            continue;
        }
        const auto found = nodes.find(name);
        if (found == nodes.end()) {
            unknown.Add(lines.number(), [&] {
                return std::string("'")
                    .append(Shown(name))
                    .append("' names no node of the network");
            });
            continue;
        }
        if (given[found->second]) {
            again.Add(lines.number(), [&] {
                return std::string("'").append(Shown(name)).append("' is labelled again");
            });
            continue;
        }
        given[found->second] = true;
        labels[found->second] = std::string(label);
        ++labelled;
    }
    skipped.Finish();
    PrintInLineOrder(
        fileName, {{&unknown, "not used"}, {&again, "not used (the first label of a node counts)"}},
        out);
    out << "NOTE: labels for " << labelled << " of the " << graph.NumberOfNodes() << " nodes from "
        << fileName << (stringInfo ? " (STRING protein.info, preferred names)" : "") << '\n';
    return labelled;
}

NodeMap<std::string> DisplayNames(const NodeMap<std::string>& names,
                                  const NodeMap<std::string>* labels) {
    NodeMap<std::string> display = names;
    if (labels == nullptr) return display;
    for (std::size_t n = 0; n < names.size(); ++n) {
        const auto id = static_cast<NodeId>(n);
        if (!labels->at(id).empty()) display[id] = labels->at(id);
    }
    return display;
}

}  // namespace tarnvale
