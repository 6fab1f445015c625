#pragma once
// What the readers of the databases' interaction tables share: the nodes
// made from names, each unordered pair of nodes joined once however often
// the table lists it, and warnings that count the rows of one kind.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "network/sif_reader.hpp"

namespace tarnvale {

// The interactions of one file on their way into the graph.
class NamedInteractions {
public:
    // Names of nodes already in `graph` are found again.
    NamedInteractions(Graph& graph, NodeMap<std::string>& names);
    // The node of this name, made (at the end of the node order) when new.
    NodeId Node(std::string_view name);
    // Notes an interaction between two different nodes, of type types[type]
    // in Finish.
    void Add(NodeId a, NodeId b, unsigned char type = 0) {
        ends_.emplace_back(a, b);
        types_.push_back(type);
    }
    // Adds one edge per unordered pair, in the order of the pair's first
    // listing, with this value and the type of that listing. Returns the
    // number of edges added.
    std::size_t Finish(SifMaps maps, float value, const std::vector<std::string_view>& types);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    Graph& graph_;
    NodeMap<std::string>& names_;
    std::unordered_map<std::string, NodeId, Hash, std::equal_to<>> known_;
    std::vector<std::pair<NodeId, NodeId>> ends_;
    std::vector<unsigned char> types_;
};

// Rows of one kind that are not read: the first one's line and how many.
struct RowCount {
    std::int64_t firstLine = 0;
    std::int64_t count = 0;
    std::string first;  // what the first row shows, for the message

    // Counts a row; the first one's line and text are kept.
    void Add(std::int64_t line, const std::function<std::string()>& what) {
        if (count++ == 0) {
            firstLine = line;
            first = what();
        }
    }
    // "Warning: FILE:LINE: FIRST; N such lines CONSEQUENCE" when any.
    void Print(const std::string& fileName, std::string_view consequence, std::ostream& out) const;
};

// Prints each kind's warning (RowCount::Print with its consequence) in the
// order of their first lines.
void PrintInLineOrder(const std::string& fileName,
                      std::vector<std::pair<const RowCount*, std::string_view>> kinds,
                      std::ostream& out);

}  // namespace tarnvale
