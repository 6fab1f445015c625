#include "network/mapping_diagnostics.hpp"

#include <unordered_set>

#include "network/input_text.hpp"

namespace tarnvale {

std::string MappingWarning(std::size_t nodes, std::size_t withData, const PValueTable& pvalues,
                           const std::vector<NodeId>& scored,
                           const NodeMap<AssociationList>& associations) {
    if (withData * 10 >= nodes) return "";
    std::unordered_set<std::string> used;
    for (NodeId n : scored)
        for (const std::string& id : associations.at(n)) used.insert(id);

    std::size_t unmatched = 0;
    std::string examples;
    std::size_t named = 0;
    for (std::size_t i = 0; i < pvalues.ids.size(); ++i) {
        const std::string& id = pvalues.ids[i];
        // Only an identifier's first row counts, as in the scoring.
        if (pvalues.first.at(id) != i || used.count(id) != 0) continue;
        ++unmatched;
        if (named < kUnmatchedExamples) {
            // Shown as messages show user text: a control byte or a runaway
            // identifier must not reach the terminal raw.
            examples += (named > 0 ? ", " : "") + Shown(id);
            ++named;
        }
    }

    const std::size_t held = pvalues.first.size();
    std::string line = "Warning: only " + std::to_string(withData) + " of " +
                       std::to_string(nodes) + " nodes found a p-value; the p-value file holds " +
                       std::to_string(held) + (held == 1 ? " identifier" : " identifiers");
    if (unmatched > 0)
        line += ", of which " + std::to_string(unmatched) + " match no node (" +
                (unmatched > named ? "for example " : "") + examples + ")";
    return line +
           "; check that node names (or the association file) and p-value identifiers are of "
           "the same kind, e.g. gene symbols against protein ids";
}

}  // namespace tarnvale
