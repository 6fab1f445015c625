#pragma once
// Reading the three input files (and the labels) into the network the first
// run searches, and scoring its edges.

#include <array>
#include <cstring>
#include <ios>
#include <new>
#include <ostream>
#include <string>
#include <system_error>

#include "base/progress.hpp"
#include "base/run_error.hpp"
#include "cli/options.hpp"
#include "network/association_reader.hpp"
#include "network/graph.hpp"
#include "network/input_file.hpp"
#include "network/network_reader.hpp"
#include "search/score_context.hpp"
#include "stats/random.hpp"
#include "stats/statistics.hpp"

namespace tarnvale {

// Everything the driver owns for the whole run.
struct LoadedNetwork {
    Graph graph;
    NodeMap<std::string> names;
    EdgeMap<float> values;
    NodeMap<AssociationList> associations;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeScores;
    NodeMap<std::string> labels;  // --labels; "" for a node without one
    NetworkFormat format = NetworkFormat::sif;
};

// Opens the input file `name` and reads it with `read`. A read error (a
// failing disk, a file system gone away, a file that cannot be read at all)
// and running out of memory on the way end the run with status 1 and a
// message naming the file.
template <class Read>
void ReadInput(const std::string& name, Read&& read, bool allowZip = false) {
    try {
        const auto in = OpenInput(name, allowZip);
        read(*in);
    } catch (const std::ios_base::failure& e) {
        const int code = e.code().category() == std::system_category() ||
                                 e.code().category() == std::generic_category()
                             ? e.code().value()
                             : 0;
        throw RunError("\nError: reading " + name + " failed: " +
                           (code != 0 ? std::strerror(code) : "input/output error") + "\n",
                       1);
    } catch (const std::bad_alloc&) {
        throw RunError("\nError: out of memory while reading " + name +
                           "; the file is too large for this machine, or it is not a text file\n",
                       1);
    }
}

// Reads the network, the labels, the association and p-value files of
// `options` into `net`, prints what the reading and shaping found, and
// shapes the graph for the first run: duplicate edges removed, nodes without
// data or interactions deleted, nodes with equal identifier lists merged,
// node scores (z or rank). Throws RunError when nothing is left to search.
void LoadNetwork(const Options& options, LoadedNetwork& net, std::ostream& out);

// CalculateBackground with its progress drawn as `phase` on the bar; out of
// memory is a RunError naming -k and -i.
std::array<float, 5> Background(const FloatList& scores, const Options& options, Random& rng,
                                const std::string& phase, ProgressBar& progress, std::ostream& out);

// Scores the edges and builds the edge background model (from the next seed
// of `seeds`) when edge scores can take part; otherwise says why groups are
// scored with node scores only.
void PrepareEdgeScoring(const Options& options, const SeedSource& seeds, LoadedNetwork& net,
                        ScoreContext& context, ProgressBar& progress, std::ostream& out);

}  // namespace tarnvale
