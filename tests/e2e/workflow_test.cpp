// The Snakemake workflow in workflow/, run locally on two cores: for two
// traits it scatters each invocation over shards and gathers it with the
// merge, and every file the merges write must be what a single invocation
// with the same options writes, byte for byte, every one of them declared to
// Snakemake. Skipped, saying so, where snakemake is not installed.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/planted_network.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {
namespace fs = std::filesystem;

constexpr int kShards = 3;  // as in tests/data/e2e/workflow_config.yaml

TEST(Workflow, ShardedTraitsGiveWhatSingleInvocationsGiveAndDeclareEveryFile) {
    ScratchDir dir;
    const RunResult which = RunShell("command -v snakemake", dir.path());
    if (which.status != 0)
        GTEST_SKIP() << "snakemake is not on PATH (Debian package snakemake; scripts/test.sh "
                        "installs it), so the workflow is not tested";
    const std::string snakemake = which.out.substr(0, which.out.find('\n'));
    const fs::path work = dir.path() / "work";
    fs::create_directories(work);
    const PlantedNetwork net = MakePlantedNetwork(20240917u, 120, 10);
    dir.Write("work/net.sif", net.sif);
    dir.Write("work/a.txt", net.association);
    dir.Write("work/planted.txt", net.pvalues);
    // The second trait: each identifier takes the next line's p-value, so
    // the module's signal is scattered.
    const std::vector<std::string> lines = Split(net.pvalues);
    std::string rotated;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& next = lines[(i + 1) % lines.size()];
        rotated += lines[i].substr(0, lines[i].find('\t')) + next.substr(next.find('\t')) + "\n";
    }
    dir.Write("work/rotated.txt", rotated);
    std::string module;
    for (const std::string& n : net.module) module += "\t" + n;
    dir.Write("work/sets.gmt", "planted\tthe module" + module + "\n");
    std::string labels;
    for (const std::string& n : net.module) labels += n + "\tL-" + n + "\n";
    dir.Write("work/labels.tsv", labels);

    // Every output the options can give (tests/data/e2e/workflow_config.yaml)
    // but the drawing (whose SVG depends on Graphviz): reports, Cytoscape and
    // GraphML files, both tables, enrichment, the summary and the page.
    dir.Write("config.yaml",
              std::string("program: '") + TARNVALE_BINARY + "'\n" +
                  ReadFile(std::string(TARNVALE_TEST_DATA) + "/e2e/workflow_config.yaml"));
    // Snakemake writes .snakemake/ in its working folder and caches under
    // HOME: both stay in the scratch folder.
    const std::string scratch = dir.path().string();
    const std::string command = "HOME='" + scratch + "/home' XDG_CACHE_HOME='" + scratch +
                                "/cache' XDG_CONFIG_HOME='" + scratch + "/config' '" + snakemake +
                                "' -s '" + TARNVALE_SNAKEFILE +
                                "' --configfile ../config.yaml --cores 2 ";
    const RunResult flow = RunShell(command + "--quiet", work);
    ASSERT_EQ(flow.status, 0) << flow.out;

    // A file the merge writes but the rule does not declare would be
    // unknown to Snakemake (neither rerun nor moved by a remote executor).
    const RunResult untracked = RunShell(command + "--list-untracked", work);
    ASSERT_EQ(untracked.status, 0) << untracked.out;
    for (const std::string& line : Split(untracked.out))
        EXPECT_EQ(line.find('/'), std::string::npos) << "not declared: " << line;

    // Each trait's invocation made again in one process, with the same
    // output base, in place of the merge's files, which it must give back.
    for (const std::string trait : {"planted", "rotated"}) {
        SCOPED_TRACE(trait);
        const fs::path folder = work / "results" / trait;
        const std::string base = "results/" + trait + "/" + trait;
        const std::set<std::string> made = Entries(folder);
        std::map<std::string, std::string> merged;
        for (const std::string& name : made) merged[name] = ReadFile(folder / name);
        // Two runs, each with its report and six files; the summary, the page,
        // the merge's log and every shard's file and log.
        EXPECT_EQ(made.size(), static_cast<std::size_t>(2 * 7 + 2 + 1 + 2 * kShards))
            << ::testing::PrintToString(made);
        for (const std::string& name : made)
            if (name.find(".shard-") == std::string::npos && name != trait + ".log")
                fs::remove(folder / name);
        const RunResult single = RunTarnvale(
            Split("-d " + trait +
                      ".txt -a a.txt -n 1500 -k 10 -i 100 -p 2 -g 3 --permutations 7 --ensemble 4 "
                      "--summary --cytoscape --graphml --html --gene-sets sets.gmt --labels "
                      "labels.tsv --seed 11 --threads 2 net.sif " +
                      base,
                  ' '),
            work);
        ASSERT_EQ(single.status, 0) << single.out << single.err;
        auto timeless = [](const std::string& out) { return out.substr(0, out.rfind("\nTime")); };
        EXPECT_EQ(timeless(merged[trait + ".log"]), timeless(single.out));
        // The single invocation wrote every file the merge wrote, no other.
        EXPECT_EQ(Entries(folder), made);
        for (const std::string& name : made)
            EXPECT_EQ(ReadFile(folder / name), merged[name]) << name;
    }
}

}  // namespace
}  // namespace tarnvale::testing
