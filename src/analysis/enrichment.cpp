#include "analysis/enrichment.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tarnvale {

namespace {

std::size_t Index(std::int64_t i) { return static_cast<std::size_t>(i); }

// The overlap of a group with the tested sets.
struct Overlaps {
    std::int64_t groupSize = 0;         // distinct group nodes in the universe
    std::vector<NodeId> nodes;          // those nodes, in group order
    std::vector<std::int64_t> count;    // per tested set
    std::vector<std::int32_t> touched;  // tested sets with a non-zero count, in set order
};

Overlaps CountOverlaps(const UniverseSets& matched, const std::vector<NodeId>& group) {
    Overlaps o;
    o.count.assign(matched.source.size(), 0);
    std::unordered_set<NodeId> seen;
    for (const NodeId node : group) {
        if (!matched.inUniverse.get(node) || !seen.insert(node).second) continue;
        o.nodes.push_back(node);
        for (const std::int32_t s : matched.setsOfNode.at(node))
            if (o.count[Index(s)]++ == 0) o.touched.push_back(s);
    }
    o.groupSize = static_cast<std::int64_t>(o.nodes.size());
    std::sort(o.touched.begin(), o.touched.end());
    return o;
}

double LogTail(const UniverseSets& matched, const Overlaps& o, std::int32_t s) {
    return matched.law.LogUpperTail(o.count[Index(s)], matched.size[Index(s)], o.groupSize);
}

}  // namespace

NodeMap<std::vector<std::string>> EnrichmentKeys(
    const std::vector<NodeId>& universe, const NodeMap<std::string>& names,
    const NodeMap<std::vector<std::string>>& associations, const NodeMap<std::string>* labels) {
    NodeMap<std::vector<std::string>> keys;
    for (const NodeId node : universe) {
        std::vector<std::string>& list = keys[node];
        const auto add = [&](const std::string& key) {
            if (!key.empty() && std::find(list.begin(), list.end(), key) == list.end())
                list.push_back(key);
        };
        if (labels != nullptr) add(labels->at(node));
        add(names.at(node));
        for (const std::string& id : associations.at(node)) add(id);
    }
    return keys;
}

UniverseSets MatchGeneSets(const std::vector<GeneSet>& sets, const std::vector<NodeId>& universe,
                           const NodeMap<std::vector<std::string>>& keys,
                           const EnrichmentOptions& options) {
    UniverseSets matched;
    matched.given = sets.size();
    // Member -> the sets that list it (a set lists a member once).
    std::unordered_map<std::string_view, std::vector<std::int32_t>> setsOfMember;
    for (std::size_t s = 0; s < sets.size(); ++s)
        for (const std::string& member : sets[s].members)
            setsOfMember[member].push_back(static_cast<std::int32_t>(s));

    // Each node's sets, each once, however many of its keys a set lists.
    std::vector<NodeId> nodes;
    NodeMap<std::vector<std::int32_t>> setsOfNode;
    std::vector<std::int64_t> sizeOf(sets.size(), 0);
    for (const NodeId node : universe) {
        if (matched.inUniverse.get(node)) continue;
        matched.inUniverse[node] = true;
        nodes.push_back(node);
        std::vector<std::int32_t>& list = setsOfNode[node];
        for (const std::string& key : keys.at(node))
            if (const auto found = setsOfMember.find(key); found != setsOfMember.end())
                list.insert(list.end(), found->second.begin(), found->second.end());
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        for (const std::int32_t s : list) ++sizeOf[Index(s)];
    }
    matched.universeSize = static_cast<std::int64_t>(nodes.size());
    matched.law = Hypergeometric(matched.universeSize);

    // Tested sets, numbered in list order.
    std::vector<std::int32_t> tested(sets.size(), -1);
    for (std::size_t s = 0; s < sets.size(); ++s) {
        if (sizeOf[s] < static_cast<std::int64_t>(options.minSetSize)) {
            ++matched.tooSmall;
        } else if (sizeOf[s] > static_cast<std::int64_t>(options.maxSetSize)) {
            ++matched.tooLarge;
        } else {
            tested[s] = static_cast<std::int32_t>(matched.source.size());
            matched.source.push_back(s);
            matched.size.push_back(sizeOf[s]);
        }
    }
    for (const NodeId node : nodes) {
        std::vector<std::int32_t>& list = matched.setsOfNode[node];
        for (const std::int32_t s : setsOfNode.at(node))
            if (tested[Index(s)] >= 0) list.push_back(tested[Index(s)]);
    }
    return matched;
}

void PrintGeneSetMatching(std::ostream& out, const std::string& fileName,
                          const UniverseSets& matched, const EnrichmentOptions& options) {
    out << "Gene sets of " << fileName << ": " << matched.source.size() << " of " << matched.given
        << " tested against " << matched.universeSize << " nodes; " << matched.tooSmall
        << " with fewer than " << options.minSetSize << " members among them and "
        << matched.tooLarge << " with more than " << options.maxSetSize << " are left out\n";
    if (matched.source.empty())
        out << "Warning: no gene set can be tested: do its members name the network's nodes "
               "or their identifiers in the association file?\n";
}

std::vector<EnrichmentRow> EnrichGroup(const UniverseSets& matched, std::size_t groupNumber,
                                       const std::vector<NodeId>& group) {
    const Overlaps o = CountOverlaps(matched, group);
    // Every tested set is in the family; a set the group misses has p = 1.
    std::vector<double> logP(matched.source.size(), 0.0);
    for (const std::int32_t s : o.touched) logP[Index(s)] = LogTail(matched, o, s);
    const std::vector<double> logQ = LogBenjaminiHochberg(logP);

    std::vector<EnrichmentRow> rows;
    std::vector<std::int32_t> rowOf(matched.source.size(), -1);
    for (const std::int32_t s : o.touched) {
        if (o.count[Index(s)] < 2) continue;
        rowOf[Index(s)] = static_cast<std::int32_t>(rows.size());
        EnrichmentRow& row = rows.emplace_back();
        row.group = groupNumber;
        row.set = matched.source[Index(s)];
        row.overlap = o.count[Index(s)];
        row.groupSize = o.groupSize;
        row.setSize = matched.size[Index(s)];
        row.universe = matched.universeSize;
        row.logP = logP[Index(s)];
        row.logQ = logQ[Index(s)];
    }
    for (const NodeId node : o.nodes)
        for (const std::int32_t s : matched.setsOfNode.at(node))
            if (rowOf[Index(s)] >= 0) rows[Index(rowOf[Index(s)])].members.push_back(node);
    std::stable_sort(rows.begin(), rows.end(), [](const EnrichmentRow& a, const EnrichmentRow& b) {
        return a.logP < b.logP;
    });
    return rows;
}

std::vector<SetStatistic> EnrichmentStatistics(const UniverseSets& matched,
                                               const std::vector<NodeId>& group) {
    const Overlaps o = CountOverlaps(matched, group);
    std::vector<SetStatistic> statistics;
    for (const std::int32_t s : o.touched)
        if (o.count[Index(s)] >= 2)
            statistics.push_back({matched.source[Index(s)], -LogTail(matched, o, s)});
    return statistics;
}

std::vector<SetStatistic> BestStatistics(const UniverseSets& matched,
                                         const std::vector<std::vector<NodeId>>& groups) {
    std::vector<SetStatistic> best;
    for (const std::vector<NodeId>& group : groups)
        for (const SetStatistic& s : EnrichmentStatistics(matched, group)) best.push_back(s);
    // Per set, the largest value: sorted by set, then value, largest first.
    std::sort(best.begin(), best.end(), [](const SetStatistic& a, const SetStatistic& b) {
        return a.set != b.set ? a.set < b.set : a.value > b.value;
    });
    best.erase(
        std::unique(best.begin(), best.end(),
                    [](const SetStatistic& a, const SetStatistic& b) { return a.set == b.set; }),
        best.end());
    return best;
}

std::vector<double> EmpiricalPValues(const std::vector<EnrichmentRow>& rows,
                                     const std::vector<std::vector<SetStatistic>>& chains) {
    // Each set's non-zero chain values, sorted, for a binary search per row.
    std::unordered_map<std::size_t, std::vector<double>> valuesOf;
    for (const EnrichmentRow& row : rows) valuesOf[row.set];
    for (const auto& chain : chains)
        for (const SetStatistic& statistic : chain)
            if (const auto found = valuesOf.find(statistic.set); found != valuesOf.end())
                found->second.push_back(statistic.value);
    for (auto& [set, values] : valuesOf) std::sort(values.begin(), values.end());

    const auto total = static_cast<double>(chains.size());
    std::vector<double> p;
    p.reserve(rows.size());
    for (const EnrichmentRow& row : rows) {
        const double observed = -row.logP;
        const double bar = observed - 1e-9 * std::max(1.0, observed);
        const std::vector<double>& values = valuesOf.at(row.set);
        // Chains that do not list the set have 0, which reaches only a bar
        // at or below 0.
        double reached =
            static_cast<double>(values.end() - std::lower_bound(values.begin(), values.end(), bar));
        if (bar <= 0) reached = total;
        p.push_back((1 + reached) / (total + 1));
    }
    return p;
}

}  // namespace tarnvale
