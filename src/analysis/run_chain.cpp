#include "analysis/run_chain.hpp"

#include <algorithm>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include "base/run_error.hpp"
#include "stats/background_model.hpp"
#include "stats/random.hpp"

namespace tarnvale {
namespace {

bool AllEqual(const FloatList& v) {
    return std::adjacent_find(v.begin(), v.end(), std::not_equal_to<>()) == v.end();
}

}  // namespace

std::int64_t RunIterations(std::int64_t first, int r) {
    return first + static_cast<std::int64_t>(r) * (first / 5);
}

int RunChain(const SearchGraph& first, const NodeMap<double>& nodeScores,
             const EdgeMap<float>& edgeScores, const ScoreContext& edges,
             const ChainSettings& settings, ChainHooks& hooks, std::ostream& out) {
    ScoreContext context = edges;
    SearchGraph later;  // the network of every run after the first
    const SearchGraph* graph = &first;
    NodeMap<bool> selection;
    int r = 0;
    for (; r < settings.runs; ++r) {
        const char letter = static_cast<char>('A' + r);
        out << "\nSimulated annealing Algorithm:Iteration no " << r << "..\n";
        if (r > 0) context.nodeOnly = true;
        FloatList scores;
        scores.reserve(graph->NumberOfNodes());
        for (NodeId n : graph->Nodes()) scores.push_back(static_cast<float>(nodeScores.get(n)));
        if (scores.empty()) {
            out << "\nNOTE: no node is left for run " << letter << "; the runs end here\n";
            break;
        }
        if (AllEqual(scores)) {
            out << "\nNOTE: all " << scores.size() << " nodes left for run " << letter
                << " have the same node score; the runs end here\n";
            break;
        }
        const RunSeeds seeds = hooks.Seeds(r);
        Random rng(seeds.background);
        try {
            context.nodeModel = ModelFromBackground(CalculateBackground(
                scores, settings.kmax, settings.imax, rng, out, hooks.BackgroundBar(r)));
            hooks.EndBackground();
        } catch (const std::bad_alloc&) {
            hooks.EndBackground();
            throw RunError(
                "\nError: out of memory while building the background model (node "
                "background, run " +
                    std::string(1, letter) + ") from " + std::to_string(scores.size()) +
                    " scores with -k " + std::to_string(settings.kmax) + " and -i " +
                    std::to_string(settings.imax) + "; try a smaller imax\n",
                1);
        }
        if (!IsUsable(context.nodeModel)) {
            if (r == 0 && settings.firstModelMustBeUsable)
                throw RunError(
                    "\nError: the node background model is degenerate; try a larger imax\n", 1);
            out << "\nNOTE: the node background model of run " << letter
                << " is degenerate; the runs end here\n";
            break;
        }

        AnnealOptions anneal = settings.search;
        anneal.iterations = RunIterations(settings.search.iterations, r);
        const ScoreInputs inputs{nodeScores, edgeScores, context};
        hooks.BeginSearch(r, anneal, static_cast<std::uint64_t>(anneal.iterations) + scores.size());
        Anneal(*graph, inputs, selection, anneal, seeds.search, out);
        hooks.EndSearch();
        anneal.progress = nullptr;
        hooks.RunDone({r, *graph, inputs, anneal, selection});

        // The next run searches this run's selection only.
        if (r + 1 < settings.runs) {
            SearchGraph next = graph->Induced(selection, false);
            later = std::move(next);
            graph = &later;
        }
    }
    return r;
}

std::vector<Group> RankedGroups(const RunMade& run) {
    Evaluation evaluation = Evaluate(run.graph, run.selection, run.inputs);
    std::vector<Group> groups;
    groups.reserve(evaluation.groups.size());
    for (std::size_t index : RankGroups(evaluation.groups))
        groups.push_back(std::move(evaluation.groups[index]));
    return groups;
}

}  // namespace tarnvale
