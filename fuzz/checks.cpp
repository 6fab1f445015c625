#include "fuzz/checks.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/run_error.hpp"
#include "cli/driver.hpp"
#include "network/association_reader.hpp"
#include "network/graph.hpp"
#include "network/preparation.hpp"
#include "network/sif_reader.hpp"
#include "search/scoring.hpp"
#include "tests/support/report_parser.hpp"

namespace tarnvale::fuzz {
namespace {

namespace fs = std::filesystem;

// An upper bound of the file's line count under any line-end convention.
std::int64_t MaxLines(std::string_view data) {
    return 1 + static_cast<std::int64_t>(std::count(data.begin(), data.end(), '\n') +
                                         std::count(data.begin(), data.end(), '\r'));
}

// Every "Warning: FILE:LINE: " at the start of a line of `out` names a line
// between 1 and maxLines. The reader echoes the text after a line's fourth
// field, which may look like a warning; that echo starts with the separator
// after the field, never at the start of a line.
std::string CheckWarningLines(const std::string& out, const std::string& file,
                              std::int64_t maxLines) {
    const std::string head = "Warning: " + file + ":";
    for (auto at = out.find(head); at != std::string::npos; at = out.find(head, at + 1)) {
        if (at > 0 && out[at - 1] != '\n') continue;
        std::size_t pos = at + head.size();
        if (pos < out.size() && out[pos] == ' ') continue;  // "FILE: N lines skipped in all"
        std::int64_t line = 0;
        bool digits = false;
        for (; pos < out.size() && out[pos] >= '0' && out[pos] <= '9'; ++pos, digits = true)
            line = std::min<std::int64_t>(line * 10 + (out[pos] - '0'), maxLines + 1);
        if (!digits || pos >= out.size() || out[pos] != ':')
            return "malformed warning: " + out.substr(at, 80);
        if (line < 1 || line > maxLines)
            return "warning names line " + std::to_string(line) + " of a file of at most " +
                   std::to_string(maxLines);
    }
    return {};
}

bool HasSeparator(std::string_view text) {
    return text.find_first_of(std::string_view(" \t\r\v\f\n\0", 7)) != std::string_view::npos;
}

// Finite numbers only in the lines of standard output that print numbers
// of the program's own (not echoed user text).
std::string CheckPrintedNumbers(const std::string& out) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::string numbers;
        for (const char* prefix : {"Mean(data)= ", "StdDev(data)= ", "r= ", "Group s-score = "})
            if (line.rfind(prefix, 0) == 0) numbers = line.substr(std::string(prefix).size());
        if (numbers.empty() && !line.empty() && line[0] >= '0' && line[0] <= '9' &&
            line.find(":\t") != std::string::npos)
            numbers = line.substr(line.find(":\t") + 2);
        std::istringstream fields(numbers);
        for (std::string field; fields >> field;) {
            char* end = nullptr;
            const double value = std::strtod(field.c_str(), &end);
            if (end == field.c_str() || !std::isfinite(value)) return "not finite: " + line;
        }
    }
    return {};
}

// A report file that the tests' parser reads without a problem: groups
// numbered from 0 of at least two nodes each, as many as their "size(k)"
// says, numbers finite, names among `names`.
std::string CheckReport(const std::string& text, const std::unordered_set<std::string>& names) {
    std::vector<std::string> problems;
    const auto groups = testing::ParseReport(text, problems);
    if (!problems.empty()) return problems.front();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const testing::ReportGroup& group = groups[g];
        if (group.number != static_cast<long>(g) || group.nodes.size() < 2 ||
            group.declaredSize != group.nodes.size() || !std::isfinite(group.score))
            return "bad group " + std::to_string(g) + " on line " + std::to_string(group.line);
        for (const testing::ReportNode& node : group.nodes)
            if (!std::isfinite(node.score) || !std::isfinite(node.pvalue) ||
                names.count(node.name) == 0)
                return "bad node line: " + node.line;
    }
    return {};
}

}  // namespace

std::string CheckSif(std::string_view data) {
    std::istringstream in{std::string(data)};
    Graph graph;
    NodeMap<std::string> names;
    EdgeTypes types;
    EdgeMap<float> values;
    std::ostringstream out;
    SifReader(in, "net.sif", graph, {names, types, values}, true, out);

    if (auto problem = CheckWarningLines(out.str(), "net.sif", MaxLines(data)); !problem.empty())
        return problem;
    std::set<std::string> seen;
    std::string problem;
    graph.ForEachNode([&](NodeId n) {
        const std::string& name = names.at(n);
        if (name.empty() || HasSeparator(name)) problem = "bad node name '" + name + "'";
        if (!seen.insert(name).second) problem = "two nodes named '" + name + "'";
    });
    graph.ForEachEdge([&](EdgeId e) {
        for (NodeId end : {graph.Source(e), graph.Target(e)})
            if (end < 0 || static_cast<std::size_t>(end) >= graph.NumberOfNodeIds() ||
                !graph.IsNodeAlive(end))
                problem = "an edge end is not a node";
        const float v = values.get(e);
        if (!(std::isfinite(v) && v >= 0.0f && v <= 1.0f))
            problem = "edge value " + std::to_string(v) + " stored";
        if (types.Of(e).empty() || HasSeparator(types.Of(e))) problem = "bad interaction type";
    });
    if (!problem.empty()) return problem;

    std::ostringstream ignored;
    RDE(graph, ignored);
    std::set<std::pair<NodeId, NodeId>> pairs;
    graph.ForEachEdge([&](EdgeId e) {
        const NodeId a = std::min(graph.Source(e), graph.Target(e));
        const NodeId b = std::max(graph.Source(e), graph.Target(e));
        if (a == b) problem = "a loop survives duplicate edge removal";
        if (!pairs.insert({a, b}).second)
            problem = "a parallel edge survives duplicate edge removal";
    });
    DeleteIsolatedNodes(graph);
    graph.ForEachNode([&](NodeId n) {
        if (graph.Degree(n) == 0) problem = "an isolated node survives";
    });
    return problem;
}

std::string CheckAssociation(std::string_view data) {
    const auto lineEnd = data.find('\n');
    const std::string_view nameLine = data.substr(0, lineEnd);
    const std::string_view file =
        lineEnd == std::string_view::npos ? std::string_view() : data.substr(lineEnd + 1);

    NodeMap<std::string> names;
    std::vector<NodeId> nodes;
    std::istringstream nameStream{std::string(nameLine)};
    for (std::string name; nameStream >> name;) {
        nodes.push_back(static_cast<NodeId>(nodes.size()));
        names[nodes.back()] = name;
    }
    NodeMap<AssociationList> associations;
    std::istringstream in{std::string(file)};
    // Only LF line ends make empty lines: a CR ends a line of its own, or
    // stays at the end of one when it is the last byte before LF. A line with
    // a NUL byte is skipped, so it counts as empty here.
    std::string_view body = file;
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    bool onlyEmptyLines = true;
    for (std::size_t start = 0; start < body.size();) {
        std::size_t end = body.find('\n', start);
        if (end == std::string_view::npos) end = body.size();
        std::string_view rest = body.substr(start, end - start);
        for (bool more = true; more;) {
            const std::size_t cr = rest.find('\r');
            more = cr != std::string_view::npos && cr + 1 < rest.size();
            const std::string_view line = more ? rest.substr(0, cr) : rest;
            if (!line.empty() && line.find('\0') == std::string_view::npos) onlyEmptyLines = false;
            if (more) rest.remove_prefix(cr + 1);
        }
        start = end + 1;
    }
    std::ostringstream out;
    try {
        AssociationReader(in, names, associations, nodes, "name", "a.txt", out);
    } catch (const RunError&) {
        if (!onlyEmptyLines) return "association file refused though it has a non-empty line";
        return {};
    }
    if (onlyEmptyLines) return "association file of empty lines accepted";
    if (auto problem = CheckWarningLines(out.str(), "a.txt", MaxLines(file)); !problem.empty())
        return problem;
    for (NodeId n : nodes) {
        const AssociationList& list = associations.at(n);
        if (!std::is_sorted(list.begin(), list.end())) return "association list not sorted";
        for (const std::string& id : list) {
            if (id.empty()) return "empty identifier";
            if (id.find('\t') != std::string::npos || id.find('\n') != std::string::npos)
                return "identifier holds a tab or line end";
            for (char edge : {id.front(), id.back()})
                if (edge == ' ' || edge == '\t' || edge == '\r')
                    return "identifier '" + id + "' is not trimmed";
        }
        const std::string& name = names.at(n);
        // A node whose name is no key falls back to its own name; a key
        // row with identifiers gives those. Either way a one-entry list of
        // a different text must come from a row.
        const bool keyed = file.find(name) != std::string_view::npos;
        if (!keyed && list != AssociationList{name})
            return "node '" + name + "' without a row did not get its own name";
    }
    return {};
}

std::string CheckPValues(std::string_view data) {
    std::istringstream in{std::string(data)};
    std::ostringstream out;
    const PValueTable table = ReadPValues(in, "p.txt", out);
    if (auto problem = CheckWarningLines(out.str(), "p.txt", MaxLines(data)); !problem.empty())
        return problem;
    if (table.ids.size() != table.values.size()) return "identifier and value lists differ";
    std::unordered_map<std::string, std::size_t> firstSeen;
    for (std::size_t i = 0; i < table.ids.size(); ++i) {
        firstSeen.emplace(table.ids[i], i);
        const float p = table.values[i];
        if (!(std::isfinite(p) && p > 0.0f && p < 1.0f))
            return "p-value " + std::to_string(p) + " stored";
        const std::string& id = table.ids[i];
        if (id.empty() || id.find_first_of(std::string_view("\t\n\0", 3)) != std::string::npos)
            return "bad identifier";
        const auto first = table.first.find(id);
        if (first == table.first.end() || first->second != firstSeen.at(id))
            return "identifier '" + id + "' does not map to its first occurrence";
    }
    if (table.first.size() != firstSeen.size()) return "the index holds identifiers not listed";

    // Every node score from the table is finite (or the no-data marker).
    NodeMap<AssociationList> associations;
    std::vector<NodeId> nodes;
    for (std::size_t i = 0; i < table.ids.size() && i < 64; ++i) {
        nodes.push_back(static_cast<NodeId>(i));
        associations[nodes.back()] = {table.ids[i], table.ids[table.ids.size() - 1 - i]};
    }
    NodeMap<double> scores;
    ScoreNodes(nodes, associations, table, scores);
    for (NodeId n : nodes)
        if (!std::isfinite(scores.get(n)) || scores.get(n) == kNoData)
            return "node score " + std::to_string(scores.get(n)) + " from a listed identifier";
    return {};
}

std::string CheckPipeline(std::string_view data) {
    // One working directory for the whole process, emptied after each input.
    static const fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "tarnvale-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return fs::path(pattern);
    }();
    std::string_view parts[3];
    std::string_view rest = data;
    for (int k = 0; k < 3; ++k) {
        const auto cut = k < 2 ? rest.find(kPartSeparator) : std::string_view::npos;
        parts[k] = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    const char* files[3] = {"net.sif", "p.txt", "a.txt"};
    for (int k = 0; k < 3; ++k) {
        std::ofstream file(dir / files[k], std::ios::binary);
        file << parts[k];
    }
    // Vary the start heuristic and quenching with the input.
    const std::string heuristic = std::to_string(1 + data.size() % 7);
    const std::string quench = data.size() % 2 == 0 ? "1" : "0";
    const std::string base = (dir / "out").string();
    std::vector<std::string> args = testing::Split(
        "tarnvale --seed 7 -k 4 -i 6 -n 12 -r 2 -q " + quench + " -p " + heuristic, ' ');
    args.insert(args.end(), {"-d", (dir / "p.txt").string(), "-a", (dir / "a.txt").string(),
                             (dir / "net.sif").string(), base});
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);

    const std::string text = out.str();
    const bool finished = text.find("\nProgram finished") != std::string::npos;
    const bool told = text.find("Error") != std::string::npos ||
                      text.find("Warning: File opening") != std::string::npos || !err.str().empty();
    std::string problem = status != 0 && status != 1 ? "exit status " + std::to_string(status)
                          : status == 0 && !finished ? "status 0 without finishing"
                          : status == 1 && finished  ? "status 1 after finishing"
                          : status == 1 && !told     ? "status 1 without a message"
                          : status == 1 && fs::exists(dir / "outA") ? "a failed run left a report"
                                                                    : CheckPrintedNumbers(text);

    // Node names are whole white-space-separated tokens of the network text
    // (a lone CR splits lines, and separates tokens for >> as well), the
    // first one perhaps after a byte-order mark.
    std::unordered_set<std::string> names;
    const std::string sifText(parts[0]);
    for (const std::string& part :
         {sifText, sifText.substr(sifText.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0)}) {
        std::istringstream split(part);
        for (std::string token; split >> token;) names.insert(token);
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (problem.empty() && name.find(".tmp.") != std::string::npos)
            problem = "temporary file " + name + " left behind";
        if (name.rfind("out", 0) == 0 && name.size() == 4) {
            std::ifstream report(entry.path(), std::ios::binary);
            std::ostringstream content;
            content << report.rdbuf();
            if (problem.empty()) {
                const std::string bad = CheckReport(content.str(), names);
                if (!bad.empty()) problem = name + ": " + bad;
            }
        }
    }
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove(entry.path());
    return problem;
}

}  // namespace tarnvale::fuzz
