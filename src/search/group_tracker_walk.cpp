// The from-scratch side of the tracker: the graph's depth-first search over
// selected nodes, used to label every component at a reset, to sum a
// component in visiting order and to list its nodes in that order.
#include <algorithm>

#include "search/group_tracker.hpp"
#include "search/tracker_stamp.hpp"

namespace tarnvale {

template <class OnEdge, class Enter>
void GroupTracker::DepthFirst(NodeId start, OnEdge&& onEdge, Enter&& enter) {
    dfs_.clear();
    dfs_.push_back({start, rowStart_[Index(start)]});
    while (!dfs_.empty()) {
        auto& [u, next] = dfs_.back();
        if (next == rowStart_[Index(u) + 1]) {
            dfs_.pop_back();
            continue;
        }
        const Adjacent& a = adjacent_[next++];
        if (selected_[Index(a.node)] == 0) continue;
        onEdge(a);
        if (enter(a.node)) dfs_.push_back({a.node, rowStart_[Index(a.node)]});
    }
}

void GroupTracker::Reset(const NodeMap<bool>& selection) {
    ranked_.clear();
    components_.clear();
    free_.clear();
    touched_.clear();
    componentMark_.clear();
    inRanked_.clear();
    rankedScore_.clear();
    pending_ = false;
    std::fill(label_.begin(), label_.end(), kNoComponent);
    for (NodeId v : nodes_) selected_[Index(v)] = selection.get(v) ? 1 : 0;

    // The graph's component search over the selected nodes, from every node
    // in node order: the sums come out in visiting order whatever the mode.
    for (NodeId start : nodes_) {
        if (selected_[Index(start)] == 0 || label_[Index(start)] != kNoComponent) continue;
        const ComponentId c = NewComponent();
        Component& comp = components_[Index(c)];
        comp.nodes.push_back(start);
        slot_[Index(start)] = 0;
        label_[Index(start)] = c;
        DepthFirst(
            start, [](const Adjacent&) {},
            [&](NodeId w) {
                if (label_[Index(w)] != kNoComponent) return false;
                label_[Index(w)] = c;
                slot_[Index(w)] = static_cast<std::int32_t>(comp.nodes.size());
                comp.nodes.push_back(w);
                return true;
            });
        comp.summary.first = graph_.Position(start);
        comp.summary.firstKnown = true;
        // While every sum is exact, any order gives the visiting order's sums.
        if (exact_)
            SumMembers(c);
        else
            SumInVisitingOrder(c);
        if (comp.nodes.size() >= 2) {
            comp.summary.score = Score(comp);
            ranked_.insert({comp.summary.score, c});
            inRanked_[Index(c)] = 1;
            rankedScore_[Index(c)] = comp.summary.score;
        }
    }
    // Reset's components are committed: none counts as changed.
    created_.clear();
    changed_.clear();
}

void GroupTracker::SumMembers(ComponentId c) {
    Component& comp = components_[Index(c)];
    Summary& sum = comp.summary;
    for (NodeId v : comp.nodes) {
        AddScore(sum.nodeSum, nodeScore_[Index(v)]);
        sum.edges += graph_.Loops(v);
        AddScore(sum.edgeSum, LoopSum(v));
        // Each edge inside the component once, from its end of smaller id.
        for (const Adjacent& a : Neighbours(v)) {
            if (a.node <= v || label_[Index(a.node)] != c) continue;
            ++sum.edges;
            AddScore(sum.edgeSum, a.edgeScore);
        }
    }
}

void GroupTracker::SumInVisitingOrder(ComponentId c) {
    Component& comp = components_[Index(c)];
    Summary& sum = comp.summary;
    const std::int32_t first = FirstPosition(c);
    const NodeId start = nodes_[Index(first)];
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    sum.nodeSum = {};
    sum.edgeSum = {};
    sum.edges = 0;
    nodeMark_[Index(start)] = stamp_;
    AddScore(sum.nodeSum, nodeScore_[Index(start)]);
    DepthFirst(
        start,
        [&](const Adjacent& a) {
            if (edgeMark_[Index(a.edge)] == stamp_) return;
            edgeMark_[Index(a.edge)] = stamp_;
            AddScore(sum.edgeSum, a.edgeScore);
            ++sum.edges;
        },
        [&](NodeId w) {
            if (nodeMark_[Index(w)] == stamp_) return false;
            nodeMark_[Index(w)] = stamp_;
            AddScore(sum.nodeSum, nodeScore_[Index(w)]);
            return true;
        });
}

std::int32_t GroupTracker::FirstPosition(ComponentId c) {
    Summary& sum = components_[Index(c)].summary;
    if (!sum.firstKnown) {
        std::int32_t first = graph_.Position(components_[Index(c)].nodes.front());
        for (NodeId v : components_[Index(c)].nodes) first = std::min(first, graph_.Position(v));
        sum.first = first;
        sum.firstKnown = true;
    }
    return sum.first;
}

std::vector<NodeId> GroupTracker::NodesInVisitingOrder(ComponentId c) {
    const NodeId start = nodes_[Index(FirstPosition(c))];
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    std::vector<NodeId> order{start};
    nodeMark_[Index(start)] = stamp_;
    DepthFirst(
        start, [](const Adjacent&) {},
        [&](NodeId w) {
            if (nodeMark_[Index(w)] == stamp_) return false;
            nodeMark_[Index(w)] = stamp_;
            order.push_back(w);
            return true;
        });
    return order;
}

}  // namespace tarnvale
