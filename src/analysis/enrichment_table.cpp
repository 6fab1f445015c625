#include "analysis/enrichment_table.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <sstream>

namespace tarnvale {

std::string ProbabilityText(double logValue) {
    std::ostringstream text;
    // exp is exact to a rounding down to the smallest normal double; below
    // it the digits come from the decimal log, the mantissa and exponent
    // printed as the stream prints any number.
    if (logValue >= std::log(std::numeric_limits<double>::min()) || std::isnan(logValue)) {
        text << std::exp(logValue);
        return text.str();
    }
    if (logValue == -std::numeric_limits<double>::infinity()) return "0";
    const double log10 = logValue / std::log(10.0);
    double exponent = std::floor(log10);
    double mantissa = std::pow(10.0, log10 - exponent);
    std::ostringstream digits;
    digits << mantissa;
    // 9.999997 rounds to "10" in six digits: carry into the exponent.
    if (digits.str() == "10") {
        exponent += 1;
        mantissa = 1;
        digits.str("");
        digits << mantissa;
    }
    text << digits.str() << "e-" << static_cast<long long>(-exponent);
    return text.str();
}

void WriteEnrichmentTable(std::ostream& out, const std::vector<GeneSet>& sets,
                          const NodeMap<std::string>& displayNames,
                          const std::vector<EnrichmentRow>& rows) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const EnrichmentRow& x = rows[a];
        const EnrichmentRow& y = rows[b];
        if (x.group != y.group) return x.group < y.group;
        if (x.logP != y.logP) return x.logP < y.logP;
        return x.set < y.set;
    });
    out << "group\tset\tdescription\toverlap\tgroup_size\tset_size\tuniverse\tp_hypergeometric"
           "\tq_bh\tp_empirical\tmembers\n";
    for (const std::size_t i : order) {
        const EnrichmentRow& row = rows[i];
        const GeneSet& set = sets.at(row.set);
        out << row.group << '\t' << set.name << '\t' << set.description << '\t' << row.overlap
            << '\t' << row.groupSize << '\t' << row.setSize << '\t' << row.universe << '\t'
            << ProbabilityText(row.logP) << '\t' << ProbabilityText(row.logQ) << '\t';
        if (row.empiricalP) out << *row.empiricalP;
        out << '\t';
        for (std::size_t m = 0; m < row.members.size(); ++m)
            out << (m == 0 ? "" : ";") << displayNames.at(row.members[m]);
        out << '\n';
    }
}

}  // namespace tarnvale
