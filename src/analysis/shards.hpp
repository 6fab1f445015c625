#pragma once
// Sharing an invocation's repetitions out over processes: shard K of N
// computes its block of the permutation chains and of each run's ensemble
// searches and writes them to a shard file; a merge, the same command line
// with --merge N, reads the N files and writes exactly what one process
// would. Every repetition keeps the seed it has in one process.

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/permutation_test.hpp"
#include "network/graph.hpp"

namespace tarnvale {

struct Sharding {
    int shard = 0;  // K of --shard K/N, from 1; 0 when this process is no shard
    int count = 0;  // N of --shard K/N or --merge N; 0 for neither
    bool merge = false;
    bool IsShard() const { return shard > 0; }
};

// Repetition indices [begin, end).
struct Share {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

// The block of `total` repetitions that shard K of N computes: from
// floor((K - 1) * total / N) to floor(K * total / N); all of them when the
// process is no shard.
Share ShareOf(std::uint64_t total, const Sharding& sharding);

// The file of shard K of N: OUTBASE.shard-K-of-N.tsv.
std::string ShardFileName(const std::string& outBase, int shard, int count);

// A 128-bit fingerprint of texts fed to it in order, in hexadecimal.
class Fingerprint {
public:
    void Add(std::string_view bytes);
    // The field's length first, so that no two lists of fields feed the same
    // bytes.
    void AddField(std::string_view field);
    std::string Hex() const;

private:
    std::uint64_t a_ = 0xcbf29ce484222325ull;
    std::uint64_t b_ = 0x84222325cbf29ce4ull;
};

// What every shard and the merge must agree on.
struct ShardHeader {
    std::string fingerprint;  // of the inputs, the options that change results, the version
    int count = 0;            // N
    std::uint64_t permutations = 0;
    std::uint64_t ensemble = 0;
};

// What one shard computed.
struct ShardContent {
    int shard = 0;
    ShardHeader header;
    std::vector<std::pair<std::uint64_t, ChainResult>> chains;  // by chain index
    // Per run, the ensemble searches of this shard that put each node into a
    // ranked group (nodes never put there left out).
    std::vector<std::vector<std::pair<NodeId, std::uint32_t>>> ensemble;
};

// Writes the content in the shard file's text form; every number is
// written so that it reads back to the same bits.
void WriteShard(std::ostream& out, const ShardContent& content);

// Reads a shard file. Throws RunError (status 1) naming `fileName` when it
// is not one, is cut short, or does not hold shard `shard` of `header`
// (another fingerprint, another N, another shard: a repeated one) with
// exactly the chains and ensemble searches of its share.
ShardContent ReadShard(std::istream& in, const std::string& fileName, int shard,
                       const ShardHeader& header);

}  // namespace tarnvale
