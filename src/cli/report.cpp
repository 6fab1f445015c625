#include "cli/report.hpp"

#include "search/evaluate.hpp"
#include "stats/normal.hpp"

namespace tarnvale {

std::size_t WriteReport(Graph& graph, const NodeMap<bool>& selection, const ScoreInputs& inputs,
                        const NodeMap<std::string>& names, std::ostream& file, std::ostream& out) {
    const Evaluation evaluation = Evaluate(graph, selection, inputs);
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
            // The upper-tail probability of the score: for a node scored from
            // one p-value this gives back that p-value (after clamping).
            const auto p = static_cast<float>(1.0 - NormCdf(score));
            file << names.at(n) << '\t' << score << '\t' << p << '\n';
        }
    }
    return ranked.size();
}

}  // namespace tarnvale
