#include "network/sif_reader.hpp"

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "network/input_text.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {

// Field separators: the white space that formatted stream input skips, so a
// CR before the line break ends the fourth field instead of joining it.
constexpr std::string_view kSeparators = " \t\r\v\f";

// The node of each name, looked up straight from the line. Open addressing
// over (hash, node) slots, with the names kept only in the node name map: a
// lookup touches one slot and, on a hash match, one name, which keeps
// million-line files fast.
class NameIndex {
public:
    explicit NameIndex(const NodeMap<std::string>& names) : names_(names), slots_(64) {}

    // The node with this name, or -1 when there is none.
    NodeId Find(std::string_view name, std::size_t hash) const {
        for (std::size_t i = hash & Mask();; i = (i + 1) & Mask()) {
            const Slot& slot = slots_[i];
            if (slot.node < 0) return -1;
            if (slot.hash == Fragment(hash) && names_.at(slot.node) == name) return slot.node;
        }
    }
    // Adds a node whose name the index does not hold yet.
    void Add(NodeId node, std::size_t hash) {
        if (2 * (count_ + 1) > slots_.size()) Grow();
        Place({Fragment(hash), node});
        ++count_;
    }

private:
    // Slots keep the low half of the hash: enough to skip almost every
    // unequal name, and the slot stays eight bytes.
    struct Slot {
        std::uint32_t hash = 0;
        NodeId node = -1;
    };
    static std::uint32_t Fragment(std::size_t hash) { return static_cast<std::uint32_t>(hash); }
    std::size_t Mask() const { return slots_.size() - 1; }
    void Place(const Slot& slot) {
        std::size_t i = slot.hash & Mask();
        while (slots_[i].node >= 0) i = (i + 1) & Mask();
        slots_[i] = slot;
    }
    void Grow() {
        std::vector<Slot> old(2 * slots_.size());
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.node >= 0) Place(slot);
    }

    const NodeMap<std::string>& names_;
    std::vector<Slot> slots_;  // size a power of two, at most half full
    std::size_t count_ = 0;
};

std::size_t HashName(std::string_view name) { return std::hash<std::string_view>{}(name); }

bool IsBlank(std::string_view line) { return TrimView(line).empty(); }

// The first four fields of a line and where the fourth ends; count says how
// many were found (at most four).
struct Fields {
    std::array<std::string_view, 4> field;
    std::size_t count = 0;
    std::size_t end = 0;
};

Fields SplitFields(std::string_view line) {
    Fields fields;
    std::size_t pos = 0;
    while (fields.count < 4) {
        const auto begin = line.find_first_not_of(kSeparators, pos);
        if (begin == std::string_view::npos) break;
        auto stop = line.find_first_of(kSeparators, begin);
        if (stop == std::string_view::npos) stop = line.size();
        fields.field[fields.count++] = line.substr(begin, stop - begin);
        pos = fields.end = stop;
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
    NameIndex known(maps.names);
    graph.ForEachNode([&](NodeId n) {
        const std::string& name = maps.names.at(n);
        const std::size_t hash = HashName(name);
        if (known.Find(name, hash) < 0) known.Add(n, hash);
    });

    // Pairs already joined, in either direction; only needed when a second
    // edge between two nodes is to be refused.
    std::unordered_set<std::uint64_t> joined;
    if (!allowDuplicates)
        graph.ForEachEdge(
            [&](EdgeId e) { joined.insert(PairKey(graph.Source(e), graph.Target(e))); });

    std::string line;
    std::int64_t interactions = 0;
    in.clear();
    in.seekg(0);
    for (LineReader lines(in); lines.Next(line);)
        if (!IsBlank(line)) ++interactions;
    const std::int64_t step = interactions > 100 ? interactions / 100 : 1;

    auto resolve = [&](std::string_view name) {
        const std::size_t hash = HashName(name);
        if (const NodeId found = known.Find(name, hash); found >= 0) return found;
        const NodeId node = graph.NewNode();
        maps.names[node] = std::string(name);
        known.Add(node, hash);
        return node;
    };

    SkipReporter skipped(fileName, out);
    std::int64_t i = 0;
    in.clear();
    in.seekg(0);
    LineReader lines(in);
    while (lines.Next(line)) {
        const std::int64_t lineNumber = lines.number();
        if (IsBlank(line)) continue;
        if (i % step == 0) out << "Reading interaction " << i << '\n';
        ++i;

        // A NUL byte is never part of a name in a text file; such a line
        // is binary data (or a UTF-16 file) and its names would be garbage.
        if (line.find('\0') != std::string::npos) {
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

        const NodeId source = resolve(fields.field[0]);
        const NodeId target = resolve(fields.field[2]);
        if (allowDuplicates || joined.insert(PairKey(source, target)).second) {
            const EdgeId edge = graph.NewEdge(source, target);
            maps.types[edge] = std::string(fields.field[1]);
            maps.values[edge] = static_cast<float>(*value);
        }
        // Further targets, comments or a CR are not read, only passed on.
        out << std::string_view(line).substr(fields.end);
    }
    skipped.Finish();
    return 0;
}

}  // namespace tarnvale
