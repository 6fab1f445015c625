#include "cli/group_drawing.hpp"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <unordered_map>

#include "base/number_text.hpp"
#include "cli/dot_export.hpp"
#include "cli/layout.hpp"
#include "cli/report.hpp"

namespace tarnvale {
namespace {

constexpr double kRadius = 7;
constexpr double kFontSize = 11;
// A generous mean advance of a sans-serif character at kFontSize, so that
// estimated label boxes are rather too wide than too narrow.
constexpr double kCharWidth = 6.8;
constexpr std::size_t kLongestLabel = 32;  // code points drawn; the tooltip has the rest
// Height of a node's box: its circle above its label.
constexpr double kBoxHeight = 2 * kRadius + 4 + kFontSize + 2;
// The drawings do not depend on --seed: the same group is drawn alike.
constexpr std::uint32_t kLayoutSeed = 2026;
constexpr int kLegendSteps = 5;

std::string Fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

bool StartsCodePoint(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

std::size_t CodePoints(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), StartsCodePoint));
}

// The label as drawn: cut to kLongestLabel code points, the last an ellipsis.
std::string Shortened(const std::string& label) {
    if (CodePoints(label) <= kLongestLabel) return label;
    std::size_t kept = 0, end = 0;
    for (; end < label.size(); ++end)
        if (StartsCodePoint(label[end]) && ++kept == kLongestLabel) break;
    return label.substr(0, end) + "\xE2\x80\xA6";
}

double LabelWidth(const std::string& label) {
    return static_cast<double>(CodePoints(label)) * kCharWidth + 4;
}

}  // namespace

const std::string& DisplayName(const DrawingInputs& inputs, NodeId n) {
    if (inputs.labels != nullptr && !inputs.labels->at(n).empty()) return inputs.labels->at(n);
    return inputs.names.at(n);
}

std::string HtmlText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void WriteGroupSvg(std::ostream& out, const std::string& id, const std::string& caption,
                   const std::vector<NodeId>& nodes, const std::vector<GroupEdge>& edges,
                   const DrawingInputs& inputs) {
    std::unordered_map<NodeId, std::size_t> index;
    std::vector<std::string> labels;
    std::vector<LayoutBox> boxes;
    for (NodeId n : nodes) {
        index.emplace(n, labels.size());
        labels.push_back(Shortened(DisplayName(inputs, n)));
        boxes.push_back({std::max(LabelWidth(labels.back()), 2 * kRadius + 4), kBoxHeight});
    }
    std::vector<LayoutEdge> links;
    for (const GroupEdge& e : edges) {
        const auto a = index.find(e.source), b = index.find(e.target);
        if (a == index.end() || b == index.end() || a->second == b->second) continue;
        links.push_back({a->second, b->second});
    }
    const Layout layout = ForceLayout(boxes, links, kLayoutSeed);
    // The circle sits at the top of the node's box, the label below it.
    auto circleY = [&](std::size_t i) { return layout.positions[i].y - kBoxHeight / 2 + kRadius; };
    out << "<svg id=\"" << HtmlText(id) << "\" class=\"group\" width=\"" << Fixed(layout.width)
        << "\" height=\"" << Fixed(layout.height) << "\" viewBox=\"0 0 " << Fixed(layout.width)
        << ' ' << Fixed(layout.height) << "\" role=\"img\" aria-label=\"" << HtmlText(caption)
        << "\">\n<g class=\"edges\" stroke=\"#606060\" stroke-opacity=\"0.75\" "
           "stroke-linecap=\"round\">\n";
    for (const GroupEdge& e : edges) {
        const auto a = index.find(e.source), b = index.find(e.target);
        if (a == index.end() || b == index.end()) continue;
        const float value = inputs.edgeValues.get(e.edge);
        const LayoutPoint& p = layout.positions[a->second];
        const LayoutPoint& q = layout.positions[b->second];
        out << "<line x1=\"" << Fixed(p.x) << "\" y1=\"" << Fixed(circleY(a->second)) << "\" x2=\""
            << Fixed(q.x) << "\" y2=\"" << Fixed(circleY(b->second)) << "\" stroke-width=\""
            << Fixed(0.5 + 3.5 * std::clamp(value, 0.0f, 1.0f)) << "\"><title>"
            << HtmlText(DisplayName(inputs, e.source) + " \xE2\x80\x93 " +
                        DisplayName(inputs, e.target) + ": edge value " + NumberText(value))
            << "</title></line>\n";
    }
    out << "</g>\n<g class=\"nodes\">\n";
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const NodeId n = nodes[i];
        const double score = inputs.nodeScores.get(n);
        const std::string& display = DisplayName(inputs, n);
        std::string tooltip = display;
        if (display != inputs.names.at(n)) tooltip += " (" + inputs.names.at(n) + ")";
        tooltip +=
            ": node score " + NumberText(score) + ", p-value " + NumberText(NodePValue(score));
        const LayoutPoint& p = layout.positions[i];
        out << "<g class=\"node\"><title>" << HtmlText(tooltip) << "</title><circle cx=\""
            << Fixed(p.x) << "\" cy=\"" << Fixed(circleY(i)) << "\" r=\"" << Fixed(kRadius)
            << "\" fill=\"" << ScoreColour(score, inputs.limit)
            << "\" stroke=\"#444444\" stroke-width=\"0.8\"/><text x=\"" << Fixed(p.x) << "\" y=\""
            << Fixed(p.y + kBoxHeight / 2 - 3) << "\" text-anchor=\"middle\">"
            << HtmlText(labels[i]) << "</text></g>\n";
    }
    out << "</g>\n</svg>\n";
}

void WriteScaleLegend(std::ostream& out, double limit) {
    out << "<svg class=\"legend\" width=\"720\" height=\"62\" viewBox=\"0 0 720 62\" "
           "role=\"img\" aria-label=\"colour scale of node scores and widths of edge values\">\n"
        << "<text x=\"0\" y=\"13\">node score (z); red: small p-value</text>\n";
    for (int i = 0; i < kLegendSteps; ++i) {
        const double z = limit * (2.0 * i / (kLegendSteps - 1) - 1.0);
        const double x = 10 + 90 * i;
        out << "<circle cx=\"" << Fixed(x) << "\" cy=\"36\" r=\"8\" fill=\""
            << ScoreColour(z, limit) << "\" stroke=\"#444444\" stroke-width=\"0.8\"/><text x=\""
            << Fixed(x + 12) << "\" y=\"33\">" << NumberText(z, 3) << "</text><text x=\""
            << Fixed(x + 12) << "\" y=\"47\">p = " << NumberText(NodePValue(z), 2) << "</text>\n";
    }
    out << "<text x=\"480\" y=\"13\">edge value</text>\n";
    for (int i = 0; i < 3; ++i) {
        const double value = i / 2.0;
        const double x = 480 + 75 * i;
        out << "<line x1=\"" << Fixed(x) << "\" y1=\"36\" x2=\"" << Fixed(x + 40)
            << "\" y2=\"36\" stroke=\"#606060\" stroke-width=\"" << Fixed(0.5 + 3.5 * value)
            << "\"/><text x=\"" << Fixed(x) << "\" y=\"54\">" << NumberText(value) << "</text>\n";
    }
    out << "</svg>\n";
}

}  // namespace tarnvale
