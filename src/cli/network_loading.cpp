#include "cli/network_loading.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "network/label_reader.hpp"
#include "network/mapping_diagnostics.hpp"
#include "network/preparation.hpp"
#include "network/pvalue_reader.hpp"
#include "search/scoring.hpp"
#include "stats/background_model.hpp"

namespace tarnvale {

namespace {

bool AllEqual(const FloatList& v) {
    return std::adjacent_find(v.begin(), v.end(), std::not_equal_to<>()) == v.end();
}

FloatList NodeScoreList(const LoadedNetwork& net) {
    FloatList scores;
    scores.reserve(net.graph.NumberOfNodes());
    net.graph.ForEachNode(
        [&](NodeId n) { scores.push_back(static_cast<float>(net.nodeScores.get(n))); });
    return scores;
}

}  // namespace

// Reads the three input files and shapes the graph for the first run.
void LoadNetwork(const Options& options, LoadedNetwork& net, std::ostream& out) {
    NetworkRead read;
    ReadInput(
        options.input,
        [&](std::istream& in) {
            // Nothing after reading asks for an edge's interaction type: the
            // types (4 bytes an edge) are let go as soon as the file is read.
            EdgeTypes types;
            read = ReadNetwork(in, options.input, net.graph, {net.names, types, net.values},
                               options.reading, out);
        },
        true);  // the network may be the one file of a zip archive
    net.format = read.format;
    if (net.graph.NumberOfNodes() == 0)
        throw RunError("\nError:G.number_of_nodes() = 0\nError: " + options.input +
                           " holds no interaction line that could be read\n" + read.hint,
                       1);
    if (options.reading.minScore != NetworkReading{}.minScore &&
        read.format != NetworkFormat::string)
        out << "NOTE: --min-score applies to STRING links files only; " << options.input
            << " is not one\n";
    if (options.reading.biogridTypes != NetworkReading{}.biogridTypes &&
        read.format != NetworkFormat::biogrid)
        out << "NOTE: --biogrid-type applies to BioGRID files only; " << options.input
            << " is not one\n";
    if (!options.labels.empty())
        ReadInput(options.labels, [&](std::istream& in) {
            ReadLabels(in, options.labels, net.graph, net.names, net.labels, out);
        });
    out << "\nNumber_of_nodes in the graph = " << net.graph.NumberOfNodes() << '\n';
    out << "\nNumber_of_edges in the graph = " << net.graph.NumberOfEdges() << '\n';
    const auto removed = RDE(net.graph, out);
    out << "Number of edges removed " << removed << '\n';

    ReadInput(options.association, [&](std::istream& in) {
        try {
            AssociationReader(in, net.names, net.associations, net.graph.Nodes(), "name",
                              options.association, out);
        } catch (const RunError& e) {
            // The table reader's own message does not say which file it read.
            throw RunError(std::string(e.what()) + "\nError: " + options.association +
                               " holds no line that could be read\n",
                           e.status());
        }
    });
    PValueTable pvalues;
    ReadInput(options.data,
              [&](std::istream& in) { pvalues = ReadPValues(in, options.data, out); });
    const std::vector<NodeId> scored = net.graph.Nodes();
    ScoreNodes(scored, net.associations, pvalues, net.nodeScores);
    std::int64_t withData = 0;
    net.graph.ForEachNode([&](NodeId n) { withData += net.nodeScores.get(n) != kNoData; });

    DeleteIsolatedNodes(net.graph);
    const auto before = net.graph.NumberOfNodes();
    std::vector<NodeId> withoutData;
    net.graph.ForEachNode([&](NodeId n) {
        if (net.nodeScores.get(n) == kNoData) withoutData.push_back(n);
    });
    net.graph.DelNodes(withoutData);
    net.graph.Compact();
    out << "\nNumber of nodes without data = " << before - net.graph.NumberOfNodes() << '\n';
    const std::string mapping =
        MappingWarning(before, net.graph.NumberOfNodes(), pvalues, scored, net.associations);
    if (!mapping.empty()) out << mapping << '\n';

    const auto joined = net.graph.NumberOfEdges();
    const auto beforeMerge = net.graph.NumberOfNodes();
    const auto merged = MergeByAssociation(net.graph, net.associations, net.values);
    DeleteIsolatedNodes(net.graph);

    // Interactions between nodes with data that merging leaves none of were
    // all between nodes with equal identifier lists.
    if (net.graph.NumberOfNodes() == 0 && joined > 0)
        throw RunError("\nError: no node with data and an interaction is left: " +
                           std::to_string(merged) + " of the " + std::to_string(beforeMerge) +
                           " nodes with data were merged into others because their identifier "
                           "lists (through " +
                           options.association +
                           ") are equal, and no interaction joins two of the nodes left\n",
                       1);
    if (net.graph.NumberOfNodes() == 0 && withData > 0)
        throw RunError("\nError: no node with data and an interaction is left: no interaction of " +
                           options.input + " joins two different nodes that have data\n" +
                           read.hint,
                       1);
    if (net.graph.NumberOfNodes() == 0) {
        const std::string cause = pvalues.first.empty()
                                      ? options.data + " holds no identifier with a usable p-value"
                                      : "none of the " + std::to_string(pvalues.first.size()) +
                                            " identifiers of " + options.data +
                                            " matches a node of " + options.input +
                                            ", by its name or through " + options.association;
        throw RunError("\nError: " + cause +
                           "\nError: no node with data and an interaction is left; check that "
                           "the identifiers of " +
                           options.data + " match the node names of " + options.input +
                           " or the identifiers of " + options.association + "\n" + read.hint,
                       1);
    }
    // Ranks are taken among the nodes the first run searches.
    if (options.scoring == NodeScoring::Rank)
        RankNodeScores(net.graph.Nodes(), net.associations, pvalues, net.nodeScores);
    if (AllEqual(NodeScoreList(net)))
        throw RunError(
            "\nError: all nodes left have the same node score; there is nothing to "
            "search for\n",
            1);
}

// CalculateBackground with its progress drawn as `phase` on the bar.
std::array<float, 5> Background(const FloatList& scores, const Options& options, Random& rng,
                                const std::string& phase, ProgressBar& progress,
                                std::ostream& out) {
    BackgroundProgress report;
    if (progress.enabled()) {
        report = [&](std::uint64_t drawn, std::uint64_t total) {
            if (drawn == 0)
                progress.Begin(phase, total, "draws");
            else
                progress.Update(drawn);
        };
    }
    try {
        const auto result =
            CalculateBackground(scores, options.kmax, options.imax, rng, out, report);
        progress.End();
        return result;
    } catch (const std::bad_alloc&) {
        progress.End();
        throw RunError("\nError: out of memory while building the background model (" + phase +
                           ") from " + std::to_string(scores.size()) + " scores with -k " +
                           std::to_string(options.kmax) + " and -i " +
                           std::to_string(options.imax) + "; try a smaller imax\n",
                       1);
    }
}

// Scores the edges and builds the edge background model when edge scores
// can take part.
void PrepareEdgeScoring(const Options& options, const SeedSource& seeds, LoadedNetwork& net,
                        ScoreContext& context, ProgressBar& progress, std::ostream& out) {
    const FloatList edgeScores = ScoreEdges(net.graph, net.values, net.edgeScores);
    context.nodeOnly = true;
    if (!edgeScores.empty() && AllEqual(edgeScores) && net.format != NetworkFormat::sif) {
        // Expected: the database's confidence chose the interactions and
        // gives them no weight in the score.
        out << "\nNOTE: every interaction read from the database's file has the same edge "
               "value; groups are scored with node scores only\n";
    } else if (!edgeScores.empty() && AllEqual(edgeScores)) {
        out << "\nWarning: all edge scores are equal; groups are scored with node scores "
               "only\n";
    } else if (!edgeScores.empty()) {
        Random rng(seeds.Next());
        context.edgeModel = ModelFromBackground(
            Background(edgeScores, options, rng, "edge background", progress, out));
        if (IsUsable(context.edgeModel))
            context.nodeOnly = false;
        else
            out << "\nWarning: the edge background model is degenerate; groups are scored with "
                   "node scores only\n";
    }
}

}  // namespace tarnvale
