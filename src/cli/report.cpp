#include "cli/report.hpp"

#include "search/evaluate.hpp"
#include "stats/normal.hpp"

namespace tarnvale {

float NodePValue(double nodeScore) {
    // For a node scored from one p-value this gives back that p-value (after
    // clamping). Far in the upper tail 1 - NormCdf(z) cancels to nothing
    // (to 0 above z of about 8.3); there the tail is taken directly.
    const double upper = 1.0 - NormCdf(nodeScore);
    return static_cast<float>(upper < 1e-10 ? NormCdf(-nodeScore) : upper);
}

std::vector<Group> WriteReport(const SearchGraph& graph, const NodeMap<bool>& selection,
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
