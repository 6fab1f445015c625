#include "cli/graphml_export.hpp"

#include <cmath>
#include <sstream>

#include "base/export_file.hpp"
#include "cli/report.hpp"
#include "search/group_edges.hpp"

namespace tarnvale {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `text` that
// XML 1.0 allows, or 0.
std::size_t XmlCharacter(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return lead >= 0x20 || lead == '\t' || lead == '\n' ? 1 : 0;
    std::size_t length = 0;
    std::uint32_t code = 0, least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    // Overlong forms, UTF-16 surrogates, the two non-characters XML
    // excludes, and beyond Unicode.
    if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF ||
        code > 0x10FFFF)
        return 0;
    return length;
}

// A typed value as GraphML (XML Schema) spells it.
std::string Number(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    std::ostringstream text;
    text << value;
    return text.str();
}

struct Key {
    std::string_view id, domain, name, type;
};

void Data(std::ostream& out, std::string_view key, const std::string& value) {
    out << "      <data key=\"" << key << "\">" << value << "</data>\n";
}

}  // namespace

std::string XmlText(std::string_view text) {
    std::string xml;
    xml.reserve(text.size());
    while (!text.empty()) {
        const char c = text.front();
        const std::size_t length = XmlCharacter(text);
        if (length == 0) {
            xml += kReplacement;
            text.remove_prefix(1);
            continue;
        }
        switch (c) {
            case '&':
                xml += "&amp;";
                break;
            case '<':
                xml += "&lt;";
                break;
            case '>':
                xml += "&gt;";
                break;
            case '"':
                xml += "&quot;";
                break;
            case '\'':
                xml += "&apos;";
                break;
            default:
                xml.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return xml;
}

void WriteGraphml(std::ostream& out, const ExportInputs& inputs, const GraphmlRun& run) {
    const bool labels = inputs.labels != nullptr;
    const bool stability = run.stability != nullptr;
    // Node and edge attributes of one name have keys of their own, since a
    // key for both ("all") is not read by every program.
    std::vector<Key> keys{{"name", "node", "name", "string"}};
    if (labels) keys.push_back({"label", "node", "label", "string"});
    keys.insert(keys.end(), {{"z_score", "node", "z_score", "double"},
                             {"p_value", "node", "p_value", "double"},
                             {"group", "node", "group", "string"},
                             {"group_rank", "node", "group_rank", "int"},
                             {"group_score", "node", "group_score", "double"},
                             {"ranked", "node", "ranked", "boolean"}});
    if (stability) keys.push_back({"stability", "node", "stability", "double"});
    keys.insert(keys.end(), {{"edge_value", "edge", "edge_value", "double"},
                             {"edge_group", "edge", "group", "string"},
                             {"edge_group_rank", "edge", "group_rank", "int"}});

    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<graphml xmlns=\"http://graphml.graphdrawing.org/xmlns\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:schemaLocation=\"http://graphml.graphdrawing.org/xmlns "
           "http://graphml.graphdrawing.org/xmlns/1.0/graphml.xsd\">\n";
    for (const Key& key : keys)
        out << "  <key id=\"" << key.id << "\" for=\"" << key.domain << "\" attr.name=\""
            << key.name << "\" attr.type=\"" << key.type << "\"/>\n";
    out << "  <graph id=\"" << XmlText(std::string(1, run.letter))
        << "\" edgedefault=\"undirected\">\n";

    const auto edges = GroupEdges(inputs.graph, inputs.groups);
    for (std::size_t g = 0; g < inputs.groups.size(); ++g) {
        const Group& group = inputs.groups[g];
        const std::string id = XmlText(run.letter + std::to_string(g));
        const std::string rank = std::to_string(g);
        const bool ranked = g < static_cast<std::size_t>(std::max(run.nmax, 0));
        for (NodeId n : group.nodes) {
            const double score = inputs.nodeScores.get(n);
            out << "    <node id=\"n" << n << "\">\n";
            Data(out, "name", XmlText(inputs.names.at(n)));
            if (labels && !inputs.labels->at(n).empty())
                Data(out, "label", XmlText(inputs.labels->at(n)));
            Data(out, "z_score", Number(score));
            Data(out, "p_value", Number(NodePValue(score)));
            Data(out, "group", id);
            Data(out, "group_rank", rank);
            Data(out, "group_score", Number(group.score));
            Data(out, "ranked", ranked ? "true" : "false");
            if (stability) Data(out, "stability", Number(run.stability->get(n)));
            out << "    </node>\n";
        }
        for (const GroupEdge& e : edges[g]) {
            out << "    <edge source=\"n" << e.source << "\" target=\"n" << e.target << "\">\n";
            Data(out, "edge_value", Number(inputs.edgeValues.get(e.edge)));
            Data(out, "edge_group", id);
            Data(out, "edge_group_rank", rank);
            out << "    </edge>\n";
        }
    }
    out << "  </graph>\n</graphml>\n";
}

void WriteGraphmlFile(const std::string& base, const ExportInputs& inputs, const GraphmlRun& run) {
    WriteExportFile(base + ".graphml", [&](std::ostream& out) { WriteGraphml(out, inputs, run); });
}

}  // namespace tarnvale
