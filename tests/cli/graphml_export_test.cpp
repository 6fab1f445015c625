// The GraphML export: text that any XML reader accepts, and the attributes
// that depend on the run (ranked groups, labels, stability). The file as a
// whole is read back by networkx end to end.

#include "cli/graphml_export.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tarnvale {
namespace {

TEST(GraphmlExport, TextIsEscapedAndAlwaysValidXml) {
    const std::string replacement = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"a&b<c>\"d'e", "a&amp;b&lt;c&gt;&quot;d&apos;e"},
        {"M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\xA7\xAC",
         "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\xA7\xAC"},
        {"tab\tand\nline", "tab\tand\nline"},
        {"M\xFCller", "M" + replacement + "ller"},  // Latin-1
        {"a\x01"
         "b\rc",
         "a" + replacement + "b" + replacement + "c"},              // control bytes
        {"\xC0\xAF", replacement + replacement},                    // overlong '/'
        {"\xED\xA0\x80", replacement + replacement + replacement},  // a UTF-16 surrogate
        {"\xEF\xBF\xBE", replacement + replacement + replacement},  // U+FFFE
        {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},
        {"cut \xE2\x82", "cut " + replacement + replacement},
    };
    for (const auto& [text, xml] : cases) EXPECT_EQ(XmlText(text), xml) << text;
}

// A B C in group 0, D E in group 1; edges A-B, B-C, A-C, D-E and C-D between the groups.
TEST(GraphmlExport, RankedGroupsLabelsAndStabilityWhenKnown) {
    Graph graph;
    NodeMap<std::string> names, labels;
    NodeMap<double> scores, stability;
    EdgeMap<float> values;
    for (const char* name : {"A", "B", "C", "D", "E"}) {
        const NodeId n = graph.NewNode();
        names[n] = name;
        scores[n] = 1.5 - n;
        stability[n] = 0.25 * n;
    }
    labels[0] = "a<1>";
    for (const auto& [s, t] : {std::pair{0, 1}, {1, 2}, {0, 2}, {3, 4}, {2, 3}})
        values[graph.NewEdge(s, t)] = 0.5f;
    graph.MakeUndirected();
    const std::vector<Group> groups{Group{{0, 1, 2}, 3.5f}, Group{{3, 4}, 1.25f}};
    const SearchGraph search(graph, nullptr);
    const ExportInputs inputs{search, groups, names, scores, values};

    std::ostringstream plain;
    WriteGraphml(plain, inputs, {'B', 1, nullptr});
    const std::string text = plain.str();
    const auto count = [](const std::string& in, const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = in.find(part); at != std::string::npos; at = in.find(part, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(text, "<node "), 5u);
    EXPECT_EQ(count(text, "<edge "), 4u);  // not C-D
    EXPECT_EQ(count(text, "<data key=\"ranked\">true</data>"), 3u);
    EXPECT_EQ(count(text, "<data key=\"ranked\">false</data>"), 2u);
    EXPECT_EQ(count(text, "<data key=\"edge_group\">B1</data>"), 1u);
    EXPECT_EQ(text.find("label"), std::string::npos);
    EXPECT_EQ(text.find("stability"), std::string::npos);
    EXPECT_NE(text.find("<data key=\"p_value\">0.0668072</data>"), std::string::npos);  // A

    ExportInputs labelled = inputs;
    labelled.labels = &labels;
    std::ostringstream full;
    WriteGraphml(full, labelled, {'B', 2, &stability});
    EXPECT_NE(full.str().find("  <key id=\"label\" for=\"node\" attr.name=\"label\" "
                              "attr.type=\"string\"/>\n"),
              std::string::npos);
    EXPECT_EQ(count(full.str(), "<data key=\"label\">"), 1u);  // B to E have none
    EXPECT_NE(full.str().find("<data key=\"label\">a&lt;1&gt;</data>"), std::string::npos);
    EXPECT_EQ(count(full.str(), "<data key=\"ranked\">true</data>"), 5u);
    EXPECT_NE(full.str().find("<data key=\"stability\">0.75</data>"), std::string::npos);
    EXPECT_EQ(count(full.str(), "<data key=\"stability\">"), 5u);
}

}  // namespace
}  // namespace tarnvale
