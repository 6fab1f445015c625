#include "search/annealing.hpp"

#include <algorithm>
#include <cmath>

#include "search/acceptance.hpp"
#include "search/evaluate.hpp"
#include "search/group_tracker.hpp"
#include "search/heuristics.hpp"
#include "stats/random.hpp"

namespace tarnvale {

namespace {

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

template <class InBest>
void CutHubNeighbours(std::span<const SearchGraph::Adjacent> row, NodeMap<bool>& selection,
                      std::vector<NodeId>& toggled, InBest&& inBest) {
    for (const SearchGraph::Adjacent& a : row) {
        if (!selection.get(a.node)) return;
        if (!inBest(a.node)) {
            selection[a.node] = false;
            toggled.push_back(a.node);
        }
    }
}

// Each step evaluates every group again; the reference for the incremental
// steps below.
class FromScratchSteps {
public:
    FromScratchSteps(const SearchGraph& graph, const ScoreInputs& inputs, NodeMap<bool>& selection,
                     int nmax, int hub)
        : graph_(graph),
          inputs_(inputs),
          selection_(selection),
          nmax_(nmax),
          hub_(hub),
          inBest_(graph.NumberOfNodeIds(), 0) {}

    // Makes the move on `node` and ranks the state it leads to.
    void Propose(NodeId node, std::vector<float>& scores) {
        toggled_.assign(1, node);
        selection_[node] = !selection_.get(node);
        if (IsHubMove(!bestGroup_.empty(), selection_.get(node), graph_.Degree(node), hub_)) {
            CutHubNeighbours(graph_.Neighbours(node), selection_, toggled_, [&](NodeId next) {
                return inBest_[static_cast<std::size_t>(next)] != 0;
            });
        }
        RankedState state = RankState(Evaluate(graph_, selection_, inputs_), nmax_);
        scores = std::move(state.scores);
        if (!state.bestGroup.empty()) {
            for (NodeId v : bestGroup_) inBest_[static_cast<std::size_t>(v)] = 0;
            bestGroup_ = std::move(state.bestGroup);
            for (NodeId v : bestGroup_) inBest_[static_cast<std::size_t>(v)] = 1;
        }
    }
    void Keep() {}
    void Drop() { Undo(selection_, toggled_); }
    std::size_t BestGroupSize() const { return bestGroup_.size(); }

private:
    const SearchGraph& graph_;
    const ScoreInputs& inputs_;
    NodeMap<bool>& selection_;
    int nmax_;
    int hub_;
    std::vector<NodeId> toggled_;
    std::vector<NodeId> bestGroup_;
    std::vector<unsigned char> inBest_;  // membership of bestGroup_ by node id
};

// Each step applies the move to the groups of the accepted state and ranks
// what changed against what did not.
//
// The best group that the hub rule reads belongs to the last evaluated state
// with a group, which may be a rejected proposal or, when later proposals had
// no group, an older state. It is kept as cheaply as its state allows: as a
// component of the accepted state; as the component of one of its nodes in
// the accepted state plus the rejected move; or, once the accepted state has
// moved on without a new best group, as marks on its nodes.
class IncrementalSteps {
public:
    IncrementalSteps(const SearchGraph& graph, const ScoreInputs& inputs, NodeMap<bool>& selection,
                     int nmax, int hub)
        : tracker_(graph, inputs),
          selection_(selection),
          nmax_(nmax),
          hub_(hub),
          marks_(graph.NumberOfNodeIds(), 0) {
        tracker_.Reset(selection);
    }

    void Propose(NodeId node, std::vector<float>& scores) {
        toggled_.assign(1, node);
        selection_[node] = !selection_.get(node);
        if (IsHubMove(best_ != Best::None, selection_.get(node), tracker_.Degree(node), hub_))
            CutHubNeighbours(node);
        // A node flipped twice (a hub's loop) is back where it was.
        flips_.clear();
        for (NodeId v : toggled_)
            if (selection_.get(v) != tracker_.Selected(v)) flips_.push_back(v);
        tracker_.Apply(flips_);
        proposedBest_ = tracker_.Rank(nmax_, scores);
    }

    void Keep() {
        if (proposedBest_ != kNoComponent) {
            tracker_.Commit();
            best_ = Best::Accepted;
            bestComponent_ = proposedBest_;
            bestSize_ = tracker_.ComponentNodes(bestComponent_).size();
            return;
        }
        // The best group stays, but the state it refers to is about to change.
        if (best_ == Best::Accepted || best_ == Best::Rejected) {
            tracker_.Undo();
            MarkBestGroup();
            tracker_.Apply(flips_);
        }
        tracker_.Commit();
    }

    void Drop() {
        if (proposedBest_ != kNoComponent) {
            best_ = Best::Rejected;
            rejectedFlips_ = flips_;
            anchor_ = tracker_.ComponentNodes(proposedBest_).front();
            bestSize_ = tracker_.ComponentNodes(proposedBest_).size();
        }
        tracker_.Undo();
        Undo(selection_, toggled_);
    }

    std::size_t BestGroupSize() const { return bestSize_; }

private:
    enum class Best {
        None,      // no state with a group yet
        Accepted,  // bestComponent_ of the accepted state
        Rejected,  // the component of anchor_ after rejectedFlips_
        Marked,    // the nodes v with marks_[v] == markStamp_
    };

    // The hub rule. Only the selected neighbours before the first unselected
    // one are asked for their group, so a row whose first entry is
    // unselected (about half of them) costs nothing, and the rejected move
    // that a best group may refer to is only applied when a member is asked.
    void CutHubNeighbours(NodeId node) {
        const auto row = tracker_.Neighbours(node);
        if (row.empty() || !selection_.get(row.front().node)) return;
        ComponentId group = bestComponent_;
        const bool reapply = best_ == Best::Rejected;
        if (reapply) {
            tracker_.Apply(rejectedFlips_);
            group = tracker_.ComponentOf(anchor_);
        }
        tarnvale::CutHubNeighbours(row, selection_, toggled_, [&](NodeId next) {
            return best_ == Best::Marked ? marks_[static_cast<std::size_t>(next)] == markStamp_
                                         : tracker_.ComponentOf(next) == group;
        });
        if (reapply) tracker_.Undo();
    }

    // Pins the best group's nodes; the accepted state must be committed.
    void MarkBestGroup() {
        if (++markStamp_ == 0) {
            std::fill(marks_.begin(), marks_.end(), 0u);
            markStamp_ = 1;
        }
        ComponentId group = bestComponent_;
        if (best_ == Best::Rejected) {
            tracker_.Apply(rejectedFlips_);
            group = tracker_.ComponentOf(anchor_);
        }
        for (NodeId v : tracker_.ComponentNodes(group))
            marks_[static_cast<std::size_t>(v)] = markStamp_;
        if (best_ == Best::Rejected) tracker_.Undo();
        best_ = Best::Marked;
    }

    GroupTracker tracker_;
    NodeMap<bool>& selection_;
    int nmax_;
    int hub_;
    std::vector<NodeId> toggled_;
    std::vector<NodeId> flips_;
    ComponentId proposedBest_ = kNoComponent;

    Best best_ = Best::None;
    std::size_t bestSize_ = 0;
    ComponentId bestComponent_ = kNoComponent;
    std::vector<NodeId> rejectedFlips_;
    NodeId anchor_ = 0;
    std::vector<std::uint32_t> marks_;
    std::uint32_t markStamp_ = 0;
};

// The steps of a run after its heuristic: N annealing steps and the quench
// passes, whatever evaluates them.
template <class Steps>
AnnealResult RunSteps(Steps& steps, const std::vector<NodeId>& nodes, const AnnealOptions& options,
                      float r, Random& moveRng, Random& acceptRng, std::ostream& out) {
    AnnealResult result;
    const std::uint64_t n = nodes.size();
    const std::uint64_t total = static_cast<std::uint64_t>(options.iterations) + n;
    const auto lastIndex = static_cast<std::int32_t>(n - 1);
    std::uint64_t quenchIndex = 0;
    std::vector<float> proposal;
    std::vector<float> current;
    bool firstStep = true;
    bool requench = false;
    float T = options.tStart;
    std::uint64_t i = 0;
    while (i < total) {
        if (options.stepLimit != 0 && result.steps >= options.stepLimit) break;
        if (total - i <= n) {
            if (options.quenching == 0) break;
            T = 0;
        }
        // The index is drawn at every step, also when T = 0 discards it, so
        // that the move generator's sequence does not depend on the phase.
        const std::uint64_t index = StepIndex(moveRng.Integer(0, lastIndex), T, quenchIndex, n);

        steps.Propose(nodes[index], proposal);
        result.bestScore = proposal.empty() ? kNoScore : proposal.front();

        Align(proposal, current, firstStep);
        firstStep = false;
        const bool accepted = Accept(proposal, current, T, acceptRng);
        if (accepted && T == 0) requench = true;

        bool newPass = false;
        if (requench && i == total - 1) {
            requench = false;
            quenchIndex = 0;
            newPass = true;
            out << "\nQuenching again..\n";
        }

        if (accepted) {
            current.swap(proposal);
            steps.Keep();
        } else {
            result.bestScore = current.empty() ? kNoScore : current.front();
            steps.Drop();
        }
        if (T != 0) out << i << ":\t" << steps.BestGroupSize() << '\t' << result.bestScore << '\n';

        ++result.steps;
        // A new pass makes the last n steps again.
        i = newPass ? total - n : i + 1;
        T = T * r;
        if (options.progress) options.progress(i, total, result.bestScore);
    }
    return result;
}

}  // namespace

bool IsHubMove(bool haveBestGroup, bool nowSelected, std::int64_t degree, int hub) {
    return haveBestGroup && nowSelected && degree > hub;
}

std::uint64_t StepIndex(std::int32_t drawn, float T, std::uint64_t& quenchIndex, std::uint64_t n) {
    if (T != 0) return static_cast<std::uint64_t>(drawn);
    return quenchIndex++ % n;
}

void Undo(NodeMap<bool>& selection, const std::vector<NodeId>& toggled) {
    for (NodeId n : toggled) selection[n] = !selection.get(n);
}

AnnealResult AnnealRun(const SearchGraph& graph, const ScoreInputs& inputs,
                       NodeMap<bool>& selection, const AnnealOptions& options, std::uint32_t seed,
                       std::ostream& out) {
    Random moveRng(seed);
    Random acceptRng(seed);
    const auto N = static_cast<std::uint64_t>(options.iterations);
    const float r = std::exp(std::log(options.tEnd / options.tStart) / static_cast<float>(N));
    out << "\nr= " << r << '\n';

    const std::vector<NodeId>& nodes = graph.Nodes();

    Initialize(options.heuristic, graph, selection, inputs.nodeScores, moveRng, out);
    out << "initialization: done!\n";
    out << "Start SA\n";

    if (nodes.size() < 2) {
        // No two nodes, no group: nothing to search.
        for (NodeId node : nodes) selection[node] = false;
        return AnnealResult{};
    }
    if (options.evaluation == StepEvaluation::FromScratch) {
        FromScratchSteps steps(graph, inputs, selection, options.nmax, options.hub);
        return RunSteps(steps, nodes, options, r, moveRng, acceptRng, out);
    }
    IncrementalSteps steps(graph, inputs, selection, options.nmax, options.hub);
    return RunSteps(steps, nodes, options, r, moveRng, acceptRng, out);
}

float Anneal(const SearchGraph& graph, const ScoreInputs& inputs, NodeMap<bool>& selection,
             const AnnealOptions& options, std::uint32_t seed, std::ostream& out) {
    return AnnealRun(graph, inputs, selection, options, seed, out).bestScore;
}

}  // namespace tarnvale
