#include "network/gene_sets.hpp"

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/run_error.hpp"
#include "network/input_text.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {

// The tab-separated fields of a line, each trimmed.
void Fields(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(TrimView(line.substr(start, tab - start)));
        if (tab == std::string_view::npos) return;
        start = tab + 1;
    }
}

}  // namespace

std::vector<GeneSet> ReadGeneSets(std::istream& in, const std::string& fileName,
                                  std::ostream& out) {
    std::vector<GeneSet> sets;
    std::unordered_map<std::string, std::int64_t> lineOfName;
    SkipReporter skips(fileName, out);
    std::int64_t repeated = 0;  // sets that list a member more than once
    std::vector<std::string_view> fields;
    std::unordered_set<std::string_view> seen;
    std::string_view line;
    for (LineReader lines(in); lines.Next(line);) {
        const std::int64_t lineNo = lines.number();
        if (line.find('\0') != std::string_view::npos) {
            skips.Skip(lineNo, "holds a NUL byte, which no text line has");
            continue;
        }
        if (TrimView(line).empty()) continue;
        Fields(line, fields);
        if (fields.size() < 3) {
            skips.Skip(lineNo, "has " + std::to_string(fields.size()) +
                                   (fields.size() == 1 ? " field" : " fields") +
                                   ", not a name, a description and members separated by tabs");
            continue;
        }
        const std::string_view name = fields[0];
        if (name.empty()) {
            skips.Skip(lineNo, "the set has no name");
            continue;
        }
        GeneSet set{std::string(name), std::string(fields[1]), {}};
        seen.clear();
        bool twice = false;
        for (std::size_t f = 2; f < fields.size(); ++f) {
            if (fields[f].empty()) continue;
            if (seen.insert(fields[f]).second) {
                set.members.emplace_back(fields[f]);
            } else {
                twice = true;
            }
        }
        if (set.members.empty()) {
            skips.Skip(lineNo, "set '" + Shown(name) + "' has no member");
            continue;
        }
        const auto [first, added] = lineOfName.emplace(set.name, lineNo);
        if (!added) {
            skips.Skip(lineNo, "set '" + Shown(name) + "' was already given on line " +
                                   std::to_string(first->second));
            continue;
        }
        repeated += twice;
        sets.push_back(std::move(set));
    }
    skips.Finish();
    if (repeated > 0)
        out << "Warning: " << fileName << ": " << repeated
            << (repeated == 1 ? " set lists" : " sets list")
            << " a member more than once; each member counts once\n";
    if (sets.empty())
        throw RunError("\nError: " + fileName +
                           " holds no gene set (lines of a name, a description and members, "
                           "separated by tabs)\n",
                       1);
    return sets;
}

}  // namespace tarnvale
