#include "search/group_tracker.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#include "search/exact_sum.hpp"
#include "search/subnetwork_score.hpp"

namespace tarnvale {
namespace {

// The ranking of RankGroups: higher first, not-a-number after every number.
bool RanksBefore(float x, float y) {
    if (std::isnan(y)) return !std::isnan(x);
    return x > y;
}

bool RankTie(float x, float y) { return !RanksBefore(x, y) && !RanksBefore(y, x); }

// Increments a stamp; when it wraps, clears the marks it is compared with.
void NextStamp(std::uint32_t& stamp, std::vector<std::uint32_t>& a, std::vector<std::uint32_t>& b,
               std::vector<std::uint32_t>& c) {
    if (++stamp != 0) return;
    for (auto* marks : {&a, &b, &c}) std::fill(marks->begin(), marks->end(), 0u);
    stamp = 1;
}

}  // namespace

bool GroupTracker::RankLess::operator()(const RankKey& a, const RankKey& b) const {
    if (RanksBefore(a.score, b.score)) return true;
    if (RanksBefore(b.score, a.score)) return false;
    return a.id < b.id;
}

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

GroupTracker::GroupTracker(const Graph& graph, const std::vector<NodeId>& nodes,
                           const ScoreInputs& inputs)
    : inputs_(inputs), nodes_(nodes), withEdges_(!inputs.context.nodeOnly) {
    const std::size_t ids = graph.NumberOfNodeIds();
    rowStart_.assign(ids + 1, 0);
    nodeScore_.assign(ids, 0.0f);
    position_.assign(ids, -1);
    loopCount_.assign(ids, 0);
    loopSum_.assign(ids, 0);
    selected_.assign(ids, 0);
    label_.assign(ids, kNoComponent);
    slot_.assign(ids, 0);
    nodeMark_.assign(ids, 0);
    owner_.assign(ids, 0);
    edgeMark_.assign(graph.NumberOfEdgeIds(), 0);

    // Rows in node-id order; nodes outside the list get empty rows.
    std::vector<std::size_t> degree(ids, 0);
    for (NodeId v : nodes) degree[Index(v)] = static_cast<std::size_t>(graph.Degree(v));
    for (std::size_t v = 0; v < ids; ++v) rowStart_[v + 1] = rowStart_[v] + degree[v];
    adjacent_.resize(rowStart_[ids]);

    FloatList nodeScores;
    FloatList edgeScores;
    std::vector<EdgeId> loops;
    nodeScores.reserve(nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        const NodeId v = nodes[k];
        position_[Index(v)] = static_cast<std::int32_t>(k);
        nodeScore_[Index(v)] = static_cast<float>(inputs.nodeScores.get(v));
        nodeScores.push_back(nodeScore_[Index(v)]);
        std::size_t at = rowStart_[Index(v)];
        loops.clear();
        graph.ForEachAdjacent(v, [&](EdgeId e, NodeId w) {
            const float score = withEdges_ ? inputs.edgeScores.get(e) : 0.0f;
            adjacent_[at++] = {w, e, score};
            // A loop is met twice; it is one edge of the node's component.
            if (w == v && std::find(loops.begin(), loops.end(), e) == loops.end()) {
                loops.push_back(e);
                ++loopCount_[Index(v)];
                loopSum_[Index(v)] += score;
            }
        });
    }
    if (withEdges_)
        graph.ForEachEdge([&](EdgeId e) { edgeScores.push_back(inputs.edgeScores.get(e)); });

    exact_ = CheckSumExactness(nodeScores.data(), nodeScores.size(), nodeScores.size(), 64).exact;
    if (withEdges_)
        exact_ = exact_ &&
                 CheckSumExactness(edgeScores.data(), edgeScores.size(), edgeScores.size(), 64).exact;

    components_.reserve(2 * nodes.size() + 2);
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
        DepthFirst(start, [](const Adjacent&) {}, [&](NodeId w) {
            if (label_[Index(w)] != kNoComponent) return false;
            label_[Index(w)] = c;
            slot_[Index(w)] = static_cast<std::int32_t>(comp.nodes.size());
            comp.nodes.push_back(w);
            return true;
        });
        comp.summary.first = position_[Index(start)];
        comp.summary.firstKnown = true;
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

void GroupTracker::SelectNode(NodeId x) {
    selected_[Index(x)] = 1;
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    neighbourComponents_.clear();
    std::int64_t edges = loopCount_[Index(x)];
    Extended edgeSum = loopSum_[Index(x)];
    for (const Adjacent& a : Neighbours(x)) {
        if (a.node == x || selected_[Index(a.node)] == 0) continue;
        ++edges;
        edgeSum += a.edgeScore;
        const ComponentId c = label_[Index(a.node)];
        if (componentMark_[Index(c)] != stamp_) {
            componentMark_[Index(c)] = stamp_;
            neighbourComponents_.push_back(c);
        }
    }

    Op op{true, x, kNoComponent, 0, componentLog_.size(), componentLog_.size(), 0, 0};
    if (neighbourComponents_.empty()) {
        const ComponentId c = NewComponent();
        Component& comp = components_[Index(c)];
        comp.nodes.push_back(x);
        slot_[Index(x)] = 0;
        label_[Index(x)] = c;
        comp.summary.nodeSum = nodeScore_[Index(x)];
        comp.summary.edges = edges;
        comp.summary.edgeSum = edgeSum;
        comp.summary.first = position_[Index(x)];
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
    sum.nodeSum += nodeScore_[Index(x)];
    sum.edges += edges;
    sum.edgeSum += edgeSum;
    const std::int32_t xPosition = position_[Index(x)];
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
        sum.nodeSum += other.summary.nodeSum;
        sum.edges += other.summary.edges;
        sum.edgeSum += other.summary.edgeSum;
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
    std::int64_t edges = loopCount_[Index(x)];
    Extended edgeSum = loopSum_[Index(x)];
    for (const Adjacent& a : Neighbours(x)) {
        if (a.node == x || selected_[Index(a.node)] == 0) continue;
        ++edges;
        edgeSum += a.edgeScore;
        if (nodeMark_[Index(a.node)] != stamp_) {
            nodeMark_[Index(a.node)] = stamp_;
            starts_.push_back(a.node);
        }
    }
    Component& comp = components_[Index(c)];
    Summary& sum = comp.summary;
    sum.nodeSum -= nodeScore_[Index(x)];
    sum.edges -= edges;
    sum.edgeSum -= edgeSum;
    if (sum.firstKnown && sum.first == position_[Index(x)]) sum.firstKnown = false;
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

// Expands one node of search r; returns the root of r's search afterwards,
// which changes when r meets another search. Each meeting leaves one growing
// search fewer.
GroupTracker::SearchId GroupTracker::StepSearch(SearchId r, SearchId& growing) {
    const NodeId u = searches_[Index(r)].stack.back();
    searches_[Index(r)].stack.pop_back();
    for (const Adjacent& a : Neighbours(u)) {
        const NodeId w = a.node;
        if (w == u || selected_[Index(w)] == 0) continue;
        if (nodeMark_[Index(w)] == stamp_) {
            const SearchId t = FindSearch(owner_[Index(w)]);
            if (t != r) {
                r = JoinSearches(r, t);
                --growing;
            }
            continue;
        }
        nodeMark_[Index(w)] = stamp_;
        owner_[Index(w)] = r;
        searches_[Index(r)].stack.push_back(w);
        searches_[Index(r)].visited.push_back(w);
    }
    return r;
}

void GroupTracker::SplitAfterRemoval(ComponentId c, std::size_t opIndex) {
    const auto count = static_cast<SearchId>(starts_.size());
    if (searches_.size() < starts_.size()) searches_.resize(starts_.size());
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    round_.clear();
    for (SearchId s = 0; s < count; ++s) {
        Search& search = searches_[Index(s)];
        const NodeId v = starts_[Index(s)];
        search.stack.assign(1, v);
        search.visited.assign(1, v);
        search.parent = s;
        nodeMark_[Index(v)] = stamp_;
        owner_[Index(v)] = s;
        round_.push_back(s);
    }

    // Each growing search expands one node in turn. Two searches that meet
    // become one; a search whose stack runs empty has found a whole piece,
    // since every node it reached was expanded and every search it touched
    // was joined. Stops when at most one search is still growing.
    SearchId growing = count;
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
        if (keeper < 0 ||
            search.visited.size() > searches_[Index(keeper)].visited.size())
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
        std::int32_t first = position_[Index(piece.nodes.front())];
        for (std::size_t k = 0; k < piece.nodes.size(); ++k) {
            const NodeId v = piece.nodes[k];
            RemoveFromList(c, v);
            label_[Index(v)] = p;
            slot_[Index(v)] = static_cast<std::int32_t>(k);
            first = std::min(first, position_[Index(v)]);
        }
        Summary& sum = piece.summary;
        sum.first = first;
        sum.firstKnown = true;
        for (NodeId v : piece.nodes) {
            sum.nodeSum += nodeScore_[Index(v)];
            sum.edges += loopCount_[Index(v)];
            sum.edgeSum += loopSum_[Index(v)];
            // Each edge inside the piece once, from its end of smaller id.
            for (const Adjacent& a : Neighbours(v)) {
                if (a.node <= v || label_[Index(a.node)] != p) continue;
                ++sum.edges;
                sum.edgeSum += a.edgeScore;
            }
        }
        Summary& rest = components_[Index(c)].summary;
        rest.nodeSum -= sum.nodeSum;
        rest.edges -= sum.edges;
        rest.edgeSum -= sum.edgeSum;
        if (rest.firstKnown && label_[Index(nodes_[Index(rest.first)])] == p)
            rest.firstKnown = false;
    }
    ops_[opIndex].listEnd = componentLog_.size();
}

void GroupTracker::ScoreChanged() {
    for (ComponentId c : changed_) {
        Component& comp = components_[Index(c)];
        if (!comp.summary.alive || comp.nodes.size() < 2) continue;
        if (!exact_) SumInVisitingOrder(c);
        comp.summary.score = Score(comp);
    }
}

float GroupTracker::Score(const Component& c) const {
    return SubnetworkScoreOfSums(c.summary.nodeSum, c.nodes.size(), c.summary.edgeSum,
                                 static_cast<std::size_t>(c.summary.edges), inputs_.context);
}

void GroupTracker::SumInVisitingOrder(ComponentId c) {
    Component& comp = components_[Index(c)];
    Summary& sum = comp.summary;
    const std::int32_t first = FirstPosition(c);
    const NodeId start = nodes_[Index(first)];
    NextStamp(stamp_, nodeMark_, edgeMark_, componentMark_);
    sum.nodeSum = 0;
    sum.edgeSum = 0;
    sum.edges = 0;
    nodeMark_[Index(start)] = stamp_;
    sum.nodeSum += nodeScore_[Index(start)];
    DepthFirst(
        start,
        [&](const Adjacent& a) {
            if (edgeMark_[Index(a.edge)] == stamp_) return;
            edgeMark_[Index(a.edge)] = stamp_;
            sum.edgeSum += a.edgeScore;
            ++sum.edges;
        },
        [&](NodeId w) {
            if (nodeMark_[Index(w)] == stamp_) return false;
            nodeMark_[Index(w)] = stamp_;
            sum.nodeSum += nodeScore_[Index(w)];
            return true;
        });
}

std::int32_t GroupTracker::FirstPosition(ComponentId c) {
    Summary& sum = components_[Index(c)].summary;
    if (!sum.firstKnown) {
        std::int32_t first = position_[Index(components_[Index(c)].nodes.front())];
        for (NodeId v : components_[Index(c)].nodes) first = std::min(first, position_[Index(v)]);
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
    DepthFirst(start, [](const Adjacent&) {}, [&](NodeId w) {
        if (nodeMark_[Index(w)] == stamp_) return false;
        nodeMark_[Index(w)] = stamp_;
        order.push_back(w);
        return true;
    });
    return order;
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

ComponentId GroupTracker::Rank(int nmax, std::vector<float>& scores) {
    scores.clear();
    const std::size_t want = static_cast<std::size_t>(std::max(nmax, 1));

    // The changed groups, in ranking order, merged with the committed ones
    // that did not change.
    fresh_.clear();
    if (pending_) {
        for (ComponentId c : changed_) {
            const Component& comp = components_[Index(c)];
            if (comp.summary.alive && comp.nodes.size() >= 2) fresh_.push_back({comp.summary.score, c});
        }
        std::sort(fresh_.begin(), fresh_.end(), RankLess{});
    }
    auto it = ranked_.begin();
    std::size_t f = 0;
    auto next = [&](RankKey& key) {
        while (it != ranked_.end() && Changed(it->id)) ++it;
        const bool haveOld = it != ranked_.end();
        const bool haveNew = f < fresh_.size();
        if (!haveOld && !haveNew) return false;
        if (haveOld && (!haveNew || RankLess{}(*it, fresh_[f]))) {
            key = *it++;
        } else {
            key = fresh_[f++];
        }
        return true;
    };

    // The first `want` groups and the rest of the last tie among them.
    top_.clear();
    RankKey key{};
    while (next(key)) {
        if (top_.size() >= want && !RankTie(key.score, top_.back().score)) break;
        top_.push_back(key);
    }
    if (top_.empty()) return kNoComponent;

    // Within a tie, component order decides. Ties of one bit pattern give
    // the same list in any order; the best group is the first of the top tie.
    bool sameBits = true;
    std::size_t topTie = 1;
    for (std::size_t k = 1; k < top_.size(); ++k) {
        if (!RankTie(top_[k].score, top_[k - 1].score)) continue;
        if (std::bit_cast<std::uint32_t>(top_[k].score) !=
            std::bit_cast<std::uint32_t>(top_[k - 1].score))
            sameBits = false;
        if (k == topTie) ++topTie;
    }
    if (!sameBits) {
        // A tie of +0 and -0, or of differing not-a-numbers: order every tie.
        std::size_t begin = 0;
        while (begin < top_.size()) {
            std::size_t end = begin + 1;
            while (end < top_.size() && RankTie(top_[end].score, top_[begin].score)) ++end;
            std::stable_sort(top_.begin() + static_cast<std::ptrdiff_t>(begin),
                             top_.begin() + static_cast<std::ptrdiff_t>(end),
                             [&](const RankKey& a, const RankKey& b) {
                                 return FirstPosition(a.id) < FirstPosition(b.id);
                             });
            begin = end;
        }
    }
    ComponentId best = top_.front().id;
    for (std::size_t k = 1; k < topTie; ++k)
        if (FirstPosition(top_[k].id) < FirstPosition(best)) best = top_[k].id;

    const std::size_t keep = std::min(want, top_.size());
    for (std::size_t k = 0; k < keep; ++k) scores.push_back(top_[k].score);
    return best;
}

}  // namespace tarnvale
