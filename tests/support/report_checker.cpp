#include "support/report_checker.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <deque>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>

#include "base/run_error.hpp"
#include "network/association_reader.hpp"
#include "network/graph.hpp"
#include "network/preparation.hpp"
#include "network/sif_reader.hpp"
#include "stats/background_model.hpp"
#include "stats/normal.hpp"
#include "stats/random.hpp"

namespace tarnvale::testing {
namespace {

// The report prints six significant digits: node columns are compared to a
// relative 1e-5, scores (recomputed by another route than the program's
// float steps) to 1e-4 with a floor of 0.1 for scores near zero.
constexpr double kColumnTolerance = 1e-5;
constexpr double kScoreTolerance = 1e-4;
constexpr double kScoreFloor = 0.1;
constexpr double kNoData = -10000.0;  // node score of a node without p-value

std::string Num(double value) {
    std::ostringstream text;
    text.precision(9);
    text << value;
    return text.str();
}

// The whole token as a number (inf and nan included), or nothing.
std::optional<double> ParseDouble(const std::string& token) {
    double value = 0;
    const char* last = token.data() + token.size();
    const auto [end, ec] = std::from_chars(token.data(), last, value);
    if (token.empty() || ec != std::errc() || end != last) return std::nullopt;
    return value;
}

bool Close(double written, double expected, double relative, double absolute) {
    return std::isfinite(written) &&
           std::fabs(written - expected) <=
               relative * std::max(std::fabs(written), std::fabs(expected)) + absolute;
}

std::ifstream OpenOrThrow(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("report checker: cannot read " + path);
    return in;
}

// Identifier / p-value pairs; the first occurrence wins; 1 and 0 are clamped
// to 0.9999 and 0.0001, a positive value below the float range is the
// smallest positive float. Only well-formed files are accepted.
std::unordered_map<std::string, float> ReadPValueFile(const std::string& path) {
    std::ifstream in = OpenOrThrow(path);
    std::unordered_map<std::string, float> table;
    for (std::string id, value; in >> id;) {
        const auto v = (in >> value) ? ParseDouble(value) : std::nullopt;
        if (!v || !(*v >= 0.0 && *v <= 1.0))
            throw std::runtime_error("report checker: no usable p-value for " + id);
        auto p = static_cast<float>(*v);
        if (p == 0.0f && *v > 0.0) p = std::numeric_limits<float>::denorm_min();
        table.emplace(id, p == 1.0f ? 0.9999f : p == 0.0f ? 0.0001f : p);
    }
    return table;
}

// Median of -NormInv(p) over the node's identifiers, each occurrence counted.
double NodeScoreOf(const std::vector<std::string>& ids,
                   const std::unordered_map<std::string, float>& pvalues) {
    std::vector<float> z;
    for (const auto& id : ids)
        if (const auto it = pvalues.find(id); it != pvalues.end())
            z.push_back(-static_cast<float>(NormInv(static_cast<double>(it->second))));
    if (z.empty()) return kNoData;
    std::sort(z.begin(), z.end());
    const std::size_t n = z.size();
    return n % 2 ? z[n / 2] : static_cast<double>((z[n / 2 - 1] + z[n / 2]) / 2.0f);
}

// (sum / sqrt n - mean sqrt n) / sd, corrected by the model's mean and spread
// at size n; the sum in long double.
double CorrectedPart(const std::vector<float>& scores, double mean, double sd, double meanCoef,
                     double sdCoef, double sdExp) {
    const auto n = static_cast<double>(scores.size());
    long double sum = 0;
    for (float s : scores) sum += static_cast<long double>(s);
    const double standardized = (static_cast<double>(sum) / std::sqrt(n) - mean * std::sqrt(n)) / sd;
    return (standardized - meanCoef) / (std::pow(n, sdExp) * sdCoef);
}

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
};

}  // namespace

std::string CheckResult::Describe() const {
    std::string text = problems.empty() ? "report is valid" : "problems:";
    for (const auto& p : problems) text += "\n  - " + p;
    return text;
}

// A report is a sequence of groups: an empty line, "Group No. g: size(k)",
// "Group s-score = x", then name<TAB>node score<TAB>p-value lines.
ParsedReport ParseReport(const std::string& text, std::vector<std::string>& problems) {
    ParsedReport report;
    if (text.empty()) return report;  // a run without groups writes nothing
    if (text.back() != '\n') problems.push_back("the file does not end with a line end");
    std::vector<std::string> lines;
    std::istringstream all(text);
    for (std::string line; std::getline(all, line);) lines.push_back(line);
    auto fail = [&](std::size_t i, const std::string& expected) {
        problems.push_back("line " + std::to_string(i + 1) + ": expected " + expected + ", found '" +
                           (i < lines.size() ? lines[i] : "the end") + "'");
        return report;
    };
    for (std::size_t i = 0; i < lines.size();) {
        if (!lines[i++].empty()) return fail(i - 1, "the empty line that opens a group");
        ReportGroup group;
        group.line = i + 1;
        unsigned long number = 0, size = 0;
        if (i >= lines.size() ||
            std::sscanf(lines[i].c_str(), "Group No. %lu: size(%lu", &number, &size) != 2 ||
            lines[i] != "Group No. " + std::to_string(number) + ": size(" + std::to_string(size) + ")")
            return fail(i, "\"Group No. g: size(k)\"");
        group.number = static_cast<long>(number);
        group.declaredSize = size;
        const std::string head = "Group s-score = ";
        const auto score = ++i < lines.size() && lines[i].rfind(head, 0) == 0
                               ? ParseDouble(lines[i].substr(head.size()))
                               : std::nullopt;
        if (!score) return fail(i, "\"Group s-score = <number>\"");
        group.score = *score;
        for (++i; i < lines.size() && !lines[i].empty(); ++i) {
            std::vector<std::string> f;
            std::istringstream fields(lines[i]);
            for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
            const auto nodeScore = f.size() == 3 ? ParseDouble(f[1]) : std::nullopt;
            const auto pvalue = f.size() == 3 ? ParseDouble(f[2]) : std::nullopt;
            if (!nodeScore || !pvalue || f[0].empty() ||
                f[0].find_first_of(" \r\v\f") != std::string::npos) {
                report.groups.push_back(group);
                return fail(i, "name<TAB>node score<TAB>p-value");
            }
            group.nodes.push_back({f[0], *nodeScore, *pvalue, i + 1});
        }
        report.groups.push_back(std::move(group));
        if (i + 1 == lines.size()) return fail(i, "a group after the empty line");
    }
    return report;
}

ReportChecker::ReportChecker(const InputFiles& files, const FirstRunSettings& settings)
    : settings_(settings) {
    NullBuffer nullBuffer;
    std::ostream sink(&nullBuffer);
    Graph graph;
    NodeMap<std::string> names;
    EdgeTypes types;
    EdgeMap<float> values;
    NodeMap<AssociationList> associations;
    NodeMap<double> scores;
    try {
        std::ifstream sif = OpenOrThrow(files.sif);
        SifReader(sif, files.sif, graph, {names, types, values}, true, sink);
        RDE(graph, sink);
        std::ifstream association = OpenOrThrow(files.association);
        AssociationReader(association, names, associations, graph.Nodes(), "name");
        const auto pvalues = ReadPValueFile(files.pvalues);
        for (NodeId n : graph.Nodes()) scores[n] = NodeScoreOf(associations.at(n), pvalues);
    } catch (const RunError& e) {
        throw std::runtime_error(std::string("report checker: the inputs do not load: ") + e.what());
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
    FloatList edgeScoreList;
    graph.ForEachEdge([&](EdgeId e) {
        const float stored = values.get(e);
        const float v = stored == 0.0f ? 0.00001f : stored == 1.0f ? 0.99999f : stored;
        const auto score = static_cast<float>(NormInv(static_cast<double>(v)));
        edgeScoreList.push_back(score);
        const std::size_t a = position.at(graph.Source(e)), b = position.at(graph.Target(e));
        adjacent_[a].push_back(b);
        adjacent_[b].push_back(a);
        edgeScores_.emplace(std::minmax(a, b), score);
    });

    auto model = [&](const FloatList& list) {
        Random rng(settings.seed);
        const auto r = CalculateBackground(list, settings.kmax, settings.imax, rng, sink);
        return Model{r[0], r[1], r[2], r[3], r[4]};
    };
    FloatList nodeScoreList(nodeScores_.begin(), nodeScores_.end());
    nodeModel_ = model(nodeScoreList);
    const bool vary = std::adjacent_find(edgeScoreList.begin(), edgeScoreList.end(),
                                         std::not_equal_to<>()) != edgeScoreList.end();
    if (vary) {
        const Model m = model(edgeScoreList);
        const bool finite = std::isfinite(m.mean + m.sd + m.meanCoef + m.sdExp + m.sdCoef);
        if (finite && m.sd > 0 && m.sdCoef > 0) edgeModel_ = m;
    }
}

std::optional<std::size_t> ReportChecker::IndexOf(const std::string& name) const {
    const auto it = index_.find(name);
    return it == index_.end() ? std::nullopt : std::optional<std::size_t>(it->second);
}

std::optional<double> ReportChecker::NodeScore(const std::string& name) const {
    const auto i = IndexOf(name);
    return i ? std::optional<double>(nodeScores_[*i]) : std::nullopt;
}

double ReportChecker::PValueOf(double nodeScore) {
    const double phi = 0.5 * std::erfc(-nodeScore / std::sqrt(2.0));
    return static_cast<float>(1.0 - phi);
}

std::optional<double> ReportChecker::ExpectedScore(const std::vector<std::string>& names) const {
    std::set<std::size_t> members;
    std::vector<float> nodePart;
    for (const auto& name : names) {
        const auto i = IndexOf(name);
        if (!i) return std::nullopt;
        members.insert(*i);
        nodePart.push_back(static_cast<float>(nodeScores_[*i]));
    }
    if (names.size() < 2) return std::nullopt;
    const Model& nm = nodeModel_;
    const double node = CorrectedPart(nodePart, nm.mean, nm.sd, nm.meanCoef, nm.sdCoef, nm.sdExp);
    if (!settings_.edgesTakePart || !edgeModel_) return node;
    std::vector<float> edgePart;
    for (const auto& [ends, score] : edgeScores_)
        if (members.count(ends.first) && members.count(ends.second)) edgePart.push_back(score);
    if (edgePart.empty()) return std::nullopt;
    const Model& em = *edgeModel_;
    return (node + CorrectedPart(edgePart, em.mean, em.sd, em.meanCoef, em.sdCoef, em.sdExp)) /
           std::sqrt(2.0);
}

void ReportChecker::CheckGroups(const ParsedReport& report, const std::vector<bool>* allowed,
                                std::vector<std::string>& problems) const {
    std::unordered_map<std::size_t, std::size_t> owner;  // node index -> group
    for (std::size_t g = 0; g < report.groups.size(); ++g) {
        const ReportGroup& group = report.groups[g];
        auto problem = [&](const std::string& what) {
            problems.push_back("group " + std::to_string(g) + " (line " +
                               std::to_string(group.line) + "): " + what);
        };
        if (group.number != static_cast<long>(g)) problem("numbered " + std::to_string(group.number));
        if (group.declaredSize != group.nodes.size())
            problem("size(" + std::to_string(group.declaredSize) + ") but " +
                    std::to_string(group.nodes.size()) + " nodes");
        if (group.nodes.size() < 2) problem("a group has at least two nodes");
        if (!std::isfinite(group.score)) problem("s-score is not finite");
        if (g > 0 && group.score > report.groups[g - 1].score) problem("groups are not ranked");
        std::vector<std::size_t> members;
        for (const ReportNode& node : group.nodes) {
            const auto i = IndexOf(node.name);
            if (!i) {
                problem(node.name + " is not a node of the cleaned network");
                continue;
            }
            if (allowed && !(*allowed)[*i]) problem(node.name + " is in no group of the first run");
            if (const auto [it, fresh] = owner.emplace(*i, g); !fresh) {
                problem(node.name + " already appears in group " + std::to_string(it->second));
                continue;
            }
            members.push_back(*i);
            const double z = nodeScores_[*i];
            if (!Close(node.score, z, kColumnTolerance, 1e-12))
                problem(node.name + " has node score " + Num(node.score) + ", expected " + Num(z));
            if (!Close(node.pvalue, PValueOf(z), kColumnTolerance, 1e-15))
                problem(node.name + " has p-value " + Num(node.pvalue) + ", expected " +
                        Num(PValueOf(z)));
        }
        if (members.empty()) continue;
        // Connected: a breadth-first search over the group's own members.
        const std::set<std::size_t> inGroup(members.begin(), members.end());
        std::set<std::size_t> reached{members.front()};
        for (std::deque<std::size_t> queue{members.front()}; !queue.empty(); queue.pop_front())
            for (std::size_t m : adjacent_[queue.front()])
                if (inGroup.count(m) && reached.insert(m).second) queue.push_back(m);
        for (std::size_t m : members)
            if (!reached.count(m))
                problem(names_[m] + " cannot be reached from " + names_[members.front()]);
    }
    // An edge between two groups would have made them one component.
    for (const auto& [n, g] : owner)
        for (std::size_t m : adjacent_[n])
            if (const auto other = owner.find(m); other != owner.end() && other->second > g)
                problems.push_back("groups " + std::to_string(g) + " and " +
                                   std::to_string(other->second) + " are joined by the edge " +
                                   names_[n] + " - " + names_[m]);
}

CheckResult ReportChecker::CheckFirstRun(const std::string& reportText) const {
    CheckResult result;
    result.report = ParseReport(reportText, result.problems);
    CheckGroups(result.report, nullptr, result.problems);
    if (settings_.edgesTakePart != edgeModel_.has_value())
        result.problems.push_back(edgeModel_ ? "the edge scores vary: the program scores with edges"
                                             : "the program scores with nodes only");
    for (const ReportGroup& group : result.report.groups) {
        std::vector<std::string> names;
        for (const auto& node : group.nodes) names.push_back(node.name);
        const auto expected = ExpectedScore(names);
        if (!expected) continue;  // reported above: unknown node or too small
        const double scale = std::max({std::fabs(group.score), std::fabs(*expected), kScoreFloor});
        if (!(std::fabs(group.score - *expected) <= kScoreTolerance * scale))
            result.problems.push_back("group " + std::to_string(group.number) + ": s-score " +
                                      Num(group.score) + " but the recomputed score is " +
                                      Num(*expected));
    }
    return result;
}

CheckResult ReportChecker::CheckLaterRun(const std::string& firstReportText,
                                         const std::string& laterReportText) const {
    CheckResult result;
    const ParsedReport first = ParseReport(firstReportText, result.problems);
    std::vector<bool> allowed(names_.size(), false);
    std::unordered_map<std::size_t, std::size_t> firstGroup;
    for (std::size_t g = 0; g < first.groups.size(); ++g)
        for (const auto& node : first.groups[g].nodes)
            if (const auto i = IndexOf(node.name)) {
                allowed[*i] = true;
                firstGroup.emplace(*i, g);
            }
    result.report = ParseReport(laterReportText, result.problems);
    CheckGroups(result.report, &allowed, result.problems);
    for (const ReportGroup& group : result.report.groups) {
        std::set<std::size_t> from;
        for (const auto& node : group.nodes)
            if (const auto i = IndexOf(node.name); i && firstGroup.count(*i))
                from.insert(firstGroup.at(*i));
        if (from.size() > 1)
            result.problems.push_back("group " + std::to_string(group.number) +
                                      " takes nodes from several groups of the first run");
    }
    return result;
}

std::vector<std::string> CheckSummary(const std::string& summaryText,
                                      const std::vector<std::pair<char, std::string>>& reports,
                                      int nmax) {
    std::vector<std::string> problems;
    std::string expected = "run\trank\tsize\tedges\ts_score\tranked\tpermutation_p\tnull\tstability\n";
    std::istringstream in(summaryText);
    std::string line;
    std::getline(in, line);
    if (line + "\n" != expected) problems.push_back("summary header is \"" + line + "\"");
    for (const auto& [letter, text] : reports)
        for (const ReportGroup& group : ParseReport(text, problems).groups) {
            std::vector<std::string> f;
            std::getline(in, line);
            std::istringstream fields(line + "\t");
            for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
            if (f.size() != 9 || f[0] != std::string(1, letter) ||
                f[1] != std::to_string(group.number) || f[2] != std::to_string(group.nodes.size()) ||
                ParseDouble(f[4]) != group.score || f[5] != (group.number < nmax ? "yes" : "no"))
                problems.push_back("summary row \"" + line + "\" is not group " +
                                   std::to_string(group.number) + " of run " + letter);
        }
    if (std::getline(in, line)) problems.push_back("summary has extra line \"" + line + "\"");
    return problems;
}

}  // namespace tarnvale::testing
