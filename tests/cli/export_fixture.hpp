#pragma once
// The small network that the export tests share: two reported groups, a node
// outside both, and edges inside, between and outside the groups.
//
//   A -0.9- B -0.25- C -0.5- D -0.3- E -0.125- F,   A -0.75- C
//
// Group 0 (s-score 4.5): E, F.   Group 1 (s-score 2.25): A, B, C.   D: none.

#include <string>
#include <vector>

#include "cli/cytoscape_export.hpp"
#include "network/graph.hpp"
#include "search/evaluate.hpp"

namespace tarnvale::testing {

struct ExportFixture {
    Graph graph;
    NodeMap<std::string> names;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeValues;
    std::vector<Group> groups;
    NodeId a, b, c, d, e, f;

    ExportFixture() {
        const std::vector<std::pair<std::string, double>> nodes{
            {"A", 3.09023}, {"B", 1.0}, {"C", -0.5}, {"D", -2.0}, {"E", 2.32635}, {"F", 0.0}};
        std::vector<NodeId> ids;
        for (const auto& [name, score] : nodes) {
            const NodeId n = graph.NewNode();
            names[n] = name;
            nodeScores[n] = score;
            ids.push_back(n);
        }
        a = ids[0], b = ids[1], c = ids[2], d = ids[3], e = ids[4], f = ids[5];
        Edge(a, b, 0.9f);
        Edge(b, c, 0.25f);
        Edge(c, d, 0.5f);
        Edge(d, e, 0.3f);
        Edge(e, f, 0.125f);
        Edge(a, c, 0.75f);
        graph.MakeUndirected();
        groups.push_back(Group{{e, f}, 4.5f});
        groups.push_back(Group{{a, b, c}, 2.25f});
    }
    void Edge(NodeId from, NodeId to, float value) { edgeValues[graph.NewEdge(from, to)] = value; }
    ExportInputs Inputs() const { return {graph, groups, names, nodeScores, edgeValues}; }
};

}  // namespace tarnvale::testing
