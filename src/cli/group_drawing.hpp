#pragma once
// A group drawn as inline SVG for the report page: nodes filled by node
// score on the diverging scale of the Graphviz drawing, labelled with their
// display names, edges as wide as their values, laid out by ForceLayout.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "network/graph.hpp"
#include "search/group_edges.hpp"

namespace tarnvale {

// What every drawing of a page reads.
struct DrawingInputs {
    const NodeMap<std::string>& names;
    const NodeMap<std::string>* labels;  // display names where not empty; may be null
    const NodeMap<double>& nodeScores;
    const EdgeMap<float>& edgeValues;
    double limit = 1;  // half-width of the colour scale (ScaleLimit), above 0
};

// The node's label when it has one that is not empty, else its name.
const std::string& DisplayName(const DrawingInputs& inputs, NodeId n);

// `text` with &, <, >, " and ' written as character references, fit for
// HTML text and attribute values.
std::string HtmlText(std::string_view text);

// Writes <svg id="ID"> drawing the group of `nodes` (report order) and the
// edges inside it; `caption` is its accessible name.
void WriteGroupSvg(std::ostream& out, const std::string& id, const std::string& caption,
                   const std::vector<NodeId>& nodes, const std::vector<GroupEdge>& edges,
                   const DrawingInputs& inputs);

// Writes an <svg> legend: five fills from -limit to +limit with their node
// scores and p-values, and three edge widths.
void WriteScaleLegend(std::ostream& out, double limit);

}  // namespace tarnvale
