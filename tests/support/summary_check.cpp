#include <sstream>

#include "support/report_checker.hpp"

namespace tarnvale::testing {

std::vector<std::string> CheckSummary(const std::string& summaryText,
                                      const std::vector<std::pair<char, std::string>>& reports,
                                      int nmax) {
    std::vector<std::string> problems;
    std::istringstream in(summaryText);
    std::string line;
    if (!std::getline(in, line) ||
        line != "run\trank\tsize\tedges\ts_score\tranked\tpermutation_p\tnull\tstability")
        problems.push_back("summary header is \"" + line + "\"");
    std::size_t row = 1;
    for (const auto& [letter, text] : reports) {
        const ParsedReport report = ParseReport(text, problems);
        for (const ReportGroup& group : report.groups) {
            ++row;
            const std::string where = "summary line " + std::to_string(row) + ": ";
            if (!std::getline(in, line)) {
                problems.push_back(where + "missing, run " + letter);
                return problems;
            }
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
            if (!line.empty() && line.back() == '\t') f.emplace_back();
            if (f.size() != 9) {
                problems.push_back(where + "has " + std::to_string(f.size()) + " fields");
                continue;
            }
            const bool ranked = group.number < nmax;
            if (f[0] != std::string(1, letter) || f[1] != std::to_string(group.number) ||
                f[2] != std::to_string(group.nodes.size()) || std::stod(f[4]) != group.score ||
                f[5] != (ranked ? "yes" : "no"))
                problems.push_back(where + "\"" + line + "\" is not group " +
                                   std::to_string(group.number) + " of run " + letter);
        }
    }
    if (std::getline(in, line)) problems.push_back("summary has extra line \"" + line + "\"");
    return problems;
}

}  // namespace tarnvale::testing
