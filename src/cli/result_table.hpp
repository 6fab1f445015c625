#pragma once
// A short readable table of each run's ranked groups, for a quiet standard
// output: size, s-score, family-wise p, stability and members by name.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/run_checks.hpp"

namespace tarnvale {

// For every run: "Result of run X: ..." and one line per ranked group, then
// an empty line. Columns without data (no permutations, no ensemble) show
// "-". At most `maxMembers` display names are listed per group.
void PrintResults(std::ostream& out, const std::vector<CheckedRun>& runs,
                  const NodeMap<std::string>& names, int permutations, std::size_t maxMembers = 8);

// Whether a line of standard output stays in quiet mode: warnings, errors,
// notes, the result tables and the end. Keeps its state between lines (a
// result table runs to the next empty line).
class QuietLines {
public:
    bool operator()(std::string_view line);

private:
    bool inTable_ = false;
};

}  // namespace tarnvale
