#include "cli/driver.hpp"

#include <tclap/ArgException.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ios>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "analysis/run_chain.hpp"
#include "analysis/run_checks.hpp"
#include "analysis/shards.hpp"
#include "base/export_file.hpp"
#include "base/line_filter.hpp"
#include "base/output_file.hpp"
#include "base/progress.hpp"
#include "base/run_error.hpp"
#include "cli/cytoscape_export.hpp"
#include "cli/dot_export.hpp"
#include "cli/graphml_export.hpp"
#include "cli/html_report.hpp"
#include "cli/report.hpp"
#include "cli/result_table.hpp"
#include "network/association_reader.hpp"
#include "network/gene_sets.hpp"
#include "network/input_file.hpp"
#include "network/label_reader.hpp"
#include "network/mapping_diagnostics.hpp"
#include "network/network_reader.hpp"
#include "network/preparation.hpp"
#include "search/annealing.hpp"
#include "search/score_context.hpp"
#include "search/scoring.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {
namespace {

// Everything the driver owns for the whole run.
struct Network {
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
void PrepareEdgeScoring(const Options& options, const SeedSource& seeds, Network& net,
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

// The invocation's own runs: their seeds and progress bars, and after each
// run its report, exports and checks.
class InvocationRuns : public ChainHooks {
public:
    InvocationRuns(const Options& options, const SeedSource& seeds, const Network& net,
                   InvocationChecks& checks, ProgressBar& progress, std::ostream& out)
        : options_(options),
          seeds_(seeds),
          net_(net),
          checks_(checks),
          progress_(progress),
          out_(out) {}

    RunSeeds Seeds(int) override {
        RunSeeds seeds;
        seeds.background = seeds_.Next();
        seeds.search = seeds_.Next();
        return seeds;
    }
    BackgroundProgress BackgroundBar(int run) override {
        if (!progress_.enabled()) return {};
        return [this, run](std::uint64_t drawn, std::uint64_t total) {
            if (drawn == 0)
                progress_.Begin(std::string("node background, run ") + Letter(run), total, "draws");
            else
                progress_.Update(drawn);
        };
    }
    void EndBackground() override { progress_.End(); }
    void BeginSearch(int run, AnnealOptions& anneal, std::uint64_t steps) override {
        if (!progress_.enabled()) return;
        progress_.Begin(std::string("annealing, run ") + Letter(run), steps, "steps");
        anneal.progress = [this](std::uint64_t position, std::uint64_t, float best) {
            progress_.Update(position, best);
        };
    }
    void EndSearch() override { progress_.End(); }

    void RunDone(const RunMade& run) override {
        const std::string name = options_.out + Letter(run.run);
        const PermutedRun setup{
            run.graph,  run.inputs.nodeScores,    run.inputs.edgeScores, run.inputs.context,
            run.anneal, options_.analysis.threads};
        // A shard writes no report: only its share of the searches.
        if (options_.sharding.IsShard()) {
            checks_.AfterRun(run.run, seeds_.Next(), name, setup, {});
            return;
        }
        AtomicOutputFile file;
        if (!file.Open(name))
            throw RunError(
                "\nWarning: File opening (for write) failed. Check name of the file(/s)\n"
                "Error: cannot create the report " +
                    name + ": " + file.openError() + "\n",
                1);
        std::vector<Group> groups =
            WriteReport(run.graph, run.selection, run.inputs, net_.names, file.stream(), out_);
        std::string error;
        if (!file.Commit(error))
            throw RunError("\nError: writing " + name + " failed: " + error +
                               "; no report was written for this run\n",
                           1);

        // What the report's groups give beyond the report, only when asked for.
        const ExportInputs exports{run.graph,       groups,      net_.names,
                                   net_.nodeScores, net_.values, Labels()};
        if (options_.cytoscape) WriteCytoscapeFiles(name, exports);
        if (options_.dot) WriteDotFiles(name, exports, out_);
        checks_.AfterRun(run.run, seeds_.Next(), name, setup, std::move(groups));
        // After the ensemble, so that the GraphML file carries its stabilities.
        if (options_.graphml) {
            const CheckedRun& checked = checks_.runs().back();
            const int repetitions = options_.analysis.ensemble;
            NodeMap<double> stability;
            if (repetitions > 0)
                for (std::size_t n = 0; n < checked.ensemble.size(); ++n)
                    stability[static_cast<NodeId>(n)] =
                        checked.ensemble.get(static_cast<NodeId>(n)) /
                        static_cast<double>(repetitions);
            WriteGraphmlFile(
                name,
                {run.graph, checked.groups, net_.names, net_.nodeScores, net_.values, Labels()},
                {Letter(run.run), options_.search.nmax, repetitions > 0 ? &stability : nullptr});
        }
    }

private:
    static char Letter(int run) { return static_cast<char>('A' + run); }
    // The labels for the exports; none without --labels, which leaves them as they were.
    const NodeMap<std::string>* Labels() const {
        return options_.labels.empty() ? nullptr : &net_.labels;
    }

    const Options& options_;
    const SeedSource& seeds_;
    const Network& net_;
    InvocationChecks& checks_;
    ProgressBar& progress_;
    std::ostream& out_;
};

// What must agree between the shards of an invocation and their merge: the
// input files' contents, every option that changes results, the seed and
// the program's version.
std::string FingerprintOf(const Options& options) {
    Fingerprint fingerprint;
    fingerprint.AddField("tarnvale 1.0");
    for (const std::string& name :
         {options.input, options.data, options.association, options.geneSets, options.labels}) {
        if (name.empty()) {
            fingerprint.AddField("");
            continue;
        }
        std::ifstream in(name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        fingerprint.AddField(bytes.str());
    }
    const AnnealOptions& s = options.search;
    std::ostringstream settings;
    settings.precision(9);
    settings << s.iterations << ' ' << s.tStart << ' ' << s.tEnd << ' ' << s.nmax << ' '
             << s.heuristic << ' ' << s.quenching << ' ' << s.hub << ' ' << options.repeat << ' '
             << options.kmax << ' ' << options.imax << ' ' << options.seed.value_or(0) << ' '
             << options.analysis.permutations << ' ' << NullName(options.analysis.null) << ' '
             << options.analysis.ensemble << ' ' << static_cast<int>(options.scoring) << ' '
             << options.reading.minScore << ' ' << BiogridTypesName(options.reading.biogridTypes);
    fingerprint.AddField(settings.str());
    return fingerprint.Hex();
}

// Removes the files of `family` that an earlier invocation left and this one
// does not write (those in `wanted` are replaced), so that none passes for
// this one's; the line `note` names them.
void RemoveEarlierOutputs(const std::vector<std::string>& family,
                          const std::vector<std::string>& wanted, const std::string& note,
                          std::ostream& out) {
    std::vector<std::string> removed;
    for (const std::string& name : family) {
        if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) continue;
        std::error_code error;
        if (!std::filesystem::is_regular_file(name, error)) continue;
        if (!std::filesystem::remove(name, error))
            throw RunError("\nError: cannot remove " + name +
                               ", left by an earlier invocation: " + error.message() + "\n",
                           1);
        removed.push_back(name);
    }
    if (removed.empty()) return;
    out << note << ':';
    for (const std::string& name : removed) out << ' ' << name;
    out << '\n';
}

}  // namespace

void Run(const Options& options, std::ostream& out, ProgressBar& progress) {
    const std::time_t start = std::time(nullptr);
    const SeedSource seeds{options.seed};
    const std::vector<std::string> outputs = Outputs(options);
    std::vector<std::string> inputs{options.input, options.association, options.data};
    if (!options.geneSets.empty()) inputs.push_back(options.geneSets);
    if (!options.labels.empty()) inputs.push_back(options.labels);
    RefuseInputsAsOutputs(inputs, outputs);
    Network net;
    ScoreContext edges;
    LoadNetwork(options, net, out);
    std::vector<GeneSet> sets;
    if (!options.geneSets.empty())
        ReadInput(options.geneSets,
                  [&](std::istream& in) { sets = ReadGeneSets(in, options.geneSets, out); });
    // Every output name is tried before the work that would end in it.
    RefuseUnwritableOutputs(outputs);
    PrepareEdgeScoring(options, seeds, net, edges, progress, out);

    // What every search of the first run reads; the graph itself is not
    // needed again.
    const SearchGraph first(net.graph, edges.nodeOnly ? nullptr : &net.edgeScores);
    net.graph = Graph();
    const NodeMap<std::string>* labels = options.labels.empty() ? nullptr : &net.labels;
    std::optional<EnrichmentInputs> enrichment;
    if (!options.geneSets.empty())
        enrichment.emplace(EnrichmentInputs{
            sets, EnrichmentKeys(first.Nodes(), net.names, net.associations, labels),
            options.geneSets});
    ShardHeader header;
    if (options.sharding.count > 0)
        header = {FingerprintOf(options), options.sharding.count,
                  static_cast<std::uint64_t>(options.analysis.permutations),
                  static_cast<std::uint64_t>(options.analysis.ensemble)};
    const CheckSettings checkSettings{options.analysis,
                                      options.search.nmax,
                                      options.summary || options.analysis.permutations > 0,
                                      options.summary ? options.out + ".summary.tsv" : "",
                                      enrichment ? &*enrichment : nullptr,
                                      options.sharding,
                                      labels};
    InvocationChecks checks(checkSettings, net.names, progress, out);
    if (options.sharding.merge) checks.LoadShards(header, options.out);
    // A shard leaves every other file alone: its merge may be writing them.
    if (!options.sharding.IsShard())
        RemoveEarlierOutputs(OutputFamily(options.out), outputs,
                             "\nNOTE: removed files of an earlier invocation that this one does "
                             "not write",
                             out);
    ChainSettings settings{options.search, options.kmax, options.imax, options.repeat, true};
    InvocationRuns runs(options, seeds, net, checks, progress, out);
    const int made = RunChain(first, net.nodeScores, net.edgeScores, edges, settings, runs, out);
    if (made < options.repeat && !options.sharding.IsShard()) {
        Options madeOnly = options;
        madeOnly.repeat = made;
        RemoveEarlierOutputs(outputs, Outputs(madeOnly),
                             "NOTE: removed files of an earlier invocation for runs not made", out);
    }

    settings.runs = made;
    checks.AfterRuns({first, net.nodeScores, net.edgeScores, edges, settings, options.analysis.null,
                      seeds.Next()},
                     header);
    if (options.sharding.IsShard())
        WriteExportFile(outputs.front(),
                        [&](std::ostream& file) { WriteShard(file, checks.shard()); });
    if (options.quiet && !options.sharding.IsShard())
        PrintResults(out, checks.runs(), DisplayNames(net.names, labels),
                     options.analysis.permutations);
    if (options.html && !options.sharding.IsShard())
        WriteHtmlFile(options.out + ".html", options,
                      {checks.runs(), net.names, net.nodeScores, net.values, sets, labels});

    out << "\nProgram finished";
    out << "\nTime taken = " << std::difftime(std::time(nullptr), start) << " seconds";
}

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   bool errIsTerminal) {
    try {
        const ParseResult parsed = ParseCommandLine(argc, argv);
        if (!parsed.options) return parsed.status;
        const auto errors = parsed.options->validate();
        for (const auto& line : errors) err << line << '\n';
        if (!errors.empty()) return 1;
        ProgressBar progress(err, errIsTerminal);
        if (parsed.options->quiet) {
            LineFilter filter(out, QuietLines());
            std::ostream quiet(&filter);
            try {
                Run(*parsed.options, quiet, progress);
            } catch (const RunError& e) {
                // The message goes through the filter, which keeps it.
                if (e.stream() == RunError::Stream::out) {
                    quiet << e.what();
                    filter.Finish();
                    out << std::flush;
                    return e.status();
                }
                throw;
            }
            filter.Finish();
        } else {
            Run(*parsed.options, out, progress);
        }
        // Lost progress output (a full disk under a redirected log) is a
        // failed run too, not a success.
        if (!out.flush()) {
            err << "Error: writing standard output failed" << std::endl;
            return 1;
        }
        return 0;
    } catch (const TCLAP::ArgException& e) {
        err << "error: " << e.error() << " for arg " << e.argId() << std::endl;
        return 1;
    } catch (const RunError& e) {
        (e.stream() == RunError::Stream::out ? out : err) << e.what() << std::flush;
        return e.status();
    } catch (const std::bad_alloc&) {
        // A message, not an abort with a core dump: the usual causes are an
        // input far too large for the machine or a device that never ends.
        out << std::flush;
        err << "Error: out of memory; the input is too large for this machine, or one of the "
               "input files is not a text file\n"
            << std::flush;
        return 1;
    }
}

}  // namespace tarnvale
