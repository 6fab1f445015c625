// Building the tracker, and a move's life: apply, score, commit or undo from
// the journal.
#include "search/group_tracker.hpp"

#include <algorithm>
#include <cmath>

#include "base/prefetch.hpp"
#include "search/subnetwork_score.hpp"
#include "stats/exact_sum.hpp"

namespace tarnvale {

GroupTracker::GroupTracker(const Graph& graph, const std::vector<NodeId>& nodes,
                           const ScoreInputs& inputs)
    : inputs_(inputs), nodes_(nodes), withEdges_(!inputs.context.nodeOnly) {
    const std::size_t ids = graph.NumberOfNodeIds();
    rowStart_.assign(ids + 1, 0);
    nodeScore_.assign(ids, 0.0f);
    position_.assign(ids, -1);
    loopCount_.assign(ids, 0);
    loopSlot_.assign(ids, -1);
    selected_.assign(ids, 0);
    label_.assign(ids, kNoComponent);
    slot_.assign(ids, 0);
    nodeMark_.assign(ids, 0);
    owner_.assign(ids, 0);
    edgeMark_.assign(graph.NumberOfEdgeIds(), 0);

    FloatList nodeScores;
    nodeScores.reserve(nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        const NodeId v = nodes[k];
        position_[Index(v)] = static_cast<std::int32_t>(k);
        nodeScore_[Index(v)] = static_cast<float>(inputs.nodeScores.get(v));
        nodeScores.push_back(nodeScore_[Index(v)]);
    }

    // Rows in node-id order, each a node's outgoing edges, then its incoming
    // ones, as the graph lists them: its lists hold edges in the order they
    // were made, which is id order. So one pass over the edges in id order,
    // reading the edge arrays front to back, fills every row in place; nodes
    // outside the list get empty rows.
    const std::size_t edgeIds = graph.NumberOfEdgeIds();
    auto inList = [&](NodeId v) { return position_[Index(v)] >= 0; };
    std::vector<std::size_t> degree(ids, 0);
    std::vector<std::size_t> inFill(ids, 0);  // first the out-degree
    for (std::size_t i = 0; i < edgeIds; ++i) {
        const auto e = static_cast<EdgeId>(i);
        if (!graph.IsEdgeVisible(e)) continue;
        const NodeId s = graph.Source(e), t = graph.Target(e);
        if (inList(s)) {
            ++degree[Index(s)];
            ++inFill[Index(s)];
        }
        if (inList(t)) ++degree[Index(t)];
    }
    for (std::size_t v = 0; v < ids; ++v) rowStart_[v + 1] = rowStart_[v] + degree[v];
    adjacent_.resize(rowStart_[ids]);
    std::vector<std::size_t> fill(rowStart_.begin(), rowStart_.end() - 1);
    for (std::size_t v = 0; v < ids; ++v) inFill[v] += rowStart_[v];
    FloatList edgeScores;
    // The rows are written at random: fetch the places a little ahead.
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < edgeIds; ++i) {
        if (i + kAhead < edgeIds) {
            const auto ahead = static_cast<EdgeId>(i + kAhead);
            PrefetchForWrite(adjacent_.data() + fill[Index(graph.Source(ahead))]);
            PrefetchForWrite(adjacent_.data() + inFill[Index(graph.Target(ahead))]);
        }
        const auto e = static_cast<EdgeId>(i);
        if (!graph.IsEdgeVisible(e)) continue;
        const NodeId s = graph.Source(e), t = graph.Target(e);
        const float score = withEdges_ ? inputs.edgeScores.get(e) : 0.0f;
        // The exactness checks below need only which scores occur and how
        // many edges there are.
        if (withEdges_) edgeScores.push_back(score);
        if (inList(s)) adjacent_[fill[Index(s)]++] = {t, e, score};
        if (inList(t)) adjacent_[inFill[Index(t)]++] = {s, e, score};
        // A loop is in its node's row twice; it is one edge of the component.
        if (s == t && inList(s)) {
            ++loopCount_[Index(s)];
            if (loopSlot_[Index(s)] < 0) {
                loopSlot_[Index(s)] = static_cast<std::int32_t>(loopSums_.size());
                loopSums_.emplace_back();
            }
            loopSums_[Index(loopSlot_[Index(s)])] += score;
        }
    }
    // Every edge is in the rows of both its ends, so handing each node, in
    // order of falling degree, to the rows of its neighbours fills every row
    // in that order without sorting one.
    std::vector<NodeId> byDegree(nodes);
    std::stable_sort(byDegree.begin(), byDegree.end(),
                     [&](NodeId a, NodeId b) { return degree[Index(a)] > degree[Index(b)]; });
    fill.assign(rowStart_.begin(), rowStart_.end() - 1);
    hubFirst_.resize(adjacent_.size());
    for (NodeId w : byDegree) {
        const std::span<const Adjacent> row = Neighbours(w);
        for (std::size_t k = 0; k < row.size(); ++k) {
            if (k + kAhead < row.size())
                PrefetchForWrite(hubFirst_.data() + fill[Index(row[k + kAhead].node)]);
            hubFirst_[fill[Index(row[k].node)]++] = w;
        }
    }
    peek_.resize(ids * kPeek);
    for (std::size_t v = 0; v < ids; ++v)
        for (std::size_t k = 0; k < kPeek; ++k)
            peek_[v * kPeek + k] = rowStart_[v] + k < rowStart_[v + 1] ? hubFirst_[rowStart_[v] + k]
                                                                       : static_cast<NodeId>(v);

    const SumExactness nodeExactness =
        CheckSumExactness(nodeScores.data(), nodeScores.size(), nodeScores.size(), 64);
    const SumExactness edgeExactness =
        CheckSumExactness(edgeScores.data(), edgeScores.size(), edgeScores.size(), 64);
    exact_ = nodeExactness.exact && (!withEdges_ || edgeExactness.exact);
    nodeUnit_ = nodeExactness.unitExponent;
    edgeUnit_ = edgeExactness.unitExponent;
    auto finite = [](const FloatList& v) {
        return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
    };
    finite_ = finite(nodeScores) && (!withEdges_ || finite(edgeScores));

    components_.reserve(2 * nodes.size() + 2);
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
