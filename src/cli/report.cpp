#include "cli/report.hpp"

#include "search/evaluate.hpp"
#include "stats/normal.hpp"

namespace tarnvale {

float NodePValue(double nodeScore) {
    // For a node scored from one p-value this gives back that p-value (after
    // clamping).
    return static_cast<float>(1.0 - NormCdf(nodeScore));
}

std::vector<Group> WriteReport(Graph& graph, const NodeMap<bool>& selection,
                               const ScoreInputs& inputs, const NodeMap<std::string>& names,
                               std::ostream& file, std::ostream& out) {
    Evaluation evaluation = Evaluate(graph, selection, inputs);
    out << "Number of components = " << evaluation.components << '\n';
    const auto ranked = RankGroups(evaluation.groups);
    out << "Top.size()=" << ranked.size() << '\n';
    for (std::size_t g = 0; g < ranked.size(); ++g) {
        const Group& group = evaluation.groups[ranked[g]];
        for (std::ostream* stream : {&out, &file}) {
            *stream << "\nGroup No. " << g << ": size(" << group.nodes.size() << ")\n"
                    << "Group s-score = " << group.score << '\n';
        }
        for (NodeId n : group.nodes) {
            const double score = inputs.nodeScores.get(n);
            file << names.at(n) << '\t' << score << '\t' << NodePValue(score) << '\n';
        }
    }
    std::vector<Group> best;
    best.reserve(ranked.size());
    for (std::size_t index : ranked) best.push_back(std::move(evaluation.groups[index]));
    return best;
}

}  // namespace tarnvale
