#include "cli/html_report.hpp"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <ios>
#include <sstream>

#include "analysis/enrichment_table.hpp"
#include "base/export_file.hpp"
#include "base/number_text.hpp"
#include "base/run_error.hpp"
#include "cli/dot_export.hpp"
#include "cli/group_drawing.hpp"
#include "network/input_file.hpp"

namespace tarnvale {
namespace {

constexpr const char* kStyle = R"(body{font-family:"DejaVu Sans",Arial,Helvetica,sans-serif;
margin:20px 28px;color:#222;font-size:14px}
h1{font-size:22px;margin:0 0 6px}h2{font-size:18px;margin:28px 0 8px;
border-bottom:1px solid #bbb}
table{border-collapse:collapse;font-size:13px;margin:6px 0}
th,td{border:1px solid #ccc;padding:3px 7px;text-align:left;vertical-align:top}
th{background:#f0f0f0}td.num{text-align:right;font-variant-numeric:tabular-nums}
dl.options{display:grid;grid-template-columns:repeat(auto-fill,minmax(340px,1fr));
gap:2px 16px;margin:6px 0;font-size:13px}dl.options div{display:flex;gap:8px}
dt{font-family:"DejaVu Sans Mono",monospace;color:#555;min-width:140px}dd{margin:0;
overflow-wrap:anywhere}
.note{background:#f3f6fa;border-left:4px solid #2166ac;padding:4px 12px;margin:10px 0}
.note p{margin:4px 0}
.drawings{display:flex;flex-wrap:wrap;gap:14px;align-items:flex-start}
figure{margin:0;border:1px solid #ccc;border-radius:6px;padding:6px 8px;max-width:100%}
figcaption{font-size:13px;font-weight:bold;margin-bottom:4px}
.canvas{overflow:auto;max-width:calc(100vw - 90px);max-height:900px}
svg text{font-family:"DejaVu Sans",Arial,Helvetica,sans-serif;font-size:11px;fill:#222}
svg.group text{paint-order:stroke;stroke:#fff;stroke-width:3px;stroke-linejoin:round}
.terms{margin:0;padding-left:16px})";

std::string Optional(const std::optional<double>& value) {
    return value ? NumberText(*value) : std::string();
}

std::string Cell(const std::string& text, bool number = false) {
    return std::string(number ? "<td class=\"num\">" : "<td>") + text + "</td>";
}

void WriteInvocation(std::ostream& out, const HtmlInvocation& invocation) {
    out << "<section id=\"invocation\">\n<h2>Invocation</h2>\n<p>Tarnvale "
        << HtmlText(invocation.version) << "; seed " << HtmlText(invocation.seed)
        << ".</p>\n<dl class=\"options\">\n";
    for (const auto& [option, value] : invocation.options)
        out << "<div><dt>" << HtmlText(option) << "</dt><dd>" << HtmlText(value) << "</dd></div>\n";
    out << "</dl>\n<table class=\"inputs\">\n<tr><th>input</th><th>file</th><th>lines</th></tr>\n";
    for (const InputFileFacts& file : invocation.inputs) {
        std::string lines = file.lines ? NumberText(*file.lines) : "not counted: " + file.error;
        if (file.compressed) lines += " (gzip-compressed; lines of the decompressed text)";
        out << "<tr>" << Cell(HtmlText(file.role)) << Cell(HtmlText(file.name))
            << Cell(HtmlText(lines), file.lines.has_value() && !file.compressed) << "</tr>\n";
    }
    out << "</table>\n</section>\n";
}

// How to read the p-values, in two lines.
void WriteReading(std::ostream& out, int permutations) {
    out << "<div class=\"note\" id=\"reading\">\n<p><b>Is a module real?</b> A run reports groups "
           "even on pure noise. Filter on the <b>family-wise p</b>: it asks whether noise gives "
           "any group of the run as good, so it holds for all ranked groups of a run at once; "
           "the rank-wise p compares a group only with groups of its own rank.</p>\n<p>";
    if (permutations > 0)
        out << "The smallest p-value is 1/(K+1): these " << permutations
            << " permutation chains resolve " << NumberText(1.0 / (permutations + 1.0))
            << "; more chains (--permutations) resolve smaller ones.";
    else
        out << "This invocation made no permutation chains, so no group has a p-value; "
               "--permutations K gives them, the smallest being 1/(K+1).";
    out << "</p>\n</div>\n";
}

std::string Terms(const CheckedRun& run, std::size_t group, const std::vector<GeneSet>& sets) {
    const std::vector<const EnrichmentRow*> best = BestTermRows(run.enriched, group);
    if (best.empty()) return "";
    std::string cell = "<ul class=\"terms\">";
    for (const EnrichmentRow* row : best) {
        const GeneSet& set = sets.at(row->set);
        cell += "<li>" + HtmlText(set.description.empty() ? set.name : set.description) + " (" +
                NumberText(row->overlap) + " of " + NumberText(row->groupSize) +
                "; p = " + ProbabilityText(row->logP) + ", q = " + ProbabilityText(row->logQ);
        if (row->empiricalP) cell += "; empirical p = " + NumberText(*row->empiricalP);
        cell += ")</li>";
    }
    return cell + "</ul>";
}

void WriteRun(std::ostream& out, std::size_t r, const HtmlInputs& inputs,
              const DrawingInputs& drawing) {
    const CheckedRun& run = inputs.runs[r];
    const std::string letter(1, static_cast<char>('A' + r));
    std::vector<const SummaryRow*> ranked;
    for (const SummaryRow& row : run.rows)
        if (row.rank && row.ranked && *row.rank < run.edges.size()) ranked.push_back(&row);
    out << "<section id=\"run-" << letter << "\">\n<h2>Run " << letter << "</h2>\n<p>"
        << run.groups.size() << (run.groups.size() == 1 ? " group" : " groups") << " in "
        << HtmlText(run.reportName) << "; " << ranked.size()
        << " ranked (the groups the search compares).</p>\n";
    if (ranked.empty()) {
        out << "<p>This run found no group.</p>\n</section>\n";
        return;
    }
    out << "<table class=\"groups\">\n<tr><th>group</th><th>size</th><th>s-score</th>"
           "<th>node evidence</th><th>rank-wise p</th><th>family-wise p</th>"
           "<th>stability</th><th>best terms (overlap; hypergeometric p, q; empirical p)</th>"
           "</tr>\n";
    for (const SummaryRow* row : ranked) {
        const std::string id = letter + "-" + NumberText(*row->rank);
        out << "<tr id=\"row-" << id << "\">" << Cell(NumberText(*row->rank), true)
            << Cell(NumberText(row->size), true) << Cell(NumberText(row->score), true)
            << Cell(NumberText(row->nodeEvidence), true) << Cell(Optional(row->pValue), true)
            << Cell(Optional(row->familywiseP), true) << Cell(Optional(row->stability), true)
            << Cell(Terms(run, *row->rank, inputs.sets)) << "</tr>\n";
    }
    out << "</table>\n<div class=\"drawings\">\n";
    for (const SummaryRow* row : ranked) {
        const std::size_t g = *row->rank;
        const std::string caption = "Run " + letter + ", group " + NumberText(g) + ": " +
                                    NumberText(row->size) + " nodes, " + NumberText(row->edges) +
                                    " edges, s-score " + NumberText(row->score);
        out << "<figure id=\"figure-" << letter << '-' << g << "\"><figcaption>"
            << HtmlText(caption) << "</figcaption><div class=\"canvas\">\n";
        WriteGroupSvg(out, "group-" + letter + "-" + NumberText(g), caption, run.groups[g].nodes,
                      run.edges[g], drawing);
        out << "</div></figure>\n";
    }
    out << "</div>\n</section>\n";
}

}  // namespace

InputFileFacts CountInputLines(const std::string& role, const std::string& name) {
    InputFileFacts facts{role, name, false, std::nullopt, ""};
    // A pipe or a device was read once, by the reader: reading it again
    // would count nothing, or wait for ever.
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) {
        facts.error = "not a regular file (a pipe or a device, read only once)";
        return facts;
    }
    {
        std::ifstream head(name, std::ios::binary);
        std::array<char, kFormatHead> start{};
        head.read(start.data(), start.size());
        facts.compressed =
            DetectFormat(std::string_view(start.data(), static_cast<std::size_t>(head.gcount()))) ==
            InputFormat::gzip;
    }
    try {
        const auto in = OpenInput(name);
        std::array<char, 1 << 16> block;
        std::uint64_t lines = 0;
        char last = '\n';
        while (in->read(block.data(), block.size()) || in->gcount() > 0) {
            const auto got = static_cast<std::size_t>(in->gcount());
            lines += static_cast<std::uint64_t>(std::count(block.data(), block.data() + got, '\n'));
            last = block[got - 1];
        }
        if (in->bad()) throw std::ios_base::failure("read error");
        facts.lines = lines + (last != '\n' ? 1 : 0);
    } catch (const RunError& e) {
        std::string reason = e.what();
        reason.erase(0, reason.find_first_not_of('\n'));
        facts.error = reason.substr(0, reason.find('\n'));
    } catch (const std::ios_base::failure&) {
        facts.error = "reading it failed";
    }
    return facts;
}

HtmlInvocation DescribeInvocation(const Options& options) {
    HtmlInvocation invocation;
    invocation.outBase = options.out;
    invocation.version = kVersion;
    invocation.seed = options.seed ? NumberText(*options.seed)
                                   : "not given: every generator took the calendar time, so "
                                     "another invocation gives other results";
    invocation.options = OptionValues(options);
    invocation.inputs = {CountInputLines("network", options.input),
                         CountInputLines("p-values (-d)", options.data),
                         CountInputLines("association (-a)", options.association)};
    if (!options.geneSets.empty())
        invocation.inputs.push_back(CountInputLines("gene sets (--gene-sets)", options.geneSets));
    if (!options.labels.empty())
        invocation.inputs.push_back(CountInputLines("labels (--labels)", options.labels));
    invocation.permutations = options.analysis.permutations;
    return invocation;
}

void WriteHtmlReport(std::ostream& out, const HtmlInvocation& invocation,
                     const HtmlInputs& inputs) {
    // One colour scale for every drawing of the page.
    std::vector<Group> drawn;
    for (const CheckedRun& run : inputs.runs)
        for (std::size_t g = 0; g < run.edges.size() && g < run.groups.size(); ++g)
            drawn.push_back(run.groups[g]);
    const DrawingInputs drawing{inputs.names, inputs.labels, inputs.nodeScores, inputs.edgeValues,
                                ScaleLimit(drawn, inputs.nodeScores)};
    const std::string title = "Tarnvale: " + invocation.outBase;
    // The page allows itself no load of any kind: fonts, images, links and
    // scripts from elsewhere are refused by the browser (and show on its
    // console).
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'\">\n<title>"
        << HtmlText(title) << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n<h1>"
        << HtmlText(title) << "</h1>\n";
    WriteReading(out, invocation.permutations);
    WriteInvocation(out, invocation);
    out << "<section id=\"scale\">\n<h2>Drawings</h2>\n<p>Each ranked group below is drawn with "
           "its nodes filled by node score and its edges as wide as their values; a node's "
           "tooltip gives its name, node score and p-value.</p>\n";
    WriteScaleLegend(out, drawing.limit);
    out << "</section>\n";
    if (inputs.runs.empty()) out << "<p>No run was made.</p>\n";
    for (std::size_t r = 0; r < inputs.runs.size(); ++r) WriteRun(out, r, inputs, drawing);
    out << "</body>\n</html>\n";
}

void WriteHtmlFile(const std::string& path, const Options& options, const HtmlInputs& inputs) {
    const HtmlInvocation invocation = DescribeInvocation(options);
    WriteExportFile(path, [&](std::ostream& file) { WriteHtmlReport(file, invocation, inputs); });
}

}  // namespace tarnvale
