// Measures the speed figures of the search side by side in one process and
// prints one "name: value" line per figure:
//
//   background_vs_mt19937_ratio   one default background build (kmax 100,
//                                 imax 10000) over 25.5 million plain
//                                 std::mt19937 draws turned into indices
//   anneal_s_per_step_full        from-scratch evaluation, first steps of a
//                                 default run
//   anneal_s_per_step_incremental incremental evaluation, a whole default run
//                                 (quench passes included)
//   anneal_s_per_quench_step      the same run's steps at zero temperature
//   anneal_speedup_vs_full        the quotient of the two
//   anneal_speedup_same_steps     both over the same first steps
//   identical_results             yes when both evaluations gave the same
//                                 printed run and the same report
//
//   speed_bench [--quick] DIR [MID_DIR]
//
// DIR holds the network of the anneal figures (network.sif, pvalues.txt,
// association.txt, as tarnvale_make_network writes them); MID_DIR, when
// given, a smaller one on which both evaluations also make a whole default
// run for identical_results. Everything is seeded with kSeed, as --seed does.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/network_loading.hpp"
#include "cli/report.hpp"
#include "search/annealing.hpp"
#include "search/scoring.hpp"
#include "stats/background_model.hpp"

namespace tarnvale::bench {
namespace {

constexpr std::uint32_t kSeed = 2026;
constexpr int kKmax = 100;
constexpr int kImax = 10000;

// A network read and prepared as the program's first run sees it (by the
// program's own loader), with both background models built from kSeed.
struct Loaded : LoadedNetwork {
    ScoreContext context;
    FloatList nodeScoreList;
};

void Load(const std::string& dir, Loaded& net) {
    std::ostringstream sink;
    Options options;
    options.input = dir + "/network.sif";
    options.association = dir + "/association.txt";
    options.data = dir + "/pvalues.txt";
    options.kmax = kKmax;
    options.imax = kImax;
    LoadNetwork(options, net, sink);
    ProgressBar quiet(sink, false);
    PrepareEdgeScoring(options, SeedSource{kSeed}, net, net.context, quiet, sink);
    net.graph.ForEachNode(
        [&](NodeId n) { net.nodeScoreList.push_back(static_cast<float>(net.nodeScores.get(n))); });
    Random nodeRng(kSeed);
    net.context.nodeModel =
        ModelFromBackground(CalculateBackground(net.nodeScoreList, kKmax, kImax, nodeRng, sink));
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// One annealing run on a copy of the network, and its report.
struct RunResult {
    double seconds = 0;      // the whole run
    double stepSeconds = 0;  // from the end of the first step to the end of the last
    std::uint64_t steps = 0;
    double quenchSeconds = 0;  // the steps at zero temperature
    std::uint64_t quenchSteps = 0;
    std::string printed;
    std::string report;

    // Seconds per step after the first, so that the work before the first
    // step (heuristic, building the incremental state) does not count.
    double PerStep() const { return stepSeconds / static_cast<double>(steps - 1); }
};

RunResult RunAnneal(const Loaded& net, StepEvaluation evaluation, std::uint64_t stepLimit) {
    const SearchGraph graph(net.graph, net.context.nodeOnly ? nullptr : &net.edgeScores);
    NodeMap<bool> selection;
    AnnealOptions options;  // the defaults of the command line
    options.evaluation = evaluation;
    options.stepLimit = stepLimit;
    using Clock = std::chrono::steady_clock;
    Clock::time_point firstStepDone{};
    Clock::time_point lastStepDone{};
    bool first = true;
    std::uint64_t before = 0;  // the step index before the step just made
    const std::uint64_t nodes = graph.NumberOfNodes();
    double quenchSeconds = 0;
    std::uint64_t quenchSteps = 0;
    options.progress = [&](std::uint64_t i, std::uint64_t total, float) {
        const Clock::time_point now = Clock::now();
        if (!first && total - before <= nodes) {
            quenchSeconds += Seconds(now - lastStepDone);
            ++quenchSteps;
        }
        lastStepDone = now;
        if (first) firstStepDone = lastStepDone;
        first = false;
        before = i;
    };
    const ScoreInputs inputs{net.nodeScores, net.edgeScores, net.context};
    std::ostringstream printed;
    const auto start = Clock::now();
    const AnnealResult result = AnnealRun(graph, inputs, selection, options, kSeed, printed);
    RunResult run;
    run.seconds = Seconds(Clock::now() - start);
    run.stepSeconds = Seconds(lastStepDone - firstStepDone);
    run.steps = result.steps;
    run.quenchSeconds = quenchSeconds;
    run.quenchSteps = quenchSteps;
    std::ostringstream file;
    WriteReport(graph, selection, inputs, net.names, file, printed);
    printed << "\nbest " << result.bestScore << " steps " << result.steps;
    run.printed = printed.str();
    run.report = file.str();
    return run;
}

// Collects the time of every repetition of every benchmark.
class Collector : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            seconds[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                          static_cast<double>(run.iterations));
        }
    }
    double Fastest(const std::string& name) const {
        const auto it = seconds.find(name);
        if (it == seconds.end() || it->second.empty()) return 0;
        return *std::min_element(it->second.begin(), it->second.end());
    }
    std::map<std::string, std::vector<double>> seconds;
};

void Print(const char* name, double value) { std::printf("%s: %.3g\n", name, value); }
void PrintCount(const char* name, std::uint64_t value) {
    std::printf("%s: %llu\n", name, static_cast<unsigned long long>(value));
}
void PrintRatio(const char* name, double value) {
    std::printf(value >= 100 ? "%s: %.0f\n" : "%s: %.3g\n", name, value);
}

}  // namespace
}  // namespace tarnvale::bench

int main(int argc, char** argv) {
    using namespace tarnvale;
    using namespace tarnvale::bench;
    bool quick = false;
    std::vector<std::string> dirs;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--quick")
            quick = true;
        else
            dirs.push_back(arg);
    }
    if (dirs.empty() || dirs.size() > 2) {
        std::fprintf(stderr, "usage: %s [--quick] DIR [MID_DIR]\n", argv[0]);
        return 2;
    }

    Loaded net;
    Load(dirs[0], net);

    // The background build against the plain generator, repetitions
    // interleaved at random so that both see the same machine.
    const FloatList& scores = net.nodeScoreList;
    std::uint64_t draws = 0;
    for (int k = 2; k < kKmax + 2; k += 2) draws += static_cast<std::uint64_t>(k) * kImax;
    benchmark::RegisterBenchmark(
        "background_build",
        [&](benchmark::State& state) {
            for (auto _ : state) {
                Random rng(kSeed);
                std::ostringstream sink;
                benchmark::DoNotOptimize(CalculateBackground(scores, kKmax, kImax, rng, sink));
            }
        })
        ->Iterations(1)
        ->Repetitions(quick ? 3 : 7)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "plain_mt19937",
        [&](benchmark::State& state) {
            const double width = static_cast<double>(scores.size());
            for (auto _ : state) {
                std::mt19937 mt(kSeed);
                std::int64_t sum = 0;
                for (std::uint64_t k = 0; k < draws; ++k)
                    sum += static_cast<std::int32_t>(static_cast<double>(mt()) *
                                                     2.3283064365386963e-10 * width);
                benchmark::DoNotOptimize(sum);
            }
        })
        ->Iterations(1)
        ->Repetitions(quick ? 3 : 7)
        ->Unit(benchmark::kMillisecond);
    int benchArgc = 2;
    char flag[] = "--benchmark_enable_random_interleaving=true";
    char* benchArgv[] = {argv[0], flag, nullptr};
    benchmark::Initialize(&benchArgc, benchArgv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    const double background = collector.Fastest("background_build");
    const double plain = collector.Fastest("plain_mt19937");
    Print("background_build_s", background);
    Print("mt19937_25m_draws_s", plain);
    PrintRatio("background_vs_mt19937_ratio", plain > 0 ? background / plain : 0);

    // Seconds per step: the from-scratch evaluation on the first steps of a
    // default run (its cost hardly depends on the state), the incremental
    // one on the whole default run, quench passes included, and both on the
    // same first steps as a like-for-like check.
    const std::uint64_t prefix = quick ? 100 : 400;
    auto fastest = [&](StepEvaluation evaluation, std::uint64_t limit, int repeats) {
        RunResult best = RunAnneal(net, evaluation, limit);
        for (int k = 1; k < repeats; ++k) {
            RunResult again = RunAnneal(net, evaluation, limit);
            if (again.PerStep() < best.PerStep()) best = std::move(again);
        }
        return best;
    };
    const RunResult fullPrefix = fastest(StepEvaluation::FromScratch, prefix, 1);
    const RunResult incPrefix = fastest(StepEvaluation::Incremental, prefix, 5);
    const RunResult whole = fastest(StepEvaluation::Incremental, 0, quick ? 1 : 3);
    PrintCount("anneal_nodes", net.graph.NumberOfNodes());
    PrintCount("anneal_edges", net.graph.NumberOfEdges());
    Print("anneal_s_per_step_full", fullPrefix.PerStep());
    Print("anneal_s_per_step_incremental", whole.PerStep());
    PrintCount("anneal_incremental_run_steps", whole.steps);
    Print(
        "anneal_s_per_quench_step",
        whole.quenchSteps == 0 ? 0 : whole.quenchSeconds / static_cast<double>(whole.quenchSteps));
    Print("anneal_incremental_run_s", whole.seconds);
    PrintRatio("anneal_speedup_vs_full", fullPrefix.PerStep() / whole.PerStep());
    PrintRatio("anneal_speedup_same_steps", fullPrefix.PerStep() / incPrefix.PerStep());

    bool identical =
        fullPrefix.printed == incPrefix.printed && fullPrefix.report == incPrefix.report;
    if (dirs.size() == 2) {
        Loaded mid;
        Load(dirs[1], mid);
        const RunResult a = RunAnneal(mid, StepEvaluation::FromScratch, 0);
        const RunResult b = RunAnneal(mid, StepEvaluation::Incremental, 0);
        identical = identical && a.printed == b.printed && a.report == b.report;
        PrintCount("identical_check_whole_run_steps", a.steps);
    }
    std::printf("identical_results: %s\n", identical ? "yes" : "no");
    return identical ? 0 : 1;
}
