#include "network/sif_reader.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "network/hash_index.hpp"
#include "network/input_text.hpp"
#include "network/tables.hpp"

namespace tarnvale {

namespace {

// Byte classes for splitting a line: a separator ends a field, a NUL byte
// stays in its field but marks the line. Separators are the input files'
// white space, so a CR before the line break ends the fourth field instead
// of joining it.
constexpr unsigned char kPlain = 0, kSeparator = 1, kNul = 2;
constexpr std::array<unsigned char, 256> kByteClass = [] {
    std::array<unsigned char, 256> classes{};
    classes.fill(kPlain);
    for (const char c : kFieldSpace) classes[static_cast<unsigned char>(c)] = kSeparator;
    classes[0] = kNul;
    return classes;
}();

// The first four fields of a line (as places in it, left unset beyond
// count, so that no line pays for clearing them) and where the fourth ends.
struct Fields {
    std::array<std::size_t, 4> begin, size;
    std::size_t count = 0;
    std::size_t end = 0;
    bool nul = false;  // a NUL byte lies within the fields

    std::string_view Field(std::string_view line, std::size_t k) const {
        return line.substr(begin[k], size[k]);
    }
};

Fields SplitFields(std::string_view line) {
    Fields fields;
    std::size_t pos = 0;
    const std::size_t size = line.size();
    const auto classOf = [&](std::size_t k) {
        return kByteClass[static_cast<unsigned char>(line[k])];
    };
    unsigned char marks = 0;
    while (fields.count < 4) {
        while (pos < size && classOf(pos) == kSeparator) ++pos;
        if (pos == size) break;
        const std::size_t begin = pos;
        for (unsigned char c; pos < size && (c = classOf(pos)) != kSeparator; ++pos) marks |= c;
        fields.begin[fields.count] = begin;
        fields.size[fields.count++] = pos - begin;
        fields.end = pos;
    }
    fields.nul = marks != 0;
    return fields;
}

std::uint64_t PairKey(NodeId a, NodeId b) {
    if (a > b) std::swap(a, b);
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
           static_cast<std::uint32_t>(b);
}

// The number of bytes from the stream's position to its end, or 0 when
// the stream cannot tell (a decompressed or piped file).
std::streamoff StreamLength(std::istream& in) {
    const std::istream::pos_type here = in.tellg();
    if (here == std::istream::pos_type(-1) || !in.seekg(0, std::ios_base::end)) {
        in.clear();
        return 0;
    }
    const std::istream::pos_type end = in.tellg();
    in.seekg(here);
    return end == std::istream::pos_type(-1) ? 0 : end - here;
}

// The names of the nodes, each stored once in one buffer and found through
// a flat hash index, so that a lookup compares against memory the reader
// keeps close rather than against scattered strings.
class NameTable {
public:
    NodeId Find(std::string_view name, std::size_t hash) const {
        const std::uint64_t head = Head(name);
        return index_.Find(hash, [&](NodeId n) {
            // Most names fit in the head: one record answers, and the text
            // is read only for longer names.
            const Entry& entry = entries_[static_cast<std::size_t>(n)];
            if (entry.size != name.size() || entry.head != head) return false;
            return name.size() <= kHead ||
                   std::string_view(text_).substr(begin_[static_cast<std::size_t>(n)] + kHead,
                                                  name.size() - kHead) == name.substr(kHead);
        });
    }
    void Add(NodeId n, std::string_view name, std::size_t hash) {
        const auto i = static_cast<std::size_t>(n);
        if (i >= entries_.size()) {
            entries_.resize(i + 1);
            begin_.resize(i + 1);
        }
        entries_[i] = {Head(name), name.size()};
        begin_[i] = text_.size();
        text_.append(name);
        index_.Add(n, hash);
    }
    // Hints only: fetch the slot of a hash, then the name it most likely holds.
    void PrefetchSlot(std::size_t hash) const { index_.Prefetch(hash); }
    void PrefetchName(std::size_t hash) const {
        if (const NodeId n = index_.Candidate(hash); n >= 0)
            PrefetchAddress(&entries_[static_cast<std::size_t>(n)]);
    }

private:
    static constexpr std::size_t kHead = 8;
    // The first eight bytes of a name, zero-padded.
    static std::uint64_t Head(std::string_view name) {
        std::uint64_t head = 0;
        std::memcpy(&head, name.data(), std::min(name.size(), kHead));
        return head;
    }
    struct Entry {
        std::uint64_t head;
        std::size_t size;
    };
    HashIndex index_;
    std::string text_;
    std::vector<Entry> entries_;      // node -> its name's head and length
    std::vector<std::size_t> begin_;  // node -> its name's place in text_
};

// What the reader prints besides the progress lines, held back until the
// file is read, because the progress lines fall every hundredth of the
// interaction lines and their number is known only at the end. Equal texts
// of consecutive lines (a CR before every line break) share one entry.
class HeldOutput {
public:
    // Text printed after the progress line (if any) of interaction i.
    void Add(std::int64_t i, std::string_view text) {
        if (!runs_.empty()) {
            Run& last = runs_.back();
            if (last.first + last.count == i &&
                std::string_view(text_).substr(last.begin, last.size) == text) {
                ++last.count;
                return;
            }
        }
        runs_.push_back({i, 1, text_.size(), text.size()});
        text_.append(text);
    }
    // Prints everything in line order with "Reading interaction i" before
    // interaction i for every i that is a multiple of step, i < total.
    void Print(std::int64_t total, std::int64_t step, std::ostream& out) const {
        std::int64_t next = 0;
        auto progressTo = [&](std::int64_t i) {
            for (; next <= i && next < total; next += step)
                out << "Reading interaction " << next << '\n';
        };
        for (const Run& run : runs_) {
            const std::string_view text = std::string_view(text_).substr(run.begin, run.size);
            for (std::int64_t i = run.first; i < run.first + run.count; ++i) {
                progressTo(i);
                out << text;
            }
        }
        progressTo(total);
    }

private:
    struct Run {
        std::int64_t first, count;
        std::size_t begin, size;
    };
    std::vector<Run> runs_;
    std::string text_;
};

}  // namespace

int SifReader(std::istream& in, const std::string& fileName, Graph& graph, SifMaps maps,
              bool allowDuplicates, std::ostream& out) {
    if (allowDuplicates) out << "NOTE:SifReader:Duplicate edges allowed\n";

    // Names of the nodes already in the graph; the first node of a name wins.
    NameTable known;
    graph.ForEachNode([&](NodeId n) {
        const std::string& name = maps.names.at(n);
        const std::size_t hash = HashText(name);
        if (known.Find(name, hash) < 0) known.Add(n, name, hash);
    });

    // Pairs already joined, in either direction; only needed when a second
    // edge between two nodes is to be refused.
    std::unordered_set<std::uint64_t> joined;
    if (!allowDuplicates)
        graph.ForEachEdge(
            [&](EdgeId e) { joined.insert(PairKey(graph.Source(e), graph.Target(e))); });

    // Edges are added once the file is read, all at once, so that every
    // adjacency list is sized once; they take the ids from `first` on in
    // the order of the lines, so their types and values go in place now.
    const auto first = static_cast<EdgeId>(graph.NumberOfEdgeIds());
    std::vector<std::pair<NodeId, NodeId>> ends;

    auto resolve = [&](std::string_view name, std::size_t hash) {
        if (const NodeId found = known.Find(name, hash); found >= 0) return found;
        const NodeId node = graph.NewNode();
        maps.names[node] = std::string(name);
        known.Add(node, name, hash);
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
            known.PrefetchSlot(x.sourceHash);
            known.PrefetchSlot(x.targetHash);
        }
        for (const Interaction& x : batch) {
            known.PrefetchName(x.sourceHash);
            known.PrefetchName(x.targetHash);
        }
        for (const Interaction& x : batch) {
            const NodeId source = resolve(x.source, x.sourceHash);
            const NodeId target = resolve(x.target, x.targetHash);
            if (allowDuplicates || joined.insert(PairKey(source, target)).second) {
                const auto edge =
                    static_cast<EdgeId>(static_cast<std::size_t>(first) + ends.size());
                ends.emplace_back(source, target);
                maps.types.Set(edge, x.type);
                maps.values[edge] = x.value;
            }
        }
        batch.clear();
    };

    // The file is read once; the warnings go with the other held output.
    std::ostringstream warning;
    SkipReporter skipped(fileName, warning);
    HeldOutput held;
    std::int64_t i = 0;  // interaction lines (the lines that are not blank) so far
    auto skip = [&](std::int64_t lineNumber, std::string_view reason) {
        skipped.Skip(lineNumber, reason);
        if (warning.tellp() > 0) {
            held.Add(i - 1, warning.str());
            warning.str({});
        }
    };
    // The edge arrays are sized once from the file's length and the length
    // of its first lines, rather than doubled as they fill (which would
    // hold both copies at once); a stream whose length is unknown grows them.
    const std::streamoff length = StreamLength(in);
    std::streamoff readSoFar = 0;
    constexpr std::int64_t kSampleLines = 4096;
    std::string_view line;
    LineReader lines(in);
    while (lines.Next(line)) {
        readSoFar += static_cast<std::streamoff>(line.size()) + 1;
        if (lines.number() == kSampleLines && length > 0) {
            const auto estimate = static_cast<std::size_t>(
                static_cast<double>(length) / static_cast<double>(readSoFar) * kSampleLines * 1.02);
            ends.reserve(estimate);
            maps.types.reserve(static_cast<std::size_t>(first) + estimate);
            maps.values.reserve(static_cast<std::size_t>(first) + estimate);
        }
        // The waiting lines point into the block before this one, which
        // the next read will reuse.
        if (lines.refilled()) resolveBatch();
        const Fields fields = SplitFields(line);
        if (fields.count == 0 && TrimView(line).empty()) continue;  // a blank line
        ++i;

        // A NUL byte is never part of a name in a text file; such a line
        // is binary data (or a UTF-16 file) and its names would be garbage.
        if (fields.nul ||
            (fields.end < line.size() && line.find('\0', fields.end) != std::string_view::npos)) {
            skip(lines.number(), "holds a NUL byte, which no text line has");
            continue;
        }
        if (fields.count < 4) {
            skip(lines.number(), "fewer than four fields");
            continue;
        }
        const std::string_view valueText = fields.Field(line, 3);
        bool underflowed = false;
        const auto value = ParseNumber(valueText, &underflowed);
        if (!value) {
            skip(lines.number(), "edge value '" + Shown(valueText) + "' is not a number");
            continue;
        }
        if (!InUnitInterval(*value, underflowed)) {
            skip(lines.number(), "edge value " + Shown(valueText) + " lies outside [0, 1]");
            continue;
        }

        batch.push_back({fields.Field(line, 0), fields.Field(line, 1), fields.Field(line, 2),
                         static_cast<float>(*value)});
        if (batch.size() == kBatch) resolveBatch();
        // Further targets, comments or a CR are not read, only passed on.
        if (fields.end < line.size()) held.Add(i - 1, line.substr(fields.end));
    }

    resolveBatch();
    graph.NewEdges(ends);
    held.Print(i, i > 100 ? i / 100 : 1, out);
    skipped.Finish();
    out << warning.str();
    return 0;
}

}  // namespace tarnvale
