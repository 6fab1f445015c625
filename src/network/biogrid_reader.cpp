#include "network/biogrid_reader.hpp"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

#include "base/run_error.hpp"
#include "network/input_text.hpp"
#include "network/named_interactions.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {

// The columns read, by their names in the header; the organism columns are
// named "Organism ID Interactor A" in TAB3 and "Organism Interactor A" in TAB2.
enum Column { kSymbolA, kSymbolB, kSystemType, kOrganismA, kOrganismB, kColumns };
const std::array<std::vector<std::string_view>, kColumns> kColumnNames{{
    {"Official Symbol Interactor A"},
    {"Official Symbol Interactor B"},
    {"Experimental System Type"},
    {"Organism ID Interactor A", "Organism Interactor A"},
    {"Organism ID Interactor B", "Organism Interactor B"},
}};

void SplitTabs(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (std::size_t begin = 0;;) {
        const std::size_t tab = line.find('\t', begin);
        fields.push_back(TrimView(line.substr(begin, tab - begin)));
        if (tab == std::string_view::npos) return;
        begin = tab + 1;
    }
}

// A row kept until the file's organism is known: its organism and its two
// symbols as indices into the texts seen.
struct KeptRow {
    std::uint32_t organism, a, b;
    std::int64_t line;
};

// Texts (symbols, organism ids) stored once each, numbered from 0.
class Texts {
public:
    std::uint32_t Of(std::string_view text) {
        if (const auto found = index_.find(text); found != index_.end()) return found->second;
        const auto id = static_cast<std::uint32_t>(texts_.size());
        texts_.emplace_back(text);
        index_.emplace(texts_.back(), id);
        return id;
    }
    const std::string& operator[](std::uint32_t id) const { return texts_[id]; }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::vector<std::string> texts_;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> index_;
};

bool Missing(std::string_view field) { return field.empty() || field == "-"; }

}  // namespace

const char* BiogridTypesName(BiogridTypes types) {
    switch (types) {
        case BiogridTypes::genetic:
            return "genetic";
        case BiogridTypes::both:
            return "both";
        case BiogridTypes::physical:
            break;
    }
    return "physical";
}

bool IsBiogridHeader(std::string_view line) { return line.starts_with("#BioGRID Interaction ID"); }

bool LooksLikeBiogridLine(std::string_view line) {
    std::vector<std::string_view> fields;
    SplitTabs(line, fields);
    return fields.size() >= 24 && ParseNumber(fields[0]).has_value();
}

BiogridCounts ReadBiogrid(std::istream& in, const std::string& fileName, Graph& graph, SifMaps maps,
                          BiogridTypes types, std::ostream& out) {
    LineReader lines(in);
    std::string_view line;
    std::vector<std::string_view> fields;
    if (lines.Next(line)) SplitTabs(line, fields);
    std::array<std::size_t, kColumns> at{};
    std::string lacking;
    for (int c = 0; c < kColumns; ++c) {
        const auto& names = kColumnNames[static_cast<std::size_t>(c)];
        auto found = fields.end();
        for (std::string_view name : names)
            if (found == fields.end()) found = std::find(fields.begin(), fields.end(), name);
        if (found == fields.end())
            lacking += (lacking.empty() ? "" : ", ") + std::string(names.front());
        else
            at[static_cast<std::size_t>(c)] = static_cast<std::size_t>(found - fields.begin());
    }
    if (!lacking.empty())
        throw RunError("\nError: " + fileName +
                           ":1: a BioGRID header line (#BioGRID Interaction ID ...) without the "
                           "column(s) " +
                           lacking + "; restore the header of the downloaded file\n",
                       1);
    const std::size_t needed = *std::max_element(at.begin(), at.end()) + 1;

    BiogridCounts counts;
    Texts texts;
    std::vector<KeptRow> rows;
    std::vector<std::pair<std::uint32_t, std::int64_t>> perOrganism;  // by organism text id
    SkipReporter skipped(fileName, out);
    RowCount noSymbol, twoOrganisms, otherOrganism, loops;
    std::vector<unsigned char> genetic;  // by row: a genetic interaction
    while (lines.Next(line)) {
        if (TrimView(line).empty()) continue;
        ++counts.rows;
        if (line.find('\0') != std::string_view::npos) {
            skipped.Skip(lines.number(), "holds a NUL byte, which no text line has");
            continue;
        }
        SplitTabs(line, fields);
        if (fields.size() < needed) {
            skipped.Skip(lines.number(), std::to_string(fields.size()) +
                                             " tab-separated fields, fewer than the " +
                                             std::to_string(needed) + " the header names");
            continue;
        }
        const std::string_view type = fields[at[kSystemType]];
        const bool isGenetic = type == "genetic";
        if (!isGenetic && type != "physical") {
            skipped.Skip(lines.number(), "Experimental System Type '" + Shown(type) +
                                             "' is neither physical nor genetic");
            continue;
        }
        if ((isGenetic && types == BiogridTypes::physical) ||
            (!isGenetic && types == BiogridTypes::genetic)) {
            ++counts.otherType;
            continue;
        }
        const std::string_view a = fields[at[kSymbolA]], b = fields[at[kSymbolB]];
        if (Missing(a) || Missing(b)) {
            noSymbol.Add(lines.number(), [&] {
                return std::string("no official symbol for interactor ") + (Missing(a) ? "A" : "B");
            });
            continue;
        }
        const std::string_view organismA = fields[at[kOrganismA]];
        const std::string_view organismB = fields[at[kOrganismB]];
        if (organismA != organismB) {
            twoOrganisms.Add(lines.number(), [&] {
                return Shown(a) + " of organism " + Shown(organismA) + " with " + Shown(b) +
                       " of organism " + Shown(organismB);
            });
            continue;
        }
        const std::uint32_t organism = texts.Of(organismA);
        auto counted = std::find_if(perOrganism.begin(), perOrganism.end(),
                                    [&](const auto& entry) { return entry.first == organism; });
        if (counted == perOrganism.end())
            perOrganism.emplace_back(organism, 1);
        else
            ++counted->second;
        rows.push_back({organism, texts.Of(a), texts.Of(b), lines.number()});
        genetic.push_back(isGenetic ? 1 : 0);
    }

    // The file's organism: the most rows, the earlier on a tie (max_element
    // keeps the first of equal counts).
    NamedInteractions interactions(graph, maps.names);
    std::uint32_t organism = 0;
    if (!perOrganism.empty()) {
        organism =
            std::max_element(perOrganism.begin(), perOrganism.end(),
                             [](const auto& x, const auto& y) { return x.second < y.second; })
                ->first;
        counts.organism = texts[organism];
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const KeptRow& row = rows[i];
        if (row.organism != organism) {
            otherOrganism.Add(row.line, [&] {
                return Shown(texts[row.a]) + " with " + Shown(texts[row.b]) + " of organism " +
                       Shown(texts[row.organism]) + ", not " + Shown(counts.organism);
            });
            continue;
        }
        if (row.a == row.b) {
            loops.Add(row.line, [&] { return Shown(texts[row.a]) + " is paired with itself"; });
            continue;
        }
        const NodeId a = interactions.Node(texts[row.a]);
        const NodeId b = interactions.Node(texts[row.b]);
        interactions.Add(a, b, genetic[i]);
    }
    skipped.Finish();
    PrintInLineOrder(fileName,
                     {{&noSymbol, "not read"},
                      {&twoOrganisms, "not read (interactions between organisms)"},
                      {&otherOrganism, "not read (only the organism of most rows is read)"},
                      {&loops, "not read (a gene paired with itself joins no two nodes)"}},
                     out);
    // A pair listed as both takes the type of its first row.
    counts.interactions = static_cast<std::int64_t>(interactions.Finish(maps, 1.0f, {"pp", "gi"}));
    out << "NOTE: " << fileName << " is read as a BioGRID file: " << counts.rows
        << (counts.rows == 1 ? " row, " : " rows, ") << counts.interactions << ' '
        << (types == BiogridTypes::both ? "physical or genetic" : BiogridTypesName(types))
        << (counts.interactions == 1 ? " interaction" : " interactions");
    if (!counts.organism.empty()) out << " of organism " << counts.organism;
    out << " between genes named by their official symbols (the rows of one pair count once); ";
    if (counts.otherType > 0)
        out << counts.otherType << ' ' << (types == BiogridTypes::genetic ? "physical" : "genetic")
            << (counts.otherType == 1 ? " row" : " rows") << " not read (--biogrid-type "
            << BiogridTypesName(types) << "); ";
    out << "every edge value is 1\n";
    return counts;
}

}  // namespace tarnvale
