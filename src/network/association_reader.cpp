#include "network/association_reader.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "network/hash_index.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {
std::size_t Index(std::int32_t id) { return static_cast<std::size_t>(id); }
}  // namespace

int AssociationReader(std::istream& in, const NodeMap<std::string>& names,
                      NodeMap<AssociationList>& associations, const std::vector<NodeId>& nodeList,
                      const std::string& missingMode) {
    const Matrix matrix = ReadMatrix(in, "\t");
    const std::vector<std::string> keys = get_column(matrix, 0);  // throws on an empty file

    // Key -> row of its first occurrence. A single-field line keeps its
    // stray tab or carriage return (SplitLine leaves it untouched), so the
    // key is trimmed here to still match its node.
    std::vector<std::string_view> trimmed(keys.size());
    HashIndex rowOfKey;
    for (std::size_t row = 0; row < keys.size(); ++row) {
        const std::string_view key = trimmed[row] = TrimView(keys[row]);
        const std::size_t hash = HashText(key);
        const auto same = [&](std::int32_t other) { return trimmed[Index(other)] == key; };
        if (rowOfKey.Find(hash, same) < 0) rowOfKey.Add(static_cast<std::int32_t>(row), hash);
    }

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
        const auto same = [&](std::int32_t row) { return trimmed[Index(row)] == name; };
        const std::int32_t found = rowOfKey.Find(hashes[k], same);
        if (found < 0) {
            if (missingMode == "name") {
                list.push_back(name);
            } else if (missingMode == "null") {
                list.emplace_back("NULL");
            }
        } else {
            const Row& row = matrix[Index(found)];
            list.insert(list.end(), row.begin() + 1, row.end());
        }
        std::sort(list.begin(), list.end());
    }
    return 0;
}

}  // namespace tarnvale
