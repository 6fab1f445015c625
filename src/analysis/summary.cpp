#include "analysis/summary.hpp"

#include <cmath>

#include "search/group_edges.hpp"
#include "search/subnetwork_score.hpp"

namespace tarnvale {

ScoreSource SourceOfScore(const std::vector<float>& nodeScores,
                          const std::vector<float>& edgeScores, const ScoreContext& context) {
    ScoreSource source;
    double sum = 0;
    for (float z : nodeScores) sum += static_cast<double>(z);
    if (!nodeScores.empty())
        source.nodeEvidence = sum / std::sqrt(static_cast<double>(nodeScores.size()));
    if (context.nodeOnly) return source;
    const ScoreParts parts = SubnetworkScoreParts(nodeScores, edgeScores, context);
    const double total = static_cast<double>(parts.node) + static_cast<double>(parts.edge);
    if (total != 0) source.edgeShare = static_cast<double>(parts.edge) / total;
    return source;
}

std::vector<SummaryRow> RunRows(char run, const std::vector<Group>& groups,
                                const std::vector<std::vector<GroupEdge>>& edges,
                                const ScoreInputs& inputs, int nmax) {
    std::vector<SummaryRow> rows;
    if (groups.empty()) {
        SummaryRow row;
        row.run = run;
        rows.push_back(row);
        return rows;
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        SummaryRow row;
        row.run = run;
        row.rank = g;
        row.size = groups[g].nodes.size();
        row.edges = edges[g].size();
        row.score = groups[g].score;
        row.ranked = g < static_cast<std::size_t>(nmax);
        std::vector<float> nodeScores, edgeScores;
        for (NodeId n : groups[g].nodes)
            nodeScores.push_back(static_cast<float>(inputs.nodeScores.get(n)));
        for (const GroupEdge& e : edges[g]) edgeScores.push_back(inputs.edgeScores.get(e.edge));
        const ScoreSource source = SourceOfScore(nodeScores, edgeScores, inputs.context);
        row.nodeEvidence = source.nodeEvidence;
        row.edgeShare = source.edgeShare;
        rows.push_back(row);
    }
    return rows;
}

void WriteSummaryTable(std::ostream& out, const std::vector<SummaryRow>& rows) {
    out << "run\trank\tsize\tedges\ts_score\tranked\tpermutation_p\tnull\tstability\tfamilywise_"
           "p\tnode_evidence\tedge_share\tbest_terms\tmembers\n";
    for (const SummaryRow& row : rows) {
        out << row.run << '\t';
        if (!row.rank) {
            out << "\t0\t0\t\tnone\t\t" << row.null << "\t\t\t\t\t\t\n";
            continue;
        }
        out << *row.rank << '\t' << row.size << '\t' << row.edges << '\t' << row.score << '\t'
            << (row.ranked ? "yes" : "no") << '\t';
        if (row.pValue) out << *row.pValue;
        out << '\t' << row.null << '\t';
        if (row.stability) out << *row.stability;
        out << '\t';
        if (row.familywiseP) out << *row.familywiseP;
        out << '\t' << row.nodeEvidence << '\t' << row.edgeShare << '\t' << row.bestTerms << '\t'
            << row.members << '\n';
    }
}

}  // namespace tarnvale
