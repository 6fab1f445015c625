#pragma once
// An independent checker for the report files that tarnvale writes.
//
// It re-reads a report strictly, rebuilds the cleaned network from the three
// input files with the library's SIF and association readers and preparation
// steps (in the driver's order; the p-values and node scores it computes
// itself), and then checks the report against that network with its own
// code: groups are connected components of their own (its own
// breadth-first search over an adjacency it builds itself), no two groups
// touch, the node columns match the node scores, and every group's
// subnetwork score is recomputed from scratch against background models
// rebuilt with the seed the program used.
//
// Every check returns a CheckResult listing each problem found; an empty
// list means the report is valid.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>
#include <utility>

namespace tarnvale::testing {

// The three input files of a run, as given to -d, -a and the SIF argument.
struct InputFiles {
    std::string sif;
    std::string pvalues;
    std::string association;
};

// The options of the first run that decide its scores.
struct FirstRunSettings {
    int kmax = 100;
    int imax = 10000;
    std::uint32_t seed = 0;  // the --seed value: every generator starts from it
    // False when the program scored groups with node scores only (its
    // warning "all edge scores are equal", or a graph without edges).
    bool edgesTakePart = true;
};

// One node line of a report.
struct ReportNode {
    std::string name;
    double score = 0;
    double pvalue = 0;
    std::size_t line = 0;  // 1-based line number in the file
};

// One group of a report, as read.
struct ReportGroup {
    long number = -1;
    std::size_t declaredSize = 0;  // the k of "size(k)"
    double score = 0;              // the value after "Group s-score = "
    std::size_t line = 0;          // line of "Group No."
    std::vector<ReportNode> nodes;
};

struct ParsedReport {
    std::vector<ReportGroup> groups;
};

// What a check found. `problems` is empty for a valid report.
struct CheckResult {
    std::vector<std::string> problems;
    ParsedReport report;  // what could be read (possibly partial)

    bool ok() const { return problems.empty(); }
    // All problems, one per line, for test failure messages.
    std::string Describe() const;
};

// Reads a report strictly. Every line that is not exactly where and what the
// format allows is reported in `problems`; the groups read up to the first
// malformed line are returned.
ParsedReport ParseReport(const std::string& text, std::vector<std::string>& problems);

// The cleaned network of the first run and its background models, built once
// from the input files and reused for any number of reports.
class ReportChecker {
public:
    // Reads and prepares the network; throws std::runtime_error when an input
    // file cannot be read or the network is left empty.
    ReportChecker(const InputFiles& files, const FirstRunSettings& settings);

    // Full check of the first run's report (the file's whole text).
    CheckResult CheckFirstRun(const std::string& reportText) const;

    // Structural check of a later run's report: its groups are valid groups
    // of the cleaned network (connected, disjoint, not adjacent, node columns
    // right) lying inside the groups of the first run's report, and ranked.
    // The later run's background model covers selected nodes that are in no
    // group, so its scores cannot be recomputed from the reports.
    CheckResult CheckLaterRun(const std::string& firstReportText,
                              const std::string& laterReportText) const;

    // The subnetwork score the first run should give the group of these
    // nodes (by name), recomputed from scratch; nothing for an unknown name
    // or a group of fewer than two nodes.
    std::optional<double> ExpectedScore(const std::vector<std::string>& names) const;

    // Node score of a node of the cleaned network; nothing for unknown names.
    std::optional<double> NodeScore(const std::string& name) const;
    // The report's p-value column for that node score: 1 - Phi(score) in
    // double, narrowed to float.
    static double PValueOf(double nodeScore);
    // Names of the cleaned network's nodes, in node order.
    const std::vector<std::string>& NodeNames() const { return names_; }
    bool Adjacent(const std::string& a, const std::string& b) const;

    // What the background models came out as, for messages.
    struct Model {
        double mean = 0, sd = 0, sdCoef = 0, sdExp = 0, meanCoef = 0;
    };
    const Model& NodeModel() const { return nodeModel_; }
    const std::optional<Model>& EdgeModel() const { return edgeModel_; }

private:
    // Checks shared by both runs: group shape, membership, connectivity,
    // adjacency between groups, node columns, ranking. `allowed` (when given)
    // restricts where group members may come from and which edges count for
    // connectivity.
    void CheckGroups(const ParsedReport& report, const std::vector<bool>* allowed,
                     std::vector<std::string>& problems) const;
    std::optional<std::size_t> IndexOf(const std::string& name) const;

    FirstRunSettings settings_;
    std::vector<std::string> names_;               // node index -> name
    std::unordered_map<std::string, std::size_t> index_;
    std::vector<double> nodeScores_;               // node index -> node score
    std::vector<std::vector<std::size_t>> adjacent_;  // node index -> neighbours
    // Edge scores between two node indices (smaller index first).
    std::map<std::pair<std::size_t, std::size_t>, float> edgeScores_;
    Model nodeModel_;
    std::optional<Model> edgeModel_;
    std::string edgeProblem_;  // why edges cannot take part, if they cannot
};

// Convenience wrappers reading the report files from disk; a missing file is
// a problem of the result.
CheckResult CheckFirstRunReport(const InputFiles& files, const FirstRunSettings& settings,
                                const std::string& reportPath);
CheckResult CheckLaterRunReport(const InputFiles& files, const FirstRunSettings& settings,
                                const std::string& firstReportPath,
                                const std::string& laterReportPath);

// Checks the text of OUTBASE.summary.tsv against the reports of its runs
// (letter and report text, in run order): the header, then for every run
// exactly one row per report group, in report order, with the group's
// number, size and s-score, `ranked` yes for the first nmax and no after,
// and nine fields. Returns every problem found.
std::vector<std::string> CheckSummary(const std::string& summaryText,
                                      const std::vector<std::pair<char, std::string>>& reports,
                                      int nmax);

}  // namespace tarnvale::testing
