// The report page's parts that need no run: the layout of a drawing, the
// page written from hand-made results and the input files' line counts. (The
// page of a real run, and how a browser shows it, are judged end to end.)

#include "cli/html_report.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/layout.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

// Shapes a group can take: a path, a star with a pendant path, a clique,
// one node, and a large ring with chords; boxes of mixed widths.
std::vector<std::pair<std::size_t, std::vector<LayoutEdge>>> Shapes() {
    std::vector<std::pair<std::size_t, std::vector<LayoutEdge>>> shapes;
    std::vector<LayoutEdge> path, star, clique, ring;
    for (std::size_t i = 0; i + 1 < 30; ++i) path.push_back({i, i + 1});
    for (std::size_t i = 1; i < 25; ++i) star.push_back({0, i});
    for (std::size_t i = 25; i < 30; ++i) star.push_back({i - 1 == 24 ? 1 : i - 1, i});
    for (std::size_t i = 0; i < 12; ++i)
        for (std::size_t j = i + 1; j < 12; ++j) clique.push_back({i, j});
    for (std::size_t i = 0; i < 200; ++i) ring.push_back({i, (i + 1) % 200});
    for (std::size_t i = 0; i < 200; i += 7) ring.push_back({i, (i + 50) % 200});
    shapes = {{30, path}, {30, star}, {12, clique}, {1, {}}, {200, ring}};
    return shapes;
}

TEST(Layout, BoxesApartInsideTheCanvasAndPendantNodesNearTheirNeighbours) {
    constexpr double kMargin = 10;
    for (const auto& [n, edges] : Shapes()) {
        std::vector<LayoutBox> boxes;
        double area = 0;
        for (std::size_t i = 0; i < n; ++i) {
            boxes.push_back({20.0 + static_cast<double>(i % 5) * 40.0, 31});
            area += boxes.back().width * boxes.back().height;
        }
        const Layout layout = ForceLayout(boxes, edges, 7, kMargin);
        ASSERT_EQ(layout.positions.size(), n);
        EXPECT_GE(layout.width * layout.height, area) << n;
        for (std::size_t i = 0; i < n; ++i) {
            const LayoutPoint& p = layout.positions[i];
            const double w = boxes[i].width / 2, h = boxes[i].height / 2, slack = 1e-9;
            EXPECT_TRUE(p.x - w >= kMargin - slack && p.x + w <= layout.width - kMargin + slack &&
                        p.y - h >= kMargin - slack && p.y + h <= layout.height - kMargin + slack)
                << n << ' ' << i;
            for (std::size_t j = i + 1; j < n; ++j) {
                const LayoutPoint& q = layout.positions[j];
                const bool apartX = std::abs(p.x - q.x) >= (boxes[i].width + boxes[j].width) / 2;
                const bool apartY = std::abs(p.y - q.y) >= (boxes[i].height + boxes[j].height) / 2;
                EXPECT_TRUE(apartX || apartY) << "shape of " << n << ": boxes " << i << ", " << j;
            }
        }
        // In a tree (the path, the star) no edge is drawn across more than
        // a third of the canvas's longer side: pendant nodes stay near their
        // neighbours.
        const double longest = std::max(layout.width, layout.height);
        for (const LayoutEdge& e : edges) {
            const LayoutPoint &p = layout.positions[e.a], &q = layout.positions[e.b];
            EXPECT_TRUE(edges.size() >= n || std::hypot(p.x - q.x, p.y - q.y) <= longest / 3) << n;
        }
        // (That a layout is the same every time: the pages of a single
        // invocation and of a merge of shards are equal, tests/e2e/shards_test.cpp.)
    }
}

// A run of three nodes: one ranked group (A, B) with an enriched set, and an
// unranked group the page leaves out. Names and set descriptions that hold
// markup are shown as text; a label replaces a name where it is not empty.
TEST(HtmlReport, ResultsShownAsTextWithLabelsAndNoLoads) {
    NodeMap<std::string> names, labels;
    NodeMap<double> scores;
    EdgeMap<float> values;
    names[0] = "<b>A&", names[1] = "B", names[2] = "C";
    labels[1] = "Bee\"s";
    scores[0] = 2.5, scores[1] = -1.0, scores[2] = 0.5;
    values[0] = 0.75;
    std::vector<GeneSet> sets{GeneSet{"S1", "<i>set</i>", {"B"}}};
    std::vector<CheckedRun> runs(1);
    CheckedRun& run = runs[0];
    run.reportName = "outA";
    run.groups = {Group{{0, 1}, 3.5f}, Group{{1, 2}, 1.0f}};
    run.edges = {{GroupEdge{0, 0, 1}}};
    SummaryRow ranked;
    ranked.rank = 0, ranked.size = 2, ranked.edges = 1, ranked.score = 3.5f, ranked.ranked = true;
    ranked.pValue = 0.25, ranked.familywiseP = 0.5, ranked.nodeEvidence = 1.06066;
    SummaryRow unranked = ranked;
    unranked.rank = 1, unranked.ranked = false;
    run.rows = {ranked, unranked};
    EnrichmentRow term;
    term.group = 0, term.set = 0, term.overlap = 2, term.groupSize = 2, term.setSize = 2;
    term.universe = 3, term.logP = std::log(1.0 / 3), term.logQ = std::log(0.01);
    term.empiricalP = 0.05;
    run.enriched = {term};
    HtmlInvocation invocation;
    invocation.outBase = "out<";
    invocation.version = "1.0";
    invocation.seed = "42";
    invocation.options = {{"--seed", "42"}, {"--gene-sets", "g&.gmt"}};
    invocation.inputs = {{"network", "n.sif", false, 14, ""},
                         {"gene sets", "g.gmt.gz", true, 3, ""},
                         {"p-values (-d)", "/dev/fd/63", false, std::nullopt, "a pipe"}};
    invocation.permutations = 3;
    std::ostringstream page;
    WriteHtmlReport(page, invocation, {runs, names, scores, values, sets, &labels});
    const std::string html = page.str();
    for (const char* part :
         {"<title>Tarnvale: out&lt;</title>", "default-src 'none'",
          "<tr id=\"row-A-0\"><td class=\"num\">0</td><td class=\"num\">2</td><td "
          "class=\"num\">3.5</td><td class=\"num\">1.06066</td><td class=\"num\">0.25</td><td "
          "class=\"num\">0.5</td><td class=\"num\"></td>",
          "&lt;i&gt;set&lt;/i&gt; (2 of 2; p = 0.333333, q = 0.01; empirical p = 0.05)",
          "<svg id=\"group-A-0\"", ">&lt;b&gt;A&amp;</text>", ">Bee&quot;s</text>",
          "Bee&quot;s (B): node score -1", "these 3 permutation chains resolve 0.25",
          "<dt>--gene-sets</dt><dd>g&amp;.gmt</dd>", "<td class=\"num\">14</td>",
          "3 (gzip-compressed; lines of the decompressed text)", "<td>not counted: a pipe</td>"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    // Nothing of the unranked group, no markup of the user's, nothing that
    // would load anything; the drawings' shapes are judged on a real run's page.
    for (const char* absent : {"row-A-1", "group-A-1", "<b>A", "<i>set", ">C</text>", "<img",
                               "<script", "<link", "src=", "url(", "http:", "https:"})
        EXPECT_EQ(html.find(absent), std::string::npos) << absent;
}

// A last line without a line end counts; a gzip file's lines are those of
// its text; a pipe or a device, which its reader has read, is not read again.
TEST(HtmlReport, InputLinesOfTheTextOnlyInRegularFiles) {
    testing::ScratchDir dir;
    const InputFileFacts plain = CountInputLines("association (-a)", dir.Write("a", "x\ty\nzz"));
    ASSERT_EQ(testing::RunShell("printf 'a\\nb\\nc\\n' | gzip > g.gz", dir.path()).status, 0);
    const InputFileFacts packed = CountInputLines("gene sets", (dir.path() / "g.gz").string());
    const InputFileFacts device = CountInputLines("p-values (-d)", "/dev/null");
    EXPECT_TRUE(plain.lines == 2u && !plain.compressed && packed.lines == 3u && packed.compressed);
    EXPECT_EQ(device.error, "not a regular file (a pipe or a device, read only once)");
    EXPECT_FALSE(device.lines);
}

}  // namespace
}  // namespace tarnvale
