#include "cli/driver.hpp"

#include <tclap/ArgException.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ios>
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
#include "cli/network_loading.hpp"
#include "cli/output_names.hpp"
#include "cli/report.hpp"
#include "cli/result_table.hpp"
#include "network/gene_sets.hpp"
#include "network/label_reader.hpp"
#include "search/annealing.hpp"
#include "search/score_context.hpp"
#include "search/search_graph.hpp"

namespace tarnvale {
namespace {

// The invocation's own runs: their seeds and progress bars, and after each
// run its report, exports and checks.
class InvocationRuns : public ChainHooks {
public:
    InvocationRuns(const Options& options, const SeedSource& seeds, const LoadedNetwork& net,
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
    const LoadedNetwork& net_;
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
    LoadedNetwork net;
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
