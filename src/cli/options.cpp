#include "cli/options.hpp"

#include <tclap/CmdLine.h>

#include <cmath>
#include <limits>
#include <sstream>

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

template <class T>
std::string ToText(T value) {
    std::ostringstream s;
    s << value;
    return s.str();
}

}  // namespace

std::vector<std::string> Options::validate() const {
    std::vector<std::string> errors;
    auto atLeast = [&](int value, int low, const char* flag, const char* name) {
        if (value < low)
            errors.push_back(ArgError("value " + ToText(value) + " is below the smallest allowed, " +
                                          ToText(low),
                                      flag, name));
    };
    auto positive = [&](float value, const char* flag, const char* name) {
        if (!(value > 0.0f) || !std::isfinite(value))
            errors.push_back(
                ArgError("value " + ToText(value) + " must be a finite number above 0", flag, name));
    };
    atLeast(iterations, 0, "n", "iterations");
    atLeast(nmax, 1, "g", "nmax");
    if (repeat > kMaxRepeat)
        errors.push_back(ArgError("value " + ToText(repeat) + " is above the largest allowed, " +
                                      ToText(kMaxRepeat) + " (run letters go from A to ~)",
                                  "r", "repeat"));
    positive(tStart, "s", "Tstart");
    positive(tEnd, "e", "Tend");
    atLeast(kmax, 4, "k", "kmax");
    atLeast(imax, 2, "i", "imax");
    atLeast(permutations, 0, "", "permutations");
    return errors;
}

ParseResult ParseCommandLine(int argc, const char* const* argv) {
    const Options defaults;
    TCLAP::CmdLine cmd(kMessage, ' ', "1.0");
    cmd.setExceptionHandling(false);

    TCLAP::ValueArg<std::string> data("d", "data", "p-values (tab delimited)", true, defaults.data,
                                      "string", cmd);
    TCLAP::ValueArg<std::string> association("a", "association",
                                             "node-ORF association (tab delimited)", true,
                                             defaults.association, "string", cmd);
    TCLAP::ValueArg<int> iterations("n", "iterations", "Number of iterations", false,
                                    defaults.iterations, "integer", cmd);
    TCLAP::ValueArg<int> nmax("g", "nmax", "Number of groups to search", false, defaults.nmax,
                              "integer", cmd);
    TCLAP::ValueArg<int> repeat("r", "repeat", "Number of times to repeat algorithm", false,
                                defaults.repeat, "integer", cmd);
    TCLAP::ValueArg<int> hub("b", "hub", "Hub diameter for heuristic search", false, defaults.hub,
                             "integer", cmd);
    TCLAP::ValueArg<float> tStart("s", "Tstart", "Start temperature", false, defaults.tStart,
                                  "float", cmd);
    TCLAP::ValueArg<float> tEnd("e", "Tend", "End temperature", false, defaults.tEnd, "float",
                                cmd);
    TCLAP::ValueArg<int> kmax("k", "kmax", "kmax for background", false, defaults.kmax, "float",
                              cmd);
    TCLAP::ValueArg<int> imax("i", "imax", "imax for background", false, defaults.imax, "float",
                              cmd);
    TCLAP::ValueArg<int> quenching("q", "quenching", "Quenching search", false,
                                   defaults.quenching, "integer", cmd);
    TCLAP::ValueArg<int> degree("p", "degree", "initialization heuristics (1-2-3-4-5)", false,
                                defaults.degree, "integer", cmd);
    TCLAP::UnlabeledValueArg<std::string> input(
        "input", "File containing list of interactions, sif format", true, defaults.input,
        "string", cmd);
    TCLAP::UnlabeledValueArg<std::string> out("out", "Name for the output file", true,
                                              defaults.out, "string", cmd);
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
        "After each run, repeat its search this many times with the node scores shuffled and "
        "print each group's empirical p-value (also in OUT<letter>.significance.tsv)",
        false, defaults.permutations, "integer", cmd);

    ParseResult result;
    try {
        std::vector<std::string> args(argv, argv + argc);
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
    options.iterations = iterations.getValue();
    options.nmax = nmax.getValue();
    options.repeat = repeat.getValue();
    options.hub = hub.getValue();
    options.tStart = tStart.getValue();
    options.tEnd = tEnd.getValue();
    options.kmax = kmax.getValue();
    options.imax = imax.getValue();
    options.quenching = quenching.getValue();
    options.degree = degree.getValue();
    options.input = input.getValue();
    options.out = out.getValue();
    options.cytoscape = cytoscape.getValue();
    options.dot = dot.getValue();
    options.permutations = permutations.getValue();
    if (seed.isSet()) {
        const long long value = seed.getValue();
        if (value < 0 || value > static_cast<long long>(std::numeric_limits<std::uint32_t>::max())) {
            // Reported with the other range errors by the driver.
            throw TCLAP::ArgException("value " + std::to_string(value) +
                                          " is not an unsigned 32-bit integer",
                                      "--seed");
        }
        options.seed = static_cast<std::uint32_t>(value);
    }
    result.options = options;
    return result;
}

}  // namespace tarnvale
