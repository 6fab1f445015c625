// Building the tracker, and a move's life: apply, score, commit or undo from
// the journal.
#include "search/group_tracker.hpp"

#include <algorithm>
#include <cmath>

#include "search/subnetwork_score.hpp"
#include "stats/exact_sum.hpp"

namespace tarnvale {

GroupTracker::GroupTracker(const SearchGraph& graph, const ScoreInputs& inputs)
    : graph_(graph),
      inputs_(inputs),
      nodes_(graph.Nodes()),
      withEdges_(!inputs.context.nodeOnly),
      rowStart_(graph.RowStarts()),
      adjacent_(graph.Rows()),
      hubFirst_(graph.HubFirst()),
      peek_(graph.Peek()) {
    const std::size_t ids = graph.NumberOfNodeIds();
    nodeScore_.assign(ids, 0.0f);
    selected_.assign(ids, 0);
    label_.assign(ids, kNoComponent);
    slot_.assign(ids, 0);
    nodeMark_.assign(ids, 0);
    owner_.assign(ids, 0);

    FloatList nodeScores;
    nodeScores.reserve(nodes_.size());
    for (NodeId v : nodes_) {
        nodeScore_[Index(v)] = static_cast<float>(inputs.nodeScores.get(v));
        nodeScores.push_back(nodeScore_[Index(v)]);
    }
    const SumExactness nodeExactness =
        CheckSumExactness(nodeScores.data(), nodeScores.size(), nodeScores.size(), 64);
    exact_ = nodeExactness.exact && (!withEdges_ || graph.EdgeSumsExact());
    nodeUnit_ = nodeExactness.unitExponent;
    edgeUnit_ = graph.EdgeUnit();
    finite_ = std::all_of(nodeScores.begin(), nodeScores.end(),
                          [](float x) { return std::isfinite(x); }) &&
              (!withEdges_ || graph.EdgeScoresFinite());
    // Only a sum in visiting order marks edges, and only inexact sums are
    // taken in that order: the marks of millions of edges are not made for
    // nothing.
    if (!exact_) edgeMark_.assign(graph.NumberOfEdgeIds(), 0);

    components_.reserve(2 * nodes_.size() + 2);
}

ComponentId GroupTracker::NewComponent() {
    ComponentId c;
    if (!free_.empty()) {
        c = free_.back();
        free_.pop_back();
    } else {
        c = static_cast<ComponentId>(components_.size());
        components_.emplace_back();
        touched_.push_back(0);
        componentMark_.push_back(0);
        inRanked_.push_back(0);
        rankedScore_.push_back(0);
    }
    Component& comp = components_[Index(c)];
    comp.nodes.clear();
    comp.summary = Summary{};
    comp.summary.alive = true;
    touched_[Index(c)] = moveStamp_;
    created_.push_back(c);
    changed_.push_back(c);
    return c;
}

void GroupTracker::Touch(ComponentId c) {
    if (touched_[Index(c)] == moveStamp_) return;
    touched_[Index(c)] = moveStamp_;
    saved_.push_back({c, components_[Index(c)].summary});
    changed_.push_back(c);
}

void GroupTracker::Release(ComponentId c) {
    Component& comp = components_[Index(c)];
    comp.summary.alive = false;
    // A list that once held a large component gives its memory back.
    if (comp.nodes.capacity() > 64) std::vector<NodeId>().swap(comp.nodes);
    comp.nodes.clear();
    free_.push_back(c);
}

void GroupTracker::RemoveFromList(ComponentId c, NodeId v) {
    std::vector<NodeId>& list = components_[Index(c)].nodes;
    const std::int32_t at = slot_[Index(v)];
    const NodeId last = list.back();
    list[Index(at)] = last;
    slot_[Index(last)] = at;
    list.pop_back();
    removalLog_.push_back({v, at});
}

void GroupTracker::Apply(std::span<const NodeId> flips) {
    if (++moveStamp_ == 0) {
        std::fill(touched_.begin(), touched_.end(), 0u);
        moveStamp_ = 1;
    }
    pending_ = true;
    ops_.clear();
    componentLog_.clear();
    removalLog_.clear();
    saved_.clear();
    created_.clear();
    changed_.clear();
    // Removals first: a node that joins afterwards then merges what is left
    // instead of being split off again.
    joining_.clear();
    for (NodeId v : flips) {
        if (Selected(v))
            UnselectNode(v);
        else
            joining_.push_back(v);
    }
    for (NodeId v : joining_) SelectNode(v);
    ScoreChanged();
}

void GroupTracker::ScoreChanged() {
    for (ComponentId c : changed_) {
        Component& comp = components_[Index(c)];
        if (!comp.summary.alive || comp.nodes.size() < 2) continue;
        if (exact_) {
            comp.summary.score = Score(comp);
            continue;
        }
        const std::optional<float> score = finite_ ? OrderFreeScore(comp) : std::nullopt;
        if (score) {
            comp.summary.score = *score;
            continue;
        }
        SumInVisitingOrder(c);
        ++sumsRedone_;
        comp.summary.score = Score(comp);
    }
}

float GroupTracker::Score(const Component& c) const {
    return SubnetworkScoreOfSums(c.summary.nodeSum.value, c.nodes.size(), c.summary.edgeSum.value,
                                 static_cast<std::size_t>(c.summary.edges), inputs_.context);
}

std::optional<float> GroupTracker::OrderFreeScore(const Component& c) const {
    const auto edges = static_cast<std::size_t>(c.summary.edges);
    const std::optional<Extended> nodeSum =
        OrderFreeSum(c.summary.nodeSum, c.nodes.size(), nodeUnit_);
    if (!nodeSum) return std::nullopt;
    std::optional<Extended> edgeSum = Extended{0};
    if (withEdges_) edgeSum = OrderFreeSum(c.summary.edgeSum, edges, edgeUnit_);
    if (!edgeSum) return std::nullopt;
    return SubnetworkScoreOfSums(*nodeSum, c.nodes.size(), *edgeSum, edges, inputs_.context);
}

void GroupTracker::Commit() {
    for (ComponentId c : changed_) {
        if (inRanked_[Index(c)] != 0) {
            ranked_.erase({rankedScore_[Index(c)], c});
            inRanked_[Index(c)] = 0;
        }
        const Component& comp = components_[Index(c)];
        if (!comp.summary.alive) {
            Release(c);
        } else if (comp.nodes.size() >= 2) {
            ranked_.insert({comp.summary.score, c});
            inRanked_[Index(c)] = 1;
            rankedScore_[Index(c)] = comp.summary.score;
        }
    }
    pending_ = false;
}

void GroupTracker::Undo() {
    for (std::size_t k = ops_.size(); k-- > 0;) {
        const Op& op = ops_[k];
        if (op.select) {
            components_[Index(op.component)].nodes.resize(op.oldSize);
            for (std::size_t j = op.listBegin; j < op.listEnd; ++j) {
                const ComponentId a = componentLog_[j];
                const std::vector<NodeId>& list = components_[Index(a)].nodes;
                for (std::size_t i = 0; i < list.size(); ++i) {
                    label_[Index(list[i])] = a;
                    slot_[Index(list[i])] = static_cast<std::int32_t>(i);
                }
            }
            label_[Index(op.node)] = kNoComponent;
            selected_[Index(op.node)] = 0;
            continue;
        }
        std::vector<NodeId>& list = components_[Index(op.component)].nodes;
        for (std::size_t j = op.removalEnd; j-- > op.removalBegin;) {
            const auto [v, at] = removalLog_[j];
            if (Index(at) == list.size()) {
                list.push_back(v);
            } else {
                const NodeId moved = list[Index(at)];
                slot_[Index(moved)] = static_cast<std::int32_t>(list.size());
                list.push_back(moved);
                list[Index(at)] = v;
            }
            slot_[Index(v)] = at;
            label_[Index(v)] = op.component;
        }
        selected_[Index(op.node)] = 1;
    }
    for (std::size_t k = saved_.size(); k-- > 0;)
        components_[Index(saved_[k].first)].summary = saved_[k].second;
    for (ComponentId c : created_) Release(c);
    pending_ = false;
}

}  // namespace tarnvale
