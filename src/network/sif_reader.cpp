#include "network/sif_reader.hpp"

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "network/input_text.hpp"
#include "network/hash_index.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {

bool IsBlank(std::string_view line) { return TrimView(line).empty(); }

// The first four fields of a line and where the fourth ends; count says how
// many were found (at most four).
struct Fields {
    std::array<std::string_view, 4> field;
    std::size_t count = 0;
    std::size_t end = 0;
};

// Field separators: the white space that formatted stream input skips, so a
// CR before the line break ends the fourth field instead of joining it.
bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

Fields SplitFields(std::string_view line) {
    Fields fields;
    std::size_t pos = 0;
    const std::size_t size = line.size();
    while (fields.count < 4) {
        while (pos < size && IsSeparator(line[pos])) ++pos;
        if (pos == size) break;
        const std::size_t begin = pos;
        while (pos < size && !IsSeparator(line[pos])) ++pos;
        fields.field[fields.count++] = line.substr(begin, pos - begin);
        fields.end = pos;
    }
    return fields;
}

std::uint64_t PairKey(NodeId a, NodeId b) {
    if (a > b) std::swap(a, b);
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
           static_cast<std::uint32_t>(b);
}

}  // namespace

int SifReader(std::istream& in, const std::string& fileName, Graph& graph, SifMaps maps,
              bool allowDuplicates, std::ostream& out) {
    if (allowDuplicates) out << "NOTE:SifReader:Duplicate edges allowed\n";

    // Names of the nodes already in the graph; the first node of a name wins.
    HashIndex known;
    auto find = [&](std::string_view name, std::size_t hash) {
        return known.Find(hash, [&](NodeId n) { return maps.names.at(n) == name; });
    };
    graph.ForEachNode([&](NodeId n) {
        const std::string& name = maps.names.at(n);
        const std::size_t hash = HashText(name);
        if (find(name, hash) < 0) known.Add(n, hash);
    });
    // Asks for the text of the name a lookup will most likely compare.
    auto fetchName = [&](std::size_t hash) {
        if (const NodeId n = known.Candidate(hash); n >= 0) PrefetchAddress(maps.names.at(n).data());
    };

    // Pairs already joined, in either direction; only needed when a second
    // edge between two nodes is to be refused.
    std::unordered_set<std::uint64_t> joined;
    if (!allowDuplicates)
        graph.ForEachEdge(
            [&](EdgeId e) { joined.insert(PairKey(graph.Source(e), graph.Target(e))); });

    std::int64_t interactions = 0;
    std::string_view line;
    in.clear();
    in.seekg(0);
    for (LineReader lines(in); lines.Next(line);)
        if (!IsBlank(line)) ++interactions;
    const std::int64_t step = interactions > 100 ? interactions / 100 : 1;

    // Edges are added once the file is read, all at once, so that every
    // adjacency list is sized once; they take the ids from `first` on in
    // the order of the lines, so their types and values go in place now.
    const auto first = static_cast<EdgeId>(graph.NumberOfEdgeIds());
    std::vector<std::pair<NodeId, NodeId>> ends;
    ends.reserve(static_cast<std::size_t>(interactions));
    maps.types.reserve(static_cast<std::size_t>(first) + ends.capacity());
    maps.values.reserve(static_cast<std::size_t>(first) + ends.capacity());

    auto resolve = [&](std::string_view name, std::size_t hash) {
        if (const NodeId found = find(name, hash); found >= 0) return found;
        const NodeId node = graph.NewNode();
        maps.names[node] = std::string(name);
        known.Add(node, hash);
        return node;
    };

    // Checked lines wait in small batches: their names are hashed and
    // fetched ahead together, then resolved strictly in line order (source
    // before target), so nodes are numbered as if read one by one.
    struct Interaction {
        std::string_view source, type, target;
        float value = 0;
        std::size_t sourceHash = 0, targetHash = 0;
    };
    constexpr std::size_t kBatch = 32;
    std::vector<Interaction> batch;
    batch.reserve(kBatch);
    auto resolveBatch = [&] {
        for (Interaction& x : batch) {
            x.sourceHash = HashText(x.source);
            x.targetHash = HashText(x.target);
            known.Prefetch(x.sourceHash);
            known.Prefetch(x.targetHash);
        }
        for (const Interaction& x : batch) {
            fetchName(x.sourceHash);
            fetchName(x.targetHash);
        }
        for (const Interaction& x : batch) {
            const NodeId source = resolve(x.source, x.sourceHash);
            const NodeId target = resolve(x.target, x.targetHash);
            if (allowDuplicates || joined.insert(PairKey(source, target)).second) {
                const auto edge = static_cast<EdgeId>(static_cast<std::size_t>(first) + ends.size());
                ends.emplace_back(source, target);
                maps.types.Set(edge, x.type);
                maps.values[edge] = x.value;
            }
        }
        batch.clear();
    };

    SkipReporter skipped(fileName, out);
    std::int64_t i = 0;
    in.clear();
    in.seekg(0);
    LineReader lines(in);
    while (lines.Next(line)) {
        // The waiting lines point into the block before this one, which
        // the next read will reuse.
        if (lines.refilled()) resolveBatch();
        const std::int64_t lineNumber = lines.number();
        if (IsBlank(line)) continue;
        if (i % step == 0) out << "Reading interaction " << i << '\n';
        ++i;

        // A NUL byte is never part of a name in a text file; such a line
        // is binary data (or a UTF-16 file) and its names would be garbage.
        if (line.find('\0') != std::string_view::npos) {
            skipped.Skip(lineNumber, "holds a NUL byte, which no text line has");
            continue;
        }
        const Fields fields = SplitFields(line);
        if (fields.count < 4) {
            skipped.Skip(lineNumber, "fewer than four fields");
            continue;
        }
        const std::string_view valueText = fields.field[3];
        const auto value = ParseNumber(valueText);
        if (!value) {
            skipped.Skip(lineNumber, "edge value '" + Shown(valueText) + "' is not a number");
            continue;
        }
        if (!(*value >= 0.0 && *value <= 1.0)) {  // NaN fails both
            skipped.Skip(lineNumber, "edge value " + Shown(valueText) + " lies outside [0, 1]");
            continue;
        }

        batch.push_back({fields.field[0], fields.field[1], fields.field[2],
                         static_cast<float>(*value)});
        if (batch.size() == kBatch) resolveBatch();
        // Further targets, comments or a CR are not read, only passed on.
        if (fields.end < line.size()) out << line.substr(fields.end);
    }

    resolveBatch();
    graph.NewEdges(ends);
    skipped.Finish();
    return 0;
}

}  // namespace tarnvale
