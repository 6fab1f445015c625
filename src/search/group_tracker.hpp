#pragma once
// The groups of a selection, kept up to date one move at a time.
//
// Every selected node carries the label of its component (the connected
// piece of the subgraph the selected nodes induce, single nodes included);
// every component keeps its nodes, node count, node-score sum, edge count,
// edge-score sum and subnetwork score. Selecting a node merges the
// components of its selected neighbours into the largest of them, so only
// the smaller ones are relabelled. Unselecting a node starts one search from
// each of its selected neighbours and advances them in turn, one adjacency
// entry each, reading every row highest-degree neighbour first so that the
// searches climb to the hubs and meet there. Searches that meet are joined,
// and as soon as at most one search is still growing, every finished search
// has found a whole piece. Those pieces get new labels; the piece still
// growing, usually the largest, keeps the old label and its sums are what is
// left. A move costs about its neighbourhood and the pieces it splits off, not
// the graph.
//
// A move is applied tentatively and then either committed or undone from a
// journal, at the cost of applying it. The ranked scores of the applied state
// come from an ordered set of the committed groups' scores merged with the
// changed groups', so ranking costs the changed groups and the list's length.
//
// Exactness: scores are sums of floats in extended precision. When every sum
// over the graph's node scores, and edge scores while they take part, is
// exact (see exact_sum.hpp), sums are kept by addition and subtraction in
// any order and equal the sums in the search's visiting order. Otherwise
// each group also keeps its sum exactly, with the exact sum of magnitudes
// (see wide_sum.hpp): when those show that every order of summing gives the
// same score, that score is the visiting order's too. Only a changed group
// whose score could depend on the order, or any group when a score is not
// finite, is summed again in its visiting order: a depth-first
// search from its first node in node order along the adjacency order, as the
// component search of the graph makes it. Ties between equal scores are
// broken by component order (first node in node order), which a component
// keeps or finds again on demand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "network/graph.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"
#include "stats/statistics.hpp"
#include "stats/wide_sum.hpp"

namespace tarnvale {

using ComponentId = std::int32_t;
constexpr ComponentId kNoComponent = -1;

class GroupTracker {
public:
    // One incident edge of a node, in the graph's adjacency order.
    using Adjacent = SearchGraph::Adjacent;

    // The groups of selections of `graph`'s nodes; edge scores take part
    // unless inputs.context.nodeOnly, and then the graph must carry them. The
    // graph and what `inputs` refers to must outlive the tracker, which only
    // reads them.
    GroupTracker(const SearchGraph& graph, const ScoreInputs& inputs);

    // Builds the components of `selection` from scratch.
    void Reset(const NodeMap<bool>& selection);

    // True when sums are kept incrementally (see above).
    bool SumsAreExact() const { return exact_; }
    // How many times a changed group was summed again in visiting order.
    std::uint64_t SumsRedone() const { return sumsRedone_; }

    bool Selected(NodeId v) const { return selected_[Index(v)] != 0; }
    std::span<const Adjacent> Neighbours(NodeId v) const { return graph_.Neighbours(v); }
    // Incident edges, loops counted twice.
    std::int64_t Degree(NodeId v) const { return graph_.Degree(v); }

    // Flips the selection of every node of `flips` (each at most once) and
    // brings the components and scores up to date. Pending until Commit()
    // or Undo(); only one move can be pending.
    void Apply(std::span<const NodeId> flips);
    // Keeps the pending move.
    void Commit();
    // Returns to the state before the pending move.
    void Undo();

    // The ranked state of the current (pending or committed) selection: the
    // first min(groups, max(nmax, 1)) scores, highest first (not-a-number
    // last), each tie in component order, as RankState gives them; and the
    // best group, the first group in component order with the top score
    // (kNoComponent when there is no group).
    ComponentId Rank(int nmax, std::vector<float>& scores);

    ComponentId ComponentOf(NodeId v) const { return label_[Index(v)]; }
    // A component's nodes, in no particular order.
    const std::vector<NodeId>& ComponentNodes(ComponentId c) const {
        return components_[Index(c)].nodes;
    }
    float ComponentScore(ComponentId c) const { return components_[Index(c)].summary.score; }
    // A component's nodes in the visiting order of the graph's component
    // search; for checks, it costs a search of the component.
    std::vector<NodeId> NodesInVisitingOrder(ComponentId c);

private:
    static std::size_t Index(std::int32_t id) { return static_cast<std::size_t>(id); }

    // What a move changes of a component besides its node list.
    struct Summary {
        TrackedSum nodeSum;
        TrackedSum edgeSum;
        std::int64_t edges = 0;
        float score = 0;
        std::int32_t first = 0;  // smallest node-list position, when firstKnown
        bool firstKnown = false;
        bool alive = false;
    };
    struct Component {
        std::vector<NodeId> nodes;
        Summary summary;
    };
    // One step of a move, with what its undoing needs.
    struct Op {
        bool select;
        NodeId node;
        ComponentId component;                 // select: the one x joined; unselect: the one x left
        std::size_t oldSize;                   // select: that component's node count before
        std::size_t listBegin, listEnd;        // in componentLog_: absorbed or split-off
        std::size_t removalBegin, removalEnd;  // in removalLog_ (unselect)
    };
    // A search of the split that unselecting a node may cause; searches
    // that meet are joined under one root (union-find over `parent`).
    using SearchId = std::int32_t;
    // A node of a search whose adjacency is partly examined: the next entry
    // and the end of its row in adjacent_. A start that joins a search is
    // pushed with end kUnread and itself in `next`, and its row is looked
    // up only if the search comes to it: often it never does.
    static constexpr std::size_t kUnread = ~std::size_t{0};
    struct Frame {
        std::size_t next;
        std::size_t end;
    };
    struct Search {
        std::vector<Frame> stack;  // the top frame always has an entry left
        std::vector<NodeId> visited;
        SearchId parent = 0;
    };
    // Ranking order: higher score first, not-a-number last, then id.
    struct RankKey {
        float score;
        ComponentId id;
    };
    struct RankLess {
        bool operator()(const RankKey& a, const RankKey& b) const;
    };

    void SelectNode(NodeId x);
    void UnselectNode(NodeId x);
    // Splits c after the removal of a node whose distinct selected
    // neighbours are starts_ (x is already unselected, so no search passes it).
    void SplitAfterRemoval(ComponentId c, std::size_t opIndex);
    SearchId FindSearch(SearchId s);
    SearchId JoinSearches(SearchId a, SearchId b);
    SearchId StepSearch(SearchId r, SearchId& growing);
    // Marks v as reached by search r, its row still to be read.
    void Reach(SearchId r, NodeId v);
    // The same for a start that joins r, its row not yet looked up.
    void Join(SearchId r, NodeId v);
    // The search whose piece v is seen to belong to, from its mark or its
    // first neighbours; -1 when none is.
    SearchId SearchNear(NodeId v);

    ComponentId NewComponent();
    void Touch(ComponentId c);
    void Release(ComponentId c);
    void RemoveFromList(ComponentId c, NodeId v);
    void ScoreChanged();
    // Adds the node and edge scores of c's members, in list order, to its
    // sums (zero before), each edge once.
    void SumMembers(ComponentId c);
    void SumInVisitingOrder(ComponentId c);
    // The graph's depth-first search over selected nodes from start, in
    // adjacency order: onEdge(a) for every entry that leads to a selected
    // node, and a descent into a.node when enter(a.node) says it is new.
    template <class OnEdge, class Enter>
    void DepthFirst(NodeId start, OnEdge&& onEdge, Enter&& enter);
    // Adds v to s. While every sum is exact only the extended-precision
    // value is ever read, so the exact words are left alone.
    void AddScore(TrackedSum& s, float v) const {
        if (exact_)
            s.value += v;
        else
            s += v;
    }
    // The edges from x to selected nodes (its loops included) into `edgeSum`,
    // returning their count; onNeighbour(w) for each such far end w. While
    // every sum is exact the value is summed in a local, in the same order,
    // and the row is first sifted without a branch on the selection, which
    // the row visits at random.
    template <class OnNeighbour>
    std::int64_t SelectedEdges(NodeId x, TrackedSum& edgeSum, OnNeighbour&& onNeighbour) {
        std::int64_t edges = graph_.Loops(x);
        edgeSum = LoopSum(x);
        const std::span<const Adjacent> row = Neighbours(x);
        if (!exact_) {
            for (const Adjacent& a : row) {
                if (a.node == x || selected_[Index(a.node)] == 0) continue;
                ++edges;
                edgeSum += a.edgeScore;
                onNeighbour(a.node);
            }
            return edges;
        }
        if (picked_.size() < row.size()) picked_.resize(row.size());
        std::size_t count = 0;
        for (const Adjacent& a : row) {
            picked_[count] = a;
            count += static_cast<std::size_t>(a.node != x && selected_[Index(a.node)] != 0);
        }
        Extended value = edgeSum.value;
        for (std::size_t k = 0; k < count; ++k) {
            value += picked_[k].edgeScore;
            onNeighbour(picked_[k].node);
        }
        edgeSum.value = value;
        return edges + static_cast<std::int64_t>(count);
    }
    // The same for a sum of sums, and for taking away.
    void AddScore(TrackedSum& s, const TrackedSum& t) const {
        if (exact_)
            s.value += t.value;
        else
            s += t;
    }
    void SubtractScore(TrackedSum& s, float v) const {
        if (exact_)
            s.value -= v;
        else
            s -= v;
    }
    void SubtractScore(TrackedSum& s, const TrackedSum& t) const {
        if (exact_)
            s.value -= t.value;
        else
            s -= t;
    }
    float Score(const Component& c) const;
    // The score from the exact sums, when every order of summing gives it.
    std::optional<float> OrderFreeScore(const Component& c) const;
    const TrackedSum& LoopSum(NodeId v) const { return graph_.LoopSum(v); }
    std::int32_t FirstPosition(ComponentId c);
    bool Changed(ComponentId c) const { return touched_[Index(c)] == moveStamp_ && pending_; }

    const SearchGraph& graph_;
    const ScoreInputs inputs_;  // its members refer to the caller's maps
    const std::vector<NodeId>& nodes_;
    bool withEdges_ = false;
    bool exact_ = false;
    bool finite_ = false;  // every score that takes part is finite
    std::uint64_t sumsRedone_ = 0;
    int nodeUnit_ = 0;  // every node score is a multiple of 2^nodeUnit_
    int edgeUnit_ = 0;

    // What the tracker reads of the graph (see search_graph.hpp).
    std::span<const std::size_t> rowStart_;
    std::span<const Adjacent> adjacent_;
    std::span<const NodeId> hubFirst_;
    static constexpr std::size_t kPeek = SearchGraph::kPeek;
    std::span<const NodeId> peek_;
    std::vector<float> nodeScore_;  // by node id

    // The current state.
    std::vector<unsigned char> selected_;
    std::vector<ComponentId> label_;
    std::vector<std::int32_t> slot_;  // index in the component's node list
    std::vector<Component> components_;
    std::vector<ComponentId> free_;
    std::set<RankKey, RankLess> ranked_;  // committed groups
    std::vector<unsigned char> inRanked_;
    std::vector<float> rankedScore_;

    // The pending move.
    bool pending_ = false;
    std::uint32_t moveStamp_ = 1;
    std::vector<std::uint32_t> touched_;
    std::vector<Op> ops_;
    std::vector<ComponentId> componentLog_;
    std::vector<std::pair<NodeId, std::int32_t>> removalLog_;
    std::vector<std::pair<ComponentId, Summary>> saved_;
    std::vector<ComponentId> created_;
    std::vector<ComponentId> changed_;  // touched or created, in that order

    // Scratch space.
    std::uint32_t stamp_ = 0;
    std::vector<std::uint32_t> nodeMark_;
    std::vector<std::uint32_t> edgeMark_;
    std::vector<std::uint32_t> componentMark_;
    std::vector<SearchId> owner_;  // by node: the search that reached it
    std::vector<Search> searches_;
    std::vector<SearchId> round_;
    std::vector<ComponentId> neighbourComponents_;
    std::vector<NodeId> starts_;
    std::vector<NodeId> joining_;
    std::vector<Adjacent> picked_;
    std::vector<std::pair<NodeId, std::size_t>> dfs_;
    std::vector<RankKey> fresh_;
    std::vector<RankKey> top_;
};

}  // namespace tarnvale
