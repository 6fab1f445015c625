#pragma once
// The command line: one record whose member initialisers are the defaults,
// its parsing with TCLAP, and the range checks the parser cannot make.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/analysis_options.hpp"
#include "analysis/shards.hpp"
#include "network/network_reader.hpp"
#include "search/annealing.hpp"
#include "search/scoring.hpp"

namespace tarnvale {

struct Options {
    std::string data = "NONE";         // -d, p-values file
    std::string association = "NONE";  // -a, node-ORF association file
    // -n (the first run's iterations), -g, -b, -s, -e, -q, -p.
    AnnealOptions search;
    int repeat = 2;                        // -r
    int kmax = 100;                        // -k
    int imax = 10000;                      // -i
    std::string input;                     // SIF file
    std::string out = "Out.txt";           // output base name
    std::optional<std::uint32_t> seed;     // --seed
    bool cytoscape = false;                // --cytoscape: OUT<letter>.sif and .nodes.tsv
    bool dot = false;                      // --dot: OUT<letter>.dot (and .svg)
    NodeScoring scoring = NodeScoring::Z;  // --node-scores
    AnalysisOptions analysis;              // --permutations, --null, --ensemble, --threads
    bool summary = false;                  // --summary: OUT.summary.tsv
    std::string geneSets;                  // --gene-sets: GMT file, or empty
    Sharding sharding;                     // --shard K/N or --merge N
    bool quiet = false;                    // --quiet: messages and a result table only
    bool html = false;                     // --html: OUT.html
    NetworkReading reading;                // --min-score (STRING), --biogrid-type (BioGRID)
    std::string labels;                    // --labels: node labels file, "" for none
    bool graphml = false;                  // --graphml: OUT<letter>.graphml

    // Every value out of range, each as the driver's error line
    // "error: TEXT for arg Argument: -x (--name)"; empty when all are fine.
    std::vector<std::string> validate() const;
};

// The program's version, as --version and the report page give it.
inline constexpr const char* kVersion = "1.0";

// Every option of the command line with the value this invocation takes,
// defaults included, as pairs such as {"-n (--iterations)", "10000"}, then
// the network file and the output base name. --threads, --shard and --merge
// are left out: they change no result, and every output, the report page
// too, is the same for any number of threads and for a merge of shards.
std::vector<std::pair<std::string, std::string>> OptionValues(const Options& options);

// The highest repeat count: run letters go from 'A' up to '~'.
inline constexpr int kMaxRepeat = '~' - 'A' + 1;

// The most repetitions of a run's search that --permutations and --ensemble
// may ask for, and the most threads.
inline constexpr int kMaxRepetitions = 100000;
inline constexpr int kMaxThreads = 1024;

// The most draws one background model may take (kmax and imax together).
inline constexpr double kMaxBackgroundDraws = 1e10;

// Outcome of parsing: the options, or the exit status when the parser has
// already answered (help, version: 0; parse failure: 1).
struct ParseResult {
    std::optional<Options> options;
    int status = 0;
};

// Defines the command line and parses argv. Usage, help, version and parse
// failures are the parser's own output on `out` / `err`.
ParseResult ParseCommandLine(int argc, const char* const* argv);

}  // namespace tarnvale
