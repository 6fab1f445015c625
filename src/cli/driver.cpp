#include "cli/driver.hpp"

#include <tclap/ArgException.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "base/run_error.hpp"
#include "cli/output_file.hpp"
#include "cli/report.hpp"
#include "cli/scoring.hpp"
#include "network/association_reader.hpp"
#include "network/preparation.hpp"
#include "network/sif_reader.hpp"
#include "search/annealing.hpp"
#include "search/score_context.hpp"

namespace tarnvale {
namespace {

// Everything the driver owns for the whole run.
struct Network {
    Graph graph;
    NodeMap<std::string> names;
    EdgeMap<std::string> types;
    EdgeMap<float> values;
    NodeMap<AssociationList> associations;
    NodeMap<double> nodeScores;
    EdgeMap<float> edgeScores;
};

// Opens a user's input file, or stops the run with status 1.
std::ifstream OpenInput(const std::string& name) {
    std::ifstream in;
    std::error_code ignored;
    // A directory opens as a stream on Linux but reads nothing.
    if (!std::filesystem::is_directory(name, ignored)) in.open(name, std::ios::binary);
    if (!in.is_open())
        throw RunError("\nWarning: File opening failed. Check name of the file " + name + "\n", 1);
    return in;
}

bool AllEqual(const FloatList& v) {
    return std::adjacent_find(v.begin(), v.end(), std::not_equal_to<>()) == v.end();
}

FloatList NodeScoreList(const Network& net) {
    FloatList scores;
    scores.reserve(net.graph.NumberOfNodes());
    net.graph.ForEachNode(
        [&](NodeId n) { scores.push_back(static_cast<float>(net.nodeScores.get(n))); });
    return scores;
}

// Reads the three input files and shapes the graph for the first run.
void LoadNetwork(const Options& options, Network& net, std::ostream& out) {
    {
        std::ifstream in = OpenInput(options.input);
        SifReader(in, options.input, net.graph, {net.names, net.types, net.values}, true, out);
    }
    if (net.graph.NumberOfNodes() == 0) throw RunError("\nError:G.number_of_nodes() = 0\n", 1);
    out << "\nNumber_of_nodes in the graph = " << net.graph.NumberOfNodes() << '\n';
    out << "\nNumber_of_edges in the graph = " << net.graph.NumberOfEdges() << '\n';
    const auto removed = RDE(net.graph, out);
    out << "Number of edges removed " << removed << '\n';

    {
        std::ifstream in = OpenInput(options.association);
        AssociationReader(in, net.names, net.associations, net.graph.Nodes(), "name");
    }
    PValueTable pvalues;
    {
        std::ifstream in = OpenInput(options.data);
        pvalues = ReadPValues(in, options.data, out);
    }
    ScoreNodes(net.graph.Nodes(), net.associations, pvalues, net.nodeScores);

    DeleteIsolatedNodes(net.graph);
    const auto before = net.graph.NumberOfNodes();
    for (NodeId n : net.graph.Nodes())
        if (net.nodeScores.get(n) == kNoData) net.graph.DelNode(n);
    net.graph.Compact();
    out << "\nNumber of nodes without data = " << before - net.graph.NumberOfNodes() << '\n';

    MergeByAssociation(net.graph, net.associations, net.values);
    DeleteIsolatedNodes(net.graph);

    if (net.graph.NumberOfNodes() == 0)
        throw RunError(
            "\nError: no node with data and an interaction is left; check that the identifiers "
            "of " + options.data + " match the node names of " + options.input +
                " or the identifiers of " + options.association + "\n",
            1);
    if (AllEqual(NodeScoreList(net)))
        throw RunError("\nError: all nodes left have the same node score; there is nothing to "
                       "search for\n",
                       1);
}

// Scores the edges and builds the edge background model when edge scores
// can take part.
void PrepareEdgeScoring(const Options& options, const SeedSource& seeds, Network& net,
                        ScoreContext& context, std::ostream& out) {
    const FloatList edgeScores = ScoreEdges(net.graph, net.values, net.edgeScores);
    context.nodeOnly = true;
    if (!edgeScores.empty() && AllEqual(edgeScores)) {
        out << "\nWarning: all edge scores are equal; groups are scored with node scores "
               "only\n";
    } else if (!edgeScores.empty()) {
        Random rng(seeds.Next());
        context.edgeModel = ModelFromBackground(
            CalculateBackground(edgeScores, options.kmax, options.imax, rng, out));
        if (IsUsable(context.edgeModel))
            context.nodeOnly = false;
        else
            out << "\nWarning: the edge background model is degenerate; groups are scored with "
                   "node scores only\n";
    }
    context.hub = options.hub;
}

// One annealing run with its report. Returns false when the runs end here.
bool AnnealingRun(int r, const Options& options, const SeedSource& seeds, Network& net,
                  ScoreContext& context, NodeMap<bool>& selection, std::ostream& out) {
    const char letter = static_cast<char>('A' + r);
    out << "\nSimulated annealing Algorithm:Iteration no " << r << "..\n";
    if (r > 0) context.nodeOnly = true;
    const auto base = static_cast<std::uint64_t>(options.iterations);
    const std::uint64_t iterations = base + static_cast<std::uint64_t>(r) * (base / 5);

    net.graph.RestoreGraph();
    const FloatList nodeScores = NodeScoreList(net);
    if (nodeScores.empty()) {
        out << "\nNOTE: no node is left for run " << letter << "; the runs end here\n";
        return false;
    }
    if (AllEqual(nodeScores)) {
        out << "\nNOTE: all " << nodeScores.size() << " nodes left for run " << letter
            << " have the same node score; the runs end here\n";
        return false;
    }
    Random rng(seeds.Next());
    context.nodeModel = ModelFromBackground(
        CalculateBackground(nodeScores, options.kmax, options.imax, rng, out));
    if (!IsUsable(context.nodeModel)) {
        if (r == 0)
            throw RunError("\nError: the node background model is degenerate; try a larger imax\n",
                           1);
        out << "\nNOTE: the node background model of run " << letter
            << " is degenerate; the runs end here\n";
        return false;
    }

    AnnealOptions anneal;
    anneal.iterations = iterations;
    anneal.tStart = options.tStart;
    anneal.tEnd = options.tEnd;
    anneal.nmax = options.nmax;
    anneal.heuristic = options.degree;
    anneal.quenching = options.quenching;
    const ScoreInputs inputs{net.nodeScores, net.edgeScores, context};
    Anneal(net.graph, inputs, selection, anneal, seeds.Next(), out);

    const std::string name = options.out + letter;
    AtomicOutputFile file;
    if (!file.Open(name))
        throw RunError("\nWarning: File opening (for write) failed. Check name of the file(/s)\n",
                       1);
    WriteReport(net.graph, selection, inputs, net.names, file.stream(), out);
    std::string error;
    if (!file.Commit(error))
        throw RunError("\nError: writing " + name + " failed: " + error +
                           "; no report was written for this run\n",
                       1);

    net.graph.RestoreGraph();
    DeleteUnselectedNodes(net.graph, selection);
    return true;
}

}  // namespace

void Run(const Options& options, std::ostream& out) {
    const std::time_t start = std::time(nullptr);
    const SeedSource seeds{options.seed};
    Network net;
    ScoreContext context;
    LoadNetwork(options, net, out);
    PrepareEdgeScoring(options, seeds, net, context, out);

    NodeMap<bool> selection;
    for (int r = 0; r < options.repeat; ++r)
        if (!AnnealingRun(r, options, seeds, net, context, selection, out)) break;

    out << "\nProgram finished";
    out << "\nTime taken = " << std::difftime(std::time(nullptr), start) << " seconds";
}

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    try {
        const ParseResult parsed = ParseCommandLine(argc, argv);
        if (!parsed.options) return parsed.status;
        const auto errors = parsed.options->validate();
        for (const auto& line : errors) err << line << '\n';
        if (!errors.empty()) return 1;
        Run(*parsed.options, out);
        return 0;
    } catch (const TCLAP::ArgException& e) {
        err << "error: " << e.error() << " for arg " << e.argId() << std::endl;
        return 1;
    } catch (const RunError& e) {
        (e.stream() == RunError::Stream::out ? out : err) << e.what() << std::flush;
        return e.status();
    }
}

}  // namespace tarnvale
