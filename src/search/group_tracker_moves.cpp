// One node at a time: selecting a node merges its neighbouring components;
// unselecting one splits its component with interleaved searches.
#include <algorithm>

#include "base/prefetch.hpp"
#include "search/group_tracker.hpp"
#include "search/tracker_stamp.hpp"

namespace tarnvale {

void GroupTracker::SelectNode(NodeId x) {
    selected_[Index(x)] = 1;
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    neighbourComponents_.clear();
    TrackedSum edgeSum;
    const std::int64_t edges = SelectedEdges(x, edgeSum, [&](NodeId w) {
        const ComponentId c = label_[Index(w)];
        if (componentMark_[Index(c)] != stamp_) {
            componentMark_[Index(c)] = stamp_;
            neighbourComponents_.push_back(c);
        }
    });

    Op op{true, x, kNoComponent, 0, componentLog_.size(), componentLog_.size(), 0, 0};
    if (neighbourComponents_.empty()) {
        const ComponentId c = NewComponent();
        Component& comp = components_[Index(c)];
        comp.nodes.push_back(x);
        slot_[Index(x)] = 0;
        label_[Index(x)] = c;
        AddScore(comp.summary.nodeSum, nodeScore_[Index(x)]);
        comp.summary.edges = edges;
        comp.summary.edgeSum = edgeSum;
        comp.summary.first = graph_.Position(x);
        comp.summary.firstKnown = true;
        op.component = c;
        ops_.push_back(op);
        return;
    }

    // The largest neighbouring component absorbs x and the others.
    ComponentId keep = neighbourComponents_.front();
    for (ComponentId c : neighbourComponents_)
        if (components_[Index(c)].nodes.size() > components_[Index(keep)].nodes.size()) keep = c;
    Touch(keep);
    Component& target = components_[Index(keep)];
    op.component = keep;
    op.oldSize = target.nodes.size();
    Summary& sum = target.summary;
    AddScore(sum.nodeSum, nodeScore_[Index(x)]);
    sum.edges += edges;
    AddScore(sum.edgeSum, edgeSum);
    const std::int32_t xPosition = graph_.Position(x);
    if (sum.firstKnown && xPosition < sum.first) sum.first = xPosition;
    slot_[Index(x)] = static_cast<std::int32_t>(target.nodes.size());
    label_[Index(x)] = keep;
    target.nodes.push_back(x);
    for (ComponentId c : neighbourComponents_) {
        if (c == keep) continue;
        Touch(c);
        componentLog_.push_back(c);
        Component& other = components_[Index(c)];
        // The absorbed list stays as it is, so that undoing only relabels.
        for (NodeId v : other.nodes) {
            label_[Index(v)] = keep;
            slot_[Index(v)] = static_cast<std::int32_t>(target.nodes.size());
            target.nodes.push_back(v);
        }
        AddScore(sum.nodeSum, other.summary.nodeSum);
        sum.edges += other.summary.edges;
        AddScore(sum.edgeSum, other.summary.edgeSum);
        if (!other.summary.firstKnown)
            sum.firstKnown = false;
        else if (sum.firstKnown && other.summary.first < sum.first)
            sum.first = other.summary.first;
        other.summary.alive = false;
    }
    op.listEnd = componentLog_.size();
    ops_.push_back(op);
}

void GroupTracker::UnselectNode(NodeId x) {
    const ComponentId c = label_[Index(x)];
    Touch(c);
    selected_[Index(x)] = 0;
    const std::size_t opIndex = ops_.size();
    ops_.push_back({false, x, c, 0, componentLog_.size(), componentLog_.size(), removalLog_.size(),
                    removalLog_.size()});
    RemoveFromList(c, x);
    label_[Index(x)] = kNoComponent;

    // x's edges to the rest, and its distinct selected neighbours.
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    starts_.clear();
    TrackedSum edgeSum;
    const std::int64_t edges = SelectedEdges(x, edgeSum, [&](NodeId w) {
        if (nodeMark_[Index(w)] != stamp_) {
            nodeMark_[Index(w)] = stamp_;
            starts_.push_back(w);
        }
    });
    Component& comp = components_[Index(c)];
    Summary& sum = comp.summary;
    SubtractScore(sum.nodeSum, nodeScore_[Index(x)]);
    sum.edges -= edges;
    SubtractScore(sum.edgeSum, edgeSum);
    if (sum.firstKnown && sum.first == graph_.Position(x)) sum.firstKnown = false;
    if (comp.nodes.empty()) {
        sum.alive = false;
    } else if (starts_.size() >= 2) {
        SplitAfterRemoval(c, opIndex);
    }
    ops_[opIndex].removalEnd = removalLog_.size();
}

GroupTracker::SearchId GroupTracker::FindSearch(SearchId s) {
    while (searches_[Index(s)].parent != s) {
        const SearchId up = searches_[Index(s)].parent;
        searches_[Index(s)].parent = searches_[Index(up)].parent;
        s = up;
    }
    return s;
}

GroupTracker::SearchId GroupTracker::JoinSearches(SearchId a, SearchId b) {
    if (searches_[Index(a)].visited.size() < searches_[Index(b)].visited.size()) std::swap(a, b);
    Search& big = searches_[Index(a)];
    Search& small = searches_[Index(b)];
    big.stack.insert(big.stack.end(), small.stack.begin(), small.stack.end());
    big.visited.insert(big.visited.end(), small.visited.begin(), small.visited.end());
    small.stack.clear();
    small.visited.clear();
    small.parent = a;
    return a;
}

void GroupTracker::Reach(SearchId r, NodeId v) {
    nodeMark_[Index(v)] = stamp_;
    owner_[Index(v)] = r;
    // The row is read later, after other searches' entries: fetch its start now.
    PrefetchAddress(hubFirst_.data() + rowStart_[Index(v)]);
    searches_[Index(r)].stack.push_back({rowStart_[Index(v)], rowStart_[Index(v) + 1]});
    searches_[Index(r)].visited.push_back(v);
}

void GroupTracker::Join(SearchId r, NodeId v) {
    nodeMark_[Index(v)] = stamp_;
    owner_[Index(v)] = r;
    searches_[Index(r)].stack.push_back({Index(v), kUnread});
    searches_[Index(r)].visited.push_back(v);
}

GroupTracker::SearchId GroupTracker::SearchNear(NodeId v) {
    if (nodeMark_[Index(v)] == stamp_) return FindSearch(owner_[Index(v)]);
    // A short row is padded with v itself, which is not marked.
    const NodeId* row = peek_.data() + Index(v) * kPeek;
    for (std::size_t k = 0; k < kPeek; ++k) {
        const NodeId w = row[k];
        if (selected_[Index(w)] != 0 && nodeMark_[Index(w)] == stamp_)
            return FindSearch(owner_[Index(w)]);
    }
    return -1;
}

// Examines one adjacency entry of search r; returns the root of r's search
// afterwards, which changes when r meets another search. Each meeting leaves
// one growing search fewer. Going one entry at a time, a search that meets
// another halfway through a hub's row does not read the rest of it.
GroupTracker::SearchId GroupTracker::StepSearch(SearchId r, SearchId& growing) {
    Frame& frame = searches_[Index(r)].stack.back();
    if (frame.end == kUnread) frame = {rowStart_[frame.next], rowStart_[frame.next + 1]};
    const NodeId w = hubFirst_[frame.next++];
    if (selected_[Index(w)] != 0) {
        if (nodeMark_[Index(w)] == stamp_) {
            const SearchId t = FindSearch(owner_[Index(w)]);
            if (t != r) {
                r = JoinSearches(r, t);
                --growing;
            }
        } else {
            Reach(r, w);
        }
    }
    // Joining may have moved r; drop the rows read to their end.
    std::vector<Frame>& top = searches_[Index(r)].stack;
    while (!top.empty() && top.back().next == top.back().end) top.pop_back();
    return r;
}

void GroupTracker::SplitAfterRemoval(ComponentId c, std::size_t opIndex) {
    const auto count = static_cast<SearchId>(starts_.size());
    if (searches_.size() < starts_.size()) searches_.resize(starts_.size());
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    round_.clear();
    // The searches start one after another, each with a few entries of its
    // own. A start that a search has reached, or whose first neighbours in
    // its hub-first row include a node a search has reached, is in that
    // search's piece and joins it at once: in a dense group most starts
    // meet at the same hubs, so most need no search of their own.
    constexpr int kHeadStart = 8;
    SearchId growing = count;       // only the loop below needs the true count
    constexpr SearchId kAhead = 8;  // starts whose packed rows are fetched ahead
    for (SearchId s = 0; s < count; ++s) {
        if (s + kAhead < count)
            PrefetchAddress(peek_.data() + Index(starts_[Index(s + kAhead)]) * kPeek);
        Search& search = searches_[Index(s)];
        const NodeId v = starts_[Index(s)];
        search.stack.clear();
        search.visited.clear();
        const SearchId near = SearchNear(v);
        if (near >= 0) {
            search.parent = near;
            if (nodeMark_[Index(v)] != stamp_) Join(near, v);
            continue;
        }
        search.parent = s;
        Reach(s, v);
        round_.push_back(s);
        SearchId r = s;
        for (int k = 0; k < kHeadStart && !searches_[Index(r)].stack.empty(); ++k)
            r = StepSearch(r, growing);
    }
    growing = 0;
    for (SearchId s : round_)
        if (searches_[Index(s)].parent == s && !searches_[Index(s)].stack.empty()) ++growing;

    // Each growing search examines one adjacency entry in turn. Two searches
    // that meet become one; a search whose stack runs empty has found a whole
    // piece, since every row it reached was read to its end and every search
    // it touched was joined. Stops when at most one search is still growing.
    while (growing > 1) {
        for (SearchId s : round_) {
            if (searches_[Index(s)].parent != s || searches_[Index(s)].stack.empty()) continue;
            const SearchId r = StepSearch(s, growing);
            if (searches_[Index(r)].stack.empty()) --growing;
            if (growing <= 1) break;
        }
        std::erase_if(round_, [&](SearchId s) {
            return searches_[Index(s)].parent != s || searches_[Index(s)].stack.empty();
        });
    }

    // The search still growing keeps the label; if none is, the largest.
    SearchId keeper = -1;
    for (SearchId s = 0; s < count; ++s) {
        const Search& search = searches_[Index(s)];
        if (search.parent != s) continue;
        if (!search.stack.empty()) {
            keeper = s;
            break;
        }
        if (keeper < 0 || search.visited.size() > searches_[Index(keeper)].visited.size())
            keeper = s;
    }

    for (SearchId s = 0; s < count; ++s) {
        if (searches_[Index(s)].parent != s || s == keeper) continue;
        const ComponentId p = NewComponent();
        componentLog_.push_back(p);
        // NewComponent may move the component records: take references after.
        Component& piece = components_[Index(p)];
        piece.nodes.swap(searches_[Index(s)].visited);
        searches_[Index(s)].visited.clear();
        std::int32_t first = graph_.Position(piece.nodes.front());
        for (std::size_t k = 0; k < piece.nodes.size(); ++k) {
            const NodeId v = piece.nodes[k];
            RemoveFromList(c, v);
            label_[Index(v)] = p;
            slot_[Index(v)] = static_cast<std::int32_t>(k);
            first = std::min(first, graph_.Position(v));
        }
        Summary& sum = piece.summary;
        sum.first = first;
        sum.firstKnown = true;
        SumMembers(p);
        Summary& rest = components_[Index(c)].summary;
        SubtractScore(rest.nodeSum, sum.nodeSum);
        rest.edges -= sum.edges;
        SubtractScore(rest.edgeSum, sum.edgeSum);
        if (rest.firstKnown && label_[Index(nodes_[Index(rest.first)])] == p)
            rest.firstKnown = false;
    }
    ops_[opIndex].listEnd = componentLog_.size();
}

}  // namespace tarnvale
