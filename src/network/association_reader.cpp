#include "network/association_reader.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "network/hash_index.hpp"
#include "network/input_text.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {

std::size_t Index(std::int32_t id) { return static_cast<std::size_t>(id); }

// Whether two rows list the same identifiers, in any order.
bool SameIdentifiers(const Row& a, const Row& b) {
    if (a.size() != b.size()) return false;
    Row x(a.begin() + 1, a.end()), y(b.begin() + 1, b.end());
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    return x == y;
}

}  // namespace

int AssociationReader(std::istream& in, const NodeMap<std::string>& names,
                      NodeMap<AssociationList>& associations, const std::vector<NodeId>& nodeList,
                      const std::string& missingMode, const std::string& fileName,
                      std::ostream& out) {
    in.clear();
    in.seekg(0);
    // The first row of every key, and its line. A single-field line keeps
    // its stray tab or carriage return (SplitLine leaves it untouched), so
    // keys are trimmed to still match their nodes.
    Matrix rows;
    std::vector<std::int64_t> lineOfRow;
    HashIndex rowOfKey;
    const auto keyOf = [&](std::int32_t row) { return TrimView(rows[Index(row)].front()); };
    SkipReporter skips(fileName, out);
    std::string line;
    for (LineReader lines(in); lines.Next(line);) {
        if (line.empty()) continue;
        if (line.find('\0') != std::string::npos) {
            // Binary data, not names and identifiers.
            skips.Skip(lines.number(), "holds a NUL byte, which no text line has");
            continue;
        }
        Row row = SplitLine(line, "\t");
        const std::string_view key = TrimView(row.front());
        const std::size_t hash = HashText(key);
        const std::int32_t first =
            rowOfKey.Find(hash, [&](std::int32_t other) { return keyOf(other) == key; });
        if (first >= 0) {
            // The first row counts. A key given again with other identifiers
            // is most likely a list of pairs (as BioMart exports them), whose
            // later pairs would otherwise be lost without a word.
            if (!key.empty() && !SameIdentifiers(rows[Index(first)], row))
                skips.Skip(lines.number(), "key '" + Shown(key) + "' already has the row of line " +
                                               std::to_string(lineOfRow[Index(first)]) +
                                               " (a key's identifiers all go on one line, "
                                               "separated by tabs)");
            continue;
        }
        rowOfKey.Add(static_cast<std::int32_t>(rows.size()), hash);
        rows.push_back(std::move(row));
        lineOfRow.push_back(lines.number());
    }
    skips.Finish();
    if (rows.empty()) get_column(rows, 0);  // throws the error of an empty table

    // Slots are fetched a few nodes ahead, so that the lookups of a large
    // network do not wait on memory one by one.
    constexpr std::size_t kAhead = 8;
    std::vector<std::size_t> hashes(nodeList.size());
    for (std::size_t k = 0; k < nodeList.size(); ++k) hashes[k] = HashText(names.at(nodeList[k]));
    for (std::size_t k = 0; k < nodeList.size(); ++k) {
        if (k + kAhead < nodeList.size()) rowOfKey.Prefetch(hashes[k + kAhead]);
        const NodeId node = nodeList[k];
        const std::string& name = names.at(node);
        AssociationList& list = associations[node];
        const std::int32_t found =
            rowOfKey.Find(hashes[k], [&](std::int32_t row) { return keyOf(row) == name; });
        if (found < 0) {
            if (missingMode == "name") {
                list.push_back(name);
            } else if (missingMode == "null") {
                list.emplace_back("NULL");
            }
        } else {
            const Row& row = rows[Index(found)];
            list.insert(list.end(), row.begin() + 1, row.end());
        }
        std::sort(list.begin(), list.end());
    }
    return 0;
}

}  // namespace tarnvale
