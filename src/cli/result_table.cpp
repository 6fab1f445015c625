#include "cli/result_table.hpp"

#include <iomanip>
#include <sstream>

namespace tarnvale {

void PrintResults(std::ostream& out, const std::vector<CheckedRun>& runs,
                  const NodeMap<std::string>& names, int permutations, std::size_t maxMembers) {
    auto cell = [](const std::optional<double>& value) {
        std::ostringstream text;
        if (value)
            text << *value;
        else
            text << '-';
        return text.str();
    };
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const CheckedRun& run = runs[r];
        std::size_t ranked = 0;
        for (const SummaryRow& row : run.rows) ranked += row.rank && row.ranked;
        out << "\nResult of run " << static_cast<char>('A' + r) << ": " << ranked
            << (ranked == 1 ? " ranked group" : " ranked groups");
        if (permutations > 0)
            out << ", family-wise p from " << permutations << " permutation chains";
        out << '\n';
        if (ranked == 0) continue;
        out << std::left << "  " << std::setw(5) << "rank" << std::setw(6) << "size"
            << std::setw(10) << "s-score" << std::setw(15) << "family-wise p" << std::setw(11)
            << "stability"
            << "members\n";
        for (const SummaryRow& row : run.rows) {
            if (!row.rank || !row.ranked) continue;
            std::ostringstream score;
            score << row.score;
            std::string members;
            const auto& nodes = run.groups[*row.rank].nodes;
            for (std::size_t i = 0; i < nodes.size() && i < maxMembers; ++i)
                members += (i == 0 ? "" : ", ") + names.at(nodes[i]);
            if (nodes.size() > maxMembers)
                members += ", ... (" + std::to_string(nodes.size() - maxMembers) + " more)";
            out << "  " << std::setw(5) << *row.rank << std::setw(6) << row.size << std::setw(10)
                << score.str() << std::setw(15) << cell(row.familywiseP) << std::setw(11)
                << cell(row.stability) << members << '\n';
        }
    }
    out << std::right;
}

bool QuietLines::operator()(std::string_view line) {
    if (inTable_) {
        inTable_ = !line.empty();
        return true;
    }
    if (line.rfind("Result of run ", 0) == 0) {
        inTable_ = true;
        return true;
    }
    for (const std::string_view kept :
         {"Warning", "Error", "NOTE", "error:", "Program finished", "Time taken"})
        if (line.rfind(kept, 0) == 0) return true;
    return false;
}

}  // namespace tarnvale
