#include "analysis/summary.hpp"

namespace tarnvale {

void WriteSummaryTable(std::ostream& out, const std::vector<SummaryRow>& rows) {
    out << "run\trank\tsize\tedges\ts_score\tranked\tpermutation_p\tnull\tstability\n";
    for (const SummaryRow& row : rows) {
        out << row.run << '\t' << row.rank << '\t' << row.size << '\t' << row.edges << '\t'
            << row.score << '\t' << (row.ranked ? "yes" : "no") << '\t';
        if (row.pValue) out << *row.pValue;
        out << '\t' << row.null << '\t';
        if (row.stability) out << *row.stability;
        out << '\n';
    }
}

}  // namespace tarnvale
