#include "cli/options.hpp"

#include <tclap/CmdLine.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

#include "base/number_text.hpp"

namespace tarnvale {
namespace {

constexpr const char* kMessage =
    "Tarnvale command line description message\n"
    "Heuristics for simulated annealing search of active sub-networks in bio-molecular "
    "interaction network (Software)\n"
    "tarnvale-maintainers@users.noreply.example.org";

std::string ArgError(const std::string& text, const std::string& flag, const std::string& name) {
    // The same identification TCLAP gives an argument in its own exceptions.
    const std::string id = flag.empty() ? "--" + name : "-" + flag + " (--" + name + ")";
    return "error: " + text + " for arg Argument: " + id;
}

// An option given an empty value ("--seed ''", "-r ''", "--seed=") would
// silently keep its default; it is a parse error like any malformed value.
void RefuseEmptyValues(TCLAP::CmdLine& cmd, const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") return;  // what follows is not options
        if (word.size() < 2 || word[0] != '-') continue;
        const std::size_t equals = word.find('=');
        const std::string given = word.substr(0, equals);
        for (TCLAP::Arg* arg : cmd.getArgList()) {
            if (!arg->isValueRequired()) continue;
            const bool named = given == "--" + arg->getName() ||
                               (!arg->getFlag().empty() && given == "-" + arg->getFlag());
            if (!named) continue;
            const bool empty = equals != std::string::npos
                                   ? equals + 1 == word.size()
                                   : i + 1 < args.size() && args[i + 1].empty();
            if (empty) throw TCLAP::CmdLineParseException("the value is empty", arg->toString());
        }
    }
}

}  // namespace

std::vector<std::string> Options::validate() const {
    std::vector<std::string> errors;
    auto atLeast = [&](std::int64_t value, std::int64_t low, const char* flag, const char* name) {
        if (value < low)
            errors.push_back(ArgError(
                "value " + NumberText(value) + " is below the smallest allowed, " + NumberText(low),
                flag, name));
    };
    auto positive = [&](float value, const char* flag, const char* name) {
        if (!(value > 0.0f) || !std::isfinite(value))
            errors.push_back(ArgError(
                "value " + NumberText(value) + " must be a finite number above 0", flag, name));
    };
    atLeast(search.iterations, 0, "n", "iterations");
    atLeast(search.nmax, 1, "g", "nmax");
    atLeast(repeat, 0, "r", "repeat");
    if (repeat > kMaxRepeat)
        errors.push_back(ArgError("value " + NumberText(repeat) +
                                      " is above the largest allowed, " + NumberText(kMaxRepeat) +
                                      " (run letters go from A to ~)",
                                  "r", "repeat"));
    positive(search.tStart, "s", "Tstart");
    positive(search.tEnd, "e", "Tend");
    atLeast(kmax, 4, "k", "kmax");
    atLeast(imax, 2, "i", "imax");
    auto within = [&](int value, int low, int high, const char* name) {
        atLeast(value, low, "", name);
        if (value > high)
            errors.push_back(ArgError(
                "value " + NumberText(value) + " is above the largest allowed, " + NumberText(high),
                "", name));
    };
    within(analysis.permutations, 0, kMaxRepetitions, "permutations");
    within(analysis.ensemble, 0, kMaxRepetitions, "ensemble");
    within(analysis.threads, 1, kMaxThreads, "threads");
    if (out.empty())
        errors.push_back(
            ArgError("the output name is empty; no file can be named after it", "", "out"));
    if (sharding.count > 0 && !seed)
        errors.push_back(ArgError(
            "shards and their merge must draw the same random numbers: give --seed as well", "",
            sharding.merge ? "merge" : "shard"));
    if (!(reading.minScore >= 0.0 && reading.minScore <= 1.0))  // NaN fails both
        errors.push_back(ArgError("value " + NumberText(reading.minScore) +
                                      " lies outside [0, 1] (STRING's scores / 1000)",
                                  "", "min-score"));
    // A background model draws k scores imax times for every even k up to
    // kmax: beyond the bound it would run for hours, or for ever.
    if (kmax >= 4 && imax >= 2) {
        const double half = std::ceil(static_cast<double>(kmax) / 2.0);
        const double draws = static_cast<double>(imax) * half * (half + 1.0);
        if (draws > kMaxBackgroundDraws) {
            std::ostringstream text;
            text.precision(3);
            text << "kmax " << kmax << " with imax " << imax << " would take " << draws
                 << " draws for each background model, more than the largest allowed, "
                 << kMaxBackgroundDraws << "; lower -k (--kmax) or -i (--imax)";
            errors.push_back(ArgError(text.str(), kmax > Options{}.kmax ? "k" : "i",
                                      kmax > Options{}.kmax ? "kmax" : "imax"));
        }
    }
    return errors;
}

std::vector<std::pair<std::string, std::string>> OptionValues(const Options& options) {
    const auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
    const AnnealOptions& s = options.search;
    std::vector<std::pair<std::string, std::string>> values{
        {"-d (--data)", options.data},
        {"-a (--association)", options.association},
        {"-n (--iterations)", NumberText(s.iterations)},
        {"-g (--nmax)", NumberText(s.nmax)},
        {"-r (--repeat)", NumberText(options.repeat)},
        {"-b (--hub)", NumberText(s.hub)},
        {"-s (--Tstart)", NumberText(s.tStart)},
        {"-e (--Tend)", NumberText(s.tEnd)},
        {"-k (--kmax)", NumberText(options.kmax)},
        {"-i (--imax)", NumberText(options.imax)},
        {"-q (--quenching)", NumberText(s.quenching)},
        {"-p (--degree)", NumberText(s.heuristic)},
        {"--seed", options.seed ? NumberText(*options.seed) : "none: the clock"},
        {"--cytoscape", onOff(options.cytoscape)},
        {"--dot", onOff(options.dot)},
        {"--permutations", NumberText(options.analysis.permutations)},
        {"--null", NullName(options.analysis.null)},
        {"--node-scores", options.scoring == NodeScoring::Rank ? "rank" : "z"},
        {"--ensemble", NumberText(options.analysis.ensemble)},
        {"--summary", onOff(options.summary)},
        {"--gene-sets", options.geneSets.empty() ? "none" : options.geneSets},
        {"--quiet", onOff(options.quiet)},
        {"--html", onOff(options.html)},
        {"--min-score", NumberText(options.reading.minScore)},
        {"--biogrid-type", BiogridTypesName(options.reading.biogridTypes)},
        {"--labels", options.labels.empty() ? "none" : options.labels},
        {"--graphml", onOff(options.graphml)},
        {"network", options.input},
        {"output base", options.out}};
    return values;
}

ParseResult ParseCommandLine(int argc, const char* const* argv) {
    const Options defaults;
    TCLAP::CmdLine cmd(kMessage, ' ', kVersion);
    cmd.setExceptionHandling(false);

    TCLAP::ValueArg<std::string> data("d", "data", "p-values (tab delimited)", true, defaults.data,
                                      "string", cmd);
    TCLAP::ValueArg<std::string> association("a", "association",
                                             "node-ORF association (tab delimited)", true,
                                             defaults.association, "string", cmd);
    TCLAP::ValueArg<int> iterations("n", "iterations", "Number of iterations", false,
                                    static_cast<int>(defaults.search.iterations), "integer", cmd);
    TCLAP::ValueArg<int> nmax("g", "nmax", "Number of groups to search", false,
                              defaults.search.nmax, "integer", cmd);
    TCLAP::ValueArg<int> repeat("r", "repeat", "Number of times to repeat algorithm", false,
                                defaults.repeat, "integer", cmd);
    TCLAP::ValueArg<int> hub("b", "hub", "Hub diameter for heuristic search", false,
                             defaults.search.hub, "integer", cmd);
    TCLAP::ValueArg<float> tStart("s", "Tstart", "Start temperature", false, defaults.search.tStart,
                                  "float", cmd);
    TCLAP::ValueArg<float> tEnd("e", "Tend", "End temperature", false, defaults.search.tEnd,
                                "float", cmd);
    TCLAP::ValueArg<int> kmax("k", "kmax", "kmax for background", false, defaults.kmax, "float",
                              cmd);
    TCLAP::ValueArg<int> imax("i", "imax", "imax for background", false, defaults.imax, "float",
                              cmd);
    TCLAP::ValueArg<int> quenching("q", "quenching", "Quenching search", false,
                                   defaults.search.quenching, "integer", cmd);
    TCLAP::ValueArg<int> degree("p", "degree", "initialization heuristics (1-2-3-4-5)", false,
                                defaults.search.heuristic, "integer", cmd);
    TCLAP::UnlabeledValueArg<std::string> input("input",
                                                "File containing list of interactions, sif format",
                                                true, defaults.input, "string", cmd);
    TCLAP::UnlabeledValueArg<std::string> out("out", "Name for the output file", true, defaults.out,
                                              "string", cmd);
    // Read as a wide signed number so that a negative seed is refused rather
    // than wrapped around.
    TCLAP::ValueArg<long long> seed(
        "", "seed",
        "Seed every random generator with this value instead of the calendar time, so that "
        "runs are reproducible (0 to 4294967295)",
        false, 0, "integer", cmd);
    TCLAP::SwitchArg cytoscape(
        "", "cytoscape",
        "Also write OUT<letter>.sif (each group's edges, the group number as interaction type) "
        "and OUT<letter>.nodes.tsv (name, group, group score, node score, p-value) for Cytoscape",
        cmd, defaults.cytoscape);
    TCLAP::SwitchArg dot("", "dot",
                         "Also write OUT<letter>.dot, a Graphviz drawing of the groups, and "
                         "OUT<letter>.svg when the dot program is installed",
                         cmd, defaults.dot);
    TCLAP::ValueArg<int> permutations(
        "", "permutations",
        "After the runs, perform every run again this many times on shuffled node scores "
        "(permutation chains) and print each ranked group's family-wise and rank-wise "
        "empirical p-values (also in OUT<letter>.significance.tsv)",
        false, defaults.analysis.permutations, "integer", cmd);
    std::vector<std::string> nullNames{"scores", "degree"};
    TCLAP::ValuesConstraint<std::string> nullAllowed(nullNames);
    TCLAP::ValueArg<std::string> null(
        "", "null",
        "What the permutation chains shuffle: the node scores among all nodes (scores), or only "
        "among nodes of similar degree, in bins of at least 50 nodes (degree)",
        false, NullName(defaults.analysis.null), &nullAllowed, cmd);
    std::vector<std::string> scoringNames{"z", "rank"};
    TCLAP::ValuesConstraint<std::string> scoringAllowed(scoringNames);
    TCLAP::ValueArg<std::string> scoring(
        "", "node-scores",
        "How p-values become node scores: z-scores, -NormInv(p) (z), or rank-based normal "
        "scores, -NormInv((rank - 1/2) / n) over the searched nodes, which a few extreme "
        "p-values cannot dominate (rank)",
        false, defaults.scoring == NodeScoring::Rank ? "rank" : "z", &scoringAllowed, cmd);
    TCLAP::ValueArg<int> ensemble(
        "", "ensemble",
        "After each run, repeat its search this many times with other seeds and write each "
        "node's stability, the fraction of searches that put it into a ranked group, to "
        "OUT<letter>.stability.tsv",
        false, defaults.analysis.ensemble, "integer", cmd);
    TCLAP::SwitchArg summary("", "summary",
                             "Also write OUT.summary.tsv, one line per group of every run", cmd,
                             defaults.summary);
    TCLAP::ValueArg<std::string> geneSets(
        "", "gene-sets",
        "Gene sets in GMT form (name, description, members; gzip read too): each ranked group's "
        "enrichment against the run's nodes goes to OUT<letter>.enrichment.tsv, with empirical "
        "p-values from the permutation chains",
        false, defaults.geneSets, "file", cmd);
    TCLAP::ValueArg<std::string> shard(
        "", "shard",
        "Compute only shard K of N of the permutation chains and ensemble searches and write "
        "them to OUT.shard-K-of-N.tsv, no report; --merge N gathers the shards",
        false, "", "K/N", cmd);
    TCLAP::ValueArg<int> merge(
        "", "merge",
        "Read OUT.shard-1-of-N.tsv to OUT.shard-N-of-N.tsv, made with the same command line and "
        "--shard, and write what one invocation writes",
        false, 0, "N", cmd);
    TCLAP::SwitchArg quiet("", "quiet",
                           "Print only warnings, errors, notes and a short table of each run's "
                           "ranked groups, not the progress of reading, sampling and searching",
                           cmd, defaults.quiet);
    TCLAP::SwitchArg html("", "html",
                          "Also write OUT.html, one self-contained page with the invocation, "
                          "each run's ranked groups and a drawing of each",
                          cmd, defaults.html);
    TCLAP::ValueArg<int> threads(
        "", "threads",
        "Run the permutations and ensemble searches on this many threads (1 to 1024; the "
        "default is every core); the results are the same for every number",
        false, defaults.analysis.threads, "integer", cmd);
    TCLAP::SwitchArg graphml(
        "", "graphml",
        "Also write OUT<letter>.graphml, the groups as GraphML for Cytoscape, Gephi, igraph or "
        "networkx (nodes with name, label, z-score, p-value, group, rank; edges with their "
        "value)",
        cmd, defaults.graphml);
    TCLAP::ValueArg<std::string> labels(
        "", "labels",
        "Node labels shown beside the node names in every export: lines 'node name<TAB>label', "
        "or STRING's protein.info file (its preferred names)",
        false, defaults.labels, "file", cmd);
    TCLAP::ValueArg<double> minScore(
        "", "min-score",
        "A STRING links file read as downloaded keeps the interactions with a combined score of "
        "at least this (0 to 1; default " +
            NumberText(defaults.reading.minScore) + ", STRING's medium confidence)",
        false, defaults.reading.minScore, "number", cmd);
    std::vector<std::string> typeNames{"physical", "genetic", "both"};
    TCLAP::ValuesConstraint<std::string> typeAllowed(typeNames);
    TCLAP::ValueArg<std::string> biogridType(
        "", "biogrid-type",
        "Which interactions of a BioGRID file are read, by their Experimental System Type "
        "(default physical)",
        false, BiogridTypesName(defaults.reading.biogridTypes), &typeAllowed, cmd);

    ParseResult result;
    try {
        std::vector<std::string> args(argv, argv + argc);
        RefuseEmptyValues(cmd, args);
        cmd.parse(args);
    } catch (TCLAP::ArgException& e) {
        try {
            cmd.getOutput()->failure(cmd, e);
        } catch (TCLAP::ExitException& exit) {
            result.status = exit.getExitStatus();
            return result;
        }
        result.status = 1;
        return result;
    } catch (TCLAP::ExitException& exit) {
        result.status = exit.getExitStatus();
        return result;
    }

    Options options;
    options.data = data.getValue();
    options.association = association.getValue();
    options.search.iterations = iterations.getValue();
    options.search.nmax = nmax.getValue();
    options.repeat = repeat.getValue();
    options.search.hub = hub.getValue();
    options.search.tStart = tStart.getValue();
    options.search.tEnd = tEnd.getValue();
    options.kmax = kmax.getValue();
    options.imax = imax.getValue();
    options.search.quenching = quenching.getValue();
    options.search.heuristic = degree.getValue();
    options.input = input.getValue();
    options.out = out.getValue();
    options.cytoscape = cytoscape.getValue();
    options.dot = dot.getValue();
    options.analysis.permutations = permutations.getValue();
    options.analysis.null = null.getValue() == "degree" ? NullModel::Degree : NullModel::Scores;
    options.analysis.ensemble = ensemble.getValue();
    options.scoring = scoring.getValue() == "rank" ? NodeScoring::Rank : NodeScoring::Z;
    options.geneSets = geneSets.getValue();
    options.quiet = quiet.getValue();
    if (shard.isSet() && merge.isSet())
        throw TCLAP::ArgException("--shard and --merge exclude each other", "--merge");
    if (shard.isSet()) {
        const std::string& text = shard.getValue();
        const auto slash = text.find('/');
        int k = 0, n = 0;
        const bool parsed =
            slash != std::string::npos &&
            std::from_chars(text.data(), text.data() + slash, k).ptr == text.data() + slash &&
            std::from_chars(text.data() + slash + 1, text.data() + text.size(), n).ptr ==
                text.data() + text.size();
        if (!parsed || n < 1 || k < 1 || k > n || n > kMaxThreads)
            throw TCLAP::ArgException("value '" + text + "' is not K/N with 1 <= K <= N <= " +
                                          std::to_string(kMaxThreads),
                                      "--shard");
        options.sharding = {k, n, false};
    }
    if (merge.isSet()) {
        if (merge.getValue() < 1 || merge.getValue() > kMaxThreads)
            throw TCLAP::ArgException("value " + std::to_string(merge.getValue()) +
                                          " is not between 1 and " + std::to_string(kMaxThreads),
                                      "--merge");
        options.sharding = {0, merge.getValue(), true};
    }
    options.summary = summary.getValue();
    options.html = html.getValue();
    options.analysis.threads = threads.getValue();
    options.graphml = graphml.getValue();
    options.labels = labels.getValue();
    options.reading.minScore = minScore.getValue();
    options.reading.biogridTypes = biogridType.getValue() == "genetic" ? BiogridTypes::genetic
                                   : biogridType.getValue() == "both"  ? BiogridTypes::both
                                                                       : BiogridTypes::physical;
    if (seed.isSet()) {
        const long long value = seed.getValue();
        if (value < 0 ||
            value > static_cast<long long>(std::numeric_limits<std::uint32_t>::max())) {
            // Reported with the other range errors by the driver.
            throw TCLAP::ArgException(
                "value " + std::to_string(value) + " is not an unsigned 32-bit integer", "--seed");
        }
        options.seed = static_cast<std::uint32_t>(value);
    }
    result.options = options;
    return result;
}

}  // namespace tarnvale
