#pragma once
// OUTBASE.html: one self-contained page of an invocation's results. It
// gives the invocation (every option with its value, the seed, the version,
// the input files and their line counts), how to read the p-values, and per
// run a table of the ranked groups and a drawing of each. Inline CSS and
// SVG only: no script, and nothing that a browser would fetch (the page
// forbids itself any load).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/run_checks.hpp"
#include "cli/options.hpp"
#include "network/gene_sets.hpp"
#include "network/graph.hpp"

namespace tarnvale {

// What the page shows of the runs, owned by the driver.
struct HtmlInputs {
    const std::vector<CheckedRun>& runs;  // with their summary and enrichment rows
    const NodeMap<std::string>& names;
    const NodeMap<double>& nodeScores;
    const EdgeMap<float>& edgeValues;
    const std::vector<GeneSet>& sets;  // those the enrichment rows refer to
    // A node's display name is its label when there is a label map and the
    // label is not empty, its name otherwise.
    const NodeMap<std::string>* labels = nullptr;
};

// An input file as the page lists it.
struct InputFileFacts {
    std::string role;  // "network", "p-values", ...
    std::string name;
    bool compressed = false;
    std::optional<std::uint64_t> lines;  // of the (decompressed) text
    std::string error;                   // why it was not counted
};

// The lines of the input file `name`, read decompressed when it is
// gzip-compressed; a last line without a line end counts. A file that is
// not a regular file (a pipe, read once already) or cannot be read any more
// gives no count and the reason in `error`.
InputFileFacts CountInputLines(const std::string& role, const std::string& name);

// The invocation as the page gives it.
struct HtmlInvocation {
    std::string outBase;
    std::string version;
    std::string seed;  // the --seed value, or how the seeds were taken without one
    std::vector<std::pair<std::string, std::string>> options;  // OptionValues
    std::vector<InputFileFacts> inputs;
    int permutations = 0;
};

// The invocation of `options`; counts the lines of its input files.
HtmlInvocation DescribeInvocation(const Options& options);

// Writes the page.
void WriteHtmlReport(std::ostream& out, const HtmlInvocation& invocation, const HtmlInputs& inputs);

// Writes `path` (complete or not at all); throws RunError when it cannot.
void WriteHtmlFile(const std::string& path, const Options& options, const HtmlInputs& inputs);

}  // namespace tarnvale
