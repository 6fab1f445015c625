#include "network/association_reader.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "network/tables.hpp"

namespace tarnvale {

int AssociationReader(std::istream& in, const NodeMap<std::string>& names,
                      NodeMap<AssociationList>& associations, const std::vector<NodeId>& nodeList,
                      const std::string& missingMode) {
    const Matrix matrix = ReadMatrix(in, "\t");
    const std::vector<std::string> keys = get_column(matrix, 0);  // throws on an empty file

    // Key -> row of its first occurrence. A single-field line keeps its
    // stray tab or carriage return (SplitLine leaves it untouched), so the
    // key is trimmed here to still match its node.
    std::unordered_map<std::string_view, std::size_t> rowOfKey;
    rowOfKey.reserve(keys.size());
    for (std::size_t row = 0; row < keys.size(); ++row) rowOfKey.emplace(TrimView(keys[row]), row);

    for (NodeId node : nodeList) {
        const std::string& name = names.at(node);
        AssociationList& list = associations[node];
        const auto found = rowOfKey.find(name);
        if (found == rowOfKey.end()) {
            if (missingMode == "name") {
                list.push_back(name);
            } else if (missingMode == "null") {
                list.emplace_back("NULL");
            }
        } else {
            const Row& row = matrix[found->second];
            list.insert(list.end(), row.begin() + 1, row.end());
        }
        std::sort(list.begin(), list.end());
    }
    return 0;
}

}  // namespace tarnvale
