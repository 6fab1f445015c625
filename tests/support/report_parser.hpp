#pragma once
// Reading what tarnvale writes, for the tests and the fuzz checks alike: a
// report file, strictly, and a tab-separated table with a header line.

#include <charconv>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tarnvale::testing {

// The text cut at every `separator`; a last one ends the last piece.
inline std::vector<std::string> Split(const std::string& text, char separator = '\n') {
    std::vector<std::string> pieces;
    std::istringstream in(text);
    for (std::string piece; std::getline(in, piece, separator);) pieces.push_back(piece);
    return pieces;
}

// The whole token as a number (inf and nan included), or nothing.
inline std::optional<double> ParseDouble(const std::string& token) {
    double value = 0;
    const char* last = token.data() + token.size();
    const auto [end, ec] = std::from_chars(token.data(), last, value);
    if (token.empty() || ec != std::errc() || end != last) return std::nullopt;
    return value;
}

struct ReportNode {
    std::string name;
    double score = 0, pvalue = 0;
    std::string line;  // as written
};

struct ReportGroup {
    long number = -1;
    std::size_t declaredSize = 0;  // the k of "size(k)"
    double score = 0;
    std::string scoreText;  // as written
    std::size_t line = 0;   // line of "Group No."
    std::vector<ReportNode> nodes;
};

// A report is a sequence of groups: an empty line, "Group No. g: size(k)",
// "Group s-score = x", then name<TAB>node score<TAB>p-value lines. The first
// line that the format does not allow ends the reading with a problem naming
// it. (Numbering, sizes and values are the caller's to judge.)
inline std::vector<ReportGroup> ParseReport(const std::string& text,
                                            std::vector<std::string>& problems) {
    std::vector<ReportGroup> report;
    if (text.empty()) return report;  // a run without groups writes nothing
    if (text.back() != '\n') problems.push_back("the file does not end with a line end");
    static const std::regex head("Group No\\. (0|[1-9][0-9]*): size\\((0|[1-9][0-9]*)\\)");
    enum { kOpening, kHead, kScore, kNode } next = kOpening;  // what the next line may be
    const std::vector<std::string> lines = Split(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::vector<std::string> f = Split(line, '\t');
        std::optional<double> x, y;
        std::smatch m;
        if ((next == kOpening || next == kNode) && line.empty()) {
            next = kHead;
        } else if (next == kHead && std::regex_match(line, m, head)) {
            report.push_back({std::stol(m[1]), std::stoul(m[2]), 0, "", i + 1, {}});
            next = kScore;
        } else if (next == kScore && line.rfind("Group s-score = ", 0) == 0 &&
                   (x = ParseDouble(line.substr(16)))) {
            report.back().score = *x;
            report.back().scoreText = line.substr(16);
            next = kNode;
        } else if (next == kNode && f.size() == 3 && !f[0].empty() &&
                   f[0].find_first_of(" \r\v\f") == std::string::npos && (x = ParseDouble(f[1])) &&
                   (y = ParseDouble(f[2]))) {
            report.back().nodes.push_back({f[0], *x, *y, line});
        } else {
            problems.push_back("line " + std::to_string(i + 1) + ": the format allows no '" + line +
                               "' here");
            return report;
        }
    }
    if (next == kHead || next == kScore) problems.push_back("the report ends inside a group");
    return report;
}

// The rows of a tab-separated table below its header line, each as its
// fields by column name; a row with more or fewer fields than the header
// also holds the whole line under "(line)".
inline std::vector<std::map<std::string, std::string>> ReadTable(const std::string& text) {
    const std::vector<std::string> lines = Split(text);
    std::vector<std::map<std::string, std::string>> rows;
    if (lines.empty()) return rows;
    const std::vector<std::string> header = Split(lines[0], '\t');
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = Split(lines[i] + '\t', '\t');
        auto& row = rows.emplace_back();
        for (std::size_t c = 0; c < header.size(); ++c)
            row[header[c]] = c < fields.size() ? fields[c] : "";
        if (fields.size() != header.size()) row["(line)"] = lines[i];
    }
    return rows;
}

}  // namespace tarnvale::testing
