#pragma once
// One table of every group of every run: OUTBASE.summary.tsv.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tarnvale {

struct SummaryRow {
    char run = 'A';
    std::size_t rank = 0;             // the group's number in the run's report
    std::size_t size = 0;             // nodes
    std::size_t edges = 0;            // edges joining two of its nodes
    float score = 0;                  // its subnetwork score, as the report gives it
    bool ranked = false;              // one of the nmax groups the search compared
    std::optional<double> pValue;     // from the permutation test
    std::string null;                 // the permutation test's null, or empty
    std::optional<double> stability;  // mean stability of its nodes
};

// The header "run rank size edges s_score ranked permutation_p null
// stability" (tab-separated), then one line per row; a value not known is
// an empty field.
void WriteSummaryTable(std::ostream& out, const std::vector<SummaryRow>& rows);

}  // namespace tarnvale
