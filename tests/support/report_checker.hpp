#pragma once
// An independent checker for the report files that tarnvale writes.
//
// It re-reads a report strictly, rebuilds the cleaned network from the three
// input files with the library's readers, node scoring and preparation steps
// (in the driver's order; the scoring has exact unit tests of its own), and
// checks the report with its own code: every group is connected (its own
// breadth-first search), no edge joins two groups, the node columns match the
// node scores, groups are numbered and ranked, and the first run's scores are
// recomputed from scratch against background models rebuilt with the run's
// seed. Every problem found is listed; an empty list means a valid report.

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/report_parser.hpp"

namespace tarnvale::testing {

// The three input files of a run, as given to -d, -a and the SIF argument.
struct InputFiles {
    std::string sif, pvalues, association;
};

// The options of the first run that decide its scores.
struct FirstRunSettings {
    int kmax = 100, imax = 10000;
    std::uint32_t seed = 0;
    // False when the program scores groups by their nodes only (its warning
    // "all edge scores are equal", or a network without edges).
    bool edgesTakePart = true;
};

struct CheckResult {
    std::vector<std::string> problems;
    std::vector<ReportGroup> groups;  // what could be read
    bool ok() const { return problems.empty(); }
    std::string Describe() const;
};

// The cleaned network of the first run and its background models, built once.
class ReportChecker {
public:
    // Throws std::runtime_error when the inputs do not load or leave no network.
    ReportChecker(const InputFiles& files, const FirstRunSettings& settings);

    CheckResult CheckFirstRun(const std::string& reportText) const;
    // A later run's groups must be valid groups lying inside the first run's
    // groups; their scores depend on a background the reports do not show.
    CheckResult CheckLaterRun(const std::string& firstReportText,
                              const std::string& laterReportText) const;

    std::size_t NumberOfNodes() const { return names_.size(); }
    bool EdgesVary() const { return edgeModel_.has_value(); }

private:
    using Model = std::array<double, 5>;  // mean, sd, meanCoef, sdExp, sdCoef
    // The first run's score of the group of these nodes, from scratch.
    std::optional<double> ExpectedScore(const std::vector<std::size_t>& members) const;
    // Checks what every run's groups must be; returns each group's known nodes.
    std::vector<std::vector<std::size_t>> CheckGroups(const std::vector<ReportGroup>& groups,
                                                      std::vector<std::string>& problems) const;

    FirstRunSettings settings_;
    std::vector<std::string> names_;
    std::unordered_map<std::string, std::size_t> index_;
    std::vector<double> nodeScores_;
    std::vector<std::vector<std::size_t>> adjacent_;
    std::map<std::pair<std::size_t, std::size_t>, float> edgeScores_;  // smaller index first
    Model nodeModel_{};
    std::optional<Model> edgeModel_;
};

// The rows of DIR/out.summary.tsv against the runs' reports (letter, text)
// and the run's other files in DIR (out<letter>.sif, .significance.tsv,
// .stability.tsv, each when present): one row per group in report order,
// `ranked` yes for the first nmax, its edges those of the exported network,
// its p-values those of the significance table, its stability the mean of its
// nodes' fractions, its node evidence the sum of its node scores over the
// square root of its size, no edge share after the first run.
std::vector<std::string> CheckSummary(const std::filesystem::path& dir,
                                      const std::vector<std::pair<char, std::string>>& reports,
                                      int nmax);

}  // namespace tarnvale::testing
