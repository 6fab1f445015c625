#include "search/annealing.hpp"

#include <algorithm>
#include <cmath>

#include "search/acceptance.hpp"
#include "search/evaluate.hpp"
#include "search/heuristics.hpp"
#include "search/random.hpp"

namespace tarnvale {

namespace {

constexpr float kNoScore = -10000.0f;

// Scores the state after a move. This is the search's one call into the
// evaluation: it works from scratch here, and an incremental evaluator that
// replaces it must give the same ranked state.
RankedState EvaluateAfterMove(Graph& graph, const NodeMap<bool>& selection,
                              const ScoreInputs& inputs, int nmax) {
    return RankState(Evaluate(graph, selection, inputs), nmax);
}

// Brings the two ranked lists to equal length before they are compared. The
// first comparison of a run is against a list of absent scores, so any state
// with a group beats the start; later the shorter list is padded with 0.
void Align(std::vector<float>& proposal, std::vector<float>& current, bool firstStep) {
    if (firstStep) {
        current.assign(proposal.size(), kNoScore);
        return;
    }
    const std::size_t length = std::max(proposal.size(), current.size());
    proposal.resize(length, 0.0f);
    current.resize(length, 0.0f);
}

}  // namespace

std::vector<NodeId> Move(const Graph& graph, NodeMap<bool>& selection, NodeId node,
                         const std::vector<NodeId>& bestGroup, int hub) {
    std::vector<NodeId> toggled{node};
    selection[node] = !selection.get(node);
    if (bestGroup.empty() || !selection.get(node) || graph.Degree(node) <= hub) return toggled;
    // A newly selected hub would join most of its neighbourhood into one
    // group; its selected neighbours are cut loose unless they already belong
    // to the best group.
    graph.ForEachAdjacent(node, [&](EdgeId, NodeId next) {
        if (!selection.get(next)) return false;
        if (std::find(bestGroup.begin(), bestGroup.end(), next) == bestGroup.end()) {
            selection[next] = false;
            toggled.push_back(next);
        }
        return true;
    });
    return toggled;
}

std::uint64_t StepIndex(std::int32_t drawn, float T, std::uint64_t& quenchIndex, std::uint64_t n) {
    if (T != 0) return static_cast<std::uint64_t>(drawn);
    return quenchIndex++ % n;
}

void Undo(NodeMap<bool>& selection, const std::vector<NodeId>& toggled) {
    for (NodeId n : toggled) selection[n] = !selection.get(n);
}

AnnealResult AnnealRun(Graph& graph, const ScoreInputs& inputs, NodeMap<bool>& selection,
                       const AnnealOptions& options, std::uint32_t seed, std::ostream& out) {
    Random moveRng(seed);
    Random acceptRng(seed);
    const std::uint64_t N = options.iterations;
    const float r = std::exp(std::log(options.tEnd / options.tStart) / static_cast<float>(N));
    out << "\nr= " << r << '\n';

    graph.RestoreGraph();
    graph.MakeUndirected();
    const std::vector<NodeId> nodes = graph.Nodes();
    const std::uint64_t n = nodes.size();

    Initialize(options.heuristic, graph, selection, inputs.nodeScores, moveRng, out);
    out << "initialization: done!\n";
    std::uint64_t quenchIndex = 0;
    std::vector<NodeId> bestGroup;
    out << "Start SA\n";

    AnnealResult result;
    if (n < 2) {
        // No two nodes, no group: nothing to search.
        for (NodeId node : nodes) selection[node] = false;
        return result;
    }

    const std::uint64_t total = N + n;
    const auto lastIndex = static_cast<std::int32_t>(n - 1);
    std::vector<float> current;
    bool firstStep = true;
    bool requench = false;
    float T = options.tStart;
    std::uint64_t i = 0;
    while (i < total) {
        if (total - i <= n) {
            if (options.quenching == 0) break;
            T = 0;
        }
        // The index is drawn at every step, also when T = 0 discards it, so
        // that the move generator's sequence does not depend on the phase.
        const std::uint64_t index = StepIndex(moveRng.Integer(0, lastIndex), T, quenchIndex, n);

        graph.RestoreGraph();
        const std::vector<NodeId> toggled =
            Move(graph, selection, nodes[index], bestGroup, inputs.context.hub);
        RankedState proposal = EvaluateAfterMove(graph, selection, inputs, options.nmax);
        result.bestScore = proposal.scores.empty() ? kNoScore : proposal.scores.front();
        if (!proposal.bestGroup.empty()) bestGroup = std::move(proposal.bestGroup);

        Align(proposal.scores, current, firstStep);
        firstStep = false;
        const bool accepted = Accept(proposal.scores, current, T, acceptRng);
        if (accepted && T == 0) requench = true;

        bool newPass = false;
        if (requench && i == total - 1) {
            requench = false;
            quenchIndex = 0;
            newPass = true;
            out << "\nQuenching again..\n";
        }

        if (accepted) {
            current = std::move(proposal.scores);
        } else {
            result.bestScore = current.empty() ? kNoScore : current.front();
            Undo(selection, toggled);
        }
        if (T != 0) out << i << ":\t" << bestGroup.size() << '\t' << result.bestScore << '\n';

        ++result.steps;
        // A new pass makes the last n steps again.
        i = newPass ? total - n : i + 1;
        T = T * r;
    }
    return result;
}

float Anneal(Graph& graph, const ScoreInputs& inputs, NodeMap<bool>& selection,
             const AnnealOptions& options, std::uint32_t seed, std::ostream& out) {
    return AnnealRun(graph, inputs, selection, options, seed, out).bestScore;
}

}  // namespace tarnvale
