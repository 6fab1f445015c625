// Permutation chains and ensemble searches shared out over shards: the merge
// of any number of shards writes byte for byte what one invocation writes,
// and shards that do not belong together are refused, naming the file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/planted_network.hpp"
#include "support/run_binary.hpp"

namespace tarnvale::testing {
namespace {
namespace fs = std::filesystem;

class Shards : public ::testing::Test {
protected:
    void SetUp() override {
        const PlantedNetwork net = MakePlantedNetwork(20240917u, 120, 10);
        dir_.Write("net.sif", net.sif);
        dir_.Write("p.txt", net.pvalues);
        dir_.Write("a.txt", net.association);
        // Two sets that hold planted nodes, one that holds noise.
        std::string module, noise;
        for (const std::string& n : net.module) module += "\t" + n;
        for (int i = 0; i < 12; ++i) noise += "\tn" + std::to_string(i);
        dir_.Write("sets.gmt", "planted\tthe module" + module + "\nhalf\thalf of it" +
                                   module.substr(0, module.size() / 2) + "\nnoise\tnone" + noise +
                                   "\n");
        // Labels for the module's nodes.
        std::string labels;
        for (const std::string& n : net.module) labels += n + "\tL-" + n + "\n";
        dir_.Write("labels.tsv", labels);
    }
    // The common command line, every output of a run asked for, with `more`,
    // run in `folder`.
    RunResult Run(const std::string& folder, std::vector<std::string> more) {
        fs::create_directories(dir_.path() / folder);
        std::vector<std::string> args = Split(
            "-d ../p.txt -a ../a.txt -k 10 -i 100 -n 1500 -p 2 -g 3 --seed 11 --permutations 7 "
            "--ensemble 4 --summary --gene-sets ../sets.gmt --labels ../labels.tsv --graphml "
            "--html",
            ' ');
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), {"../net.sif", "o"});
        RunResult r = RunTarnvale(args, dir_.path() / folder);
        r.out = r.out.substr(0, r.out.rfind("\nTime taken"));
        return r;
    }
    ScratchDir dir_;
};

TEST_F(Shards, AMergeWritesWhatOneInvocationWritesAndRefusesShardsThatDoNotBelong) {
    const RunResult single = Run("single", {"--threads", "2"});
    ASSERT_EQ(single.status, 0) << single.out;
    const auto files = Entries(dir_.path() / "single");
    // Two reports with their tables and GraphML files, the summary, the page.
    EXPECT_EQ(files.size(), 12u);
    // One shard holding everything; blocks of unequal size; more shards than
    // ensemble searches, so that some blocks hold none.
    for (int n : {1, 3, 5}) {
        const std::string folder = "merge" + std::to_string(n);
        // Shards run in any order; a shard writes its shard file only. Odd
        // shards run on one thread, so that 1/1, all the work on one thread,
        // must give what the single invocation on two gives.
        for (int k = n; k >= 1; --k) {
            const RunResult shard = Run(folder, {"--threads", k % 2 == 1 ? "1" : "2", "--shard",
                                                 std::to_string(k) + "/" + std::to_string(n)});
            ASSERT_EQ(shard.status, 0) << shard.out;
        }
        EXPECT_EQ(Entries(dir_.path() / folder).size(), static_cast<std::size_t>(n));
        // Nor does the merge's number of threads change a file, the page included.
        const RunResult merged = Run(folder, {"--threads", "1", "--merge", std::to_string(n)});
        ASSERT_EQ(merged.status, 0) << merged.out;
        EXPECT_EQ(merged.out, single.out) << n;
        for (const std::string& name : files)
            EXPECT_EQ(ReadFile(dir_.path() / folder / name),
                      ReadFile(dir_.path() / "single" / name))
                << n << ' ' << name;
    }

    // Shards 1 to 3 of 3 are in merge3; each row spoils shard 2 (the empty
    // content removes it; the last row keeps it but changes the p-values, so
    // that shard 1 is named) and must be refused naming the file, with
    // status 1 and no report written.
    const fs::path m = dir_.path() / "merge3";
    for (const std::string& name : files) fs::remove(m / name);
    const std::string good = ReadFile(m / "o.shard-2-of-3.tsv"),
                      pvalues = ReadFile(dir_.path() / "p.txt");
    const std::string cut = good.substr(0, good.rfind("end\t")), end = good.substr(cut.size());
    for (const auto& [content, message] : std::vector<std::pair<std::string, std::string>>{
             {"", "Error: the shard file o.shard-2-of-3.tsv is missing"},
             {ReadFile(m / "o.shard-1-of-3.tsv"),
              "o.shard-2-of-3.tsv:3: holds shard 1, not shard 2"},
             {cut, "o.shard-2-of-3.tsv: the file is cut short (no end line after its "},
             {good.substr(0, good.find('\n', good.find("chain")) + 1) + end,
              ": the file has lost lines\n"},
             {good,
              "o.shard-1-of-3.tsv:2: made from other input files, options, seed or program "
              "version than this merge"}}) {
        if (content.empty())
            fs::remove(m / "o.shard-2-of-3.tsv");
        else
            dir_.Write("merge3/o.shard-2-of-3.tsv", content);
        if (content == good) dir_.Write("p.txt", pvalues + "extra\t0.5\n");
        const RunResult r = Run("merge3", {"--merge", "3"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(m / "oA"));
    }
    dir_.Write("p.txt", pvalues);
    ASSERT_EQ(Run("merge3", {"--merge", "3"}).status, 0);
    // Shards and a merge draw the same numbers only with one seed.
    const RunResult r =
        RunTarnvale({"-d", "p.txt", "-a", "a.txt", "--shard", "1/2", "net.sif", "o"}, dir_.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("give --seed as well"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tarnvale::testing
