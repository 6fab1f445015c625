#include "support/report_checker.hpp"

#include <algorithm>
#include <charconv>
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
#include "stats/random.hpp"
#include "stats/background_model.hpp"
#include "stats/normal.hpp"

namespace tarnvale::testing {
namespace {

// Tolerances. The report prints six significant digits; the node columns are
// compared to five, the subnetwork score (recomputed by a different route
// than the program's float steps) to a relative 1e-4, with a floor so that
// scores close to zero are not held to an absolute precision that float
// cancellation cannot give.
constexpr double kColumnTolerance = 1e-5;
constexpr double kScoreTolerance = 1e-4;
constexpr double kScoreFloor = 0.1;

std::string Quote(const std::string& text) {
    std::string shown = "'";
    for (char c : text) {
        if (c == '\t') shown += "\\t";
        else if (c == '\r') shown += "\\r";
        else shown += c;
    }
    return shown + "'";
}

std::string Num(double value) {
    std::ostringstream text;
    text.precision(9);
    text << value;
    return text.str();
}

// The whole token as a decimal number, or nothing. "inf" and "nan" are read
// (they are numbers the stream can print) and judged by the caller.
std::optional<double> ParseDouble(const std::string& token) {
    if (token.empty()) return std::nullopt;
    double value = 0;
    const char* first = token.data();
    const char* last = first + token.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

// Non-negative decimal integer without sign or leading zeros (other than "0").
std::optional<unsigned long> ParseCount(const std::string& token) {
    if (token.empty() || (token.size() > 1 && token[0] == '0')) return std::nullopt;
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size()) return std::nullopt;
    return value;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool Close(double written, double expected, double relative, double absolute) {
    if (!std::isfinite(written) || !std::isfinite(expected)) return false;
    return std::fabs(written - expected) <=
           relative * std::max(std::fabs(written), std::fabs(expected)) + absolute;
}

// "Group No. g: size(k)" -> g, k.
bool ParseHeader(const std::string& line, unsigned long& number, unsigned long& size) {
    const std::string head = "Group No. ";
    const std::string middle = ": size(";
    if (!StartsWith(line, head) || line.empty() || line.back() != ')') return false;
    const auto split = line.find(middle, head.size());
    if (split == std::string::npos) return false;
    const auto g = ParseCount(line.substr(head.size(), split - head.size()));
    const std::size_t from = split + middle.size();
    const auto k = ParseCount(line.substr(from, line.size() - 1 - from));
    if (!g || !k) return false;
    number = *g;
    size = *k;
    return true;
}

bool HasBlank(const std::string& text) {
    return text.find_first_of(" \t\r\n\v\f") != std::string::npos;
}

// A stream that swallows the library's progress messages.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::ifstream OpenOrThrow(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("report checker: cannot read " + path);
    return in;
}

// The node score of a node without any p-value.
constexpr double kNoData = -10000.0;

// The p-values file: white-space separated identifier / p-value pairs; the
// first occurrence of an identifier wins. Exact 1 and 0 are clamped to 0.9999
// and 0.0001; a positive value below the float range counts as the smallest
// positive float. The checker accepts well-formed files only.
std::unordered_map<std::string, float> ReadPValueFile(const std::string& path) {
    std::ifstream in = OpenOrThrow(path);
    std::unordered_map<std::string, float> table;
    std::string id, value;
    while (in >> id) {
        if (!(in >> value))
            throw std::runtime_error("report checker: identifier " + id + " of " + path +
                                     " has no p-value");
        const auto v = ParseDouble(value);
        if (!v || !(*v >= 0.0 && *v <= 1.0))
            throw std::runtime_error("report checker: " + path + " holds the p-value " + value +
                                     ", which the checker does not handle");
        auto p = static_cast<float>(*v);
        if (p == 0.0f && *v > 0.0) p = std::numeric_limits<float>::denorm_min();
        if (p == 1.0f) p = 0.9999f;
        if (p == 0.0f) p = 0.0001f;
        table.emplace(id, p);
    }
    return table;
}

// Median of -NormInv(p) over the p-values of the node's identifiers; every
// occurrence of an identifier in the list counts.
double NodeScoreOf(const std::vector<std::string>& identifiers,
                   const std::unordered_map<std::string, float>& pvalues) {
    std::vector<float> z;
    for (const auto& id : identifiers) {
        const auto it = pvalues.find(id);
        if (it != pvalues.end())
            z.push_back(-static_cast<float>(NormInv(static_cast<double>(it->second))));
    }
    if (z.empty()) return kNoData;
    std::sort(z.begin(), z.end());
    const std::size_t n = z.size();
    if (n % 2 == 1) return static_cast<double>(z[n / 2]);
    return static_cast<double>((z[n / 2 - 1] + z[n / 2]) / 2.0f);
}

std::optional<std::string> Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string CheckResult::Describe() const {
    if (problems.empty()) return "report is valid";
    std::string text = std::to_string(problems.size()) + " problem(s):";
    for (const auto& p : problems) text += "\n  - " + p;
    return text;
}

// ---------------------------------------------------------------------------
// Reading a report

ParsedReport ParseReport(const std::string& text, std::vector<std::string>& problems) {
    ParsedReport report;
    if (text.empty()) return report;  // a run without groups writes nothing
    if (text.back() != '\n') problems.push_back("the file does not end with a line end");

    std::vector<std::string> lines;
    {
        std::size_t start = 0;
        while (start < text.size()) {
            auto end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    auto at = [&](std::size_t i) { return "line " + std::to_string(i + 1) + ": "; };

    std::size_t i = 0;
    while (i < lines.size()) {
        if (!lines[i].empty()) {
            problems.push_back(at(i) + "expected the empty line that opens a group, found " +
                               Quote(lines[i]));
            return report;
        }
        ++i;
        if (i >= lines.size()) {
            problems.push_back(at(i) + "the file ends after an empty line; a group header "
                                       "\"Group No. g: size(k)\" was expected");
            return report;
        }
        ReportGroup group;
        group.line = i + 1;
        unsigned long number = 0, size = 0;
        if (!ParseHeader(lines[i], number, size)) {
            problems.push_back(at(i) + "expected \"Group No. g: size(k)\", found " +
                               Quote(lines[i]));
            return report;
        }
        group.number = static_cast<long>(number);
        group.declaredSize = size;
        ++i;
        const std::string scoreHead = "Group s-score = ";
        std::optional<double> score;
        if (i < lines.size() && StartsWith(lines[i], scoreHead))
            score = ParseDouble(lines[i].substr(scoreHead.size()));
        if (!score) {
            problems.push_back(at(i) + "expected \"Group s-score = <number>\", found " +
                               (i < lines.size() ? Quote(lines[i]) : "the end of the file"));
            return report;
        }
        group.score = *score;
        ++i;
        // Node lines up to the next empty line or the end of the file.
        while (i < lines.size() && !lines[i].empty()) {
            const std::string& line = lines[i];
            const auto tab1 = line.find('\t');
            const auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
            const bool threeFields = tab2 != std::string::npos &&
                                     line.find('\t', tab2 + 1) == std::string::npos;
            ReportNode node;
            node.line = i + 1;
            std::optional<double> nodeScore, pvalue;
            if (threeFields) {
                node.name = line.substr(0, tab1);
                nodeScore = ParseDouble(line.substr(tab1 + 1, tab2 - tab1 - 1));
                pvalue = ParseDouble(line.substr(tab2 + 1));
            }
            if (!threeFields || node.name.empty() || HasBlank(node.name) || !nodeScore ||
                !pvalue) {
                problems.push_back(at(i) + "expected \"name<TAB>node score<TAB>p-value\", found " +
                                   Quote(line));
                report.groups.push_back(std::move(group));
                return report;
            }
            node.score = *nodeScore;
            node.pvalue = *pvalue;
            group.nodes.push_back(std::move(node));
            ++i;
        }
        // The line splitter sees a final empty "line" only when the text ends
        // with two line ends: an empty line that opens no group.
        if (i + 1 == lines.size() && lines[i].empty()) {
            problems.push_back(at(i) + "an empty line at the end of the file opens no group");
            report.groups.push_back(std::move(group));
            return report;
        }
        report.groups.push_back(std::move(group));
    }
    return report;
}

// ---------------------------------------------------------------------------
// Building the cleaned network, in the driver's order

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
        {
            std::ifstream in = OpenOrThrow(files.sif);
            SifReader(in, files.sif, graph, {names, types, values}, true, sink);
        }
        if (graph.NumberOfNodes() == 0)
            throw std::runtime_error("report checker: " + files.sif + " holds no network");
        RDE(graph, sink);
        {
            std::ifstream in = OpenOrThrow(files.association);
            AssociationReader(in, names, associations, graph.Nodes(), "name");
        }
        const auto pvalues = ReadPValueFile(files.pvalues);
        for (NodeId n : graph.Nodes()) scores[n] = NodeScoreOf(associations.at(n), pvalues);
    } catch (const RunError& e) {
        throw std::runtime_error(std::string("report checker: the inputs do not load:") +
                                 e.what());
    }
    DeleteIsolatedNodes(graph);
    for (NodeId n : graph.Nodes())
        if (scores.get(n) == kNoData) graph.DelNode(n);
    graph.Compact();
    MergeByAssociation(graph, associations, values);
    DeleteIsolatedNodes(graph);
    if (graph.NumberOfNodes() == 0)
        throw std::runtime_error("report checker: no node is left after cleaning");

    // Own copies: node index in node order, names, scores, adjacency.
    std::unordered_map<NodeId, std::size_t> position;
    graph.ForEachNode([&](NodeId n) {
        position.emplace(n, names_.size());
        index_.emplace(names.at(n), names_.size());
        names_.push_back(names.at(n));
        nodeScores_.push_back(scores.get(n));
    });
    if (index_.size() != names_.size())
        throw std::runtime_error("report checker: two nodes of the cleaned network share a name");
    adjacent_.resize(names_.size());

    // Edge scores computed here from the stored edge values, in edge order.
    FloatList edgeScoreList;
    graph.ForEachEdge([&](EdgeId e) {
        float v = values.get(e);
        if (v == 0.0f) v = 0.00001f;
        if (v == 1.0f) v = 0.99999f;
        const auto score = static_cast<float>(NormInv(static_cast<double>(v)));
        edgeScoreList.push_back(score);
        std::size_t a = position.at(graph.Source(e));
        std::size_t b = position.at(graph.Target(e));
        if (a == b) return;  // cannot be left after cleaning; keeps the adjacency simple
        adjacent_[a].push_back(b);
        adjacent_[b].push_back(a);
        edgeScores_.emplace(std::minmax(a, b), score);
    });

    auto toModel = [](const std::array<float, 5>& r) {
        Model m;
        m.mean = r[0];
        m.sd = r[1];
        m.meanCoef = r[2];
        m.sdExp = r[3];
        m.sdCoef = r[4];
        return m;
    };
    auto usable = [](const Model& m) {
        for (double f : {m.mean, m.sd, m.sdCoef, m.sdExp, m.meanCoef})
            if (!std::isfinite(f)) return false;
        return m.sd > 0 && m.sdCoef > 0;
    };

    FloatList nodeScoreList;
    for (double s : nodeScores_) nodeScoreList.push_back(static_cast<float>(s));
    {
        Random rng(settings.seed);
        nodeModel_ = toModel(
            CalculateBackground(nodeScoreList, settings.kmax, settings.imax, rng, sink));
    }

    if (edgeScoreList.empty()) {
        edgeProblem_ = "the cleaned network has no edge";
    } else if (std::adjacent_find(edgeScoreList.begin(), edgeScoreList.end(),
                                  std::not_equal_to<>()) == edgeScoreList.end()) {
        edgeProblem_ = "all edge scores are equal";
    } else {
        Random rng(settings.seed);
        const Model m =
            toModel(CalculateBackground(edgeScoreList, settings.kmax, settings.imax, rng, sink));
        if (usable(m))
            edgeModel_ = m;
        else
            edgeProblem_ = "the edge background model is degenerate (sd " + Num(m.sd) +
                           ", sd coefficient " + Num(m.sdCoef) + ")";
    }
}

std::optional<std::size_t> ReportChecker::IndexOf(const std::string& name) const {
    const auto it = index_.find(name);
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

std::optional<double> ReportChecker::NodeScore(const std::string& name) const {
    const auto i = IndexOf(name);
    if (!i) return std::nullopt;
    return nodeScores_[*i];
}

bool ReportChecker::Adjacent(const std::string& a, const std::string& b) const {
    const auto i = IndexOf(a);
    const auto j = IndexOf(b);
    if (!i || !j) return false;
    return edgeScores_.count(std::minmax(*i, *j)) != 0;
}

double ReportChecker::PValueOf(double nodeScore) {
    // Phi(x) = erfc(-x / sqrt 2) / 2, then the upper tail by subtraction in
    // double, as the report computes it.
    const double phi = 0.5 * std::erfc(-nodeScore / std::sqrt(2.0));
    return static_cast<double>(static_cast<float>(1.0 - phi));
}

namespace {

// ((sum / sqrt n) - mean * sqrt n) / sd, then corrected by the model's
// expected mean and spread at size n. The sum is taken in long double.
double CorrectedPart(const std::vector<float>& scores, double mean, double sd, double meanCoef,
                     double sdCoef, double sdExp) {
    const auto n = static_cast<double>(scores.size());
    long double sum = 0;
    for (float s : scores) sum += static_cast<long double>(s);
    const double root = std::sqrt(n);
    const double standardized = (static_cast<double>(sum) / root - mean * root) / sd;
    const double expectedMean = meanCoef;  // the mean law's exponent is always 0
    const double expectedSd = std::pow(n, sdExp) * sdCoef;
    return (standardized - expectedMean) / expectedSd;
}

}  // namespace

std::optional<double> ReportChecker::ExpectedScore(const std::vector<std::string>& names) const {
    if (names.size() < 2) return std::nullopt;
    std::set<std::size_t> members;
    std::vector<float> nodePart;
    for (const auto& name : names) {
        const auto i = IndexOf(name);
        if (!i) return std::nullopt;
        members.insert(*i);
        nodePart.push_back(static_cast<float>(nodeScores_[*i]));
    }
    const double node = CorrectedPart(nodePart, nodeModel_.mean, nodeModel_.sd,
                                      nodeModel_.meanCoef, nodeModel_.sdCoef, nodeModel_.sdExp);
    if (!settings_.edgesTakePart || !edgeModel_) return node;

    std::vector<float> edgePart;
    for (const auto& [ends, score] : edgeScores_)
        if (members.count(ends.first) && members.count(ends.second)) edgePart.push_back(score);
    if (edgePart.empty()) return std::nullopt;  // no edge: not a group
    const Model& em = *edgeModel_;
    const double edge =
        CorrectedPart(edgePart, em.mean, em.sd, em.meanCoef, em.sdCoef, em.sdExp);
    return (node + edge) / std::sqrt(2.0);
}

// ---------------------------------------------------------------------------
// Checks

void ReportChecker::CheckGroups(const ParsedReport& report, const std::vector<bool>* allowed,
                                std::vector<std::string>& problems) const {
    const auto& groups = report.groups;
    // node index -> number of the group that holds it
    std::unordered_map<std::size_t, std::size_t> owner;

    for (std::size_t g = 0; g < groups.size(); ++g) {
        const ReportGroup& group = groups[g];
        const std::string where = "group " + std::to_string(g) + " (line " +
                                  std::to_string(group.line) + "): ";
        if (group.number != static_cast<long>(g))
            problems.push_back(where + "numbered " + std::to_string(group.number) +
                               ", but groups are numbered 0, 1, 2, ... in order");
        if (group.declaredSize != group.nodes.size())
            problems.push_back(where + "header says size(" + std::to_string(group.declaredSize) +
                               ") but the group lists " + std::to_string(group.nodes.size()) +
                               " node line(s)");
        if (group.nodes.size() < 2)
            problems.push_back(where + "has " + std::to_string(group.nodes.size()) +
                               " node(s); a group has at least two");
        if (!std::isfinite(group.score))
            problems.push_back(where + "s-score " + Num(group.score) + " is not finite");
        if (g > 0 && group.score > groups[g - 1].score)
            problems.push_back(where + "s-score " + Num(group.score) +
                               " is higher than that of group " + std::to_string(g - 1) + " (" +
                               Num(groups[g - 1].score) + "): groups are not ranked");

        std::vector<std::size_t> members;
        for (const ReportNode& node : group.nodes) {
            const std::string at = "line " + std::to_string(node.line) + ": node " +
                                   Quote(node.name) + " ";
            const auto i = IndexOf(node.name);
            if (!i) {
                problems.push_back(at + "is not a node of the cleaned network");
                continue;
            }
            if (allowed && !(*allowed)[*i])
                problems.push_back(at + "is in no group of the first run's report");
            const auto [it, fresh] = owner.emplace(*i, g);
            if (!fresh) {
                problems.push_back(at + (it->second == g ? "appears twice in group "
                                                         : "of group " + std::to_string(g) +
                                                               " already appears in group ") +
                                   std::to_string(it->second));
                continue;
            }
            members.push_back(*i);

            const double expected = nodeScores_[*i];
            if (!std::isfinite(node.score) ||
                !Close(node.score, expected, kColumnTolerance, 1e-12))
                problems.push_back(at + "has node score " + Num(node.score) + ", expected " +
                                   Num(expected));
            const double p = PValueOf(expected);
            if (!std::isfinite(node.pvalue) || !Close(node.pvalue, p, kColumnTolerance, 1e-15))
                problems.push_back(at + "has p-value " + Num(node.pvalue) + ", expected " +
                                   Num(p) + " (1 - Phi of its node score)");
        }

        // Connected: a breadth-first search over the group's own members.
        if (members.size() >= 2) {
            const std::set<std::size_t> inGroup(members.begin(), members.end());
            std::set<std::size_t> reached{members.front()};
            std::deque<std::size_t> queue{members.front()};
            while (!queue.empty()) {
                const std::size_t n = queue.front();
                queue.pop_front();
                for (std::size_t m : adjacent_[n])
                    if (inGroup.count(m) && reached.insert(m).second) queue.push_back(m);
            }
            if (reached.size() != inGroup.size()) {
                std::string cut;
                for (std::size_t m : members)
                    if (!reached.count(m)) cut += (cut.empty() ? "" : ", ") + names_[m];
                problems.push_back(where + "is not connected: " + cut +
                                   " cannot be reached from " + names_[members.front()] +
                                   " over edges among the group's nodes");
            }
        }
    }

    // No edge may join two groups: they would have been one component.
    std::set<std::pair<std::size_t, std::size_t>> touching;
    for (const auto& [n, g] : owner)
        for (std::size_t m : adjacent_[n]) {
            const auto other = owner.find(m);
            if (other != owner.end() && other->second != g &&
                touching.emplace(std::minmax(g, other->second)).second)
                problems.push_back("groups " + std::to_string(std::min(g, other->second)) +
                                   " and " + std::to_string(std::max(g, other->second)) +
                                   " are joined by the edge " + names_[std::min(n, m)] + " - " +
                                   names_[std::max(n, m)] +
                                   ", so they would be one component");
        }
}

CheckResult ReportChecker::CheckFirstRun(const std::string& reportText) const {
    CheckResult result;
    result.report = ParseReport(reportText, result.problems);
    CheckGroups(result.report, nullptr, result.problems);

    if (settings_.edgesTakePart && !edgeModel_)
        result.problems.push_back("the check was asked to score with edges, but " + edgeProblem_ +
                                  ", so the program scores with nodes only");
    if (!settings_.edgesTakePart && edgeModel_)
        result.problems.push_back(
            "the check was asked to score with nodes only, but the edge scores vary and give a "
            "usable background model, so the program's first run scores with edges");

    for (std::size_t g = 0; g < result.report.groups.size(); ++g) {
        const ReportGroup& group = result.report.groups[g];
        std::vector<std::string> names;
        for (const auto& node : group.nodes) names.push_back(node.name);
        const auto expected = ExpectedScore(names);
        if (!expected) continue;  // already reported: unknown node, too small or no edge
        const double scale =
            std::max({std::fabs(group.score), std::fabs(*expected), kScoreFloor});
        if (!std::isfinite(group.score) ||
            !(std::fabs(group.score - *expected) <= kScoreTolerance * scale))
            result.problems.push_back("group " + std::to_string(g) + " (line " +
                                      std::to_string(group.line) + "): s-score " +
                                      Num(group.score) + " but the recomputed score is " +
                                      Num(*expected));
    }
    return result;
}

CheckResult ReportChecker::CheckLaterRun(const std::string& firstReportText,
                                         const std::string& laterReportText) const {
    CheckResult result;
    std::vector<std::string> firstProblems;
    const ParsedReport first = ParseReport(firstReportText, firstProblems);
    for (const auto& p : firstProblems)
        result.problems.push_back("first run's report: " + p);

    // Node index -> group of the first run.
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

    for (std::size_t g = 0; g < result.report.groups.size(); ++g) {
        std::set<std::size_t> from;
        for (const auto& node : result.report.groups[g].nodes)
            if (const auto i = IndexOf(node.name); i && firstGroup.count(*i))
                from.insert(firstGroup.at(*i));
        if (from.size() > 1)
            result.problems.push_back("group " + std::to_string(g) +
                                      " takes nodes from several groups of the first run, which "
                                      "no edge joins");
    }
    return result;
}

CheckResult CheckFirstRunReport(const InputFiles& files, const FirstRunSettings& settings,
                                const std::string& reportPath) {
    const auto text = Slurp(reportPath);
    if (!text) return CheckResult{{"cannot read the report " + reportPath}, {}};
    return ReportChecker(files, settings).CheckFirstRun(*text);
}

CheckResult CheckLaterRunReport(const InputFiles& files, const FirstRunSettings& settings,
                                const std::string& firstReportPath,
                                const std::string& laterReportPath) {
    const auto first = Slurp(firstReportPath);
    const auto later = Slurp(laterReportPath);
    if (!first) return CheckResult{{"cannot read the report " + firstReportPath}, {}};
    if (!later) return CheckResult{{"cannot read the report " + laterReportPath}, {}};
    return ReportChecker(files, settings).CheckLaterRun(*first, *later);
}

}  // namespace tarnvale::testing
