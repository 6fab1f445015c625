#include "cli/output_names.hpp"

namespace tarnvale {

std::vector<std::string> RunOutputs(const Options& options, int r) {
    const std::string report = options.out + static_cast<char>('A' + r);
    std::vector<std::string> names{report};
    if (options.cytoscape) names.insert(names.end(), {report + ".sif", report + ".nodes.tsv"});
    if (options.dot) names.insert(names.end(), {report + ".dot", report + ".svg"});
    if (options.graphml) names.push_back(report + ".graphml");
    if (options.analysis.permutations > 0) names.push_back(report + ".significance.tsv");
    if (options.analysis.ensemble > 0) names.push_back(report + ".stability.tsv");
    if (!options.geneSets.empty()) names.push_back(report + ".enrichment.tsv");
    return names;
}

std::vector<std::string> Outputs(const Options& options) {
    // A shard writes its shard file and nothing else.
    if (options.sharding.IsShard())
        return {ShardFileName(options.out, options.sharding.shard, options.sharding.count)};
    std::vector<std::string> names;
    for (int r = 0; r < options.repeat; ++r) {
        const auto run = RunOutputs(options, r);
        names.insert(names.end(), run.begin(), run.end());
    }
    if (options.summary) names.push_back(options.out + ".summary.tsv");
    if (options.html) names.push_back(options.out + ".html");
    return names;
}

std::vector<std::string> OutputFamily(const std::string& out) {
    std::vector<std::string> names;
    for (int r = 0; r < kMaxRepeat; ++r) {
        const std::string report = out + static_cast<char>('A' + r);
        names.push_back(report);
        for (const char* suffix : {".sif", ".nodes.tsv", ".dot", ".svg", ".graphml",
                                   ".significance.tsv", ".stability.tsv", ".enrichment.tsv"})
            names.push_back(report + suffix);
    }
    names.push_back(out + ".summary.tsv");
    names.push_back(out + ".html");
    return names;
}

}  // namespace tarnvale
