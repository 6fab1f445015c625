#include "analysis/shards.hpp"

#include <charconv>
#include <cstdio>
#include <limits>
#include <set>
#include <sstream>

#include "base/run_error.hpp"

namespace tarnvale {
namespace {

constexpr std::string_view kMagic = "tarnvale shard file 1";

// A number written so that it reads back to the same bits.
template <class T>
std::string Exact(T value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", std::numeric_limits<T>::max_digits10,
                  static_cast<double>(value));
    return text;
}

std::vector<std::string_view> Fields(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

template <class T>
bool ParseWhole(std::string_view text, T& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Reads the lines of one shard file, stopping with a message naming it.
class ShardParser {
public:
    ShardParser(const std::string& fileName) : fileName_(fileName) {}

    [[noreturn]] void Fail(const std::string& why, bool atLine = true) const {
        throw RunError("\nError: " + fileName_ +
                           (atLine && line_ > 0 ? ":" + std::to_string(line_) : "") + ": " + why +
                           "\n",
                       1);
    }
    template <class T>
    T Number(std::string_view text) const {
        T value{};
        if (!ParseWhole(text, value)) Fail("'" + std::string(text) + "' is not a number");
        return value;
    }
    void Next() { ++line_; }
    std::int64_t line() const { return line_; }

private:
    const std::string& fileName_;
    std::int64_t line_ = 0;
};

}  // namespace

Share ShareOf(std::uint64_t total, const Sharding& sharding) {
    if (!sharding.IsShard()) return {0, total};
    const auto n = static_cast<std::uint64_t>(sharding.count);
    const auto k = static_cast<std::uint64_t>(sharding.shard);
    return {(k - 1) * total / n, k * total / n};
}

std::string ShardFileName(const std::string& outBase, int shard, int count) {
    return outBase + ".shard-" + std::to_string(shard) + "-of-" + std::to_string(count) + ".tsv";
}

void Fingerprint::Add(std::string_view bytes) {
    // Two FNV-1a hashes, the second over the bytes turned, side by side.
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        a_ = (a_ ^ byte) * 0x100000001b3ull;
        b_ = (b_ ^ static_cast<unsigned char>(byte ^ 0x5a)) * 0x100000001b3ull;
        b_ ^= b_ >> 29;
    }
}

void Fingerprint::AddField(std::string_view field) {
    Add(std::to_string(field.size()));
    Add(":");
    Add(field);
}

std::string Fingerprint::Hex() const {
    char text[40];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(a_),
                  static_cast<unsigned long long>(b_));
    return text;
}

void WriteShard(std::ostream& out, const ShardContent& content) {
    std::int64_t lines = 0;
    auto line = [&](const std::string& text) {
        out << text << '\n';
        ++lines;
    };
    line(std::string(kMagic));
    line("fingerprint\t" + content.header.fingerprint);
    line("shard\t" + std::to_string(content.shard) + "\t" + std::to_string(content.header.count));
    line("repetitions\t" + std::to_string(content.header.permutations) + "\t" +
         std::to_string(content.header.ensemble) + "\t" + std::to_string(content.ensemble.size()));
    for (const auto& [k, chain] : content.chains) {
        for (std::size_t r = 0; r < chain.size(); ++r) {
            std::string text = "chain\t" + std::to_string(k) + "\t" + std::to_string(r) + "\t";
            for (std::size_t g = 0; g < chain[r].ranked.size(); ++g)
                text += (g == 0 ? "" : ",") + Exact(chain[r].ranked[g]);
            text += "\t";
            for (std::size_t s = 0; s < chain[r].enrichment.size(); ++s)
                text += (s == 0 ? "" : ",") + std::to_string(chain[r].enrichment[s].set) + "=" +
                        Exact(chain[r].enrichment[s].value);
            line(text);
        }
        line("chain\t" + std::to_string(k) + "\tend\t" + std::to_string(chain.size()));
    }
    for (std::size_t r = 0; r < content.ensemble.size(); ++r) {
        std::string text = "ensemble\t" + std::to_string(r) + "\t";
        for (std::size_t i = 0; i < content.ensemble[r].size(); ++i)
            text += (i == 0 ? "" : ",") + std::to_string(content.ensemble[r][i].first) + "=" +
                    std::to_string(content.ensemble[r][i].second);
        line(text);
    }
    out << "end\t" << lines << '\n';
}

ShardContent ReadShard(std::istream& in, const std::string& fileName, int shard,
                       const ShardHeader& header) {
    ShardParser parse(fileName);
    ShardContent content;
    content.shard = shard;
    content.header = header;
    const Sharding sharding{shard, header.count, false};
    const Share chains = ShareOf(header.permutations, sharding);
    std::set<std::uint64_t> seen;
    std::size_t ensembleRuns = 0;
    bool ended = false;
    std::string text;
    while (std::getline(in, text)) {
        parse.Next();
        const std::vector<std::string_view> f = Fields(text, '\t');
        if (ended) parse.Fail("text after the end line");
        if (parse.line() == 1) {
            if (text != kMagic) parse.Fail("this is not a shard file");
        } else if (f[0] == "fingerprint" && f.size() == 2) {
            if (f[1] != header.fingerprint)
                parse.Fail(
                    "made from other input files, options, seed or program version than "
                    "this merge (fingerprint " +
                    std::string(f[1]) + ", this merge's " + header.fingerprint + ")");
        } else if (f[0] == "shard" && f.size() == 3) {
            const int k = parse.Number<int>(f[1]), n = parse.Number<int>(f[2]);
            if (n != header.count)
                parse.Fail("shard " + std::to_string(k) + " of " + std::to_string(n) + ", not of " +
                           std::to_string(header.count));
            if (k != shard)
                parse.Fail("holds shard " + std::to_string(k) + ", not shard " +
                           std::to_string(shard) + " (a repeated shard?)");
        } else if (f[0] == "repetitions" && f.size() == 4) {
            if (parse.Number<std::uint64_t>(f[1]) != header.permutations ||
                parse.Number<std::uint64_t>(f[2]) != header.ensemble)
                parse.Fail("made with other --permutations or --ensemble than this merge");
            ensembleRuns = parse.Number<std::size_t>(f[3]);
        } else if (f[0] == "chain" && f.size() == 4 && f[2] == "end") {
            const auto k = parse.Number<std::uint64_t>(f[1]);
            if (content.chains.empty() || content.chains.back().first != k ||
                content.chains.back().second.size() != parse.Number<std::size_t>(f[3]))
                parse.Fail("chain " + std::to_string(k) + " is incomplete");
        } else if (f[0] == "chain" && f.size() == 5) {
            const auto k = parse.Number<std::uint64_t>(f[1]);
            const auto r = parse.Number<std::size_t>(f[2]);
            if (k < chains.begin || k >= chains.end)
                parse.Fail("chain " + std::to_string(k) + " is not in this shard's share");
            if (r == 0) {
                if (!seen.insert(k).second)
                    parse.Fail("chain " + std::to_string(k) + " is listed twice");
                content.chains.emplace_back(k, ChainResult{});
            }
            ChainResult& chain = content.chains.back().second;
            if (content.chains.back().first != k || chain.size() != r)
                parse.Fail("the runs of chain " + std::to_string(k) + " are out of order");
            ChainRun& run = chain.emplace_back();
            if (!f[3].empty())
                for (std::string_view score : Fields(f[3], ','))
                    run.ranked.push_back(parse.Number<float>(score));
            if (!f[4].empty())
                for (std::string_view item : Fields(f[4], ',')) {
                    const auto equals = item.find('=');
                    if (equals == std::string_view::npos) parse.Fail("malformed set statistic");
                    run.enrichment.push_back({parse.Number<std::size_t>(item.substr(0, equals)),
                                              parse.Number<double>(item.substr(equals + 1))});
                }
        } else if (f[0] == "ensemble" && f.size() == 3) {
            if (parse.Number<std::size_t>(f[1]) != content.ensemble.size())
                parse.Fail("the ensemble runs are out of order");
            auto& counts = content.ensemble.emplace_back();
            if (!f[2].empty())
                for (std::string_view item : Fields(f[2], ',')) {
                    const auto equals = item.find('=');
                    if (equals == std::string_view::npos) parse.Fail("malformed ensemble count");
                    counts.emplace_back(parse.Number<NodeId>(item.substr(0, equals)),
                                        parse.Number<std::uint32_t>(item.substr(equals + 1)));
                }
        } else if (f[0] == "end" && f.size() == 2) {
            if (parse.Number<std::int64_t>(f[1]) != parse.line() - 1)
                parse.Fail("the file has lost lines");
            ended = true;
        } else {
            parse.Fail("the line '" + text.substr(0, 60) + "' has no place in a shard file");
        }
    }
    if (!ended)
        parse.Fail("the file is cut short (no end line after its " + std::to_string(parse.line()) +
                       " lines)",
                   false);
    if (seen.size() != chains.end - chains.begin)
        parse.Fail("holds " + std::to_string(seen.size()) + " chains, not the " +
                       std::to_string(chains.end - chains.begin) + " of its share",
                   false);
    if (content.ensemble.size() != ensembleRuns)
        parse.Fail("holds the ensembles of " + std::to_string(content.ensemble.size()) +
                       " runs, not " + std::to_string(ensembleRuns),
                   false);
    return content;
}

}  // namespace tarnvale
