#include "network/string_reader.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "base/run_error.hpp"
#include "network/input_text.hpp"
#include "network/named_interactions.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {

// A STRING score: a whole number from 0 to 1000, digits only.
std::optional<int> Score(std::string_view text) {
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.front() == '-' ||
        value < 0 || value > 1000)
        return std::nullopt;
    return value;
}

}  // namespace

bool IsStringHeader(std::string_view line) {
    std::vector<std::string_view> words;
    SplitWords(line, words);
    return words.size() >= 2 && words[0] == "protein1" && words[1] == "protein2";
}

bool LooksLikeStringLine(std::string_view line) {
    std::vector<std::string_view> words;
    SplitWords(line, words);
    // STRING's protein ids begin with the organism's taxonomy id and a dot.
    const auto stringId = [](std::string_view word) {
        const std::size_t dot = word.find('.');
        return dot != std::string_view::npos && dot > 0 && dot + 1 < word.size() &&
               std::all_of(word.begin(), word.begin() + static_cast<std::ptrdiff_t>(dot),
                           [](char c) { return c >= '0' && c <= '9'; });
    };
    if (words.size() < 3 || !stringId(words[0]) || !stringId(words[1])) return false;
    return std::all_of(words.begin() + 2, words.end(),
                       [](std::string_view w) { return Score(w).has_value(); });
}

StringCounts ReadStringLinks(std::istream& in, const std::string& fileName, Graph& graph,
                             SifMaps maps, double minScore, std::ostream& out) {
    LineReader lines(in);
    std::string_view line;
    std::vector<std::string_view> words;
    if (lines.Next(line)) SplitWords(line, words);
    const auto combined = std::find(words.begin(), words.end(), "combined_score");
    if (combined == words.end())
        throw RunError("\nError: " + fileName +
                           ":1: a STRING header line (protein1 protein2 ...) without the column "
                           "combined_score; restore the header of the downloaded file\n",
                       1);
    const std::size_t columns = words.size();
    const auto scoreColumn = static_cast<std::size_t>(combined - words.begin());

    StringCounts counts;
    NamedInteractions interactions(graph, maps.names);
    SkipReporter skipped(fileName, out);
    RowCount loops;
    while (lines.Next(line)) {
        SplitWords(line, words);
        if (words.empty()) continue;
        ++counts.lines;
        if (line.find('\0') != std::string_view::npos) {
            skipped.Skip(lines.number(), "holds a NUL byte, which no text line has");
            continue;
        }
        if (words.size() != columns) {
            skipped.Skip(lines.number(), std::to_string(words.size()) +
                                             " fields where the header line has " +
                                             std::to_string(columns));
            continue;
        }
        const std::string_view scoreText = words[scoreColumn];
        const auto score = Score(scoreText);
        if (!score) {
            skipped.Skip(lines.number(), "combined score '" + Shown(scoreText) +
                                             "' is not a whole number from 0 to 1000");
            continue;
        }
        // Both sides are the correctly rounded values of what they stand
        // for, so a score of 400 passes 0.4 exactly.
        if (static_cast<double>(*score) / 1000.0 < minScore) {
            ++counts.below;
            continue;
        }
        if (words[0] == words[1]) {
            loops.Add(lines.number(), [&] { return Shown(words[0]) + " is paired with itself"; });
            continue;
        }
        const NodeId a = interactions.Node(words[0]);
        const NodeId b = interactions.Node(words[1]);
        interactions.Add(a, b);
    }
    skipped.Finish();
    loops.Print(fileName, "not read (a protein paired with itself joins no two nodes)", out);
    counts.interactions = static_cast<std::int64_t>(interactions.Finish(maps, 1.0f, {"pp"}));
    out << "NOTE: " << fileName << " is read as a STRING links file: " << counts.lines
        << (counts.lines == 1 ? " line, " : " lines, ") << counts.interactions
        << (counts.interactions == 1 ? " interaction" : " interactions")
        << " with a combined score of at least " << minScore * 1000.0 << " of 1000 (--min-score "
        << minScore << "; each pair is listed in both directions), " << counts.below
        << (counts.below == 1 ? " line" : " lines")
        << " below it left out; every edge value is 1\n";
    return counts;
}

}  // namespace tarnvale
