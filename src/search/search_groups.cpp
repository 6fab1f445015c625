#include "search/search_groups.hpp"

#include <ostream>
#include <utility>

namespace tarnvale {

std::vector<Group> SearchGroups(const SearchGraph& graph, const ScoreInputs& inputs,
                                const AnnealOptions& anneal, std::uint32_t seed) {
    std::ostream silent(nullptr);  // the searches' own lines are not wanted
    NodeMap<bool> selection;
    Anneal(graph, inputs, selection, anneal, seed, silent);
    Evaluation evaluation = Evaluate(graph, selection, inputs);
    std::vector<Group> groups;
    for (std::size_t index : RankGroups(evaluation.groups))
        groups.push_back(std::move(evaluation.groups[index]));
    return groups;
}

}  // namespace tarnvale
