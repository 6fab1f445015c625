// Gene-set enrichment on a universe small enough to check by hand: matching
// by every kind of key, the size filter, the Benjamini-Hochberg family, the
// empirical p-values and the table. Last, where a group's score comes from,
// as the summary tells it.

#include "analysis/enrichment.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/enrichment_table.hpp"
#include "analysis/summary.hpp"

namespace tarnvale {
namespace {

// Twenty universe nodes g0..g19 and g20 outside it; g3 is also known as ID3
// and X3 (association), g4 as L4 (label).
class Enrichment : public ::testing::Test {
protected:
    Enrichment() {
        for (NodeId n = 0; n <= 20; ++n) names[n] = "g" + std::to_string(n);
        for (NodeId n = 0; n < 20; ++n) universe.push_back(n);
        universe.push_back(3);  // listed twice, counted once
        associations[3] = {"ID3", "X3"};
        labels[4] = "L4";
        keys = EnrichmentKeys(universe, names, associations, &labels);
        matched = MatchGeneSets(sets, universe, keys, options);
    }

    NodeMap<std::string> names, labels;
    NodeMap<std::vector<std::string>> associations;
    std::vector<NodeId> universe;
    NodeMap<std::vector<std::string>> keys;
    const EnrichmentOptions options{.minSetSize = 2, .maxSetSize = 6};
    const std::vector<GeneSet> sets = {
        {"tiny", "one member here", {"g0", "zz"}},
        {"absent", "none here", {"q1", "q2"}},
        {"broad", "seven members", {"g0", "g1", "g2", "g3", "g4", "g5", "g6"}},
        {"A", "by every key", {"g1", "ID3", "X3", "L4", "g5", "g20"}},
        {"B", "two", {"g1", "g2"}},
        {"C", "six", {"g10", "g11", "g12", "g13", "g14", "g15"}},
        {"D", "two more", {"g7", "g8"}},
    };
    UniverseSets matched;
};

TEST_F(Enrichment, MatchingCountsEachNodeOnceAndFiltersBySizeInTheUniverse) {
    EXPECT_EQ(keys.at(3), (std::vector<std::string>{"g3", "ID3", "X3"}));
    EXPECT_EQ(keys.at(4), (std::vector<std::string>{"L4", "g4"}));
    // The universe's size and the sets left out are the message's.
    EXPECT_EQ(matched.source, (std::vector<std::size_t>{3, 4, 5, 6}));
    EXPECT_EQ(matched.size, (std::vector<std::int64_t>{4, 2, 6, 2}));  // A: g1, g3, g4, g5
    std::ostringstream out;
    PrintGeneSetMatching(out, "s.gmt", matched, options);
    EXPECT_EQ(out.str(),
              "Gene sets of s.gmt: 4 of 7 tested against 20 nodes; 2 with fewer than 2 members "
              "among them and 1 with more than 6 are left out\n");
    out.str("");
    PrintGeneSetMatching(out, "s.gmt", MatchGeneSets(sets, universe, {}, options), options);
    EXPECT_EQ(out.str(),
              "Gene sets of s.gmt: 0 of 7 tested against 20 nodes; 7 with fewer than 2 members "
              "among them and 0 with more than 6 are left out\n"
              "Warning: no gene set can be tested: do its members name the network's nodes or "
              "their identifiers in the association file?\n");
}

// The p-values are exact fractions of binomial coefficients, and the q-value
// family is every tested set (m = 4), the ones the group meets only once too:
// B and D, met once, have smaller p-values than C and so push C down the
// ranks. With B and D left out of the family, or taken as p = 1, the
// q-values of A and C would differ.
TEST_F(Enrichment, GroupRowsQValuesAndTheTable) {
    // g20 lies outside the universe and g3 comes twice: n = 6. Exact p, q of
    // the rows of each group, in their order (by p); the table shows the rest.
    const std::vector<NodeId> one = {1, 3, 4, 20, 3, 10, 11, 7}, two = {13, 12, 11, 10, 2, 1};
    const auto first = EnrichGroup(matched, 0, one);
    auto second = EnrichGroup(matched, 1, two);
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 2u);
    const std::pair<const EnrichmentRow*, std::array<double, 3>> expected[] = {
        // A: (C(4,3) C(16,3) + C(16,2)) / C(20,6)
        {&first[0], {3, 2360.0 / 38760, 4 * 2360.0 / 38760}},
        // C: 1 - (C(14,6) + 6 C(14,5)) / C(20,6), rank 4 of 4: after B and
        // D, whose p is 1 - C(18,6) / C(20,6) = 20196 / 38760
        {&first[1], {5, 23745.0 / 38760, 23745.0 / 38760}},
        {&second[0], {5, 1450.0 / 38760, 4 * 1450.0 / 38760}},
        {&second[1], {4, 3060.0 / 38760, 2 * 3060.0 / 38760}},
    };
    for (const auto& [row, values] : expected) {
        EXPECT_EQ(row->set, values[0]);
        EXPECT_NEAR(std::exp(row->logP), values[1], 1e-13) << values[0];
        EXPECT_NEAR(std::exp(row->logQ), values[2], 1e-13) << values[0];
    }

    // The cheap statistic is the rows' own -log p, in set order. A chain
    // holds each set once, at its best over the ranked groups: set C (5) from
    // the second group, set A (3) from the first, B (4) from the second,
    // whatever the groups' order.
    using Pairs = std::vector<std::pair<std::size_t, double>>;
    auto pairs = [](const std::vector<SetStatistic>& v) {
        Pairs result;
        for (const SetStatistic& s : v) result.emplace_back(s.set, s.value);
        return result;
    };
    EXPECT_EQ(pairs(EnrichmentStatistics(matched, two)),
              (Pairs{{4, -second[1].logP}, {5, -second[0].logP}}));
    for (const auto& groups : {std::vector{one, two}, std::vector{two, one}})
        EXPECT_EQ(pairs(BestStatistics(matched, groups)),
                  (Pairs{{3, -first[0].logP},
                         {4, -second[1].logP},
                         {5, std::max(-first[1].logP, -second[0].logP)}}));

    second[1].empiricalP = 0.25;
    std::vector<EnrichmentRow> rows = {second[1], first[1], first[0], second[0]};
    rows[2].logP = -1000;  // shown below the double range, not as 0
    std::ostringstream out;
    WriteEnrichmentTable(out, sets, names, rows);
    EXPECT_EQ(out.str(),
              "group\tset\tdescription\toverlap\tgroup_size\tset_size\tuniverse\tp_hypergeometric"
              "\tq_bh\tp_empirical\tmembers\n"
              "0\tA\tby every key\t3\t6\t4\t20\t5.07596e-435\t0.24355\t\tg1;g3;g4\n"
              "0\tC\tsix\t2\t6\t6\t20\t0.612616\t0.612616\t\tg10;g11\n"
              "1\tC\tsix\t4\t6\t6\t20\t0.0374097\t0.149639\t\tg13;g12;g11;g10\n"
              "1\tB\ttwo\t2\t6\t2\t20\t0.0789474\t0.157895\t0.25\tg2;g1\n");
}

TEST(EnrichmentStatistic, EmpiricalPValuesCountChainsThatReachTheRow) {
    auto row = [](std::size_t set, double logP) {
        EnrichmentRow r;
        r.set = set;
        r.logP = logP;
        return r;
    };
    const std::vector<std::vector<SetStatistic>> chains = {
        {{5, 7.5}},                         // the same value
        {{2, 30}, {5, 7.5 * (1 - 1e-12)}},  // short by rounding only
        {{5, 7.4999}, {9, 1.9}},            // short
        {},                                 // no set met twice: all 0
    };
    // The last row has p = 1: every chain reaches it.
    EXPECT_EQ(EmpiricalPValues({row(5, -7.5), row(9, -2), row(5, 0)}, chains),
              (std::vector<double>{3.0 / 5, 1.0 / 5, 5.0 / 5}));
    EXPECT_EQ(EmpiricalPValues({row(5, -7.5)}, {}), (std::vector<double>{1.0}));
}

TEST(EnrichmentStatistic, ProbabilitiesPrintedFromTheirLogs) {
    // -708 is still a normal double; at -745 exp would give the smallest
    // subnormal, 4.94066e-324; 9.99999998e-401 rounds up to 1e-400. (The
    // table above shows one far below the double range.)
    std::string texts;
    for (double logValue :
         {0.0, std::log(0.25), -708.0, -745.0, (-400 - 1e-9) * std::log(10.0), -HUGE_VAL})
        texts += ProbabilityText(logValue) + ' ';
    EXPECT_EQ(texts, "1 0.25 3.30755e-308 2.82235e-324 1e-400 0 ");
}

// With neutral models (mean 0, spread 1 at every size) a part is the sum of
// its scores over the square root of their count.
TEST(SourceOfScore, StoufferEvidenceAndTheEdgePartsShareByHand) {
    const BackgroundModel neutral{0, 1, 1, 0, 0, 0};
    const ScoreContext withEdges{neutral, neutral, false}, nodeOnly{neutral, neutral, true};
    // Node part 4 / 2 = 2, edge part 3 / sqrt 1 = 3: the edges give 3 of 5.
    ScoreSource s = SourceOfScore({1, 1, 1, 1}, {3}, withEdges);
    EXPECT_DOUBLE_EQ(s.nodeEvidence, 2.0);
    EXPECT_NEAR(s.edgeShare, 0.6, 1e-6);
    // Weak nodes, strong edges: more than the whole score from the edges.
    s = SourceOfScore({-1, 0.5f}, {2, 2}, withEdges);
    EXPECT_NEAR(s.nodeEvidence, -0.5 / std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(s.edgeShare, 4.0 / (4.0 - 0.5), 1e-5);
    // Scored by nodes only, nothing comes from edges.
    s = SourceOfScore({2, 2, 2}, {5, 5}, nodeOnly);
    EXPECT_NEAR(s.nodeEvidence, 6.0 / std::sqrt(3.0), 1e-9);
    EXPECT_EQ(s.edgeShare, 0.0);
}

}  // namespace
}  // namespace tarnvale
