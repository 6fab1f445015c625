#include "support/report_checker.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>
#include <stdexcept>

#include "base/run_error.hpp"
#include "network/association_reader.hpp"
#include "network/graph.hpp"
#include "network/preparation.hpp"
#include "network/sif_reader.hpp"
#include "search/scoring.hpp"
#include "stats/background_model.hpp"
#include "stats/random.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {

// The report prints six significant digits: node columns are compared to a
// relative 1e-5, scores (recomputed by another route than the program's
// float steps) to 1e-4; `floor` is the smallest magnitude compared relatively.
constexpr double kColumnTolerance = 1e-5, kScoreTolerance = 1e-4;

std::string Num(double value) {
    std::ostringstream text;
    text << std::setprecision(9) << value;
    return text.str();
}

bool Close(double written, double expected, double relative, double floor) {
    return std::isfinite(written) &&
           std::fabs(written - expected) <=
               relative * std::max({std::fabs(written), std::fabs(expected), floor});
}

std::ifstream OpenOrThrow(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("report checker: cannot read " + path);
    return in;
}

// (sum / sqrt n - mean sqrt n) / sd, corrected by the model's mean and spread
// at size n; the sum in long double.
double CorrectedPart(const std::vector<float>& scores, const std::array<double, 5>& model) {
    const auto [mean, sd, meanCoef, sdExp, sdCoef] = model;
    const auto n = static_cast<double>(scores.size());
    long double sum = 0;
    for (float s : scores) sum += static_cast<long double>(s);
    const double standardized =
        (static_cast<double>(sum) / std::sqrt(n) - mean * std::sqrt(n)) / sd;
    return (standardized - meanCoef) / (std::pow(n, sdExp) * sdCoef);
}

}  // namespace

std::string CheckResult::Describe() const {
    std::string text = problems.empty() ? "report is valid" : "problems:";
    for (const auto& p : problems) text += "\n  - " + p;
    return text;
}

ReportChecker::ReportChecker(const InputFiles& files, const FirstRunSettings& settings)
    : settings_(settings) {
    std::ostream sink(nullptr);  // the library's messages go nowhere
    Graph graph;
    NodeMap<std::string> names;
    EdgeTypes types;
    EdgeMap<float> values;
    NodeMap<AssociationList> associations;
    NodeMap<double> scores;
    try {
        std::ifstream sif = OpenOrThrow(files.sif), association = OpenOrThrow(files.association),
                      pvalues = OpenOrThrow(files.pvalues);
        SifReader(sif, files.sif, graph, {names, types, values}, true, sink);
        RDE(graph, sink);
        AssociationReader(association, names, associations, graph.Nodes(), "name",
                          files.association, sink);
        ScoreNodes(graph.Nodes(), associations, ReadPValues(pvalues, files.pvalues, sink), scores);
    } catch (const RunError& e) {
        throw std::runtime_error(std::string("report checker: the inputs do not load: ") +
                                 e.what());
    }
    // Cleaning in the driver's order.
    DeleteIsolatedNodes(graph);
    for (NodeId n : graph.Nodes())
        if (scores.get(n) == kNoData) graph.DelNode(n);
    graph.Compact();
    MergeByAssociation(graph, associations, values);
    DeleteIsolatedNodes(graph);
    if (graph.NumberOfNodes() == 0) throw std::runtime_error("report checker: no node is left");

    std::unordered_map<NodeId, std::size_t> position;
    graph.ForEachNode([&](NodeId n) {
        position.emplace(n, names_.size());
        index_.emplace(names.at(n), names_.size());
        names_.push_back(names.at(n));
        nodeScores_.push_back(scores.get(n));
    });
    adjacent_.resize(names_.size());
    EdgeMap<float> edgeScores;
    const FloatList edgeScoreList = ScoreEdges(graph, values, edgeScores);
    graph.ForEachEdge([&](EdgeId e) {
        const std::size_t a = position.at(graph.Source(e)), b = position.at(graph.Target(e));
        adjacent_[a].push_back(b);
        adjacent_[b].push_back(a);
        edgeScores_.emplace(std::minmax(a, b), edgeScores.get(e));
    });

    auto model = [&](const FloatList& list) {
        Random rng(settings.seed);
        const auto r = CalculateBackground(list, settings.kmax, settings.imax, rng, sink);
        return Model{r[0], r[1], r[2], r[3], r[4]};
    };
    nodeModel_ = model(FloatList(nodeScores_.begin(), nodeScores_.end()));
    if (std::adjacent_find(edgeScoreList.begin(), edgeScoreList.end(), std::not_equal_to<>()) !=
        edgeScoreList.end())
        if (const Model m = model(edgeScoreList);
            std::isfinite(m[0] + m[1] + m[2] + m[3] + m[4]) && m[1] > 0 && m[4] > 0)
            edgeModel_ = m;
}

std::optional<double> ReportChecker::ExpectedScore(const std::vector<std::size_t>& members) const {
    if (members.size() < 2) return std::nullopt;
    const std::set<std::size_t> in(members.begin(), members.end());
    FloatList nodePart, edgePart;
    for (std::size_t i : members) nodePart.push_back(static_cast<float>(nodeScores_[i]));
    const double node = CorrectedPart(nodePart, nodeModel_);
    if (!settings_.edgesTakePart || !edgeModel_) return node;
    for (const auto& [ends, score] : edgeScores_)
        if (in.count(ends.first) && in.count(ends.second)) edgePart.push_back(score);
    if (edgePart.empty()) return std::nullopt;
    return (node + CorrectedPart(edgePart, *edgeModel_)) / std::sqrt(2.0);
}

std::vector<std::vector<std::size_t>> ReportChecker::CheckGroups(
    const std::vector<ReportGroup>& groups, std::vector<std::string>& problems) const {
    std::vector<std::vector<std::size_t>> members(groups.size());
    std::unordered_map<std::size_t, std::size_t> owner;  // node index -> group
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const ReportGroup& group = groups[g];
        auto problem = [&](const std::string& what) {
            problems.push_back("group " + std::to_string(g) + " (line " +
                               std::to_string(group.line) + "): " + what);
        };
        if (group.number != static_cast<long>(g))
            problem("numbered " + std::to_string(group.number));
        if (group.declaredSize != group.nodes.size())
            problem("size(" + std::to_string(group.declaredSize) + ") but " +
                    std::to_string(group.nodes.size()));
        if (group.nodes.size() < 2) problem("a group has at least two nodes");
        if (!std::isfinite(group.score)) problem("s-score is not finite");
        if (g > 0 && group.score > groups[g - 1].score) problem("groups are not ranked");
        for (const ReportNode& node : group.nodes) {
            const auto known = index_.find(node.name);
            if (known == index_.end() || !owner.emplace(known->second, g).second) {
                problem(node.name + (known == index_.end()
                                         ? std::string(" is not a node of the cleaned network")
                                         : " already appears in group " +
                                               std::to_string(owner[known->second])));
                continue;
            }
            members[g].push_back(known->second);
            const double z = nodeScores_[known->second];
            if (!Close(node.score, z, kColumnTolerance, 1e-7))
                problem(node.name + " has node score " + Num(node.score) + ", expected " + Num(z));
            // The p-value column: 1 - Phi(score) in double, narrowed to float.
            const double p = static_cast<float>(1.0 - 0.5 * std::erfc(-z / std::sqrt(2.0)));
            if (!Close(node.pvalue, p, kColumnTolerance, 1e-10))
                problem(node.name + " has p-value " + Num(node.pvalue) + ", expected " + Num(p));
        }
        if (members[g].empty()) continue;
        // Connected: a breadth-first search over the group's own members.
        const std::vector<std::size_t>& in = members[g];
        std::set<std::size_t> reached{in.front()};
        for (std::deque<std::size_t> queue{in.front()}; !queue.empty(); queue.pop_front())
            for (std::size_t m : adjacent_[queue.front()])
                if (std::count(in.begin(), in.end(), m) && reached.insert(m).second)
                    queue.push_back(m);
        for (std::size_t m : in)
            if (!reached.count(m))
                problem(names_[m] + " cannot be reached from " + names_[in.front()]);
    }
    // An edge between two groups would have made them one component.
    for (const auto& [n, g] : owner)
        for (std::size_t m : adjacent_[n])
            if (const auto other = owner.find(m); other != owner.end() && other->second > g)
                problems.push_back("groups " + std::to_string(g) + " and " +
                                   std::to_string(other->second) + " are joined by the edge " +
                                   names_[n] + " - " + names_[m]);
    return members;
}

CheckResult ReportChecker::CheckFirstRun(const std::string& reportText) const {
    CheckResult result;
    result.groups = ParseReport(reportText, result.problems);
    const auto members = CheckGroups(result.groups, result.problems);
    if (settings_.edgesTakePart != edgeModel_.has_value())
        result.problems.push_back(edgeModel_ ? "the edge scores vary: the program scores with edges"
                                             : "the program scores with nodes only");
    for (std::size_t g = 0; g < members.size(); ++g) {
        const ReportGroup& group = result.groups[g];
        const auto expected = ExpectedScore(members[g]);
        if (members[g].size() != group.nodes.size() || !expected) continue;  // reported above
        if (!Close(group.score, *expected, kScoreTolerance, 0.1))
            result.problems.push_back("group " + std::to_string(group.number) + ": s-score " +
                                      Num(group.score) + " but the recomputed score is " +
                                      Num(*expected));
    }
    return result;
}

CheckResult ReportChecker::CheckLaterRun(const std::string& firstReportText,
                                         const std::string& laterReportText) const {
    CheckResult result;
    const auto first = ParseReport(firstReportText, result.problems);
    std::unordered_map<std::size_t, std::size_t>
        firstGroup;  // node index -> group of the first run
    for (std::size_t g = 0; g < first.size(); ++g)
        for (const auto& node : first[g].nodes)
            if (const auto known = index_.find(node.name); known != index_.end())
                firstGroup.emplace(known->second, g);
    result.groups = ParseReport(laterReportText, result.problems);
    const auto members = CheckGroups(result.groups, result.problems);
    for (std::size_t g = 0; g < members.size(); ++g) {
        std::set<std::size_t> from;
        for (std::size_t i : members[g])
            if (const auto it = firstGroup.find(i); it != firstGroup.end())
                from.insert(it->second);
            else
                result.problems.push_back(names_[i] + " is in no group of the first run");
        if (from.size() > 1)
            result.problems.push_back("group " + std::to_string(g) +
                                      " takes nodes from several groups of the first run");
    }
    return result;
}

std::vector<std::string> CheckSummary(const std::filesystem::path& dir,
                                      const std::vector<std::pair<char, std::string>>& reports,
                                      int nmax) {
    std::vector<std::string> problems;
    auto read = [&](const std::string& name) {
        std::ifstream in(dir / name);
        std::ostringstream text;
        text << in.rdbuf();
        return in ? text.str() : std::string();
    };
    const std::string summary = read("out.summary.tsv");
    if (summary.rfind("run\trank\tsize\tedges\ts_score\tranked\tpermutation_p\tnull\tstability\t"
                      "familywise_p\tnode_evidence\tedge_share\tbest_terms\tmembers\n",
                      0) != 0)
        problems.push_back("summary header is wrong");
    const auto rows = ReadTable(summary);
    auto near = [](const std::string& text, double expected) {
        const auto x = ParseDouble(text);
        return x && std::abs(*x - expected) <= 1e-4 * std::max(1.0, std::abs(expected));
    };
    std::size_t r = 0;
    for (const auto& [letter, text] : reports) {
        const std::string run = std::string("out") + letter;
        std::map<std::string, std::size_t> edges;  // by group number, from the exported network
        for (const std::string& line : Split(read(run + ".sif"))) ++edges[Split(line, '\t').at(1)];
        std::map<std::string, double> fraction;
        for (auto& row : ReadTable(read(run + ".stability.tsv")))
            fraction[row["name"]] = std::stod(row["fraction"]);
        const auto significance = ReadTable(read(run + ".significance.tsv"));
        for (const ReportGroup& group : ParseReport(text, problems)) {
            if (r == rows.size()) {
                problems.push_back("the summary has no row for group " +
                                   std::to_string(group.number) + " of run " + letter);
                break;
            }
            auto f = rows[r++];
            const std::string number = std::to_string(group.number);
            // Named anew: Clang 14 cannot capture a structured binding.
            auto wrong = [&, runLetter = letter](const std::string& what) {
                problems.push_back("summary row " + std::to_string(r) + " of group " + number +
                                   " of run " + runLetter + ": " + what);
            };
            if (f.count("(line)") || f["run"] != std::string(1, letter) || f["rank"] != number ||
                f["size"] != std::to_string(group.nodes.size()) ||
                ParseDouble(f["s_score"]) != group.score ||
                f["ranked"] != (group.number < nmax ? "yes" : "no")) {
                wrong("not the report's group");
                continue;
            }
            if (!edges.empty() && f["edges"] != std::to_string(edges[number])) wrong("edges");
            const auto rank = static_cast<std::size_t>(group.number);
            const bool tested = rank < significance.size();
            if (f["permutation_p"] != (tested ? significance[rank].at("p_value") : "") ||
                f["familywise_p"] != (tested ? significance[rank].at("familywise_p") : ""))
                wrong("p-values");
            double stability = 0, evidence = 0;
            std::vector<std::string> members = Split(f["members"], ';'), names;
            for (const ReportNode& node : group.nodes) {
                stability += fraction.count(node.name) ? fraction[node.name] : 0.0;
                evidence += node.score;
                names.push_back(node.name);
            }
            stability /= static_cast<double>(group.nodes.size());
            if (fraction.empty() ? !f["stability"].empty() : !near(f["stability"], stability))
                wrong("stability");
            if (!near(f["node_evidence"],
                      evidence / std::sqrt(static_cast<double>(group.nodes.size()))))
                wrong("node evidence");
            if (letter != 'A' && f["edge_share"] != "0") wrong("edge share after the first run");
            std::sort(members.begin(), members.end());
            std::sort(names.begin(), names.end());
            if (members != names) wrong("members");
        }
    }
    if (r < rows.size())
        problems.push_back("the summary has " + std::to_string(rows.size() - r) + " rows too many");
    return problems;
}

}  // namespace tarnvale::testing
